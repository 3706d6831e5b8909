// The editor's entry point: one application, run until its window closes.
#include <cstdio>

#include "app/AppDelegate.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/Director.h"
#include "engine/core/TextureCache.h"
#include "engine/platform/Application.h"

int main() {
    AppDelegate app;
    const int status = engine::Application::getInstance()->run();
    // The last drop's save may still be on its way to the disk.
    SaveDataManager::finishPendingWrites();
    if (!AppDelegate::exitAfterFirstFrame()) return status;
    const auto& missing = engine::Director::getInstance()->getTextureCache()->failedPaths();
    for (const std::string& path : missing) std::fprintf(stderr, "missing picture: %s\n", path.c_str());
    std::printf("pictures missing: %zu\n", missing.size());
    return status == 0 && missing.empty() ? 0 : 1;
}
