// The editor's entry point: one application, run until its window closes.
#include <cstdio>

#include "app/AppDelegate.h"
#include "catalogue/EditorLock.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/core/TextureCache.h"
#include "engine/platform/Application.h"
#include "engine/platform/MessageBox.h"
#include "ui/Localization.h"

namespace {
constexpr TextPair kAlreadyOpen{"CorvinaApps は もう ひらいています。ひらいている まどを つかってください。",
                                "CorvinaApps is already open. Please use the window that is open."};
} // namespace

int main() {
    AppDelegate app;
    // One editor per data folder: a second start shows the first one.
    EditorLock lock(engine::FileUtils::getInstance()->getWritablePath());
    if (lock.state() == EditorLock::State::HeldElsewhere) {
        if (AppDelegate::exitAfterFirstFrame()) {
            std::fprintf(stderr, "another editor runs on this data folder: no frame drawn\n");
            return 1;
        }
        if (!lock.askForWindow())
            engine::MessageBox(Localization::getInstance()->localizedText(kAlreadyOpen).c_str(), "CorvinaApps");
        return 0;
    }
    app.setEditorLock(&lock);
    const int status = engine::Application::getInstance()->run();
    // The last drop's save may still be on its way to the disk.
    SaveDataManager::finishPendingWrites();
    if (!AppDelegate::exitAfterFirstFrame()) return status;
    const auto& missing = engine::Director::getInstance()->getTextureCache()->failedPaths();
    for (const std::string& path : missing) std::fprintf(stderr, "missing picture: %s\n", path.c_str());
    std::printf("pictures missing: %zu\n", missing.size());
    return status == 0 && missing.empty() ? 0 : 1;
}
