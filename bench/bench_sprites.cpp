// 500 unrotated sprites drawn from 2x pictures at half size: through the
// scene graph, and as raw SDL copies of the same textures and rectangles.
// Prints the ratio ours / raw measured in this one run.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "engine/core/Director.h"
#include "engine/core/Scene.h"
#include "engine/core/Sprite.h"
#include "engine/platform/GLViewImpl.h"
#include "engine/platform/SdlRenderer.h"
#include "bench/RatioReporter.h"

using namespace engine;

namespace {

constexpr int kSprites = 500;
constexpr int kPictures = 10;
constexpr int kPicturePixels = 120;  // 60 x 60 points

struct Setup {
    GLViewImpl* view = nullptr;
    std::vector<RefPtr<Texture2D>> textures;
    std::vector<SDL_FRect> rects;  // where each sprite lands, in window pixels
    RefPtr<Scene> scene;

    Setup() {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        view = GLViewImpl::createWithRect("bench", Rect(0, 0, 1024, 768), 1, false);
        view->retain();
        Director* d = Director::getInstance();
        d->setOpenGLView(view);
        view->setDesignResolutionSize(1024, 768, ResolutionPolicy::SHOW_ALL);
        d->setContentScaleFactor(2);
        for (int i = 0; i < kPictures; ++i) {
            SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, kPicturePixels, kPicturePixels, 32, SDL_PIXELFORMAT_RGBA32);
            SDL_FillRect(s, nullptr, SDL_MapRGBA(s->format, 40 * i % 256, 255 - 20 * i, 128, 200));
            textures.push_back(view->getSdlRenderer()->createTexture(s));
            SDL_FreeSurface(s);
        }
        scene = Scene::create();
        d->runWithScene(scene.get());
        for (int i = 0; i < kSprites; ++i) {
            Sprite* sprite = Sprite::createWithTexture(textures[i % kPictures].get());
            float x = 30 + (i % 25) * 40.0f, y = 30 + (i / 25) * 36.0f;
            sprite->setPosition(x, y);
            scene->addChild(sprite);
            float half = kPicturePixels / 4.0f;
            rects.push_back({x - half, 768 - y - half, half * 2, half * 2});
        }
        d->mainLoop(0);
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void BM_SceneGraph(benchmark::State& state) {
    setup();  // the scene is built once, on first use
    for (auto _ : state) Director::getInstance()->drawScene();
    state.SetItemsProcessed(state.iterations() * kSprites);
}

void BM_RawSDL(benchmark::State& state) {
    Setup& s = setup();
    SDL_Renderer* r = s.view->getSDLRenderer();
    for (auto _ : state) {
        SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
        SDL_RenderClear(r);
        for (int i = 0; i < kSprites; ++i) {
            auto* t = static_cast<SdlTexture*>(s.textures[i % kPictures].get());
            SDL_RenderCopyF(r, t->getSDLTexture(), nullptr, &s.rects[i]);
        }
        SDL_RenderPresent(r);
    }
    state.SetItemsProcessed(state.iterations() * kSprites);
}

BENCHMARK(BM_SceneGraph)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawSDL)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double ours = reporter.times["BM_SceneGraph/min_time:2.000"], raw = reporter.times["BM_RawSDL/min_time:2.000"];
    if (ours > 0 && raw > 0)
        std::printf("frame of %d sprites: ours %.3f ms, raw SDL %.3f ms, ratio ours / raw = %.2f (target <= 1.3)\n",
                    kSprites, ours, raw, ours / raw);
    benchmark::Shutdown();
    return 0;
}
