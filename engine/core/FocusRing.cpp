#include "engine/core/FocusRing.h"

#include "engine/core/Scene.h"

namespace engine {

FocusRing* FocusRing::create() {
    return initAndAutorelease(new FocusRing(), [](FocusRing* ring) { return ring->init(); });
}

bool FocusRing::init() {
    if (!Node::init()) return false;
    const Color4B dark(20, 20, 40, 255), white(255, 255, 255, 255);
    for (int i = 0; i < 12; ++i) {
        bands[i] = LayerColor::create(i / 4 == 1 ? white : dark);
        addChild(bands[i]);
    }
    setVisible(false);
    scheduleUpdate();
    return true;
}

void FocusRing::setTarget(Target newTarget) {
    target = std::move(newTarget);
    follow();
}

void FocusRing::setColours(const Color3B& edge, const Color3B& band) {
    for (int i = 0; i < 12; ++i) bands[i]->setColor(i / 4 == 1 ? band : edge);
}

void FocusRing::update(float) { follow(); }

void FocusRing::follow() {
    std::optional<Rect> box = target ? target() : std::nullopt;
    ringed = box;
    setVisible(box.has_value());
    if (box) frame(*box);
}

void FocusRing::frame(const Rect& box) {
    // In the ring's own space, which the parent may have moved.
    const Vec2 low = getParent() ? getParent()->convertToNodeSpace(box.origin) : box.origin;
    const Vec2 high = getParent() ? getParent()->convertToNodeSpace(box.origin + Vec2(box.size.width, box.size.height))
                                  : box.origin + Vec2(box.size.width, box.size.height);
    setPosition(0, 0);
    // Outside in: the dark edge, the white band, the thin dark line on the box.
    const float widths[3] = {kDark, kWhite, kInnerDark};
    float outset = kWidth;
    for (int band = 0; band < 3; ++band) {
        const float w = widths[band];
        const float x0 = low.x - outset, y0 = low.y - outset;
        const float x1 = high.x + outset, y1 = high.y + outset;
        LayerColor** side = &bands[band * 4];
        side[0]->setContentSize(Size(x1 - x0, w));  // bottom
        side[0]->setPosition(x0, y0);
        side[1]->setContentSize(Size(x1 - x0, w));  // top
        side[1]->setPosition(x0, y1 - w);
        side[2]->setContentSize(Size(w, y1 - y0 - 2 * w));  // left
        side[2]->setPosition(x0, y0 + w);
        side[3]->setContentSize(Size(w, y1 - y0 - 2 * w));  // right
        side[3]->setPosition(x1 - w, y0 + w);
        outset -= w;
    }
}

} // namespace engine
