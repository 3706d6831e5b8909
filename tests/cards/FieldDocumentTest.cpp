// Saved programs read back as the user left them, whatever the file holds,
// and the field copy the generator reads.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "cards/FieldDocument.h"
#include "cards/FieldGeometry.h"
#include "cards/FieldSnapshot.h"
#include "engine/core/Plist.h"

using field_geometry::cardCentreOnRow;

namespace {

// A card saved on a row, its position truncated as the scene saves it.
CardRecord onRow(int row, int tab, int index, std::string value = "") {
    engine::Vec2 centre = cardCentreOnRow(row, 768);
    return {tab, index, truncateCoordinate(centre.x), truncateCoordinate(centre.y), row, std::move(value)};
}

} // namespace

TEST(FieldDocument, SurvivesTheFileAndSkipsWhatIsNotACard) {
    const FieldDocument document = {onRow(0, 2, 2, "1.5"), {0, 5, -40, 7, -3, ""}, onRow(39, 1, 14)};
    auto file = engine::plist::write(documentToValue(document));
    ASSERT_TRUE(file);
    EXPECT_EQ(documentFromValue(engine::plist::parseVector(*file)), document);

    const char* hostile = R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><array>
  <string>not a card</string>
  <array><integer>1</integer></array>
  <dict><key>tab</key><integer>3</integer><key>index</key><integer>0</integer></dict>
  <dict><key>tab</key><integer>-1</integer><key>index</key><integer>0</integer></dict>
  <dict><key>tab</key><integer>0</integer><key>index</key><integer>6</integer></dict>
  <dict><key>tab</key><integer>99999999999</integer></dict>
  <dict><key>index</key><integer>-99999999999</integer></dict>
  <dict/>
  <dict><key>tab</key><string>2</string><key>index</key><real>2.9</real>
        <key>x</key><integer>99999999999</integer><key>y</key><real>-12.7</real>
        <key>zorder</key><array/><key>value</key><integer>5</integer></dict>
  <dict><key>tab</key><true/><key>x</key><string>abc</string><key>value</key><dict/></dict>
  <dict><key>value</key><string>nan</string></dict>
  <dict><key>value</key><string>1e3</string></dict>
  <dict><key>value</key><string>600</string></dict>
  <dict><key>value</key><string>.5</string></dict>
  <dict><key>value</key><string>1.2.3</string></dict>
</array></plist>)";
    const FieldDocument read = documentFromValue(engine::plist::parseVector(hostile));
    const FieldDocument expected = {
        {0, 0, 0, 0, 0, ""},
        {2, 2, kCoordinateLimit, -12, 0, "5"},
        {1, 0, 0, 0, 0, ""},
        // A number is digits with at most one point; anything else loads as
        // no number. One too large for the board is kept: the send refuses it.
        {0, 0, 0, 0, 0, ""},
        {0, 0, 0, 0, 0, ""},
        {0, 0, 0, 0, 0, "600"},
        {0, 0, 0, 0, 0, ".5"},
        {0, 0, 0, 0, 0, ""},
    };
    EXPECT_EQ(read, expected);
}

TEST(FieldDocument, CoordinatesTruncateTowardZero) {
    const std::pair<float, int> cases[] = {
        {123.9f, 123}, {-0.5f, 0}, {-123.9f, -123}, {0.99f, 0}, {NAN, 0},
        {1e10f, INT_MAX}, {-1e10f, INT_MIN}, {INFINITY, INT_MAX}, {-INFINITY, INT_MIN},
    };
    for (auto [coordinate, truncated] : cases) EXPECT_EQ(truncateCoordinate(coordinate), truncated) << coordinate;
}

TEST(FieldSnapshot, CardsJoinTheirSavedRowsAndTheFirstOfTwoWins) {
    CardRecord nearRow5 = onRow(5, 0, 1);
    nearRow5.x += 30;
    const FieldDocument document = {onRow(3, 0, 0), onRow(7, 2, 2, "2"), onRow(3, 0, 4), nearRow5};
    const FieldSnapshot snapshot = snapshotFromDocument(document);

    ASSERT_TRUE(snapshot.rows[3]);
    EXPECT_EQ(snapshot.rows[3]->kind, (CardKind{0, 0}));
    ASSERT_TRUE(snapshot.rows[7]);
    EXPECT_EQ(snapshot.rows[7]->numberText, "2");
    EXPECT_FALSE(snapshot.rows[5]) << "30 points off its row";
    ASSERT_EQ(snapshot.loose.size(), 2u);
    EXPECT_EQ(snapshot.loose[0].kind, (CardKind{0, 4}));
    EXPECT_EQ(snapshot.loose[1].kind, (CardKind{0, 1}));

    EXPECT_EQ(documentFromSnapshot(snapshot), document) << "order and positions kept";
}

TEST(FieldSnapshot, CardsPlacedOnTheFieldStayWhereTheyWereAfterSaving) {
    FieldSnapshot field;
    int order = 0;
    for (int row : {0, 1, 2, 20, 39})
        field.rows[static_cast<size_t>(row)] =
            SnapshotCard{{2, 2}, "12", cardCentreOnRow(row, 768), row, order++};
    const engine::Vec2 nearRow10 = cardCentreOnRow(10, 768) + engine::Vec2(0, -30);
    field.loose.push_back({{1, 3}, "", nearRow10, 9, order++});

    const FieldSnapshot reread = snapshotFromDocument(documentFromSnapshot(field));
    for (size_t row = 0; row < field.rows.size(); ++row)
        EXPECT_EQ(reread.rows[row].has_value(), field.rows[row].has_value()) << "row " << row;
    EXPECT_EQ(reread.loose.size(), 1u) << "30 points off a free row";
    EXPECT_EQ(documentFromSnapshot(reread), documentFromSnapshot(field));
}
