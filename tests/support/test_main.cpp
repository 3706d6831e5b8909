// Every test process gets a data folder of its own, so tests that run side by
// side never share files; it is removed when every test passed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* base = std::getenv("CORVINA_DATA_DIR");
    std::string dir = std::string(base && *base ? base : "/tmp/corvina-tests") + "/run-" + std::to_string(getpid());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    setenv("CORVINA_DATA_DIR", dir.c_str(), 1);
    int rc = RUN_ALL_TESTS();
    if (rc == 0) {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    return rc;
}
