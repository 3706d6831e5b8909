#include "engine/platform/RenderTexture.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Scheduler.h"
#include "engine/platform/SdlRenderer.h"

namespace engine {

namespace {

uint8_t toByte(float v) { return static_cast<uint8_t>(std::lround(std::fmin(1.0f, std::fmax(0.0f, v)) * 255)); }

// PNG bytes in memory, so the file itself can be written atomically.
struct MemoryOut {
    std::vector<unsigned char> bytes;
    size_t pos = 0;
};

Sint64 memSize(SDL_RWops* rw) { return static_cast<Sint64>(static_cast<MemoryOut*>(rw->hidden.unknown.data1)->bytes.size()); }

Sint64 memSeek(SDL_RWops* rw, Sint64 offset, int whence) {
    auto* out = static_cast<MemoryOut*>(rw->hidden.unknown.data1);
    Sint64 base = whence == RW_SEEK_SET ? 0 : whence == RW_SEEK_CUR ? static_cast<Sint64>(out->pos)
                                                                    : static_cast<Sint64>(out->bytes.size());
    if (base + offset < 0) return -1;
    out->pos = static_cast<size_t>(base + offset);
    return static_cast<Sint64>(out->pos);
}

size_t memRead(SDL_RWops*, void*, size_t, size_t) { return 0; }

size_t memWrite(SDL_RWops* rw, const void* data, size_t size, size_t count) {
    auto* out = static_cast<MemoryOut*>(rw->hidden.unknown.data1);
    size_t n = size * count;
    if (out->pos + n > out->bytes.size()) out->bytes.resize(out->pos + n);
    std::memcpy(out->bytes.data() + out->pos, data, n);
    out->pos += n;
    return count;
}

int memClose(SDL_RWops* rw) {
    SDL_FreeRW(rw);
    return 0;
}

bool encodePNG(SDL_Surface* surface, std::vector<unsigned char>& bytes) {
    MemoryOut out;
    SDL_RWops* rw = SDL_AllocRW();
    if (!rw) return false;
    rw->type = SDL_RWOPS_UNKNOWN;
    rw->hidden.unknown.data1 = &out;
    rw->size = memSize;
    rw->seek = memSeek;
    rw->read = memRead;
    rw->write = memWrite;
    rw->close = memClose;
    bool ok = IMG_SavePNG_RW(surface, rw, 1) == 0;
    if (ok) bytes = std::move(out.bytes);
    return ok && !bytes.empty();
}

// Runs `fn` with `texture` as SDL's target, then brings back the previous
// target and its clip (SDL forgets the clip of a texture target it leaves).
template <typename F>
auto withTarget(SDL_Renderer* renderer, SDL_Texture* texture, F fn) -> decltype(fn()) {
    SDL_Texture* previous = SDL_GetRenderTarget(renderer);
    if (previous == texture) return fn();
    SDL_Rect clip{};
    SDL_bool clipped = SDL_RenderIsClipEnabled(renderer);
    SDL_RenderGetClipRect(renderer, &clip);
    if (SDL_SetRenderTarget(renderer, texture) != 0) return {};
    auto result = fn();
    SDL_SetRenderTarget(renderer, previous);
    SDL_RenderSetClipRect(renderer, clipped ? &clip : nullptr);
    return result;
}

} // namespace

RenderTexture* RenderTexture::create(int w, int h) {
    return initAndAutorelease(new RenderTexture(), [&](RenderTexture* rt) { return rt->init(w, h); });
}

bool RenderTexture::init(int w, int h) {
    auto* sdl = dynamic_cast<SdlRenderer*>(Director::getInstance()->getRenderer());
    if (!sdl || w <= 0 || h <= 0) return false;
    _scale = Director::getInstance()->getContentScaleFactor();
    if (_scale <= 0) _scale = 1;
    _pixelsWide = static_cast<int>(std::lround(w * _scale));
    _pixelsHigh = static_cast<int>(std::lround(h * _scale));
    SDL_Renderer* r = sdl->getSDLRenderer();
    SDL_Texture* texture =
        SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET, _pixelsWide, _pixelsHigh);
    if (!texture) return false;
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeLinear);
    _renderer = sdl;
    _rendererAlive = sdl->aliveToken();
    _texture = RefPtr<Texture2D>::adopt(new SdlTexture(texture, _rendererAlive));
    clear(0, 0, 0, 0);
    _sprite = Sprite::createWithTexture(_texture.get());
    return _sprite != nullptr;
}

RenderTexture::~RenderTexture() {
    if (_begun) end();
}

SdlRenderer* RenderTexture::liveRenderer() const { return _rendererAlive && *_rendererAlive ? _renderer : nullptr; }

void RenderTexture::begin() {
    SdlRenderer* sdl = liveRenderer();
    if (!sdl || _begun) return;
    auto* texture = static_cast<SdlTexture*>(_texture.get());
    _previousTarget = SDL_GetRenderTarget(sdl->getSDLRenderer());
    if (SDL_SetRenderTarget(sdl->getSDLRenderer(), texture->getSDLTexture()) != 0) return;
    ViewportMapping mapping;
    mapping.scaleX = mapping.scaleY = _scale;
    mapping.targetWidth = static_cast<float>(_pixelsWide);
    mapping.targetHeight = static_cast<float>(_pixelsHigh);
    sdl->pushTarget(mapping);
    _begun = true;
}

void RenderTexture::beginWithClear(float r, float g, float b, float a) {
    begin();
    if (_begun) liveRenderer()->clear(Color4B(toByte(r), toByte(g), toByte(b), toByte(a)));
}

void RenderTexture::end() {
    if (!_begun) return;
    _begun = false;
    SdlRenderer* sdl = liveRenderer();
    if (!sdl) return;
    SDL_SetRenderTarget(sdl->getSDLRenderer(), _previousTarget);
    // Brings back the outer mapping and re-applies its clip.
    sdl->popTarget();
    _previousTarget = nullptr;
}

void RenderTexture::clear(float r, float g, float b, float a) {
    SdlRenderer* sdl = liveRenderer();
    if (!sdl) return;
    SDL_Renderer* renderer = sdl->getSDLRenderer();
    withTarget(renderer, static_cast<SdlTexture*>(_texture.get())->getSDLTexture(), [&] {
        SDL_SetRenderDrawColor(renderer, toByte(r), toByte(g), toByte(b), toByte(a));
        return SDL_RenderClear(renderer) == 0;
    });
}

void RenderTexture::visitNode(Node* node) {
    SdlRenderer* sdl = liveRenderer();
    if (!node || !sdl) return;
    node->visit(sdl, AffineTransform::identity(), 255, Color3B::WHITE);
}

void RenderTexture::draw(Renderer* renderer, const AffineTransform& transform) {
    // Drawing the texture into itself would read what is being written.
    if (_sprite && !_begun) _sprite->visit(renderer, transform, _visitOpacity, _visitColor);
}

SDL_Surface* RenderTexture::readPixels() const {
    SdlRenderer* sdl = liveRenderer();
    if (!sdl) return nullptr;
    return withTarget(sdl->getSDLRenderer(), static_cast<SdlTexture*>(_texture.get())->getSDLTexture(),
                      [sdl] { return sdl->readPixels(); });
}

bool RenderTexture::saveToFile(const std::string& filename, bool isRGBA, SaveCallback callback) {
    FileUtils* files = FileUtils::getInstance();
    std::string fullPath = files->isAbsolutePath(filename) ? filename : files->getWritablePath() + filename;
    bool ok = false;
    if (SDL_Surface* pixels = readPixels()) {
        SDL_Surface* toSave = pixels;
        if (!isRGBA) toSave = SDL_ConvertSurfaceFormat(pixels, SDL_PIXELFORMAT_RGB24, 0);
        std::vector<unsigned char> png;
        ok = toSave && encodePNG(toSave, png) && files->writeDataToFile(png, fullPath);
        if (toSave && toSave != pixels) SDL_FreeSurface(toSave);
        SDL_FreeSurface(pixels);
    }
    if (!ok) _lastSaveSucceeded = false;
    if (callback) {
        RefPtr<RenderTexture> self(this);
        Director::getInstance()->getScheduler()->performFunctionInCocosThread([self, fullPath, ok, callback] {
            self->_lastSaveSucceeded = ok;
            callback(self.get(), fullPath);
        });
    } else {
        _lastSaveSucceeded = ok;
    }
    return ok;
}

} // namespace engine
