// The forty numbered rows of the field and every card gesture: lifting,
// dragging, snapping onto rows, the trash, edge scrolling and shifting rows.
// The model and the sprites that follow it are FieldCards.cpp.
#include <algorithm>
#include <cmath>
#include <string>

#include "cards/DeviceManager.h"
#include "cards/FieldGeometry.h"
#include "engine/core/Action.h"
#include "engine/core/Clock.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"
#include "field/FieldScene.h"

using namespace engine;

namespace {
const float kTearOffDistance = 60;
const float kTapDistance = 10;
const double kTapTime = 0.4;
const float kLiftDelay = 0.05f;
const float kLiftWobble = 8;  // screen points a press may wander and still lift
const float kChainDelay = 0.4f;
const uint8_t kLiftedOpacity = 150;
const uint8_t kChainOpacity = 100;
const Color3B kWhite(255, 255, 255);
const Color3B kOverTrashTint(0, 30, 70);
const int kTrashPlayTag = 0x7a5;

// The angle between two directions in whole degrees, negative when turning
// clockwise; only exactly opposite directions (180) join.
int angleBetween(const Vec2& a, const Vec2& b) {
    float lengths = a.length() * b.length();
    if (lengths <= 0) return 0;
    float c = std::clamp((a.x * b.x + a.y * b.y) / lengths, -1.0f, 1.0f);
    int angle = static_cast<int>(std::lround(std::acos(c) * 180 / M_PI));
    if (std::lround((a.x * b.y - b.x * a.y) / lengths) < 0) angle = -angle;
    return angle;
}

// Gesture distances are on the screen: the further out the zoom, the
// further in content.
float tearOffLimit(float zoom) { return std::trunc(kTearOffDistance / zoom); }
} // namespace

// --- the rows

void FieldScene::buildFieldRows() {
    const float H = Director::getInstance()->getVisibleSize().height;
    rowHeads.assign(kRowCount, nullptr);
    rowPlates.assign(kRowCount, nullptr);
    for (int i = 0; i < kRowCount; ++i) {
        Vec2 at = field_geometry::plateCentre(i, H);
        Sprite* plate = picture("res/r_field_no.png");
        Size p = plate->getContentSize();
        plate->setPosition(at);
        plate->setName("row plate " + std::to_string(i));
        fieldView->addChild(plate);
        rowPlates[static_cast<size_t>(i)] = plate;

        CardSprite* head = CardSprite::create("res/r_field.png");
        Size h = head->getContentSize();
        head->setPosition(field_geometry::rowHeadCentre(i, H));
        head->connectors[0].point = Vec2(5, h.height / 2);
        head->connectors[0].direction = Vec2(4, h.height / 2);
        head->setName("row head " + std::to_string(i));
        fieldView->addChild(head);
        rowHeads[static_cast<size_t>(i)] = head;

        if (LabelAtlas* number = LabelAtlas::create(std::to_string(10 * (i + 1)), "res/r_field_num.png", 9, 11, '0')) {
            number->setScale(1.5f);
            number->setAnchorPoint(Vec2(1, 0.5f));
            number->setPosition(at.x + p.width / 2 - 5, at.y);
            fieldView->addChild(number);
        }

        Button* insert = rowButton("res/r_btn_add.png", i, "insert row ", [this](int row) { insertRowAt(row); });
        insert->setPosition(at.x - p.width / 2 - insert->getContentSize().width / 2, at.y + p.height / 2);
        Button* remove = rowButton("res/r_btn_delete.png", i, "delete row ", [this](int row) { deleteRowAt(row); });
        remove->setPosition(at.x - p.width / 2 - remove->getContentSize().width / 2, at.y);
    }
}

Button* FieldScene::rowButton(const std::string& path, int row, const std::string& name, std::function<void(int)> action) {
    Button* button = FieldScene::button(path);
    button->setTag(row);
    button->setName(name + std::to_string(row));
    // A small target for a child's finger; the area follows the zoom.
    button->setMinimumTouchSize(kFingerSize);
    button->setTouchFilter([this](const Vec2& at) {
        // One gesture at a time: no row moves under a held card. A card
        // lying over the button takes the touch, not the row.
        if (fieldBusy()) return false;
        const Vec2 point = toField(at);
        for (const auto& card : fieldCards)
            if (card->getBoundingBox().containsPoint(point)) return false;
        return true;
    });
    button->setAction([this, button, action = std::move(action)] {
        if (!fieldBusy()) action(button->getTag());
    });
    fieldView->addChild(button);
    return button;
}

// --- touches on field cards

void FieldScene::attachFieldCardListener(CardSprite* card) {
    auto* listener = EventListenerTouchOneByOne::create();
    // Until the card is lifted the scroll view behind sees the touch too.
    listener->setSwallowTouches(false);
    listener->onTouchBegan = [this, card](Touch* touch, Event*) { return onFieldCardBegan(card, touch); };
    listener->onTouchMoved = [this, card](Touch* touch, Event*) { onFieldCardMoved(card, touch); };
    listener->onTouchEnded = [this, card](Touch* touch, Event*) { onFieldCardEnded(card, touch, false); };
    listener->onTouchCancelled = [this, card](Touch* touch, Event*) { onFieldCardEnded(card, touch, true); };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, card);
    card->setTouchListener(listener);
}

bool FieldScene::onFieldCardBegan(CardSprite* card, Touch* touch) {
    // One gesture at a time: a second finger, or a finger beside an open
    // entry or popup, lifts nothing.
    if (fieldBusy() || !card->getFieldId()) return false;
    if (!card->getBoundingBox().containsPoint(toField(touch->getLocation()))) return false;
    movedDistance = 0;
    pressTravel = 0;
    heldCard = card;
    pressTime = Clock::now();
    // The field waits to see whether the press lifts the card, and once it
    // does, no other finger moves the field under it.
    fieldView->holdPan(true);
    overTrash = trashTest(card, touch->getLocation());
    beginChange();
    const int serial = gestureSerial;
    RefPtr<CardSprite> keep(card);
    runAction(Sequence::create(DelayTime::create(kLiftDelay), CallFunc::create([this, keep, serial] {
                                   liftHeldCard(keep.get(), serial);
                               })));
    return true;
}

void FieldScene::liftHeldCard(CardSprite* card, int serial) {
    if (card != heldCard || !still || serial != gestureSerial) return;
    tearOffRow = rowOfCard(card);
    dragGroup.assign(1, RefPtr<CardSprite>(card));
    raiseGroup();
    card->stopActionByTag(kSlideTag);
    showLooseLook(card, false);
    card->setOpacity(kLiftedOpacity);
    lifting = true;
    card->setSwallowTouches(true);
    startEdgeScroll(card);
    showHistoryControls(false);
    trashIcon->stopActionByTag(kTrashPlayTag);
    Action* fade = trashIcon->runAction(FadeIn::create(0.2f));
    fade->setTag(kTrashPlayTag);
    RefPtr<CardSprite> keep(card);
    runAction(Sequence::create(DelayTime::create(kChainDelay),
                               CallFunc::create([this, keep, serial] { liftChain(keep.get(), serial); })));
}

void FieldScene::liftChain(CardSprite* card, int serial) {
    if (card != heldCard || !still || serial != gestureSerial) return;
    collectChain(card);
    raiseGroup();
    for (auto& c : dragGroup) {
        c->stopActionByTag(kSlideTag);
        showLooseLook(c.get(), false);
        c->setOpacity(kChainOpacity);
    }
}

void FieldScene::collectChain(CardSprite* card) {
    dragGroup.clear();
    if (!card) return;
    for (CardId id : model.chainFrom(card->getFieldId()))
        if (CardSprite* c = spriteOf(id)) dragGroup.emplace_back(c);
}

void FieldScene::raiseGroup() {
    model.raise(idsOf(dragGroup));
    for (const auto& card : fieldCards)
        if (const FieldCard* c = model.card(card->getFieldId())) card->setLocalZOrder(c->zorder);
}

void FieldScene::onFieldCardMoved(CardSprite* card, Touch* touch) {
    if (card != heldCard || fieldView->getActiveTouchCount() >= 2) return;
    Vec2 delta = touch->getDelta() / zoom();
    movedDistance += delta.length();
    if (delta == Vec2::ZERO) return;
    if (lifting) {
        moveDragGroup(card, delta);
        bool inside = false;
        for (auto& c : dragGroup) inside = trashTest(c.get(), touch->getLocation()) || inside;
        overTrash = inside;
        still = false;
        return;
    }
    // A finger's wobble still lifts the card; a real move scrolls the field.
    pressTravel += touch->getDelta().length();
    if (pressTravel >= kLiftWobble) {
        still = false;
        fieldView->holdPan(false);
    }
}

void FieldScene::onFieldCardEnded(CardSprite* card, Touch* touch, bool cancelled) {
    if (card != heldCard) return;
    stopEdgeScroll();
    RefPtr<CardSprite> keep(card);
    bool deleted = false;
    if (lifting) {
        card->setSwallowTouches(false);
        std::vector<RefPtr<CardSprite>> group = dragGroup;
        const bool inTrash = !cancelled && trashHitBox().containsPoint(touch->getLocation());
        dragGroup.clear();
        for (auto& c : group) {
            c->setColor(kWhite);
            if (inTrash) {
                model.remove(c->getFieldId());
                dropSprite(c.get(), true);
                deleted = true;
            } else {
                settleLooseCard(c.get());
            }
        }
        syncField();
        trashIcon->stopActionByTag(kTrashPlayTag);
        Action* play = deleted ? trashIcon->runAction(Sequence::create(
                                     FadeTo::create(0, 255), DelayTime::create(0.2f),
                                     CallFunc::create([this] { trashIcon->setTexture(localized("res/r_card_clean.png")); }),
                                     DelayTime::create(0.1f), FadeOut::create(0.2f)))
                               : trashIcon->runAction(FadeOut::create(0.2f));
        play->setTag(kTrashPlayTag);
        showHistoryControls(true);
    }
    movedDistance += (touch->getDelta() / zoom()).length();
    const bool tap = !cancelled && !deleted && movedDistance < kTapDistance && Clock::now() - pressTime < kTapTime;
    const bool numberCard = DeviceManager::getInstance()->getCardCode(card->getCardIndex(), card->getCardSet()).kind == 1;
    endGesture();
    finishChange();
    if (tap && numberCard && !card->isFlipping() && card->getFieldId()) openNumberEntry(card);
}

void FieldScene::endGesture() {
    fieldView->holdPan(false);
    previousPressTime = pressTime;
    heldCard = nullptr;
    still = true;
    lifting = false;
    overTrash = false;
    gestureSerial = (gestureSerial + 1) % 10;
    tearOffRow = -1;
    tearOffOffset = Vec2::ZERO;
    dragGroup.clear();
}

// --- the trash

Rect FieldScene::trashHitBox() const {
    Size s = trashIcon->getContentSize();
    Rect box = trashIcon->getNodeToWorldTransform().applyToRect(Rect(0, 0, s.width, s.height));
    // Doubled about its centre: easy to hit while dragging.
    return Rect(box.origin - Vec2(box.size.width, box.size.height) / 2, box.size * 2);
}

bool FieldScene::trashTest(CardSprite* card, const Vec2& screenPoint) {
    const bool inside = trashHitBox().containsPoint(screenPoint);
    trashIcon->setTexture(localized(inside ? "res/r_card_clean_on.png" : "res/r_card_clean.png"));
    card->setColor(inside ? kOverTrashTint : kWhite);
    return inside;
}

void FieldScene::playTrash(bool fadeIn) {
    trashIcon->stopActionByTag(kTrashPlayTag);
    Action* play = trashIcon->runAction(Sequence::create(
        fadeIn ? static_cast<FiniteTimeAction*>(FadeIn::create(0.05f)) : FadeTo::create(0, 255),
        CallFunc::create([this] { trashIcon->setTexture(localized("res/r_card_clean_on.png")); }),
        DelayTime::create(0.2f),
        CallFunc::create([this] { trashIcon->setTexture(localized("res/r_card_clean.png")); }),
        DelayTime::create(0.1f), FadeOut::create(0.2f)));
    play->setTag(kTrashPlayTag);
}

// --- dragging and snapping

void FieldScene::moveDragGroup(CardSprite* held, const Vec2& movement) {
    if (dragGroup.empty()) return;
    Vec2 delta = movement;
    const float z = zoom();
    CardSprite *leftmost = nullptr, *rightmost = nullptr, *lowest = nullptr, *highest = nullptr;
    for (auto& g : dragGroup) {
        CardSprite* c = g.get();
        if (!leftmost || c->getPositionX() < leftmost->getPositionX()) leftmost = c;
        if (!rightmost || c->getPositionX() > rightmost->getPositionX()) rightmost = c;
        if (!lowest || c->getPositionY() < lowest->getPositionY()) lowest = c;
        if (!highest || c->getPositionY() > highest->getPositionY()) highest = c;
    }
    // Never behind the palette nor off the right edge, on the screen...
    const float left = toScreen(leftmost->getPosition()).x - leftmost->getContentSize().width / 2 * z;
    const float right = toScreen(rightmost->getPosition()).x + rightmost->getContentSize().width / 2 * z;
    if (left + (tearOffOffset.x + delta.x) * z < kPaletteWidth)
        delta.x = (kPaletteWidth - left) / z - tearOffOffset.x;
    else if (right + (tearOffOffset.x + delta.x) * z > 1024 - kEdgeMargin)
        delta.x = (1024 - kEdgeMargin - right) / z - tearOffOffset.x;
    // ...and never off the top or bottom of the field.
    const float contentHeight = fieldView->getContainer()->getContentSize().height;
    const float lowHalf = lowest->getContentSize().height / 2, highHalf = highest->getContentSize().height / 2;
    if (lowest->getPositionY() + delta.y + tearOffOffset.y < lowHalf)
        delta.y = lowHalf - lowest->getPositionY() - tearOffOffset.y;
    else if (highest->getPositionY() + delta.y + tearOffOffset.y > contentHeight - highHalf)
        delta.y = contentHeight - highHalf - highest->getPositionY() - tearOffOffset.y;

    if (held == edgeScrollCard.get()) heldFreePosition += delta;
    const std::vector<CardId> group = idsOf(dragGroup);
    // A card on a row stays there until the finger has clearly left it;
    // then it jumps by all the movement gathered.
    if (tearOffRow >= 0) {
        tearOffOffset += delta;
        if (tearOffOffset.length() <= tearOffLimit(z)) return;
        model.detach(group);
        delta = tearOffOffset;
        tearOffRow = -1;
        tearOffOffset = Vec2::ZERO;
    }
    model.moveBy(group, delta);
    for (auto& g : dragGroup)
        if (const FieldCard* c = model.card(g->getFieldId())) g->setPosition(c->position);

    const int row = edgeScrolling ? -1 : findSnap(held);
    if (row >= 0) {
        const Vec2 before = held->getPosition();
        joinRow(held, row);
        tearOffRow = row;
        const Vec2 gap = held->getPosition() - before;
        for (auto& g : dragGroup) {
            if (g.get() == held) continue;
            model.setPosition(g->getFieldId(), g->getPosition() + gap);
            g->setPosition(g->getPosition() + gap);
        }
        std::vector<RefPtr<CardSprite>> others(dragGroup.begin() + 1, dragGroup.end());
        for (auto& g : others) snapCard(g.get());
    }
    syncField();
}

int FieldScene::findSnap(CardSprite* card) const {
    const float limit = tearOffLimit(zoom());
    float best = limit;
    int bestRow = -1;
    const CardConnector& mine = card->connectors[0];
    const Vec2 at = connectorOnScreen(card, mine);
    for (int r = 0; r < kRowCount; ++r) {
        const CardId holder = model.cardOnRow(r);
        if (holder && holder != card->getFieldId()) continue;
        const CardSprite* head = getRowHead(r);
        const float d = at.distance(connectorOnScreen(head, head->connectors[0]));
        if (d < best) {
            best = d;
            bestRow = r;
        }
    }
    if (bestRow < 0) return -1;
    const CardSprite* head = getRowHead(bestRow);
    return angleBetween(directionOnScreen(card, mine), directionOnScreen(head, head->connectors[0])) == 180 ? bestRow
                                                                                                           : -1;
}

void FieldScene::joinRow(CardSprite* card, int row) {
    // Onto the row's own place, as a saved program brings it back.
    model.attach(card->getFieldId(), row);
    if (const FieldCard* c = model.card(card->getFieldId())) card->setPosition(c->position);
}

void FieldScene::snapCard(CardSprite* card) {
    const int row = findSnap(card);
    if (row < 0) return;
    joinRow(card, row);
    syncField();
}

void FieldScene::settleLooseCard(CardSprite* card) {
    if (rowOfCard(card) >= 0) return;
    const float H = Director::getInstance()->getVisibleSize().height;
    const Vec2 saved(static_cast<float>(truncateCoordinate(card->getPositionX())),
                     static_cast<float>(truncateCoordinate(card->getPositionY())));
    // Where loading would join it to a free row, it joins now.
    const int row = field_geometry::rowAtLoad(saved, H);
    if (row >= 0 && !model.cardOnRow(row)) snapCard(card);
    if (rowOfCard(card) >= 0) return;
    layClear(card->getFieldId(), true);
    slideToModel(card);
    syncField();
}

// --- edge scrolling while dragging

void FieldScene::startEdgeScroll(CardSprite* card) {
    edgeScrollCard = card;
    heldFreePosition = card->getPosition();
    const float q = card->getContentSize().height / 4 * zoom();
    const float y = toScreen(card->getPosition()).y;
    edgeStartBottom = y - q;
    edgeStartTop = y + q;
    edgeScrollArmed = edgeStartBottom >= q + kEdgeMargin && edgeStartTop <= layoutSize.height - kEdgeMargin - q;
    schedule([this](float dt) { edgeScroll(dt); }, "edgeScroll");
}

void FieldScene::stopEdgeScroll() {
    unschedule("edgeScroll");
    edgeScrollCard = nullptr;
    // Let go while the field scrolled: the card joins the row under it now.
    if (edgeScrolling && !dragGroup.empty()) {
        edgeScrolling = false;
        moveDragGroup(dragGroup.front().get(), Vec2::ZERO);
    }
    edgeScrolling = false;
}

void FieldScene::edgeScroll(float) {
    CardSprite* card = edgeScrollCard.get();
    if (!card || overTrash) return;
    const float L = layoutSize.height, z = zoom();
    const float q = card->getContentSize().height / 4 * z;
    // Where the finger has it: a row it joined on the way does not hold it
    // back from the edge.
    const float y = toScreen(heldFreePosition).y;
    const float bottom = y - q, top = y + q;
    if (!edgeScrollArmed) {
        // A drag that starts at an edge scrolls only once it has left it.
        if (edgeStartBottom < kEdgeMargin && bottom >= edgeStartBottom - kEdgeMargin && bottom <= q + kEdgeMargin) return;
        if (edgeStartTop > L - kEdgeMargin && top >= L - kEdgeMargin - q && top <= edgeStartTop + kEdgeMargin) return;
        edgeScrollArmed = true;
    }
    Vec2 offset = fieldView->getScrollOffset();
    float moved = 0;
    if (bottom < kEdgeMargin && offset.y < 0) {
        const float step = (bottom - kEdgeMargin) / 5 - 5;
        moved = std::min(offset.y - step, 0.0f) - offset.y;
    } else if (top > L - kEdgeMargin && offset.y > fieldView->getMinOffset().y) {
        const float step = (top - (L - kEdgeMargin)) / 5 + 5;
        moved = std::max(offset.y - step, fieldView->getMinOffset().y) - offset.y;
    }
    if (moved == 0) {
        // The scrolling has stopped: the card joins the free row under it.
        if (edgeScrolling) {
            edgeScrolling = false;
            moveDragGroup(card, Vec2::ZERO);
        }
        return;
    }
    fieldView->scrollTo(Vec2(offset.x, offset.y + moved), false);
    // The card stays under the finger, off every row it passes, so the field
    // scrolls on at an even speed.
    edgeScrolling = true;
    if (tearOffRow >= 0) {
        // Off the row it joined on the way, back under the finger.
        const std::vector<CardId> group = idsOf(dragGroup);
        model.detach(group);
        model.moveBy(group, heldFreePosition - card->getPosition());
        for (auto& g : dragGroup)
            if (const FieldCard* c = model.card(g->getFieldId())) g->setPosition(c->position);
        tearOffRow = -1;
        tearOffOffset = Vec2::ZERO;
    }
    moveDragGroup(card, Vec2(0, -moved / z));
}

// --- inserting and deleting rows

void FieldScene::insertRowAt(int row) {
    if (row < 0 || row >= kRowCount) return;
    beginChange();
    makeRoomAt(row);
    syncField();
    finishChange();
}

void FieldScene::makeRoomAt(int row) {
    const CardId pushedOff = model.insertRow(row);
    if (CardSprite* card = spriteOf(pushedOff)) {
        dropSprite(card, true);
        playTrash(true);
    }
    for (int r = row + 1; r < kRowCount; ++r)
        if (CardSprite* card = cardOnRow(r)) slideToModel(card);
}

void FieldScene::deleteRowAt(int row) {
    if (row < 0 || row >= kRowCount) return;
    beginChange();
    const CardId removed = model.deleteRow(row);
    if (CardSprite* card = spriteOf(removed)) {
        dropSprite(card, true);
        playTrash(true);
    }
    for (int r = row; r < kRowCount; ++r)
        if (CardSprite* card = cardOnRow(r)) slideToModel(card);
    syncField();
    finishChange();
}
