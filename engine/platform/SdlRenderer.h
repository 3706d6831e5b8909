#pragma once
// The engine's renderer on an SDL_Renderer. Unturned pictures take the
// plain copy path; turned ones need geometry, which the software renderer
// draws several times slower.
#include <memory>
#include <string>
#include <vector>

#include <SDL.h>

#include "engine/core/Renderer.h"

namespace engine {

class SdlTexture : public Texture2D {
public:
    // Takes ownership of `texture`; `alive` tells whether its renderer still exists.
    SdlTexture(SDL_Texture* texture, std::shared_ptr<bool> alive);
    ~SdlTexture() override;
    int getPixelsWide() const override { return _w; }
    int getPixelsHigh() const override { return _h; }
    SDL_Texture* getSDLTexture() const { return _texture; }

private:
    SDL_Texture* _texture;
    std::shared_ptr<bool> _alive;
    int _w = 0, _h = 0;
};

class SdlRenderer : public Renderer {
public:
    explicit SdlRenderer(SDL_Renderer* renderer);
    ~SdlRenderer() override;

    void drawTexture(Texture2D* texture, const Rect& rect, const Size& size, const AffineTransform& transform,
                     const Color4B& tint) override;
    void drawSolidRect(const Size& size, const AffineTransform& transform, const Color4B& color) override;
    void clear(const Color4B& color) override;

    SDL_Renderer* getSDLRenderer() const { return _renderer; }
    // Textures made from pictures or surfaces, tied to this renderer.
    RefPtr<Texture2D> createTexture(SDL_Surface* surface);
    RefPtr<Texture2D> loadTexture(const std::string& fullPath);
    std::shared_ptr<bool> aliveToken() const { return _alive; }

    // Pixels of the current target as RGBA8888 rows, top row first.
    SDL_Surface* readPixels() const;
    // Counters for benchmarks and tests.
    unsigned copyCount() const { return _copies; }
    unsigned geometryCount() const { return _geometries; }

protected:
    void applyScissor(const Rect* pixels) override;

private:
    SDL_Renderer* _renderer;
    std::shared_ptr<bool> _alive = std::make_shared<bool>(true);
    unsigned _copies = 0, _geometries = 0;
};

} // namespace engine
