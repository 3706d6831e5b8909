#pragma once
// Where the field's rows lie, in the field's content coordinates: design
// points, y up, every picture anchored at its centre. The scene lays the
// rows out by these, and loading a saved program finds each card's row by
// them without a window.
#include "engine/core/Types.h"

namespace field_geometry {

constexpr int kRowCount = 40;
constexpr float kPlateWidth = 64, kPlateHeight = 116;  // the row number plate
constexpr float kHeadWidth = 210, kHeadHeight = 110;   // the row head a card joins
constexpr float kCardWidth = 200, kCardHeight = 100;
constexpr float kPaletteWidth = 275;

// The field is 1.5 screens wide and 7.33 screens high.
float contentHeight(float visibleHeight);

// Row 0 is at the top; rows lie kPlateHeight apart.
engine::Vec2 plateCentre(int row, float visibleHeight);
// Just right of the plate, at its height.
engine::Vec2 rowHeadCentre(int row, float visibleHeight);
// Where a card's first connector lands when the card joins the row.
engine::Vec2 rowHeadConnector(int row, float visibleHeight);
// A field card's first connector, at the middle of its left edge.
engine::Vec2 cardConnector(engine::Vec2 cardCentre);
// The centre of a card joined to the row: its connector on the head's.
engine::Vec2 cardCentreOnRow(int row, float visibleHeight);

// The row a saved card was joined to, or -1: its connector within one point
// of the row head's on each axis, since saved positions lose under a point
// per axis to truncation.
int rowAtLoad(engine::Vec2 cardCentre, float visibleHeight);

} // namespace field_geometry
