#include "engine/core/LabelAtlas.h"

#include <cmath>

#include "engine/core/Director.h"
#include "engine/core/Renderer.h"
#include "engine/core/TextureCache.h"

namespace engine {

LabelAtlas* LabelAtlas::create(const std::string& text, const std::string& charMapFile, int itemWidth,
                               int itemHeight, int startCharMap) {
    Texture2D* texture = Director::getInstance()->getTextureCache()->addImage(charMapFile);
    return texture ? create(text, texture, itemWidth, itemHeight, startCharMap) : nullptr;
}

LabelAtlas* LabelAtlas::create(const std::string& text, Texture2D* texture, int itemWidth, int itemHeight,
                               int startCharMap) {
    return initAndAutorelease(new LabelAtlas(), [&](LabelAtlas* label) {
        return label->initWithString(text, texture, itemWidth, itemHeight, startCharMap);
    });
}

bool LabelAtlas::initWithString(const std::string& text, Texture2D* texture, int itemWidth, int itemHeight,
                                int startCharMap) {
    if (!texture || itemWidth <= 0 || itemHeight <= 0) return false;
    _texture = texture;
    _itemWidth = itemWidth;
    _itemHeight = itemHeight;
    _startCharMap = startCharMap;
    _text = text;
    updateContentSize();
    return true;
}

void LabelAtlas::setString(const std::string& text) {
    _text = text;
    updateContentSize();
}

void LabelAtlas::updateContentSize() {
    if (_text.empty()) setContentSize(Size::ZERO);
    else setContentSize(Size(static_cast<float>(_text.size() * _itemWidth), static_cast<float>(_itemHeight)));
}

void LabelAtlas::draw(Renderer* renderer, const AffineTransform& transform) {
    if (!_texture || _text.empty() || _visitOpacity == 0) return;
    Size map = _texture->getContentSize();
    // Cells that do not fit the picture wholly are not part of the map.
    int columns = static_cast<int>(std::floor(map.width / _itemWidth + 1e-3f));
    int rows = static_cast<int>(std::floor(map.height / _itemHeight + 1e-3f));
    if (columns <= 0 || rows <= 0) return;
    float csf = Director::getInstance()->getContentScaleFactor();
    Size cell(static_cast<float>(_itemWidth), static_cast<float>(_itemHeight));
    Color4B tint(_visitColor, _visitOpacity);
    for (size_t i = 0; i < _text.size(); ++i) {
        int index = static_cast<unsigned char>(_text[i]) - _startCharMap;
        if (index < 0 || index >= columns * rows) continue;
        Rect pixels((index % columns) * cell.width * csf, (index / columns) * cell.height * csf, cell.width * csf,
                    cell.height * csf);
        AffineTransform at = transform * AffineTransform::translation(static_cast<float>(i) * cell.width, 0);
        renderer->drawTexture(_texture.get(), pixels, cell, at, tint);
    }
}

} // namespace engine
