#pragma once
// The editor's window as the benchmarks open it: 1024 x 768 design points
// at content scale 2, the generated pictures, Japanese. SDL's dummy driver
// (its software renderer) unless SDL_VIDEODRIVER names another. Programs
// go to a scratch folder unless one is set, never to the current folder.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/platform/GLViewImpl.h"
#include "ui/Localization.h"

inline engine::GLViewImpl* openEditorWindow() {
    using namespace engine;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (FileUtils::getInstance()->getWritablePath().empty()) {
        const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "corvina-bench";
        std::filesystem::create_directories(scratch);
        FileUtils::getInstance()->setWritablePath(scratch.string());
    }
    GLViewImpl* view = GLViewImpl::createWithRect("bench", Rect(0, 0, 1024, 768), 1, false);
    if (!view) {
        std::fprintf(stderr, "no window: %s\n", SDL_GetError());
        std::exit(1);
    }
    view->retain();
    Director* director = Director::getInstance();
    director->setOpenGLView(view);
    view->setDesignResolutionSize(1024, 768, ResolutionPolicy::SHOW_ALL);
    director->setContentScaleFactor(2);
    FileUtils::getInstance()->setSearchPaths({std::string(CORVINA_BENCH_RESOURCE_DIR) + "/"});
    Localization::getInstance()->configure(LanguageType::JAPANESE, {});
    return view;
}
