#include <gtest/gtest.h>

#include <stdexcept>

#include "cards/DeviceManager.h"
#include "ui/Localization.h"

namespace {

class DeviceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager->setDialect(DIALECT_JAM);
        manager->setCardSet(CARD_SET_BASIC);
        Localization::getInstance()->configure(engine::LanguageType::JAPANESE, {});
    }
    void TearDown() override { SetUp(); }

    DeviceManager* manager = DeviceManager::getInstance();
};

} // namespace

TEST_F(DeviceManagerTest, LookupsFollowTheCurrentDialectAndSet)
{
    manager->setDialect(DIALECT_LATTE);
    EXPECT_EQ(manager->getCardCode(0, CARD_SET_BASIC).text, "led(1);");
    const std::string latteFace = manager->getCardCodeImage(4, CARD_SET_FULL);

    manager->setDialect(DIALECT_QUE);
    EXPECT_EQ(manager->getCardCodeImage(4, CARD_SET_FULL), latteFace);
    EXPECT_TRUE(manager->getPrelude().empty());
    EXPECT_TRUE(manager->getEpilogue().empty());
    EXPECT_EQ(manager->getBreakCode().text, "");
    EXPECT_EQ(manager->getStopCode().text, "");

    // Without a set the picture comes from the current one.
    manager->setCardSet(CARD_SET_FULL);
    EXPECT_EQ(manager->getCardImage(3), "res/cards/full/r_beep.png");
    EXPECT_EQ(manager->getCardImage(3, CARD_SET_BASIC), "res/cards/basic/r_wait3.png");
}

TEST_F(DeviceManagerTest, PastTheEndIsEmptyOutsideTheSetsThrows)
{
    const CardCode code = manager->getCardCode(6, CARD_SET_BASIC);
    EXPECT_EQ(code.text, "");
    EXPECT_EQ(code.delayMs, -1);
    EXPECT_EQ(code.multiplier, 1.0f);
    EXPECT_EQ(code.pairIndex, -1);
    EXPECT_EQ(code.pairSet, -1);
    EXPECT_EQ(manager->getCardImage(6), "");
    EXPECT_EQ(manager->getCardCodeImage(15, CARD_SET_PAPRIKA), "");
    EXPECT_TRUE(manager->getInputRects(22, CARD_SET_FULL).empty());

    EXPECT_THROW(manager->getCardCode(0, 3), std::out_of_range);
    EXPECT_THROW(manager->getCardSetImage(3), std::out_of_range);
    EXPECT_THROW(manager->getDialectImage(3, true), std::out_of_range);
    // A bad choice is refused and the old one stays.
    manager->setDialect(DIALECT_LATTE);
    EXPECT_THROW(manager->setDialect(3), std::out_of_range);
    EXPECT_EQ(manager->getDialect(), DIALECT_LATTE);
    EXPECT_THROW(manager->setCardSet(-1), std::out_of_range);
    EXPECT_EQ(manager->getCardSet(), CARD_SET_BASIC);
}

TEST_F(DeviceManagerTest, PicturesAreLocalisedButDigitsAndDialectButtonsAreNot)
{
    Localization::getInstance()->configure(
        engine::LanguageType::ENGLISH, {"res/cards/r_paprika_on.png", "res/cards/full/r_beep.png",
                                        "res/r_input_num_jam_l.png", "res/r_to_jam_on.png"});
    manager->setCardSet(CARD_SET_PAPRIKA);
    EXPECT_EQ(manager->getCardSetImage(CARD_SET_PAPRIKA), "res_en/cards/r_paprika_on.png");
    manager->setCardSet(CARD_SET_BASIC);
    EXPECT_EQ(manager->getCardSetImage(CARD_SET_PAPRIKA), "res/cards/r_paprika_off.png");
    EXPECT_EQ(manager->getCardImage(3, CARD_SET_FULL), "res_en/cards/full/r_beep.png");
    EXPECT_EQ(manager->getInputImage(), "res/r_input_num_jam_l.png");
    EXPECT_EQ(manager->getDialectImage(DIALECT_JAM, true), "res/r_to_jam_on.png");
}

TEST_F(DeviceManagerTest, LookupsAreCopies)
{
    manager->setDialect(DIALECT_QUE);
    CardCode wait = manager->getCardCode(2, CARD_SET_FULL);
    wait.bytes[2] = 99;
    wait.patches["input"]["position"] = 6;
    auto rects = manager->getInputRects(2, CARD_SET_FULL);
    rects.at(0) = engine::Rect(1, 2, 3, 4);
    manager->setDialect(DIALECT_JAM);
    auto epilogue = manager->getEpilogue();
    epilogue.at(0).text = "changed";

    EXPECT_EQ(manager->getEpilogue()[0].text, "SAVE 0");
    manager->setDialect(DIALECT_QUE);
    EXPECT_EQ(manager->getCardCode(2, CARD_SET_FULL).bytes[2], 0);
    EXPECT_EQ(manager->getCardCode(2, CARD_SET_FULL).patches.at("input").at("position"), 2);
    EXPECT_EQ(manager->getInputRects(2, CARD_SET_FULL)[0], engine::Rect(0, -13, 50, 30));
}

namespace {
struct Fixed {
    std::string text;
    int delayMs;
    bool appendLineEnding, reportChars;
};
void expectItems(const std::vector<CardCode>& got, const std::vector<Fixed>& want, const char* what)
{
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].text, want[i].text) << what << " " << i;
        EXPECT_EQ(got[i].delayMs, want[i].delayMs) << what << " " << i;
        EXPECT_EQ(got[i].appendLineEnding, want[i].appendLineEnding) << what << " " << i;
        EXPECT_EQ(got[i].reportChars, want[i].reportChars) << what << " " << i;
    }
}
} // namespace

// The pauses around the cards are what let the board keep up: the second
// after the bare line feed lets it finish saving before RUN.
TEST_F(DeviceManagerTest, FixedItemsAroundTheCardsKeepTheirTextsAndPauses)
{
    manager->setDialect(DIALECT_JAM);
    expectItems({manager->getBreakCode()}, {{"\x1b", 500, true, true}}, "jam break");
    expectItems({manager->getStopCode()}, {{"\nOUT0\n", -1, true, true}}, "jam stop");
    expectItems(manager->getPrelude(), {{"\n\n\n\n\nNEW", -1, true, true}}, "jam prelude");
    expectItems(manager->getEpilogue(), {{"SAVE 0", 60, false, true}, {"\n", 1000, false, true}, {"RUN", -1, true, true}},
                "jam epilogue");

    manager->setDialect(DIALECT_LATTE);
    expectItems({manager->getBreakCode()}, {{" ", 20, true, true}}, "latte break");
    expectItems({manager->getStopCode()}, {{"ms\nout(0)\nexit()\n", -1, true, true}}, "latte stop");
    expectItems(manager->getPrelude(), {{"cat uart > .", 5, true, false}, {"var i=0;var o=0;", -1, true, true}},
                "latte prelude");
    expectItems(manager->getEpilogue(),
                {{"while(uart()!=-1);\n", 5, false, false}, {"\x04", 2000, true, false}, {"ms .", 5, true, false}},
                "latte epilogue");
}
