#include "engine/core/Sprite.h"

#include "engine/core/Director.h"
#include "engine/core/Renderer.h"
#include "engine/core/TextureCache.h"

namespace engine {

Sprite* Sprite::create() { return initAndAutorelease(new Sprite()); }
Sprite* Sprite::create(const std::string& path) {
    return initAndAutorelease(new Sprite(), [&](Sprite* s) { return s->initWithFile(path); });
}
Sprite* Sprite::createWithTexture(Texture2D* texture) {
    if (!texture) return nullptr;
    Size size = texture->getContentSize();
    return createWithTexture(texture, {0, 0, size.width, size.height});
}
Sprite* Sprite::createWithTexture(Texture2D* texture, const Rect& rect) {
    return initAndAutorelease(new Sprite(), [&](Sprite* s) { return s->initWithTexture(texture, rect); });
}

bool Sprite::init() { return initWithTexture(nullptr, Rect::ZERO); }

bool Sprite::initWithFile(const std::string& path) {
    Texture2D* texture = Director::getInstance()->getTextureCache()->addImage(path);
    if (!texture) return false;
    Size size = texture->getContentSize();
    return initWithTexture(texture, {0, 0, size.width, size.height});
}

bool Sprite::initWithTexture(Texture2D* texture, const Rect& rect) {
    setAnchorPoint(Vec2::ANCHOR_MIDDLE);
    _texture = texture;
    setTextureRect(rect);
    return true;
}

void Sprite::setTexture(const std::string& path) {
    Texture2D* texture = Director::getInstance()->getTextureCache()->addImage(path);
    if (texture) setTexture(texture);
}

void Sprite::setTexture(Texture2D* texture) {
    _texture = texture;
    if (texture) {
        Size size = texture->getContentSize();
        setTextureRect({0, 0, size.width, size.height});
    }
}

void Sprite::setTextureRect(const Rect& rect) {
    _rect = rect;
    setContentSize(rect.size);
}

void Sprite::draw(Renderer* renderer, const AffineTransform& transform) {
    if (_visitOpacity == 0 || _contentSize.width <= 0 || _contentSize.height <= 0) return;
    // Without a picture the sprite is drawn as with a plain white one: a
    // rectangle of its colour.
    if (!_texture) {
        renderer->drawSolidRect(_contentSize, transform, Color4B(_visitColor, _visitOpacity));
        return;
    }
    float csf = Director::getInstance()->getContentScaleFactor();
    Rect pixels(_rect.origin.x * csf, _rect.origin.y * csf, _rect.size.width * csf, _rect.size.height * csf);
    AffineTransform t = transform;
    if (_flippedX || _flippedY) {
        AffineTransform flip = AffineTransform::scale(_flippedX ? -1.0f : 1.0f, _flippedY ? -1.0f : 1.0f);
        flip.tx = _flippedX ? _contentSize.width : 0;
        flip.ty = _flippedY ? _contentSize.height : 0;
        t = transform * flip;
    }
    renderer->drawTexture(_texture.get(), pixels, _contentSize, t, Color4B(_visitColor, _visitOpacity));
}

} // namespace engine
