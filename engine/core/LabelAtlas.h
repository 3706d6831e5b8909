#pragma once
// Text drawn from a character map: a picture of equal cells, one character
// each, in character-code order from `startCharMap`, row after row. Each
// byte of the text takes one cell's width; a byte the map has no cell for
// leaves its cell empty.
#include <string>

#include "engine/core/Node.h"
#include "engine/core/Texture2D.h"

namespace engine {

class LabelAtlas : public Node {
public:
    // `itemWidth` and `itemHeight` are the cell size in points. Null when
    // the picture cannot be loaded.
    static LabelAtlas* create(const std::string& text, const std::string& charMapFile, int itemWidth, int itemHeight,
                              int startCharMap);
    static LabelAtlas* create(const std::string& text, Texture2D* texture, int itemWidth, int itemHeight,
                              int startCharMap);
    bool initWithString(const std::string& text, Texture2D* texture, int itemWidth, int itemHeight, int startCharMap);

    void setString(const std::string& text);
    const std::string& getString() const { return _text; }

    // Another map with the same cell layout (another dialect's glyphs).
    void setTexture(Texture2D* texture) { _texture = texture; }
    Texture2D* getTexture() const { return _texture.get(); }

    int getItemWidth() const { return _itemWidth; }
    int getItemHeight() const { return _itemHeight; }
    int getStartCharMap() const { return _startCharMap; }

    void draw(Renderer* renderer, const AffineTransform& transform) override;

private:
    LabelAtlas() = default;
    void updateContentSize();

    std::string _text;
    RefPtr<Texture2D> _texture;
    int _itemWidth = 0, _itemHeight = 0;
    int _startCharMap = 0;
};

} // namespace engine
