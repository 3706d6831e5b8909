#pragma once
#include "engine/core/Node.h"

namespace engine {

// The root of what is shown; as large as the design area.
class Scene : public Node {
public:
    static Scene* create();
    bool init() override;
};

// A full-screen container whose position is its lower-left corner.
class Layer : public Node {
public:
    static Layer* create();
    bool init() override;
};

class LayerColor : public Layer {
public:
    static LayerColor* create();
    static LayerColor* create(const Color4B& color);
    static LayerColor* create(const Color4B& color, float width, float height);
    bool initWithColor(const Color4B& color, float width, float height);
    void draw(Renderer* renderer, const AffineTransform& transform) override;
};

} // namespace engine
