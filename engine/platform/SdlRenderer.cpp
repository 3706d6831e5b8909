#include "engine/platform/SdlRenderer.h"

#include <SDL_image.h>

#include <cmath>

namespace engine {

SdlTexture::SdlTexture(SDL_Texture* texture, std::shared_ptr<bool> alive) : _texture(texture), _alive(std::move(alive)) {
    if (_texture) SDL_QueryTexture(_texture, nullptr, nullptr, &_w, &_h);
}

SdlTexture::~SdlTexture() {
    // The renderer frees its textures itself when it goes first.
    if (_texture && _alive && *_alive) SDL_DestroyTexture(_texture);
}

SdlRenderer::SdlRenderer(SDL_Renderer* renderer) : _renderer(renderer) {}

SdlRenderer::~SdlRenderer() { *_alive = false; }

RefPtr<Texture2D> SdlRenderer::createTexture(SDL_Surface* surface) {
    if (!surface) return nullptr;
    SDL_Texture* texture = SDL_CreateTextureFromSurface(_renderer, surface);
    if (!texture) return nullptr;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    // Pictures are made at twice the point size and nearly always drawn
    // scaled: linear filtering keeps their edges smooth.
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    return RefPtr<Texture2D>::adopt(new SdlTexture(texture, _alive));
}

RefPtr<Texture2D> SdlRenderer::loadTexture(const std::string& fullPath) {
    SDL_Surface* surface = IMG_Load(fullPath.c_str());
    if (!surface) return nullptr;
    RefPtr<Texture2D> texture = createTexture(surface);
    SDL_FreeSurface(surface);
    return texture;
}

namespace {
SDL_FPoint toF(const Vec2& v) { return {v.x, v.y}; }
} // namespace

void SdlRenderer::drawTexture(Texture2D* texture, const Rect& rect, const Size& size, const AffineTransform& transform,
                              const Color4B& tint) {
    auto* st = static_cast<SdlTexture*>(texture);
    if (!st || !st->getSDLTexture() || tint.a == 0 || isCulled(size, transform)) return;
    SDL_Texture* tex = st->getSDLTexture();
    const ViewportMapping& m = getMapping();
    Vec2 bl = m.toPixels(transform.apply({0, 0}));
    Vec2 br = m.toPixels(transform.apply({size.width, 0}));
    Vec2 tl = m.toPixels(transform.apply({0, size.height}));
    Vec2 tr = m.toPixels(transform.apply({size.width, size.height}));

    if (transform.isAxisAligned()) {
        SDL_SetTextureColorMod(tex, tint.r, tint.g, tint.b);
        SDL_SetTextureAlphaMod(tex, tint.a);
        SDL_Rect src{static_cast<int>(std::lround(rect.origin.x)), static_cast<int>(std::lround(rect.origin.y)),
                     static_cast<int>(std::lround(rect.size.width)), static_cast<int>(std::lround(rect.size.height))};
        SDL_FRect dst{std::fmin(bl.x, br.x), std::fmin(bl.y, tl.y), std::fabs(br.x - bl.x), std::fabs(tl.y - bl.y)};
        int flip = SDL_FLIP_NONE;
        if (br.x < bl.x) flip |= SDL_FLIP_HORIZONTAL;
        if (tl.y > bl.y) flip |= SDL_FLIP_VERTICAL;
        if (flip == SDL_FLIP_NONE) SDL_RenderCopyF(_renderer, tex, &src, &dst);
        else SDL_RenderCopyExF(_renderer, tex, &src, &dst, 0, nullptr, static_cast<SDL_RendererFlip>(flip));
        ++_copies;
        return;
    }
    // A quarter turn: SDL's software renderer takes such a quad for an
    // unturned rectangle and draws it mirrored, so it is drawn turned here.
    const Vec2 across = tr - tl, down = bl - tl;  // the picture's x and y axes, in pixels
    if (std::fabs(across.x) < 1e-3f && std::fabs(down.y) < 1e-3f) {
        SDL_SetTextureColorMod(tex, tint.r, tint.g, tint.b);
        SDL_SetTextureAlphaMod(tex, tint.a);
        SDL_Rect src{static_cast<int>(std::lround(rect.origin.x)), static_cast<int>(std::lround(rect.origin.y)),
                     static_cast<int>(std::lround(rect.size.width)), static_cast<int>(std::lround(rect.size.height))};
        const float w = across.length(), h = down.length();
        const Vec2 centre = (tl + br) * 0.5f;
        SDL_FRect dst{centre.x - w / 2, centre.y - h / 2, w, h};
        // SDL turns clockwise after flipping; its turn takes the picture's
        // x axis to `across`, and the y axis to `down` unless flipped.
        const double angle = across.y > 0 ? 90 : -90;
        const bool flip = (across.y > 0 ? -down.x : down.x) < 0;
        SDL_RenderCopyExF(_renderer, tex, &src, &dst, angle, nullptr, flip ? SDL_FLIP_VERTICAL : SDL_FLIP_NONE);
        ++_copies;
        return;
    }
    SDL_SetTextureColorMod(tex, 255, 255, 255);
    SDL_SetTextureAlphaMod(tex, 255);
    float tw = static_cast<float>(st->getPixelsWide()), th = static_cast<float>(st->getPixelsHigh());
    float u0 = rect.getMinX() / tw, u1 = rect.getMaxX() / tw, v0 = rect.getMinY() / th, v1 = rect.getMaxY() / th;
    SDL_Color c{tint.r, tint.g, tint.b, tint.a};
    SDL_Vertex v[4] = {{toF(tl), c, {u0, v0}}, {toF(tr), c, {u1, v0}}, {toF(bl), c, {u0, v1}}, {toF(br), c, {u1, v1}}};
    const int indices[6] = {0, 1, 2, 1, 3, 2};
    SDL_RenderGeometry(_renderer, tex, v, 4, indices, 6);
    ++_geometries;
}

void SdlRenderer::drawSolidRect(const Size& size, const AffineTransform& transform, const Color4B& color) {
    if (color.a == 0 || isCulled(size, transform)) return;
    const ViewportMapping& m = getMapping();
    Vec2 bl = m.toPixels(transform.apply({0, 0}));
    Vec2 br = m.toPixels(transform.apply({size.width, 0}));
    Vec2 tl = m.toPixels(transform.apply({0, size.height}));
    Vec2 tr = m.toPixels(transform.apply({size.width, size.height}));
    SDL_SetRenderDrawBlendMode(_renderer, SDL_BLENDMODE_BLEND);
    if (transform.isAxisAligned()) {
        SDL_SetRenderDrawColor(_renderer, color.r, color.g, color.b, color.a);
        SDL_FRect r{std::fmin(bl.x, br.x), std::fmin(bl.y, tl.y), std::fabs(br.x - bl.x), std::fabs(tl.y - bl.y)};
        SDL_RenderFillRectF(_renderer, &r);
        return;
    }
    SDL_Color c{color.r, color.g, color.b, color.a};
    SDL_Vertex v[4] = {{toF(tl), c, {0, 0}}, {toF(tr), c, {0, 0}}, {toF(bl), c, {0, 0}}, {toF(br), c, {0, 0}}};
    const int indices[6] = {0, 1, 2, 1, 3, 2};
    SDL_RenderGeometry(_renderer, nullptr, v, 4, indices, 6);
}

void SdlRenderer::clear(const Color4B& color) {
    SDL_SetRenderDrawColor(_renderer, color.r, color.g, color.b, color.a);
    SDL_RenderClear(_renderer);
}

void SdlRenderer::applyScissor(const Rect* pixels) {
    if (!pixels) {
        SDL_RenderSetClipRect(_renderer, nullptr);
        return;
    }
    int x0 = static_cast<int>(std::lround(pixels->getMinX())), y0 = static_cast<int>(std::lround(pixels->getMinY()));
    int x1 = static_cast<int>(std::lround(pixels->getMaxX())), y1 = static_cast<int>(std::lround(pixels->getMaxY()));
    // An empty clip must still clip everything; SDL treats a 0-size rect as none.
    if (x1 <= x0 || y1 <= y0) {
        SDL_Rect off{-2, -2, 1, 1};
        SDL_RenderSetClipRect(_renderer, &off);
        return;
    }
    SDL_Rect r{x0, y0, x1 - x0, y1 - y0};
    SDL_RenderSetClipRect(_renderer, &r);
}

SDL_Surface* SdlRenderer::readPixels() const {
    int w = 0, h = 0;
    SDL_Texture* target = SDL_GetRenderTarget(_renderer);
    if (target) SDL_QueryTexture(target, nullptr, nullptr, &w, &h);
    else SDL_GetRendererOutputSize(_renderer, &w, &h);
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_RGBA32);
    if (!surface) return nullptr;
    // Reading ignores the clip, but SDL clips the read to it: lift it meanwhile.
    SDL_Rect clip;
    SDL_bool clipped = SDL_RenderIsClipEnabled(_renderer);
    SDL_RenderGetClipRect(_renderer, &clip);
    SDL_RenderSetClipRect(_renderer, nullptr);
    int rc = SDL_RenderReadPixels(_renderer, nullptr, SDL_PIXELFORMAT_RGBA32, surface->pixels, surface->pitch);
    if (clipped) SDL_RenderSetClipRect(_renderer, &clip);
    if (rc != 0) {
        SDL_FreeSurface(surface);
        return nullptr;
    }
    return surface;
}

} // namespace engine
