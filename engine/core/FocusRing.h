#pragma once
// The ring round what the keyboard acts on: a white band between two dark
// ones, so it stands out on light and dark backgrounds alike. It follows
// its target every frame, so a panel that slides carries the ring along;
// no target, or one not shown now, hides it.
#include <functional>
#include <optional>

#include "engine/core/Node.h"

namespace engine {

class LayerColor;

class FocusRing : public Node {
public:
    static constexpr float kDark = 3, kWhite = 3, kInnerDark = 2;
    static constexpr float kWidth = kDark + kWhite + kInnerDark;

    static FocusRing* create();
    bool init() override;

    // The box to ring, in world points; nullopt while nothing is to be ringed.
    using Target = std::function<std::optional<Rect>()>;
    void setTarget(Target target);
    // Lays the ring round the target now, rather than at the next frame.
    void follow();
    // The box ringed now, in world points; nullopt while hidden.
    std::optional<Rect> getRinged() const { return ringed; }

    // The bands' colours: the outer and inner edges, and the band between.
    void setColours(const Color3B& edge, const Color3B& band);

    void update(float dt) override;

private:
    void frame(const Rect& box);

    Target target;
    std::optional<Rect> ringed;
    LayerColor* bands[12] = {};
};

} // namespace engine
