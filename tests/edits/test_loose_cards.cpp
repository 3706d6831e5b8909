// Cards let go loose over rows, and rows deleted while others slide: what
// the editor shows is what a saved program brings back.
#include "edits/EditSessionFixture.h"

namespace {
// The session driver's gestures, one at a time.
class LooseCardTest : public EditSessionTest {};
} // namespace

// Loading puts a card on the row its saved connector lies on. A card let go
// loose right over a row must therefore come back as the editor showed it.
TEST_F(LooseCardTest, ACardLetGoRightOverATakenRowComesBackLoose) {
    CardSprite* loose = dragOut(1);
    ASSERT_NE(loose, nullptr);
    bringConnectorTo(loose, headConnector(4) + Vec2(150, 0));
    touch(Code::ENDED, fingerAt);
    CardSprite* onRow = dragOut(0);
    ASSERT_NE(onRow, nullptr);
    bringConnectorTo(onRow, headConnector(2));
    touch(Code::ENDED, fingerAt);
    ASSERT_EQ(field->cardOnRow(2), onRow);

    pickUp(loose, 4);
    bringConnectorTo(loose, headConnector(2));
    touch(Code::ENDED, fingerAt);
    EXPECT_EQ(field->rowOfCard(loose), -1) << "the row is taken";
    const FieldSnapshot shown = field->takeSnapshot();
    const FieldSnapshot opened = savedAndOpenedAgain();
    ASSERT_TRUE(opened.rows[2].has_value());
    EXPECT_EQ(opened.rows[2]->kind, shown.rows[2]->kind) << "the card that held the row holds it again";
    EXPECT_EQ(opened.loose.size(), 1u);
}

TEST_F(LooseCardTest, AChainLetGoWithItsLastCardRightOverAFreeRowKeepsNoCardThatLoadingWouldMove) {
    for (int row : {5, 6, 9}) {
        CardSprite* card = dragOut(row == 9 ? 2 : row - 5);
        ASSERT_NE(card, nullptr);
        bringConnectorTo(card, headConnector(row));
        touch(Code::ENDED, fingerAt);
    }
    CardSprite* first = field->cardOnRow(5);
    pickUp(first, 30);
    ASSERT_EQ(field->getDragGroup().size(), 2u) << "rows 5 and 6 lift together";
    // The first lands over row 9, which is taken; the second over row 10, which is free.
    bringConnectorTo(first, headConnector(9));
    touch(Code::ENDED, fingerAt);
    const FieldSnapshot shown = field->takeSnapshot();
    const FieldSnapshot opened = savedAndOpenedAgain();
    for (size_t row = 0; row < shown.rows.size(); ++row)
        EXPECT_EQ(opened.rows[row].has_value(), shown.rows[row].has_value()) << "row " << row;
    EXPECT_EQ(opened.loose.size(), shown.loose.size());
}

// Every finished change is saved, row shifts once their slides end: also
// when a card still sliding is thrown away by a second tap.
TEST_F(LooseCardTest, TwoQuickRowDeletionsAreSavedOnceTheSlidesEnd) {
    for (int row : {3, 4, 5}) {
        CardSprite* card = dragOut(row - 3);
        ASSERT_NE(card, nullptr);
        bringConnectorTo(card, headConnector(row));
        touch(Code::ENDED, fingerAt);
    }
    ASSERT_TRUE(wheelIntoView(deleteButtons[3]->getPosition(), "row 3"));
    tap(screenOf(deleteButtons[3]));
    tap(screenOf(deleteButtons[3]));  // the card from row 4 is still on its way up
    advance(30);
    ASSERT_EQ(field->getFieldCards().size(), 1u);
    ASSERT_NE(field->cardOnRow(3), nullptr);
    const FieldDocument saved = documentFromValue(SaveDataManager::getInstance()->loadDocument(field->getDocument()));
    EXPECT_EQ(saved, field->makeFieldDocument()) << "the field as it shows is saved";

    // And the next shift too.
    tap(screenOf(insertButtons[3]));
    advance(30);
    EXPECT_EQ(documentFromValue(SaveDataManager::getInstance()->loadDocument(field->getDocument())),
              field->makeFieldDocument());
}
