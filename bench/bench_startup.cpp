// Start-up: from starting the editor to its first frame of the home screen.
// The editor, told to end after its first frame, is started ten times on
// SDL's dummy driver with an empty data folder; the time runs from the
// start of the process to its end, so it also holds the process's exit.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

int main(int argc, char** argv) {
    const std::string editor = argc > 1 ? argv[1] : CORVINA_EDITOR_PATH;
    const std::string data = std::filesystem::temp_directory_path() / "corvina-bench-startup";
    std::vector<std::string> settings = {"CORVINA_EXIT_AFTER_FIRST_FRAME=1", "SDL_VIDEODRIVER=dummy",
                                         "SDL_AUDIODRIVER=dummy", "CORVINA_DATA_DIR=" + data};
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (name != "CORVINA_EXIT_AFTER_FIRST_FRAME" && name != "SDL_VIDEODRIVER" && name != "CORVINA_DATA_DIR" &&
            name != "SDL_AUDIODRIVER")
            settings.push_back(entry);
    }
    std::vector<char*> env;
    for (auto& s : settings) env.push_back(s.data());
    env.push_back(nullptr);

    // The editor's own report of missing pictures is not wanted here.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);

    std::vector<double> times;
    for (int run = 0; run < 11; ++run) {
        std::filesystem::remove_all(data);
        char* args[] = {const_cast<char*>(editor.c_str()), nullptr};
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, editor.c_str(), &quiet, nullptr, args, env.data()) != 0) {
            std::perror(editor.c_str());
            return 1;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "the editor ended with status %d\n", status);
            return 1;
        }
        // The first start also fills the system's file cache; it is not counted.
        if (run > 0) times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("start-up to the first frame of the home screen: median %.1f ms, fastest %.1f ms, slowest %.1f ms "
                "over %zu starts (target < 200 ms)\n",
                times[times.size() / 2], times.front(), times.back(), times.size());
    return 0;
}
