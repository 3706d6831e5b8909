// The forty numbered rows of the field, the cards on them and every card
// gesture: lifting, dragging, snapping onto rows, the trash, and shifting
// rows.
#include <algorithm>
#include <climits>
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
#include "views/InputCardSprite.h"

using namespace engine;

namespace {
const float kTearOffDistance = 60;
const float kTapDistance = 10;
const double kTapTime = 0.4;
const float kLiftDelay = 0.05f;
const float kChainDelay = 0.4f;
const float kEdgeMargin = 5;
const float kRowSlideTime = 0.1f;
// Far enough that a card beside a row's place no longer reads as on it
// once its position is saved as whole numbers.
const float kLooseAside = 3;
const uint8_t kLiftedOpacity = 150;
const uint8_t kChainOpacity = 100;
const Color3B kWhite(255, 255, 255);
const Color3B kJoinedTint(32, 32, 32);
const Color3B kOverTrashTint(0, 30, 70);
const int kTrashPlayTag = 0x7a5;

int opposite(int direction) { return (direction + 2) % 4; }

// Links always come in pairs: a card's link and the neighbour's opposite one.
void unlink(CardSprite* card, int direction) {
    CardSprite* other = card->neighbours[direction];
    if (!other) return;
    if (other->neighbours[opposite(direction)] == card) other->neighbours[opposite(direction)] = nullptr;
    card->neighbours[direction] = nullptr;
}

void link(CardSprite* card, int direction, CardSprite* other) {
    unlink(card, direction);
    if (!other) return;
    unlink(other, opposite(direction));
    card->neighbours[direction] = other;
    other->neighbours[opposite(direction)] = card;
}

// A connector that was never placed has no direction and joins nothing.
bool isPlaced(const CardConnector& c) { return c.direction != c.point; }

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
    fieldRows.assign(kRowCount, {});
    rowPlates.assign(kRowCount, nullptr);
    CardSprite* above = nullptr;
    for (int i = 0; i < kRowCount; ++i) {
        Vec2 at = field_geometry::plateCentre(i, H);
        Sprite* plate = picture("res/r_field_no.png");
        Size p = plate->getContentSize();
        plate->setPosition(at);
        fieldView->addChild(plate);
        rowPlates[static_cast<size_t>(i)] = plate;

        CardSprite* head = CardSprite::create("res/r_field.png");
        Size h = head->getContentSize();
        head->setPosition(field_geometry::rowHeadCentre(i, H));
        head->connectors[0].point = Vec2(5, h.height / 2);
        head->connectors[0].direction = Vec2(4, h.height / 2);
        fieldView->addChild(head);
        if (above) {
            head->neighbours[CardSprite::UP] = above;
            above->neighbours[CardSprite::DOWN] = head;
        }
        above = head;
        fieldRows[static_cast<size_t>(i)].push_back(head);

        if (LabelAtlas* number = LabelAtlas::create(std::to_string(10 * (i + 1)), "res/r_field_num.png", 9, 11, '0')) {
            number->setScale(1.5f);
            number->setAnchorPoint(Vec2(1, 0.5f));
            number->setPosition(at.x + p.width / 2 - 5, at.y);
            fieldView->addChild(number);
        }

        Sprite* insert = picture("res/r_btn_add.png");
        insert->setTag(i);
        insert->setPosition(at.x - p.width / 2 - insert->getContentSize().width / 2, at.y + p.height / 2);
        fieldView->addChild(insert);
        addRowButton(insert, [this](int row) { insertRowAt(row); });
        Sprite* remove = picture("res/r_btn_delete.png");
        remove->setTag(i);
        remove->setPosition(at.x - p.width / 2 - remove->getContentSize().width / 2, at.y);
        fieldView->addChild(remove);
        addRowButton(remove, [this](int row) { deleteRowAt(row); });
    }
}

void FieldScene::addRowButton(Sprite* button, std::function<void(int)> action) {
    // A small target for a child's finger: the box is enlarged and follows
    // the zoom.
    auto hitBox = [this, button] {
        Rect box = button->getBoundingBox();
        Vec2 origin = toScreen(box.origin);
        float z = zoom();
        return Rect(origin - Vec2(box.size.width, box.size.height) / 1.5f * z, box.size * 1.5f * z);
    };
    auto* listener = EventListenerTouchOneByOne::create();
    listener->setSwallowTouches(true);
    listener->onTouchBegan = [button, hitBox](Touch* touch, Event*) {
        if (!button->isVisible() || !hitBox().containsPoint(touch->getLocation())) return false;
        button->setOpacity(kPressedOpacity);
        return true;
    };
    listener->onTouchEnded = [button, hitBox, action = std::move(action)](Touch* touch, Event*) {
        button->setOpacity(255);
        if (hitBox().containsPoint(touch->getLocation())) action(button->getTag());
    };
    listener->onTouchCancelled = [button](Touch*, Event*) { button->setOpacity(255); };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, button);
}

CardSprite* FieldScene::cardOnRow(int row) const {
    if (row < 0 || row >= kRowCount) return nullptr;
    return getRowHead(row)->connectors[0].partner;
}

int FieldScene::rowOfCard(const CardSprite* card) const {
    for (const CardConnector& c : card->connectors)
        if (c.partner)
            for (int i = 0; i < kRowCount; ++i)
                if (getRowHead(i) == c.partner) return i;
    return -1;
}

int FieldScene::getCardUseCount(int set, int index) const {
    return cardUseCounts.at(static_cast<size_t>(set)).at(static_cast<size_t>(index));
}

Vec2 FieldScene::toField(const Vec2& screen) const { return fieldView->getContainer()->convertToNodeSpace(screen); }
Vec2 FieldScene::toScreen(const Vec2& point) const { return fieldView->getContainer()->convertToWorldSpace(point); }
float FieldScene::zoom() const { return fieldView->getZoom(); }

Vec2 FieldScene::connectorOnScreen(const CardSprite* card, const CardConnector& c) const {
    return card->convertToWorldSpace(c.point);
}

Vec2 FieldScene::directionOnScreen(const CardSprite* card, const CardConnector& c) const {
    return card->convertToWorldSpace(c.direction) - card->convertToWorldSpace(c.point);
}

// --- placing and removing cards

CardSprite* FieldScene::addCardToField(int index, int set, const Vec2& position, uint8_t opacity) {
    DeviceManager* devices = DeviceManager::getInstance();
    if (index < 0 || index >= devices->getCardCount(set)) return nullptr;
    const CardCode code = devices->getCardCode(index, set);
    const std::string picturePath = devices->getCardImage(index, set);
    const std::string codePath = devices->getCardCodeImage(index, set);
    CardSprite* card = code.kind == 1
                           ? InputCardSprite::create(devices->getInputRects(index, set), picturePath, codePath,
                                                     code.multiplier)
                           : CardSprite::create(picturePath, codePath);
    if (!card) return nullptr;
    card->setCardKind(set, index);
    card->setPosition(position);
    card->setOpacity(opacity);
    fieldView->getContainer()->addChild(card, INT_MAX);
    fieldCards.emplace_back(card);
    changeUseCount(set, index, +1);
    Size s = card->getContentSize();
    card->connectors[0].point = Vec2(0, s.height / 2);
    card->connectors[0].direction = Vec2(1, s.height / 2);
    attachFieldCardListener(card);
    return card;
}

void FieldScene::changeUseCount(int set, int index, int by) {
    int& count = cardUseCounts.at(static_cast<size_t>(set)).at(static_cast<size_t>(index));
    count = std::max(0, count + by);
    // Only the shown palette has badges to change.
    if (set != DeviceManager::getInstance()->getCardSet()) return;
    if (static_cast<size_t>(index) < countLabels.size() && countLabels[static_cast<size_t>(index)])
        countLabels[static_cast<size_t>(index)]->setString(std::to_string(count));
}

void FieldScene::freeConnectors(CardSprite* card) {
    for (CardConnector& c : card->connectors) {
        if (CardSprite* partner = c.partner) {
            for (CardConnector& back : partner->connectors)
                if (back.partner == card) back.partner = nullptr;
            partner->setColor(kWhite);
        }
        c.partner = nullptr;
    }
}

void FieldScene::removeCardFromField(CardSprite* card) {
    auto it = std::find_if(fieldCards.begin(), fieldCards.end(), [card](const auto& c) { return c.get() == card; });
    if (it == fieldCards.end()) return;
    RefPtr<CardSprite> keep(card);
    if (card == heldCard) endGesture();
    freeConnectors(card);
    for (int d = 0; d < 4; ++d) unlink(card, d);
    changeUseCount(card->getCardSet(), card->getCardIndex(), -1);
    fieldCards.erase(it);
    dragGroup.erase(std::remove_if(dragGroup.begin(), dragGroup.end(), [card](const auto& c) { return c.get() == card; }),
                    dragGroup.end());
    std::erase(slidingCards, card);
    card->setColor(kWhite);
    if (EventListener* listener = card->getTouchListener())
        Director::getInstance()->getEventDispatcher()->removeEventListener(listener);
    // Into the trash: the picture fades while the card flies there and shrinks.
    card->stopAllActions();
    card->getImageSprite()->runAction(Sequence::create(DelayTime::create(0.2f), FadeOut::create(0.1f)));
    Vec2 trash = toField(trashIcon->getPosition());
    card->runAction(Sequence::create(Spawn::create(MoveTo::create(0.2f, trash), ScaleTo::create(0.2f, 0.1f)),
                                     DelayTime::create(0.1f), RemoveSelf::create()));
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
    if (heldCard || placedDragCard) return false;
    if (!card->getBoundingBox().containsPoint(toField(touch->getLocation()))) return false;
    movedDistance = 0;
    heldCard = card;
    pressTime = Clock::now();
    overTrash = trashTest(card, touch->getLocation());
    const int serial = gestureSerial;
    RefPtr<CardSprite> keep(card);
    runAction(Sequence::create(DelayTime::create(kLiftDelay), CallFunc::create([this, keep, serial] {
                                   liftHeldCard(keep.get(), serial);
                               })));
    return true;
}

void FieldScene::liftHeldCard(CardSprite* card, int serial) {
    if (card != heldCard || !still || serial != gestureSerial) return;
    tearOffPartner = nullptr;
    for (const CardConnector& c : card->connectors)
        if (c.partner) tearOffPartner = c.partner;
    dragGroup.assign(1, RefPtr<CardSprite>(card));
    raiseGroup();
    card->setOpacity(kLiftedOpacity);
    lifting = true;
    card->setSwallowTouches(true);
    startEdgeScroll(card);
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
    for (auto& c : dragGroup) c->setOpacity(kChainOpacity);
}

void FieldScene::collectChain(CardSprite* card) {
    dragGroup.clear();
    std::function<void(CardSprite*)> visit = [&](CardSprite* c) {
        if (!c) return;
        if (std::any_of(dragGroup.begin(), dragGroup.end(), [c](const auto& g) { return g.get() == c; })) return;
        dragGroup.emplace_back(c);
        CardSprite* head = nullptr;
        for (const CardConnector& k : c->connectors)
            if (k.partner) head = k.partner;
        for (int d : {CardSprite::RIGHT, CardSprite::DOWN, CardSprite::LEFT}) {
            if (head) {
                CardSprite* next = head->neighbours[d];
                visit(next ? next->connectors[0].partner : nullptr);
            } else {
                visit(c->neighbours[d]);
            }
        }
    };
    visit(card);
}

void FieldScene::raiseGroup() {
    const int top = static_cast<int>(fieldCards.size());
    for (auto g = dragGroup.rbegin(); g != dragGroup.rend(); ++g) {
        CardSprite* card = g->get();
        const int z = card->getLocalZOrder();
        for (auto& other : fieldCards)
            if (other.get() != card && other->getLocalZOrder() > z) other->setLocalZOrder(other->getLocalZOrder() - 1);
        card->setLocalZOrder(top);
    }
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
    }
    still = false;
}

void FieldScene::onFieldCardEnded(CardSprite* card, Touch* touch, bool cancelled) {
    if (card != heldCard) return;
    stopEdgeScroll();
    RefPtr<CardSprite> keep(card);
    bool deleted = false;
    if (lifting) {
        card->setSwallowTouches(false);
        std::vector<RefPtr<CardSprite>> group = dragGroup;
        for (auto& c : group) c->setOpacity(255);
        const bool inTrash = !cancelled && trashHitBox().containsPoint(touch->getLocation());
        for (auto& c : group)
            if (inTrash) {
                removeCardFromField(c.get());
                deleted = true;
            } else {
                settleLooseCard(c.get());
            }
        saveFieldDocument();
        trashIcon->stopActionByTag(kTrashPlayTag);
        Action* play = deleted ? trashIcon->runAction(Sequence::create(
                                     FadeTo::create(0, 255), DelayTime::create(0.2f),
                                     CallFunc::create([this] { trashIcon->setTexture(localized("res/r_card_clean.png")); }),
                                     DelayTime::create(0.1f), FadeOut::create(0.2f)))
                               : trashIcon->runAction(FadeOut::create(0.2f));
        play->setTag(kTrashPlayTag);
    }
    movedDistance += (touch->getDelta() / zoom()).length();
    const bool tap = !cancelled && !deleted && movedDistance < kTapDistance && Clock::now() - pressTime < kTapTime;
    const bool numberCard = DeviceManager::getInstance()->getCardCode(card->getCardIndex(), card->getCardSet()).kind == 1;
    endGesture();
    if (tap && numberCard && !card->isFlipping()) openNumberEntry(card);
}

void FieldScene::endGesture() {
    previousPressTime = pressTime;
    heldCard = nullptr;
    still = true;
    lifting = false;
    overTrash = false;
    gestureSerial = (gestureSerial + 1) % 10;
    tearOffPartner = nullptr;
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

    // A card on a row stays there until the finger has clearly left it;
    // then it jumps by all the movement gathered.
    if (tearOffPartner) {
        tearOffOffset += delta;
        if (tearOffOffset.length() <= tearOffLimit(z)) return;
        for (auto& g : dragGroup) {
            g->setPosition(g->getPosition() + tearOffOffset);
            freeConnectors(g.get());
        }
        tearOffPartner = nullptr;
        tearOffOffset = Vec2::ZERO;
        delta = Vec2::ZERO;
    }

    for (auto& g : dragGroup) g->setPosition(g->getPosition() + delta);
    // Links to cards left behind are cut.
    for (auto& g : dragGroup)
        for (int d = 0; d < 4; ++d) {
            CardSprite* n = g->neighbours[d];
            if (n && std::none_of(dragGroup.begin(), dragGroup.end(), [n](const auto& o) { return o.get() == n; }))
                unlink(g.get(), d);
        }

    CardConnector *own = nullptr, *head = nullptr;
    if (!findSnap(held, own, head)) return;
    CardSprite* rowHead = head->owner;
    const Vec2 gap = (connectorOnScreen(rowHead, *head) - connectorOnScreen(held, *own)) / z;
    join(held, *own, *head);
    tearOffPartner = rowHead;
    for (auto& g : dragGroup) g->setPosition(g->getPosition() + gap);
    std::vector<RefPtr<CardSprite>> others(dragGroup.begin() + 1, dragGroup.end());
    for (auto& g : others) snapCard(g.get());
}

bool FieldScene::findSnap(CardSprite* card, CardConnector*& own, CardConnector*& head) const {
    const float limit = tearOffLimit(zoom());
    float best = limit;
    own = head = nullptr;
    for (CardConnector& mine : card->connectors) {
        if (!isPlaced(mine)) continue;
        const Vec2 at = connectorOnScreen(card, mine);
        for (const auto& row : fieldRows)
            for (CardSprite* rowHead : row)
                for (CardConnector& theirs : rowHead->connectors) {
                    if (!isPlaced(theirs) || (theirs.partner && theirs.partner != card)) continue;
                    const float d = at.distance(connectorOnScreen(rowHead, theirs));
                    if (d < best) {
                        best = d;
                        own = &mine;
                        head = &theirs;
                    }
                }
    }
    if (!own) return false;
    return angleBetween(directionOnScreen(card, *own), directionOnScreen(head->owner, *head)) == 180;
}

void FieldScene::join(CardSprite* card, CardConnector& own, CardConnector& head) {
    CardSprite* rowHead = head.owner;
    // A card holds one row; a row holds one card.
    for (CardConnector& c : card->connectors)
        if (c.partner && c.partner != rowHead) {
            for (CardConnector& back : c.partner->connectors)
                if (back.partner == card) back.partner = nullptr;
            c.partner->setColor(kWhite);
            c.partner = nullptr;
        }
    own.partner = rowHead;
    head.partner = card;
    for (int d = 0; d < 4; ++d) {
        CardSprite* neighbourHead = rowHead->neighbours[d];
        link(card, d, neighbourHead ? neighbourHead->connectors[0].partner : nullptr);
    }
    rowHead->setColor(kJoinedTint);
}

void FieldScene::snapCard(CardSprite* card) {
    CardConnector *own = nullptr, *head = nullptr;
    if (!findSnap(card, own, head)) return;
    const Vec2 gap = (connectorOnScreen(head->owner, *head) - connectorOnScreen(card, *own)) / zoom();
    join(card, *own, *head);
    card->setPosition(card->getPosition() + gap);
}

void FieldScene::settleLooseCard(CardSprite* card) {
    if (rowOfCard(card) >= 0) return;
    const float H = Director::getInstance()->getVisibleSize().height;
    const Vec2 saved(static_cast<float>(truncateCoordinate(card->getPositionX())),
                     static_cast<float>(truncateCoordinate(card->getPositionY())));
    const int row = field_geometry::rowAtLoad(saved, H);
    if (row < 0) return;
    if (!cardOnRow(row)) snapCard(card);
    if (rowOfCard(card) < 0) card->setPosition(card->getPosition() + Vec2(kLooseAside, 0));
}

// --- edge scrolling while dragging

void FieldScene::startEdgeScroll(CardSprite* card) {
    edgeScrollCard = card;
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
}

void FieldScene::edgeScroll(float) {
    CardSprite* card = edgeScrollCard.get();
    if (!card || overTrash) return;
    const float L = layoutSize.height, z = zoom();
    const float q = card->getContentSize().height / 4 * z;
    const float y = toScreen(card->getPosition()).y;
    const float bottom = y - q, top = y + q;
    if (!edgeScrollArmed) {
        // A drag that starts at an edge scrolls only once it has left it.
        if (edgeStartBottom < kEdgeMargin && bottom >= edgeStartBottom - kEdgeMargin && bottom <= q + kEdgeMargin) return;
        if (edgeStartTop > L - kEdgeMargin && top >= L - kEdgeMargin - q && top <= edgeStartTop + kEdgeMargin) return;
        edgeScrollArmed = true;
    }
    const bool loose = !card->connectors[0].partner && !card->connectors[1].partner;
    Vec2 offset = fieldView->getScrollOffset();
    float moved = 0;
    if (bottom < kEdgeMargin && offset.y < 0) {
        const float step = (bottom - kEdgeMargin) / 5 - 5;
        moved = std::min(offset.y - step, 0.0f) - offset.y;
    } else if (top > L - kEdgeMargin && offset.y > fieldView->getMinOffset().y) {
        const float step = (top - (L - kEdgeMargin)) / 5 + 5;
        moved = std::max(offset.y - step, fieldView->getMinOffset().y) - offset.y;
    }
    if (moved == 0) return;
    fieldView->scrollTo(Vec2(offset.x, offset.y + moved), false);
    // A loose card stays under the finger; one on a row rides with it.
    if (loose) moveDragGroup(card, Vec2(0, -moved / z));
}

// --- inserting and deleting rows

void FieldScene::shiftCard(CardSprite* card, int from, int to) {
    CardSprite* fromHead = getRowHead(from);
    CardSprite* toHead = getRowHead(to);
    const Vec2 slide = toHead->convertToWorldSpace(toHead->connectors[0].point) -
                       fromHead->convertToWorldSpace(fromHead->connectors[0].point);
    for (CardConnector& c : card->connectors)
        if (c.partner == fromHead) c.partner = toHead;
    fromHead->connectors[0].partner = nullptr;
    toHead->connectors[0].partner = card;
    toHead->setColor(fromHead->getColor());
    fromHead->setColor(kWhite);
    slidingCards.push_back(card);
    RefPtr<CardSprite> keep(card);
    card->runAction(Sequence::create(MoveBy::create(kRowSlideTime, slide / zoom()), CallFunc::create([this, keep] {
        // Exactly on its row, whatever the steps of the slide added up to.
        for (const CardConnector& c : keep->connectors)
            if (c.partner) keep->setPosition(keep->getPosition() + (connectorOnScreen(c.partner, c.partner->connectors[0]) -
                                                                    connectorOnScreen(keep.get(), c)) / zoom());
        auto slide = std::find(slidingCards.begin(), slidingCards.end(), keep.get());
        if (slide != slidingCards.end()) slidingCards.erase(slide);
        if (slidingCards.empty()) saveFieldDocument();
    })));
}

void FieldScene::afterRowShift() {
    // Every card on a row is linked to its row neighbours and nothing else.
    for (int i = 0; i < kRowCount; ++i) {
        CardSprite* card = cardOnRow(i);
        if (!card) continue;
        unlink(card, CardSprite::RIGHT);
        unlink(card, CardSprite::LEFT);
        link(card, CardSprite::UP, cardOnRow(i - 1));
        link(card, CardSprite::DOWN, cardOnRow(i + 1));
    }
    if (slidingCards.empty()) saveFieldDocument();
}

void FieldScene::insertRowAt(int row) {
    if (row < 0 || row >= kRowCount) return;
    if (CardSprite* last = cardOnRow(kRowCount - 1)) {
        removeCardFromField(last);
        playTrash(true);
    }
    for (int i = kRowCount - 2; i >= row; --i)
        if (CardSprite* card = cardOnRow(i)) shiftCard(card, i, i + 1);
    afterRowShift();
}

void FieldScene::deleteRowAt(int row) {
    if (row < 0 || row >= kRowCount) return;
    if (CardSprite* card = cardOnRow(row)) {
        removeCardFromField(card);
        playTrash(true);
    }
    for (int i = row + 1; i < kRowCount; ++i)
        if (CardSprite* card = cardOnRow(i)) shiftCard(card, i, i - 1);
    afterRowShift();
}
