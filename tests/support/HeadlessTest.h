#pragma once
// Headless scenes for tests: one invisible window under SDL's dummy driver
// with the software renderer, a fresh director for every test, frames
// stepped at a fixed dt, and pixels read back.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Scene.h"
#include "engine/core/TextureCache.h"
#include "engine/platform/GLViewImpl.h"
#include "engine/platform/SdlRenderer.h"

namespace testsupport {

inline engine::GLViewImpl* headlessView() {
    static engine::GLViewImpl* view = [] {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        auto* v = engine::GLViewImpl::createWithRect("test", engine::Rect(0, 0, 1024, 768), 1.0f, true);
        if (v) v->retain();  // kept for the whole test program
        return v;
    }();
    return view;
}

// A read-back frame: pixel (x, y) counts from the window's top left.
class Frame {
public:
    explicit Frame(SDL_Surface* s) : _s(s) {}
    Frame(const Frame&) = delete;
    ~Frame() { if (_s) SDL_FreeSurface(_s); }
    bool valid() const { return _s != nullptr; }
    int width() const { return _s ? _s->w : 0; }
    int height() const { return _s ? _s->h : 0; }
    SDL_Color at(int x, int y) const {
        const auto* row = static_cast<const uint8_t*>(_s->pixels) + y * _s->pitch;
        const uint8_t* p = row + x * 4;
        return {p[0], p[1], p[2], p[3]};
    }
    bool save(const std::string& path) const { return _s && IMG_SavePNG(_s, path.c_str()) == 0; }

private:
    SDL_Surface* _s;
};

inline ::testing::AssertionResult colorNear(SDL_Color c, int r, int g, int b, int tolerance = 2) {
    if (std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got (" << int(c.r) << ", " << int(c.g) << ", " << int(c.b)
                                         << ") expected (" << r << ", " << g << ", " << b << ") +-" << tolerance;
}

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        using namespace engine;
        view = headlessView();
        ASSERT_NE(view, nullptr) << SDL_GetError();
        Director* d = Director::getInstance();
        d->reset();
        view->setWindowSize(1024, 768);
        d->setOpenGLView(view);
        view->setDesignResolutionSize(1024, 768, ResolutionPolicy::SHOW_ALL);
        d->setContentScaleFactor(2);
        d->getTextureCache()->removeAllTextures();
        const char* data = std::getenv("CORVINA_DATA_DIR");
        dataDir = std::string(data && *data ? data : "/tmp/corvina-test") + "/";
        std::filesystem::create_directories(dataDir);
        FileUtils::getInstance()->setWritablePath(dataDir);
    }
    void TearDown() override { engine::Director::getInstance()->reset(); }

    // Runs a scene and steps `frames` frames of `dt`.
    engine::Scene* runScene() {
        auto* scene = engine::Scene::create();
        engine::Director::getInstance()->runWithScene(scene);
        return scene;
    }
    void step(int frames = 1, float dt = 1.0f / 60) {
        for (int i = 0; i < frames; ++i) engine::Director::getInstance()->mainLoop(dt);
    }
    Frame grab() const { return Frame(view->getSdlRenderer()->readPixels()); }
    engine::SdlRenderer* renderer() const { return view->getSdlRenderer(); }

    // A picture file of one colour in the data folder, for sprites by path.
    std::string writeSolidPNG(const std::string& name, int w, int h, SDL_Color c) const {
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
        SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, c.r, c.g, c.b, c.a));
        std::string path = dataDir + name;
        IMG_SavePNG(s, path.c_str());
        SDL_FreeSurface(s);
        return path;
    }

    engine::GLViewImpl* view = nullptr;
    std::string dataDir;
};

} // namespace testsupport
