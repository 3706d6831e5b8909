// The rows of the field as the scene lays them out, and how a saved card
// finds its row again.
#include <gtest/gtest.h>

#include <cmath>

#include "cards/FieldGeometry.h"

using namespace field_geometry;

TEST(FieldGeometry, RowsRunDownFromTheTopAndJoinedCardsMeetTheirHead) {
    // The scene's layout on a 768-point-high window.
    EXPECT_FLOAT_EQ(contentHeight(768), 5629.44f);
    EXPECT_FLOAT_EQ(plateCentre(0, 768).x, 507.5f);
    EXPECT_FLOAT_EQ(plateCentre(0, 768).y, 5629.44f - 50 - 58);
    EXPECT_FLOAT_EQ(rowHeadCentre(0, 768).x, 644.5f);
    for (float H : {768.0f, 1080.0f, 1200.0f}) {
        for (int row = 0; row < kRowCount; ++row) {
            if (row > 0) {
                EXPECT_FLOAT_EQ(plateCentre(row - 1, H).y - plateCentre(row, H).y, kPlateHeight);
            }
            EXPECT_EQ(rowHeadCentre(row, H).y, plateCentre(row, H).y);
            // The head's connector is 5 points inside its left edge, which
            // touches the plate.
            EXPECT_FLOAT_EQ(rowHeadConnector(row, H).x, plateCentre(row, H).x + kPlateWidth / 2 + 5);
            EXPECT_EQ(cardConnector(cardCentreOnRow(row, H)), rowHeadConnector(row, H));
        }
        EXPECT_GT(plateCentre(kRowCount - 1, H).y - kPlateHeight / 2, 0) << "the last row is on the field";
    }
}

TEST(FieldGeometry, SavedCardsJoinTheirRowWithinOnePointOnEachAxis) {
    for (float H : {768.0f, 777.7f}) {
        for (int row : {0, 1, 20, kRowCount - 1}) {
            engine::Vec2 on = cardCentreOnRow(row, H);
            EXPECT_EQ(rowAtLoad(on, H), row);
            EXPECT_EQ(rowAtLoad({std::trunc(on.x), std::trunc(on.y)}, H), row) << "as saved";
            EXPECT_EQ(rowAtLoad(on + engine::Vec2(1, -1), H), row);
            EXPECT_EQ(rowAtLoad(on + engine::Vec2(-1, 1), H), row);
            EXPECT_EQ(rowAtLoad(on + engine::Vec2(1.5f, 0), H), -1);
            EXPECT_EQ(rowAtLoad(on + engine::Vec2(0, -1.5f), H), -1);
            EXPECT_EQ(rowAtLoad(on + engine::Vec2(30, 0), H), -1);
            EXPECT_EQ(rowAtLoad(on + engine::Vec2(0, 30), H), -1);
        }
    }
    EXPECT_EQ(rowAtLoad(cardCentreOnRow(3, 768), 600), -1) << "a window of another height";
    EXPECT_EQ(rowAtLoad({NAN, NAN}, 768), -1);
    EXPECT_EQ(rowAtLoad(cardCentreOnRow(kRowCount, 768), 768), -1) << "below the last row";
}
