#pragma once
#include <string>

#include "engine/core/Node.h"
#include "engine/core/Texture2D.h"

namespace engine {

class Sprite : public Node {
public:
    static Sprite* create();
    // Null when the picture cannot be loaded.
    static Sprite* create(const std::string& path);
    static Sprite* createWithTexture(Texture2D* texture);
    // `rect` in points within the texture.
    static Sprite* createWithTexture(Texture2D* texture, const Rect& rect);

    bool init() override;
    bool initWithFile(const std::string& path);
    bool initWithTexture(Texture2D* texture, const Rect& rect);

    // The whole picture becomes the sprite's rectangle and content size.
    void setTexture(const std::string& path);
    virtual void setTexture(Texture2D* texture);
    Texture2D* getTexture() const { return _texture.get(); }
    void setTextureRect(const Rect& rect);
    const Rect& getTextureRect() const { return _rect; }

    void setFlippedX(bool flipped) { _flippedX = flipped; }
    bool isFlippedX() const { return _flippedX; }
    void setFlippedY(bool flipped) { _flippedY = flipped; }
    bool isFlippedY() const { return _flippedY; }

    void draw(Renderer* renderer, const AffineTransform& transform) override;

protected:
    RefPtr<Texture2D> _texture;
    Rect _rect;
    bool _flippedX = false, _flippedY = false;
};

} // namespace engine
