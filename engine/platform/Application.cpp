#include "engine/platform/Application.h"

#include <SDL.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/FileUtils.h"
#include "engine/platform/GLViewImpl.h"
#include "engine/platform/Input.h"
#include "engine/platform/TextInput.h"

extern char** environ;

namespace engine {

namespace {
Application* s_instance = nullptr;
}

Application::Application() {
    s_instance = this;
    s_running = this;
    setUpFilePaths();
}

Application::~Application() {
    if (s_instance == this) s_instance = nullptr;
    if (s_running == this) s_running = nullptr;
}

Application* Application::getInstance() { return s_instance; }

void FrameClock::sleepUntil(TimePoint deadline) { std::this_thread::sleep_until(deadline); }

void setUpFilePaths() {
    FileUtils* files = FileUtils::getInstance();
    if (char* base = SDL_GetBasePath()) {
        files->addSearchPath(std::string(base) + "Resources/");
        // An installed copy: <prefix>/bin beside <prefix>/share, wherever
        // the prefix was installed or moved to.
        const std::string installed = std::string(base) + "../share/corvina-apps/";
        std::error_code error;
        if (std::filesystem::is_directory(installed, error)) files->addSearchPath(installed);
        SDL_free(base);
    }
    const char* dataDir = std::getenv("CORVINA_DATA_DIR");
    if (dataDir && *dataDir) {
        files->setWritablePath(dataDir);
    } else if (char* pref = SDL_GetPrefPath("Corvina", "CorvinaApps")) {
        files->setWritablePath(pref);
        SDL_free(pref);
    }
}

std::string programFolder() {
    char* base = SDL_GetBasePath();
    std::string folder = base ? base : "";
    SDL_free(base);
    return folder;
}

void Application::setAnimationInterval(float interval) {
    if (interval > 0) _animationInterval = interval;
}

LanguageType Application::getCurrentLanguage() {
    LanguageType language = LanguageType::ENGLISH;
    if (SDL_Locale* locales = SDL_GetPreferredLocales()) {
        if (locales[0].language) language = languageFromLocaleName(locales[0].language);
        SDL_free(locales);
    }
    return language;
}

bool Application::openURL(const std::string& url) {
    // SDL_OpenURL claims success even when nothing can open the page, so
    // the opener is looked for and watched for a moment.
    const char* path = std::getenv("PATH");
    std::string opener;
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(start, end - start) + "/xdg-open";
        if (access(candidate.c_str(), X_OK) == 0) {
            opener = candidate;
            break;
        }
        start = end + 1;
    }
    if (opener.empty()) return false;
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(opener.c_str()), const_cast<char*>(url.c_str()), nullptr};
    if (posix_spawn(&pid, opener.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    // An opener that fails does so at once; one still running after a
    // second has started a browser.
    for (int i = 0; i < 20; ++i) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (r < 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // Reap it later without blocking the main loop.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

void Application::handleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        // The window's own close comes first, then this: its answer holds.
        // Alone (the desktop ending the program), it ends the program.
        if (!std::exchange(_closeRefused, false)) _quit = true;
        break;
    case SDL_WINDOWEVENT:
        // Shown and hidden also come at creation and with other windows'
        // changes; only minimise and restore mean background and foreground.
        if (event.window.event == SDL_WINDOWEVENT_MINIMIZED) {
            if (!_minimized) {
                _minimized = true;
                applicationDidEnterBackground();
            }
        } else if (event.window.event == SDL_WINDOWEVENT_RESTORED || event.window.event == SDL_WINDOWEVENT_MAXIMIZED) {
            if (_minimized) {
                _minimized = false;
                applicationWillEnterForeground();
            }
        } else if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
            _closeRefused = !applicationShouldQuit();
            if (!_closeRefused) _quit = true;
        }
        break;
    case SDL_DROPFILE:
        if (event.drop.file) {
            std::string path = event.drop.file;
            SDL_free(event.drop.file);
            EventCustom dropped(kFileDroppedEvent);
            dropped.setUserData(&path);
            Director::getInstance()->getEventDispatcher()->dispatchEvent(&dropped);
        }
        break;
    default:
        // Typing goes to the focused edit box; presses go on to touch input.
        if (!handleTextInputEvent(event)) handleInputEvent(event);
        break;
    }
}

void Application::stepFrame(float dt) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) handleEvent(event);
    Director::getInstance()->mainLoop(dt);
}

int Application::run() {
    initGLContextAttrs();
    if (!applicationDidFinishLaunching()) return 1;
    Director* director = Director::getInstance();
    using clock = std::chrono::steady_clock;
    auto last = _clock->now();
    auto deadline = last;
    while (!_quit) {
        GLView* view = director->getOpenGLView();
        if (view && view->windowShouldClose()) break;
        if (director->isAnimationStopped()) {
            // Nothing is drawn while minimised: sleep until something happens.
            SDL_Event event;
            if (SDL_WaitEventTimeout(&event, 100)) handleEvent(event);
            applicationIdle();
            last = deadline = _clock->now();
            continue;
        }
        auto now = _clock->now();
        float dt = std::chrono::duration<float>(now - last).count();
        last = now;
        stepFrame(dt);
        // Absolute deadlines keep the frame rate without drift.
        deadline += std::chrono::duration_cast<clock::duration>(std::chrono::duration<double>(_animationInterval));
        auto after = _clock->now();
        if (deadline < after) deadline = after;
        else _clock->sleepUntil(deadline);
    }
    applicationWillQuit();
    director->end();
    return 0;
}

} // namespace engine
