// Zooming the field with a mouse: three controls in the right-hand column,
// below the run controls. And how far the field may slide at any zoom: the
// row numbers and their buttons never go under the palette or the board's
// panel beside it, and the white of the field reaches the frame on the right.
#include <algorithm>
#include <utility>

#include "cards/FieldGeometry.h"

#include "field/FieldScene.h"

using namespace engine;

namespace {
const float kZoomButtonSize = 48;
const float kZoomGap = 4;
// Four presses take the field from full size to the smallest zoom.
const float kZoomStep = 1.25f;
const float kFieldRight = 1019;  // the frame's inner edge
} // namespace

void FieldScene::buildZoomControls() {
    // In a row under the stop control, right of every row, and clear of
    // the settings control with the bar open or closed.
    const float y = stopButton->getBoundingBoxInWorld().getMinY() - kZoomGap - kZoomButtonSize / 2;
    const float right = kFieldRight - kZoomButtonSize / 2;
    zoomOutButton = button("res/r_zoom_out.png");
    zoomInButton = button("res/r_zoom_in.png");
    zoomFullButton = button("res/r_zoom_full.png");
    float x = right - 2 * (kZoomButtonSize + kZoomGap);
    for (auto [b, name] : {std::pair{zoomOutButton, "zoom out"}, std::pair{zoomInButton, "zoom in"},
                           std::pair{zoomFullButton, "zoom full size"}}) {
        const Size s = b->getContentSize();
        if (s.width > 0) b->setScale(kZoomButtonSize / s.width);
        b->setPosition(x, y);
        b->setName(name);
        addChild(b);
        x += kZoomButtonSize + kZoomGap;
    }
    zoomOutButton->setAction([this] { zoomFieldTo(zoom() / kZoomStep); });
    zoomInButton->setAction([this] { zoomFieldTo(zoom() * kZoomStep); });
    zoomFullButton->setAction([this] { zoomFieldTo(kFieldMaxZoom); });
    refreshZoomControls();
}

void FieldScene::guardFieldSides() {
    // The row buttons' left edge, and the right end of the white.
    float buttonsLeft = field_geometry::plateCentre(0, layoutSize.height).x;
    if (Node* insert = fieldView->getContainer()->getChildByName("insert row 0"))
        buttonsLeft = insert->getBoundingBox().getMinX();
    fieldView->setHorizontalGuard(buttonsLeft, kRowsLeftLimit, fieldView->getContentSize().width, kFieldRight);
}

void FieldScene::zoomFieldTo(float z) {
    if (fieldBusy()) return;
    // Around the top left of the field's part of the window: the rows in
    // view stay at the top, and the row numbers stay put where they can.
    const Vec2 corner(kRowsLeftLimit, layoutSize.height - 5);
    fieldView->setZoomAround(std::clamp(z, kFieldMinZoom, kFieldMaxZoom), corner);
    fieldView->clampToBounds();
}

void FieldScene::refreshZoomControls() {
    if (!zoomOutButton) return;
    const float z = zoom();
    zoomOutButton->setOpacity(z > kFieldMinZoom + 1e-3f ? 255 : kUnavailableOpacity);
    zoomInButton->setOpacity(z < kFieldMaxZoom - 1e-3f ? 255 : kUnavailableOpacity);
    zoomFullButton->setOpacity(z < kFieldMaxZoom - 1e-3f ? 255 : kUnavailableOpacity);
}
