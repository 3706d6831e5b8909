#include "cards/FieldGeometry.h"

#include <cmath>

namespace field_geometry {

float contentHeight(float visibleHeight) { return 7.33f * visibleHeight; }

engine::Vec2 plateCentre(int row, float visibleHeight) {
    // The same float arithmetic as the scene's, so loaded cards meet the
    // rows it draws.
    float x = (1024 - kPaletteWidth) / 2 + kPaletteWidth - 142;
    float y = (contentHeight(visibleHeight) - 50) - (static_cast<float>(row) + 0.5f) * kPlateHeight;
    return {x, y};
}

engine::Vec2 rowHeadCentre(int row, float visibleHeight) {
    engine::Vec2 plate = plateCentre(row, visibleHeight);
    return {plate.x + kPlateWidth / 2 + kHeadWidth / 2, plate.y};
}

engine::Vec2 rowHeadConnector(int row, float visibleHeight) {
    engine::Vec2 head = rowHeadCentre(row, visibleHeight);
    return {head.x - kHeadWidth / 2 + 5, head.y};
}

engine::Vec2 cardConnector(engine::Vec2 cardCentre) { return {cardCentre.x - kCardWidth / 2, cardCentre.y}; }

engine::Vec2 cardCentreOnRow(int row, float visibleHeight) {
    engine::Vec2 connector = rowHeadConnector(row, visibleHeight);
    return {connector.x + kCardWidth / 2, connector.y};
}

int rowAtLoad(engine::Vec2 cardCentre, float visibleHeight) {
    engine::Vec2 connector = cardConnector(cardCentre);
    for (int row = 0; row < kRowCount; ++row) {
        engine::Vec2 head = rowHeadConnector(row, visibleHeight);
        // NaN compares false and joins no row.
        if (std::fabs(connector.x - head.x) <= 1 && std::fabs(connector.y - head.y) <= 1) return row;
    }
    return -1;
}

} // namespace field_geometry
