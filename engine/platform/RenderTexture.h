#pragma once
// An off-screen picture that nodes are drawn into, shown by its sprite or
// saved as PNG. Between begin() and end() everything drawn lands in the
// texture, in points with the origin at its lower left and the content
// scale factor's pixels per point.
//
// Drawing half-transparent pictures onto a transparent texture leaves
// premultiplied-looking colours; clear to an opaque colour where exact
// colours matter.
#include <functional>
#include <memory>
#include <string>

#include "engine/core/Node.h"
#include "engine/core/Sprite.h"

struct SDL_Surface;
struct SDL_Texture;

namespace engine {

class SdlRenderer;

class RenderTexture : public Node {
public:
    using SaveCallback = std::function<void(RenderTexture*, const std::string& fullPath)>;

    // A transparent texture of w x h points (w x h times the content scale
    // factor in pixels). Null without a window to draw with.
    static RenderTexture* create(int w, int h);

    // Everything drawn until end() goes into the texture.
    void begin();
    // begin(), then the whole texture set to the colour (components 0..1).
    void beginWithClear(float r, float g, float b, float a);
    void end();
    // Clears the whole texture at once, outside begin()/end() too.
    void clear(float r, float g, float b, float a);
    // Draws `node` (and its children) into the texture as if it were at the
    // root of the scene; call between begin() and end().
    void visitNode(Node* node);

    // Shows the texture upright, centred on this node's position. It is
    // drawn when this node is drawn.
    Sprite* getSprite() const { return _sprite.get(); }
    Texture2D* getTexture() const { return _texture.get(); }

    // Writes the texture as PNG: `filename` relative to the writable folder,
    // or absolute. With `isRGBA` false the file has no alpha channel (RGB).
    // The write is atomic (temporary file, then rename). The callback runs
    // once on the main thread at the start of the next frame, after the
    // write finished or failed; getLastSaveSucceeded() tells which while it
    // runs (a failed write leaves no file behind). Returns the outcome too.
    bool saveToFile(const std::string& filename, bool isRGBA = true, SaveCallback callback = nullptr);
    bool getLastSaveSucceeded() const { return _lastSaveSucceeded; }

    // The texture's pixels as RGBA32 rows, top row first; the caller frees
    // the surface. Null on failure.
    SDL_Surface* readPixels() const;

    void draw(Renderer* renderer, const AffineTransform& transform) override;

protected:
    RenderTexture() = default;
    ~RenderTexture() override;
    bool init(int w, int h);

private:
    SdlRenderer* liveRenderer() const;

    RefPtr<Texture2D> _texture;
    RefPtr<Sprite> _sprite;
    SdlRenderer* _renderer = nullptr;
    std::shared_ptr<bool> _rendererAlive;
    int _pixelsWide = 0, _pixelsHigh = 0;
    float _scale = 1;
    bool _begun = false;
    SDL_Texture* _previousTarget = nullptr;
    bool _lastSaveSucceeded = false;
};

} // namespace engine
