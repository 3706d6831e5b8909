// Keyboard play: a whole program without a mouse. Tab walks the palette,
// the field and every control; the palette puts its chosen card on the
// chosen row and chooses the next, so a program is typed card after card.
// The ring shows what the keys act on; a card's name shows beside it.
#include <algorithm>
#include <cmath>

#include "cards/CardCatalog.h"
#include "cards/DeviceManager.h"
#include "cards/FieldGeometry.h"
#include "device/CorvinaCardSerialManager.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "field/FieldScene.h"
#include "ui/Localization.h"

using namespace engine;
using Key = EventKeyboard::KeyCode;

namespace {
const int kNameTagZ = 1070;  // over the panels and the report, under the ring
const int kRingZ = 1080;     // under questions, which ring their own answers
const float kHoverTime = 0.5f;
const float kNameGap = 10;
const float kViewMargin = 8;
const float kRowButtonWidth = 36;  // the insert and delete buttons left of a plate
const float kControlsLeft = 870;   // where the run controls' column starts
const float kNarrowestName = 130, kWidestName = 260;
const Color4B kNameBack(30, 30, 50, 235);

Rect unite(const Rect& a, const Rect& b) {
    const float x0 = std::min(a.getMinX(), b.getMinX()), y0 = std::min(a.getMinY(), b.getMinY());
    const float x1 = std::max(a.getMaxX(), b.getMaxX()), y1 = std::max(a.getMaxY(), b.getMaxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

std::optional<Rect> boxOf(const Button* button) {
    if (!button || !button->reachable()) return std::nullopt;
    return button->getBoundingBoxInWorld();
}

// The offset that brings `box` inside `view` along one axis, moving as little as it can.
float scrollInto(float offset, float boxMin, float boxMax, float viewMin, float viewMax) {
    if (boxMax - boxMin > viewMax - viewMin || boxMin < viewMin) return offset + (viewMin - boxMin);
    if (boxMax > viewMax) return offset - (boxMax - viewMax);
    return offset;
}
} // namespace

void FieldScene::setUpKeyboard() {
    focusRing = FocusRing::create();
    focusRing->setName("focus ring");
    addChild(focusRing, kRingZ);
    rowMarker = FocusRing::create();
    rowMarker->setName("row marker");
    // Blue, where the ring is dark: the row the palette's card goes to.
    rowMarker->setColours(Color3B(0, 100, 200), Color3B(255, 255, 255));
    addChild(rowMarker, kRingZ - 1);

    cardNameTag = Node::create();
    cardNameTag->setName("card name");
    cardNameBack = LayerColor::create(kNameBack);
    cardNameTag->addChild(cardNameBack);
    cardNameLabel = Label::createWithSystemFont("", "Helvetica", 20);
    cardNameLabel->setTextColor(Color3B(255, 255, 255));
    cardNameLabel->setAnchorPoint(Vec2(0, 0.5f));
    cardNameTag->addChild(cardNameLabel);
    cardNameTag->setVisible(false);
    addChild(cardNameTag, kNameTagZ);

    chosenCard = CardKind{DeviceManager::getInstance()->getCardSet(), 0};
    focusRing->setTarget([this]() -> std::optional<Rect> {
        if (!keysInUse() || leaveQuestion || numberEntryLayer) return std::nullopt;
        if (dialectPopup || portListPopup || doctorLayer || sendingOverlay || stoppingOverlay)
            return coveringChoiceBox();
        for (const Focusable& f : focusables())
            if (f.name == keyFocus) return f.box();
        return std::nullopt;
    });
    rowMarker->setTarget([this]() -> std::optional<Rect> {
        if (!keysInUse() || keyFocus != "palette" || fieldBusy() || doctorLayer || leaveQuestion) return std::nullopt;
        return rowBox(chosenRow);
    });

    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    auto* keys = EventListenerKeyboard::create();
    keys->onKeyPressed = [this](Key key, EventKeyboard* event) { onKey(key, event); };
    dispatcher->addEventListenerWithSceneGraphPriority(keys, this);

    // The ring shows from the first frame; a touch puts it away until the
    // next key, so a child who taps sees no ring left from before.
    dispatcher->setKeyboardInUse(true);

    auto* mouse = EventListenerMouse::create();
    mouse->onMouseMove = [this](EventMouse* event) {
        const Vec2 at = event->getLocation();
        if (!pointerIn || (at - pointerAt).length() > 2) pointerStill = 0;
        pointerAt = at;
        pointerIn = event->getMouseButton() == EventMouse::MouseButton::BUTTON_UNSET;
        if (hoveredCard && (!pointerIn || !hoveredBox.containsPoint(at))) hoveredCard.reset();
    };
    dispatcher->addEventListenerWithSceneGraphPriority(mouse, this);
    schedule([this](float dt) { followPointer(dt); }, "card names");
}

bool FieldScene::keysInUse() const { return Director::getInstance()->getEventDispatcher()->isKeyboardInUse(); }

// --- what Tab walks, in order

std::vector<FieldScene::Focusable> FieldScene::focusables() {
    std::vector<Focusable> list;
    list.push_back({"palette", [this] { return chosenPaletteCardBox(); }, [this] { putChosenCard(); }});
    list.push_back({"field", [this] { return rowBox(chosenRow); }, [] {}});
    auto control = [&list](Button* button) {
        if (button) list.push_back({button->getName(), [button] { return boxOf(button); }, [button] { button->activate(); }});
    };
    for (Button* b : {playButton, stopButton, dialectButton, undoButton, redoButton, zoomOutButton, zoomInButton, zoomFullButton})
        control(b);
    if (boardPanel && boardPanel->isVisible())
        control(dynamic_cast<Button*>(boardPanel->getChildByName("board panel close")));
    if (boardScreenPanel && boardScreenPanel->isVisible())
        control(dynamic_cast<Button*>(boardScreenPanel->getChildByName("board screen close")));
    control(settingsButton);
    if (settingsBarShown)
        for (Button* b : {portField, reloadIcon, paceButton, doctorButton}) control(b);
    control(saveButton);
    return list;
}

void FieldScene::moveFocus(int step) {
    const std::vector<Focusable> list = focusables();
    const int n = static_cast<int>(list.size());
    // From a control that has gone (a panel closed with it), on from the ends.
    int at = step > 0 ? -1 : n;
    for (int i = 0; i < n; ++i)
        if (list[static_cast<size_t>(i)].name == keyFocus) at = i;
    // The palette and the field are always there to go to (they scroll to
    // their choice); a control is skipped while it is not in sight, and the
    // palette while the board's panel covers it.
    const bool paletteCovered = boardPanel->isVisible() || boardScreenPanel->isVisible();
    for (int tries = 0; tries < n; ++tries) {
        at = (at + step + n) % n;
        const Focusable& f = list[static_cast<size_t>(at)];
        if (f.name == "field" || (f.name == "palette" && !paletteCovered) || f.box()) break;
    }
    keyFocus = list[static_cast<size_t>(at)].name;
    if (keyFocus == "palette") {
        followShownSet();
        chooseCard(chosenCard);
    }
    if (keyFocus == "field") chooseRow(chosenRow);
}

// --- the keys

void FieldScene::onKey(Key key, EventKeyboard* event) {
    if (leaving) return;
    // The entry's box types the number; a question answers its own keys.
    if (numberEntryLayer || leaveQuestion) return;
    // A key held down moves on, but does what changes or starts something
    // once: a child leaning on Enter puts one card, not a column of them.
    const bool moves = key == Key::KEY_TAB || key == Key::KEY_UP_ARROW || key == Key::KEY_DOWN_ARROW ||
                       key == Key::KEY_LEFT_ARROW || key == Key::KEY_RIGHT_ARROW || key == Key::KEY_PAGE_UP ||
                       key == Key::KEY_PAGE_DOWN;
    if (event->isRepeat() && (!moves || event->isAltDown())) return;
    if (onCoveringKey(key, event)) return;
    const bool control = event->isControlDown();
    if (key == Key::KEY_TAB) {
        moveFocus(event->isShiftDown() ? -1 : 1);
        return;
    }
    if (key == Key::KEY_F5 || (control && key == Key::KEY_ENTER)) {
        playButton->activate();
        return;
    }
    if (control && key == Key::KEY_PERIOD) {
        stopButton->activate();
        return;
    }
    if (key == Key::KEY_ESCAPE && boardNote && boardNote->isVisible()) {
        boardNote->setVisible(false);
        return;
    }
    // Control with other keys is undo's and redo's, but for removing a row.
    if (control && key != Key::KEY_DELETE) return;
    if (keyFocus == "palette") return onPaletteKey(key, event);
    if (keyFocus == "field") return onFieldKey(key, event);
    if (key != Key::KEY_ENTER && key != Key::KEY_SPACE) return;
    for (const Focusable& f : focusables())
        if (f.name == keyFocus) return f.press();
}

bool FieldScene::onCoveringKey(Key key, EventKeyboard* event) {
    const bool answer = key == Key::KEY_ENTER || key == Key::KEY_SPACE;
    if (doctorLayer) {
        startCoveringChoice();
        if (key == Key::KEY_ESCAPE) closeDoctorReport();
        else if (key == Key::KEY_UP_ARROW || key == Key::KEY_DOWN_ARROW)
            scrollDoctorReport(key == Key::KEY_UP_ARROW ? -3.0f : 3.0f);
        else if (key == Key::KEY_PAGE_UP || key == Key::KEY_PAGE_DOWN)
            scrollDoctorReport(key == Key::KEY_PAGE_UP ? -30.0f : 30.0f);
        else if (key == Key::KEY_TAB || key == Key::KEY_LEFT_ARROW || key == Key::KEY_RIGHT_ARROW)
            coveringChoice = 1 - coveringChoice;
        else if (answer) {
            if (Button* chosen = doctorChoice()) chosen->activate();
        }
        return true;
    }
    if (sendingOverlay) {
        if (isSendingFinished() && (answer || key == Key::KEY_ESCAPE)) closeSendingOverlay();
        else if (sendingStopButton && (key == Key::KEY_ESCAPE || (event->isControlDown() && key == Key::KEY_PERIOD)))
            sendingStopButton->activate();
        return true;
    }
    if (stoppingOverlay) return true;
    if (!dialectPopup && !portListPopup) return false;

    const bool dialects = dialectPopup != nullptr;
    const auto& items = dialects ? popupItems : portListRows;
    const int n = static_cast<int>(items.size());
    startCoveringChoice();
    // The dialects stand in a row leftwards, the ports in a column upwards:
    // each key goes the way it points.
    int step = 0;
    if (key == Key::KEY_UP_ARROW) step = dialects ? -1 : 1;
    if (key == Key::KEY_DOWN_ARROW) step = dialects ? 1 : -1;
    if (key == Key::KEY_LEFT_ARROW && dialects) step = 1;
    if (key == Key::KEY_RIGHT_ARROW && dialects) step = -1;
    if (step && n > 0) coveringChoice = std::clamp(coveringChoice + step, 0, n - 1);
    if (key == Key::KEY_ESCAPE) dialects ? closeDialectPopup() : closePortList();
    else if (answer && coveringChoice < n) items[static_cast<size_t>(coveringChoice)]->activate();
    return true;
}

void FieldScene::startCoveringChoice() {
    // The report: its copy control first.
    const Node* owner = doctorLayer ? static_cast<Node*>(doctorLayer)
                        : dialectPopup ? static_cast<Node*>(dialectPopup)
                                       : portListPopup;
    if (!owner || coveringOwner == owner) return;
    // The choice starts on what is chosen now.
    coveringOwner = owner;
    coveringChoice = 0;
    if (owner == doctorLayer) return;
    const auto& items = dialectPopup ? popupItems : portListRows;
    const int dialect = DeviceManager::getInstance()->getDialect();
    const auto devices = CorvinaCardSerialManager::getInstance()->getDevices();
    const auto selected = CorvinaCardSerialManager::getInstance()->getSelectedDevice();
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        if (dialectPopup && items[static_cast<size_t>(i)]->getTag() == dialect) coveringChoice = i;
        if (!dialectPopup && selected && i < static_cast<int>(devices.size()) &&
            devices[static_cast<size_t>(i)].key() == selected->key())
            coveringChoice = i;
    }
}

Button* FieldScene::doctorChoice() const {
    // The copy control is there only when the report gives commands.
    const bool copy = doctorCopyButton && doctorCopyButton->reachable();
    return coveringChoice == 0 && copy ? doctorCopyButton : doctorCloseButton;
}

std::optional<Rect> FieldScene::coveringChoiceBox() {
    if (doctorLayer) {
        startCoveringChoice();
        return boxOf(doctorChoice());
    }
    if (dialectPopup || portListPopup) {
        startCoveringChoice();
        const auto& items = dialectPopup ? popupItems : portListRows;
        const int choice = coveringChoice;
        if (choice < 0 || choice >= static_cast<int>(items.size())) return std::nullopt;
        return items[static_cast<size_t>(choice)]->getBoundingBoxInWorld();
    }
    return std::nullopt;
}

void FieldScene::followShownSet() {
    // A set chosen with its tab is the one the keys go on in.
    if (const int shown = DeviceManager::getInstance()->getCardSet(); shown != chosenCard.set)
        chosenCard = CardKind{shown, chosenInSet[static_cast<size_t>(shown)]};
}

void FieldScene::onPaletteKey(Key key, EventKeyboard*) {
    followShownSet();
    // The board's panel stands over the palette: a child going back to the
    // cards puts it away, as its close control does.
    if (key != Key::KEY_PAGE_UP && key != Key::KEY_PAGE_DOWN && key != Key::KEY_HOME && key != Key::KEY_END) {
        if (boardPanel->isVisible()) hideBoardPanel();
        if (boardScreenPanel->isVisible()) boardScreenPanel->setVisible(false);
    }
    const int set = chosenCard.set;
    const int count = CardCatalog::cardCount(set);
    auto toSet = [this](int s) {
        s = std::clamp(s, 0, kCardSetCount - 1);
        chooseCard(CardKind{s, chosenInSet[static_cast<size_t>(s)]});
    };
    switch (key) {
    case Key::KEY_UP_ARROW: chooseCard(CardKind{set, std::max(0, chosenCard.index - 1)}); break;
    case Key::KEY_DOWN_ARROW: chooseCard(CardKind{set, std::min(count - 1, chosenCard.index + 1)}); break;
    case Key::KEY_LEFT_ARROW: toSet(set - 1); break;
    case Key::KEY_RIGHT_ARROW: toSet(set + 1); break;
    case Key::KEY_1: toSet(0); break;
    case Key::KEY_2: toSet(1); break;
    case Key::KEY_3: toSet(2); break;
    case Key::KEY_ENTER:
    case Key::KEY_SPACE: putChosenCard(); break;
    // The chosen row is the field's, moved from the palette too.
    case Key::KEY_PAGE_UP:
    case Key::KEY_PAGE_DOWN:
    case Key::KEY_HOME:
    case Key::KEY_END: onFieldKey(key, nullptr); break;
    default: break;
    }
}

void FieldScene::onFieldKey(Key key, EventKeyboard* event) {
    const bool alt = event && event->isAltDown();
    const float rowHeight = field_geometry::kPlateHeight * zoom();
    const int page = std::max(1, static_cast<int>(fieldView->getWindowSize().height / rowHeight) - 1);
    // What a key changes, the child sees: the row comes into view first.
    if (key != Key::KEY_UP_ARROW && key != Key::KEY_DOWN_ARROW) chooseRow(chosenRow);
    else if (alt) chooseRow(chosenRow);
    CardSprite* card = cardOnRow(chosenRow);
    switch (key) {
    case Key::KEY_UP_ARROW:
    case Key::KEY_DOWN_ARROW: {
        const int by = key == Key::KEY_UP_ARROW ? -1 : 1;
        if (alt) moveChosenCard(by, event->isShiftDown());
        else chooseRow(chosenRow + by);
        break;
    }
    case Key::KEY_PAGE_UP: chooseRow(chosenRow - page); break;
    case Key::KEY_PAGE_DOWN: chooseRow(chosenRow + page); break;
    case Key::KEY_HOME: chooseRow(0); break;
    case Key::KEY_END: chooseRow(kRowCount - 1); break;
    case Key::KEY_ENTER:
        if (card && !fieldBusy() && !card->isFlipping() &&
            DeviceManager::getInstance()->getCardCode(card->getCardIndex(), card->getCardSet()).kind == 1)
            openNumberEntry(card);
        break;
    case Key::KEY_DELETE:
        if (event && event->isControlDown()) {
            if (!fieldBusy()) deleteRowAt(chosenRow);
            break;
        }
        [[fallthrough]];
    case Key::KEY_BACKSPACE: throwChosenCard(); break;
    case Key::KEY_INSERT:
        if (!fieldBusy()) insertRowAt(chosenRow);
        break;
    case Key::KEY_F:
        if (card && !card->isFlipping()) card->flip();
        break;
    default: break;
    }
}

// --- the palette's chosen card and the field's chosen row

void FieldScene::chooseCard(CardKind card) {
    if (card.set < 0 || card.set >= kCardSetCount || card.index < 0 || card.index >= CardCatalog::cardCount(card.set))
        return;
    chosenCard = card;
    chosenInSet[static_cast<size_t>(card.set)] = card.index;
    if (DeviceManager::getInstance()->getCardSet() != card.set) selectCardSet(card.set);
    // The page follows the chosen card.
    if (card.index >= static_cast<int>(paletteCards.size())) return;
    const Rect box = paletteCards[static_cast<size_t>(card.index)]->getBoundingBoxInWorld();
    const Rect view = paletteView->getViewRectInWorld();
    Vec2 offset = paletteView->getScrollOffset();
    offset.y = paletteView->clampOffsetY(
        scrollInto(offset.y, box.getMinY(), box.getMaxY(), view.getMinY() + kViewMargin, view.getMaxY() - kViewMargin));
    paletteView->scrollTo(offset, false);
}

void FieldScene::chooseRow(int row) {
    chosenRow = std::clamp(row, 0, kRowCount - 1);
    const float H = Director::getInstance()->getVisibleSize().height;
    const Vec2 plate = field_geometry::plateCentre(chosenRow, H);
    const Vec2 head = field_geometry::rowHeadCentre(chosenRow, H);
    const Vec2 low = toScreen(Vec2(plate.x - field_geometry::kPlateWidth / 2, plate.y - field_geometry::kPlateHeight / 2));
    const Vec2 high = toScreen(Vec2(head.x + field_geometry::kHeadWidth / 2, plate.y + field_geometry::kPlateHeight / 2));
    // What the field shows: right of the palette (and the panel over it),
    // above the open settings bar.
    const float left = std::max(kPaletteWidth, boardPanel && boardPanel->isVisible() ? kRowsLeftLimit : 0.0f);
    const float bottom = settingsBarShown ? kBarHeight : kEdgeMargin;
    Vec2 offset = fieldView->getScrollOffset();
    offset.y = fieldView->clampOffsetY(scrollInto(offset.y, low.y, high.y, bottom + kViewMargin,
                                                  layoutSize.height - kEdgeMargin - kViewMargin));
    offset.x = fieldView->clampOffsetX(scrollInto(offset.x, low.x, high.x, left + kViewMargin, 1024 - 110));
    fieldView->scrollTo(offset, false);
}

std::optional<Rect> FieldScene::rowBox(int row) const {
    if (row < 0 || row >= kRowCount) return std::nullopt;
    Rect box = unite(rowPlates[static_cast<size_t>(row)]->getBoundingBoxInWorld(),
                     rowHeads[static_cast<size_t>(row)]->getBoundingBoxInWorld());
    if (!fieldView->getViewRectInWorld().intersectsRect(box)) return std::nullopt;
    return box;
}

std::optional<Rect> FieldScene::chosenPaletteCardBox() const {
    // Not over the board's panel, which covers the palette.
    if (boardPanel->isVisible() || boardScreenPanel->isVisible()) return std::nullopt;
    if (chosenCard.set != DeviceManager::getInstance()->getCardSet() || chosenCard.index < 0 ||
        chosenCard.index >= static_cast<int>(paletteCards.size()))
        return std::nullopt;
    const Rect box = paletteCards[static_cast<size_t>(chosenCard.index)]->getBoundingBoxInWorld();
    if (!paletteView->getViewRectInWorld().intersectsRect(box)) return std::nullopt;
    return box;
}

// --- changes made with keys; each is one step undo takes back

void FieldScene::putChosenCard() {
    if (fieldBusy()) return;
    const int row = chosenRow;
    beginChange();
    if (model.cardOnRow(row)) makeRoomAt(row);
    const CardId id = model.place(chosenCard, field_geometry::cardCentreOnRow(row, model.visibleHeight()));
    // On top of the others, as a card brought out by a finger.
    if (id) {
        model.raise({id});
        model.attach(id, row);
    }
    syncField();
    finishChange();
    chooseRow(row + 1);
    // Still in view after the field scrolled to the next row.
    chooseCard(chosenCard);
}

void FieldScene::throwChosenCard() {
    CardSprite* card = cardOnRow(chosenRow);
    if (!card || fieldBusy()) return;
    beginChange();
    removeCardFromField(card);
    playTrash(true);
    finishChange();
}

void FieldScene::moveChosenCard(int by, bool chain) {
    const CardId id = model.cardOnRow(chosenRow);
    if (!id || fieldBusy()) return;
    int last = chosenRow;
    if (chain)
        for (CardId below : model.chainFrom(id))
            if (const FieldCard* c = model.card(below)) last = std::max(last, c->row);
    beginChange();
    if (!model.moveRows(chosenRow, last, by)) {
        changeBase.reset();
        return;
    }
    for (int r = std::max(0, chosenRow - 1); r <= std::min(kRowCount - 1, last + 1); ++r)
        if (CardSprite* card = cardOnRow(r)) slideToModel(card);
    syncField();
    finishChange();
    chooseRow(chosenRow + by);
}

// --- a card's name

std::string FieldScene::getCardNameShown() const {
    return cardNameTag && cardNameTag->isVisible() ? cardNameLabel->getString() : std::string();
}

void FieldScene::followPointer(float dt) {
    pointerStill += dt;
    // Over what covers the field: a report, a question, a popup or an overlay.
    const bool covered = fieldBusy() || doctorLayer || leaveQuestion;
    if (covered) hoveredCard.reset();
    if (pointerIn && !hoveredCard && pointerStill >= kHoverTime && !covered && !isBoardPanelOver(pointerAt)) {
        // The palette's cards where the palette shows them, else the field's, topmost first.
        if (paletteView->getViewRectInWorld().containsPoint(pointerAt)) {
            for (const auto& card : paletteCards)
                if (card->getBoundingBoxInWorld().containsPoint(pointerAt)) {
                    hoveredCard = CardKind{card->getCardSet(), card->getCardIndex()};
                    hoveredBox = card->getBoundingBoxInWorld();
                }
        } else if (pointerAt.x > kPaletteWidth) {
            int top = -1;
            for (const auto& card : fieldCards)
                if (card->getLocalZOrder() > top && card->getBoundingBoxInWorld().containsPoint(pointerAt)) {
                    top = card->getLocalZOrder();
                    hoveredCard = CardKind{card->getCardSet(), card->getCardIndex()};
                    hoveredBox = card->getBoundingBoxInWorld();
                }
        }
    }
    if (hoveredCard) return showCardName(hoveredCard, hoveredBox);
    if (keysInUse() && !covered && keyFocus == "palette")
        if (auto box = chosenPaletteCardBox()) return showCardName(chosenCard, *box);
    if (keysInUse() && !covered && keyFocus == "field")
        if (CardSprite* card = cardOnRow(chosenRow); card && rowBox(chosenRow))
            return showCardName(CardKind{card->getCardSet(), card->getCardIndex()}, card->getBoundingBoxInWorld());
    showCardName(std::nullopt, Rect());
}

void FieldScene::showCardName(std::optional<CardKind> card, Rect beside) {
    if (!card) {
        cardNameTag->setVisible(false);
        return;
    }
    // Where the name goes, so that it hides no row: a palette card's right
    // of the palette before the rows; a field card's left of its row, else
    // right of it before the controls; else over the card's lower edge.
    const bool inPalette = beside.getMaxX() <= kPaletteWidth + 1;
    float spanLeft = beside.getMinX(), spanRight = beside.getMaxX();
    enum { Over, Left, Right } place = Over;
    if (inPalette) {
        // Right of the palette, before the row buttons, where there is room.
        const float rowsStart = rowPlates[0]->getBoundingBoxInWorld().getMinX() - kRowButtonWidth * zoom() - kNameGap;
        if (!boardPanel->isVisible() && rowsStart - (kPaletteWidth + kNameGap) >= kNarrowestName) {
            place = Right;
            spanLeft = kPaletteWidth + kNameGap;
            spanRight = rowsStart;
        } else {
            spanLeft = kNameGap;
            spanRight = kPaletteWidth - kNameGap;
        }
    } else {
        const float z = zoom();
        const float rowsLeft = std::max(kPaletteWidth, boardPanel->isVisible() ? kRowsLeftLimit : 0.0f) + kNameGap;
        const float leftEnd = beside.getMinX() - (field_geometry::kPlateWidth + kRowButtonWidth) * z - kNameGap;
        const float rightStart = beside.getMaxX() + kNameGap, rightEnd = kControlsLeft - kNameGap;
        if (leftEnd - rowsLeft >= kNarrowestName) {
            place = Left;
            spanLeft = rowsLeft;
            spanRight = leftEnd;
        } else if (rightEnd - rightStart >= kNarrowestName) {
            place = Right;
            spanLeft = rightStart;
            spanRight = rightEnd;
        }
    }
    const CardCatalog::CardName name = CardCatalog::cardName(*card);
    const std::string text = Localization::getInstance()->localizedText(name.japanese, name.english);
    const float wrap = std::min(kWidestName, spanRight - spanLeft) - 2 * kNameGap;
    if (cardNameLabel->getString() != text || cardNameWrap != wrap) {
        // Broken into lines a little narrower than the room, since the text
        // measured at the sharper scale may come out wider on the screen:
        // no letter is cut.
        cardNameWrap = wrap;
        cardNameLabel->setDimensions(0, 0);
        cardNameLabel->setMaxLineWidth(wrap * 0.92f);
        cardNameLabel->setString(text);
        const Size measured = cardNameLabel->getContentSize();
        cardNameLabel->setDimensions(std::min(wrap, std::ceil(measured.width * 1.05f) + 4), measured.height);
    }
    const Size s = cardNameLabel->getContentSize();
    const Size tag(s.width + 2 * kNameGap, s.height + kNameGap);
    cardNameBack->setContentSize(tag);
    cardNameLabel->setPosition(kNameGap, tag.height / 2);
    float x = place == Left ? spanRight - tag.width : place == Right ? spanLeft : beside.getMidX() - tag.width / 2;
    x = std::clamp(x, std::max(4.0f, spanLeft), std::max(4.0f, spanRight - tag.width));
    float y = place == Over ? beside.getMinY() + 4 : beside.getMidY() - tag.height / 2;
    y = std::clamp(y, 4.0f, layoutSize.height - tag.height - 4);
    cardNameTag->setPosition(x, y);
    cardNameTag->setVisible(true);
}
