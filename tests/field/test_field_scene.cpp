// The editor screen headless: where its parts land, its buttons, the wheel
// and the settings bar.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "field/FieldFixture.h"
#include "ui/AppEvents.h"

TEST_F(FieldSceneTest, ANewProgramShowsFortyEmptyRowsWithTheTopOfTheFieldInView) {
    for (int row = 0; row < 40; ++row) EXPECT_EQ(field->getFieldModel().cardOnRow(row), 0);
    EXPECT_FALSE(field->canUndo());
    // Row 0 sits at the top of the screen, row 39 far below.
    Vec2 first = centreOf(field->getRowHead(0));
    EXPECT_GT(first.y, 768 - 120);
    EXPECT_LT(first.y, 768);
    EXPECT_LT(centreOf(field->getRowHead(39)).y, 0);
    // Rows are one plate (116 points) apart.
    EXPECT_FLOAT_EQ(first.y - centreOf(field->getRowHead(1)).y, 116);
    EXPECT_EQ(field->getFieldView()->getZoom(), 1);

    // The basic set in the palette, index 0 at the top, each badge at 0.
    const auto& cards = field->getPaletteCards();
    ASSERT_EQ(cards.size(), 6u);
    for (size_t k = 0; k < cards.size(); ++k) {
        EXPECT_EQ(cards[k]->getCardIndex(), static_cast<int>(k));
        EXPECT_EQ(field->getCountLabel(static_cast<int>(k))->getString(), "0");
        if (k > 0) {
            EXPECT_GT(cards[k - 1]->getPositionY(), cards[k]->getPositionY());
        }
    }
    EXPECT_GT(centreOf(cards[0]).y, 600) << "the top of the list shows first";
}

TEST_F(FieldSceneTest, TheLayoutLandsWhereItBelongs) {
    testsupport::Frame f = grab();
    ASSERT_TRUE(f.valid());
    // Palette column: accent strips top, left and bottom, white inside.
    EXPECT_TRUE(colorNear(at(f, 250, 2), 105, 208, 238)) << "the palette's bottom strip";
    EXPECT_TRUE(colorNear(at(f, 2, 400), 105, 208, 238)) << "the palette's left edge";
    EXPECT_TRUE(colorNear(at(f, 272, 400), 105, 208, 238)) << "the frame between palette and field";
    EXPECT_TRUE(colorNear(at(f, 600, 765), 105, 208, 238)) << "the frame along the top";
    EXPECT_TRUE(colorNear(at(f, 1021, 300), 105, 208, 238)) << "the frame on the right";
    // The field is white between its rows and the controls.
    EXPECT_TRUE(colorNear(at(f, 800, 650), 255, 255, 255));
    // The top row: the number plate and its head.
    Vec2 plate((1024 - 275) / 2.0f + 275 - 142, 7.33f * 768 - 50 - 58 - 6.33f * 768);
    SDL_Color plateColour = at(f, plate.x, plate.y + 30);
    EXPECT_FALSE(colorNear(plateColour, 255, 255, 255, 10)) << "the plate of row 10 is drawn";
    // Run and stop controls on the right, the settings tab at the bottom right.
    for (Node* control : {static_cast<Node*>(named("play")), static_cast<Node*>(named("stop")),
                          static_cast<Node*>(named("settings"))}) {
        Vec2 c = centreOf(control);
        EXPECT_GT(coloured(f, control), 0.3) << "hardly anything drawn at " << c.x << ", " << c.y;
        EXPECT_GT(c.x, 900);
    }
    EXPECT_LT(centreOf(named("settings")).y, 80) << "the settings tab shows while the bar is closed";
    EXPECT_LT(centreOf(field->getStatusLabel()).y, 0) << "the bar itself is below the screen";
    if (const char* dir = std::getenv("CORVINA_SCREENSHOT_DIR")) f.save(std::string(dir) + "/field-scene.png");
}

TEST_F(FieldSceneTest, AWideWindowLetterboxesTheEditor) {
    view->setWindowSize(1600, 900);
    step();
    testsupport::Frame f = grab();
    ASSERT_EQ(f.width(), 1600);
    ASSERT_EQ(f.height(), 900);
    // 900 / 768 = 1.171875: the design area is 1200 wide, bars of 200 each side.
    EXPECT_TRUE(colorNear(f.at(100, 450), 0, 0, 0)) << "left bar";
    EXPECT_TRUE(colorNear(f.at(1500, 450), 0, 0, 0)) << "right bar";
    EXPECT_TRUE(colorNear(f.at(200 + 2, 450), 105, 208, 238)) << "the palette's left edge after the bar";
    EXPECT_TRUE(colorNear(f.at(200 + static_cast<int>(800 * 1.171875f), 900 - static_cast<int>(650 * 1.171875f)), 255,
                          255, 255));
}

TEST_F(FieldSceneTest, ButtonsDimWhilePressedAndActOnlyWhenReleasedOverThem) {
    auto* settings = static_cast<Button*>(named("settings"));
    Vec2 c = centreOf(settings);
    touch(Code::BEGAN, c);
    EXPECT_TRUE(settings->isPressed());
    touch(Code::MOVED, c + Vec2(200, 200));
    touch(Code::ENDED, c + Vec2(200, 200));
    EXPECT_FALSE(settings->isPressed());
    EXPECT_FALSE(field->isSettingsBarShown()) << "released off the button: nothing";

    tap(c);
    EXPECT_TRUE(field->isSettingsBarShown());
    step(1);
    step(12);
    EXPECT_EQ(named("settings bar")->getPosition(), Vec2(0, 0)) << "open after 0.2 s";
    EXPECT_GT(centreOf(field->getStatusLabel()).y, 0);
    tap(centreOf(settings));
    step(1);
    step(12);
    EXPECT_EQ(named("settings bar")->getPosition(), Vec2(0, FieldScene::kBarClosedY));
    EXPECT_FALSE(field->isSettingsBarShown());

    // A card-set tab switches the palette and its own picture.
    tap(centreOf(named("card set " + std::to_string(CARD_SET_FULL))));
    EXPECT_EQ(DeviceManager::getInstance()->getCardSet(), CARD_SET_FULL);
    EXPECT_EQ(field->getPaletteCards().size(), static_cast<size_t>(DeviceManager::getInstance()->getCardCount(CARD_SET_FULL)));
    tap(centreOf(named("card set " + std::to_string(CARD_SET_BASIC))));
    EXPECT_EQ(field->getPaletteCards().size(), 6u);
}

TEST_F(FieldSceneTest, ThePalettePageButtonsStopAtItsEnds) {
    tap(centreOf(named("card set " + std::to_string(CARD_SET_FULL))));
    FieldScrollView* palette = field->getPaletteView();
    float top = palette->getScrollOffset().y;
    EXPECT_FLOAT_EQ(top, palette->getMinOffset().y) << "the top of the list";
    float bottom = 0;
    for (int i = 0; i < 10; ++i) {
        tap(centreOf(named("page down")));
        stepUnseen(62);
    }
    EXPECT_NEAR(palette->getScrollOffset().y, bottom, 1e-3) << "the last card in view, and no further";
    for (int i = 0; i < 10; ++i) {
        tap(centreOf(named("page up")));
        stepUnseen(62);
    }
    EXPECT_NEAR(palette->getScrollOffset().y, top, 1e-3);
    // The remembered place of each set.
    tap(centreOf(named("page down")));
    stepUnseen(62);
    float left = palette->getScrollOffset().y;
    tap(centreOf(named("card set " + std::to_string(CARD_SET_BASIC))));
    tap(centreOf(named("card set " + std::to_string(CARD_SET_FULL))));
    EXPECT_FLOAT_EQ(palette->getScrollOffset().y, left);
}

TEST_F(FieldSceneTest, TheWheelScrollsWhatIsUnderTheCursorAndWithControlZoomsTheField) {
    tap(centreOf(named("card set " + std::to_string(CARD_SET_FULL))));
    FieldScrollView* palette = field->getPaletteView();
    FieldScrollView* rows = field->getFieldView();
    Vec2 paletteAt = palette->getScrollOffset(), rowsAt = rows->getScrollOffset();
    // Towards the user: the content moves up, as when a page is read on.
    wheel(Vec2(100, 400), 3);
    EXPECT_FLOAT_EQ(palette->getScrollOffset().y, paletteAt.y + 30);
    EXPECT_EQ(rows->getScrollOffset(), rowsAt) << "the wheel over the palette never scrolls the field";
    wheel(Vec2(600, 400), 2);
    EXPECT_FLOAT_EQ(rows->getScrollOffset().y, rowsAt.y + 20);
    EXPECT_FLOAT_EQ(palette->getScrollOffset().y, paletteAt.y + 30) << "nor the other way round";
    wheel(Vec2(600, 400), -5);
    EXPECT_FLOAT_EQ(rows->getScrollOffset().y, rowsAt.y) << "the top of the field is as far as it goes";

    // Control and the wheel zoom about the cursor, within 0.5 and 1.0 (and
    // sideways as far as the rows may go).
    Vec2 cursor(650, 500);
    Vec2 under = rows->getContainer()->convertToNodeSpace(cursor);
    wheel(cursor, 1, true);
    EXPECT_LT(rows->getZoom(), 1);
    EXPECT_NEAR(rows->getContainer()->convertToWorldSpace(under).y, cursor.y, 1e-2);
    for (int i = 0; i < 20; ++i) wheel(cursor, 1, true);
    EXPECT_FLOAT_EQ(rows->getZoom(), 0.5f);
    stepUnseen(30);
    EXPECT_GE(rows->getScrollOffset().y, rows->getMinOffset().y - 0.01f) << "no empty band above the field";
    EXPECT_LE(rows->getScrollOffset().y, rows->getMaxOffset().y + 0.01f);
    for (int i = 0; i < 20; ++i) wheel(cursor, -1, true);
    EXPECT_FLOAT_EQ(rows->getZoom(), 1.0f);
    float paletteY = palette->getScrollOffset().y;
    wheel(Vec2(100, 400), 1, true);
    EXPECT_FLOAT_EQ(rows->getZoom(), 1.0f) << "over the palette nothing zooms";
    EXPECT_FLOAT_EQ(palette->getScrollOffset().y, paletteY);
}

TEST_F(FieldSceneTest, ZoomedOutDraggedAndFlungTheFieldKeepsItsRowNumbersAndItsWhite) {
    FieldScrollView* rows = field->getFieldView();
    for (int i = 0; i < 4; ++i) tap(centreOf(named("zoom out")));
    ASSERT_FLOAT_EQ(rows->getZoom(), 0.5f);
    EXPECT_LT(named("zoom out")->getOpacity(), 255) << "nothing further out";
    auto keptWhole = [&](const char* after) {
        const testsupport::Frame frame = grab();
        int black = 0;
        for (float x = 640; x < 1014; x += 2) {
            const SDL_Color c = at(frame, x, 100);
            black += std::max({c.r, c.g, c.b}) < 12;
        }
        EXPECT_EQ(black, 0) << "the field's white reaches its frame after " << after;
        for (const char* button : {"insert row 0", "delete row 0"})
            EXPECT_GE(named(button)->getBoundingBoxInWorld().getMinX(), FieldScene::kRowsLeftLimit) << after;
    };
    // Dragged to the left, then flung to the left, each with time to coast
    // and spring back.
    Vec2 finger(800, 400);
    touch(Code::BEGAN, finger);
    for (int i = 0; i < 8; ++i) {
        finger.x -= 40;
        touch(Code::MOVED, finger);
        step();
    }
    touch(Code::ENDED, finger);
    step(60);
    keptWhole("a drag");
    touch(Code::BEGAN, Vec2(900, 300));
    touch(Code::MOVED, Vec2(860, 300));
    step();
    touch(Code::MOVED, Vec2(700, 310));
    touch(Code::ENDED, Vec2(700, 310));
    step(120);
    keptWhole("a flick");

    // Back to full size at once; no zoom control stands on a row.
    tap(centreOf(named("zoom full size")));
    EXPECT_FLOAT_EQ(rows->getZoom(), 1.0f);
    tap(centreOf(named("zoom out")));
    EXPECT_FLOAT_EQ(rows->getZoom(), 0.8f);
    tap(centreOf(named("zoom in")));
    EXPECT_FLOAT_EQ(rows->getZoom(), 1.0f);
    // Zoomed out and in again before the field's glide ends: the glide
    // does not carry it past the limits of the zoom it ends at.
    for (int i = 0; i < 4; ++i) tap(centreOf(named("zoom out")));
    step(3);
    tap(centreOf(named("zoom full size")));
    step(30);
    EXPECT_GE(rows->getScrollOffset().x, rows->getMinOffset().x - 0.01f);
    EXPECT_LE(rows->getScrollOffset().x, rows->getMaxOffset().x + 0.01f);
    for (const char* name : {"zoom out", "zoom in", "zoom full size"})
        for (int row = 0; row < 8; ++row)
            EXPECT_FALSE(named(name)->getBoundingBoxInWorld().intersectsRect(
                named("row head " + std::to_string(row))->getBoundingBoxInWorld()))
                << name << " over row " << row;
}

TEST_F(FieldSceneTest, SaveAndCloseWaitsWhileTheLinkIsBusyThenLeavesWithinHalfASecond) {
    bool busy = true;
    int left = 0;
    field->setLinkBusyCheck([&] { return busy; });
    field->setLeaveHandler([&] { ++left; });
    tap(centreOf(named("home")));
    EXPECT_TRUE(field->isStoppingOverlayShown());
    stepUnseen(120);
    EXPECT_EQ(left, 0);
    tap(centreOf(named("home")));  // pressed again meanwhile: still one wait
    busy = false;
    int frames = 0;
    while (left == 0 && frames < 100) {
        stepUnseen(1);
        ++frames;
    }
    EXPECT_EQ(left, 1);
    EXPECT_LE(frames, 31) << "within half a second of the link becoming free";
    stepUnseen(120);
    EXPECT_EQ(left, 1) << "the tries end with the first that goes ahead";
}
