// One frame of the editor with a card on each of the forty rows: drawn
// through the scene graph, and as raw SDL calls that draw the same pictures
// at the same places (recorded from one frame of the scene). Prints the
// ratio ours / raw measured in this one run, at the field's full size and
// zoomed out to half, where the most cards are in view.
//
// SDL_VIDEODRIVER picks the renderer: dummy (the default) gives SDL's
// software renderer; offscreen, or x11 under a virtual display, OpenGL.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "cards/DeviceManager.h"
#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Scene.h"
#include "engine/platform/GLViewImpl.h"
#include "engine/platform/SdlRenderer.h"
#include "bench/EditorWindow.h"
#include "bench/RatioReporter.h"
#include "field/FieldScene.h"
#include "ui/Localization.h"

using namespace engine;

namespace {

// What one frame asks SDL to do, to be done again without the scene graph.
class RecordingRenderer : public Renderer {
public:
    struct Call {
        enum Kind { COPY, GEOMETRY, FILL, CLIP } kind = COPY;
        SDL_Texture* texture = nullptr;
        SDL_Rect src{};
        SDL_FRect dst{};
        SDL_RendererFlip flip = SDL_FLIP_NONE;
        SDL_Color tint{};
        std::vector<SDL_Vertex> vertices;
        bool clipOn = false;
        SDL_Rect clip{};
    };

    explicit RecordingRenderer(const ViewportMapping& mapping) { setWindowMapping(mapping); }

    void drawTexture(Texture2D* texture, const Rect& rect, const Size& size, const AffineTransform& t,
                     const Color4B& tint) override {
        auto* st = static_cast<SdlTexture*>(texture);
        if (!st || tint.a == 0 || isCulled(size, t)) return;
        Call c;
        c.kind = Call::COPY;
        c.texture = st->getSDLTexture();
        c.tint = {tint.r, tint.g, tint.b, tint.a};
        Vec2 bl = px(t, 0, 0), br = px(t, size.width, 0), tl = px(t, 0, size.height), tr = px(t, size.width, size.height);
        if (t.isAxisAligned()) {
            c.src = {static_cast<int>(rect.origin.x), static_cast<int>(rect.origin.y), static_cast<int>(rect.size.width),
                     static_cast<int>(rect.size.height)};
            c.dst = {std::fmin(bl.x, br.x), std::fmin(bl.y, tl.y), std::fabs(br.x - bl.x), std::fabs(tl.y - bl.y)};
            int flip = (br.x < bl.x ? SDL_FLIP_HORIZONTAL : 0) | (tl.y > bl.y ? SDL_FLIP_VERTICAL : 0);
            c.flip = static_cast<SDL_RendererFlip>(flip);
        } else {
            c.kind = Call::GEOMETRY;
            float tw = static_cast<float>(st->getPixelsWide()), th = static_cast<float>(st->getPixelsHigh());
            float u0 = rect.getMinX() / tw, u1 = rect.getMaxX() / tw, v0 = rect.getMinY() / th, v1 = rect.getMaxY() / th;
            c.vertices = {{{tl.x, tl.y}, c.tint, {u0, v0}}, {{tr.x, tr.y}, c.tint, {u1, v0}},
                          {{bl.x, bl.y}, c.tint, {u0, v1}}, {{br.x, br.y}, c.tint, {u1, v1}}};
        }
        calls.push_back(std::move(c));
    }
    void drawSolidRect(const Size& size, const AffineTransform& t, const Color4B& colour) override {
        if (colour.a == 0 || isCulled(size, t)) return;
        Call c;
        c.kind = Call::FILL;
        Vec2 bl = px(t, 0, 0), br = px(t, size.width, 0), tl = px(t, 0, size.height);
        c.dst = {std::fmin(bl.x, br.x), std::fmin(bl.y, tl.y), std::fabs(br.x - bl.x), std::fabs(tl.y - bl.y)};
        c.tint = {colour.r, colour.g, colour.b, colour.a};
        calls.push_back(std::move(c));
    }
    void clear(const Color4B&) override {}

    // The same calls, straight to SDL.
    void replay(SDL_Renderer* r) const {
        static const int indices[6] = {0, 1, 2, 1, 3, 2};
        for (const Call& c : calls) {
            switch (c.kind) {
            case Call::COPY:
                SDL_SetTextureColorMod(c.texture, c.tint.r, c.tint.g, c.tint.b);
                SDL_SetTextureAlphaMod(c.texture, c.tint.a);
                if (c.flip == SDL_FLIP_NONE) SDL_RenderCopyF(r, c.texture, &c.src, &c.dst);
                else SDL_RenderCopyExF(r, c.texture, &c.src, &c.dst, 0, nullptr, c.flip);
                break;
            case Call::GEOMETRY:
                SDL_SetTextureColorMod(c.texture, 255, 255, 255);
                SDL_SetTextureAlphaMod(c.texture, 255);
                SDL_RenderGeometry(r, c.texture, c.vertices.data(), 4, indices, 6);
                break;
            case Call::FILL:
                SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_BLEND);
                SDL_SetRenderDrawColor(r, c.tint.r, c.tint.g, c.tint.b, c.tint.a);
                SDL_RenderFillRectF(r, &c.dst);
                break;
            case Call::CLIP:
                SDL_RenderSetClipRect(r, c.clipOn ? &c.clip : nullptr);
                break;
            }
        }
    }
    size_t pictureCount() const {
        size_t n = 0;
        for (const Call& c : calls) n += c.kind == Call::COPY || c.kind == Call::GEOMETRY;
        return n;
    }
    std::vector<Call> calls;

protected:
    void applyScissor(const Rect* pixels) override {
        Call c;
        c.kind = Call::CLIP;
        c.clipOn = pixels != nullptr;
        if (pixels)
            c.clip = {static_cast<int>(std::lround(pixels->getMinX())), static_cast<int>(std::lround(pixels->getMinY())),
                      static_cast<int>(std::lround(pixels->size.width)), static_cast<int>(std::lround(pixels->size.height))};
        calls.push_back(std::move(c));
    }

private:
    Vec2 px(const AffineTransform& t, float x, float y) const { return getMapping().toPixels(t.apply({x, y})); }
};

struct Setup {
    GLViewImpl* view = nullptr;
    FieldScene* field = nullptr;
    RefPtr<Scene> scene;

    Setup() {
        view = openEditorWindow();
        Director* d = Director::getInstance();
        DeviceManager* devices = DeviceManager::getInstance();
        devices->setCardSet(CARD_SET_FULL);
        field = FieldScene::create(nullptr);
        scene = Scene::create();
        scene->addChild(field);
        d->runWithScene(scene.get());
        // A card on every row, every card of the full set in turn.
        int count = devices->getCardCount(CARD_SET_FULL);
        for (int row = 0; row < FieldScene::kRowCount; ++row) {
            int index = row % count;
            CardSprite* card = CardSprite::create(devices->getCardImage(index, CARD_SET_FULL),
                                                  devices->getCardCodeImage(index, CARD_SET_FULL));
            card->setCardKind(CARD_SET_FULL, index);
            CardSprite* head = field->getRowHead(row);
            card->setPosition(head->getPosition());
            field->getFieldView()->addChild(card);
        }
        d->mainLoop(0);
        std::printf("renderer: %s\n", rendererName().c_str());
    }

    std::string rendererName() const {
        SDL_RendererInfo info{};
        SDL_GetRendererInfo(view->getSDLRenderer(), &info);
        return std::string(info.name ? info.name : "?") + " on " + SDL_GetCurrentVideoDriver();
    }

    RecordingRenderer record() const {
        RecordingRenderer recorder(view->getViewportMapping());
        scene->visit(&recorder, AffineTransform::identity(), 255, Color3B::WHITE);
        return recorder;
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void zoom(float z) {
    FieldScrollView* fieldView = setup().field->getFieldView();
    fieldView->setZoom(z);
    fieldView->scrollTo(Vec2(fieldView->getScrollOffset().x, fieldView->getMinOffset().y), false);
}

void BM_FieldScene(benchmark::State& state) {
    zoom(state.range(0) / 100.0f);
    for (auto _ : state) Director::getInstance()->drawScene();
    state.counters["pictures"] = static_cast<double>(setup().record().pictureCount());
}

void BM_RawSDL(benchmark::State& state) {
    zoom(state.range(0) / 100.0f);
    Setup& s = setup();
    RecordingRenderer frame = s.record();
    SDL_Renderer* r = s.view->getSDLRenderer();
    for (auto _ : state) {
        SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
        SDL_RenderClear(r);
        frame.replay(r);
        SDL_RenderSetClipRect(r, nullptr);
        SDL_RenderPresent(r);
    }
    state.counters["pictures"] = static_cast<double>(frame.pictureCount());
}

BENCHMARK(BM_FieldScene)->Arg(100)->Arg(50)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_RawSDL)->Arg(100)->Arg(50)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* zoomed : {"100", "50"}) {
        double ours = reporter.times[std::string("BM_FieldScene/") + zoomed + "/min_time:2.000"];
        double raw = reporter.times[std::string("BM_RawSDL/") + zoomed + "/min_time:2.000"];
        if (ours > 0 && raw > 0)
            std::printf("field of 40 cards at zoom %s%% (%s): ours %.3f ms, raw SDL %.3f ms, ratio ours / raw = %.2f "
                        "(target <= 1.3)\n",
                        zoomed, setup().rendererName().c_str(), ours, raw, ours / raw);
    }
    benchmark::Shutdown();
    return 0;
}
