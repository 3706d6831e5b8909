// The field model and the card sprites that follow it: making, placing,
// stacking and removing them as the model says, the steps undo takes back,
// and where a loose card lies clear of the rows.
#include <algorithm>
#include <cmath>
#include <string>

#include "cards/DeviceManager.h"
#include "cards/FieldGeometry.h"
#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "field/FieldScene.h"
#include "views/InputCardSprite.h"

using namespace engine;

namespace {
const float kRowSlideTime = 0.1f;
// A loose card is laid small, tilted and faint beside the column, so the
// child sees at a glance what the program leaves out.
const float kLooseScale = 0.55f;
const float kLooseTilt = 5;
const uint8_t kLooseOpacity = 128;
const float kLooseGap = 8;
const Color3B kWhite(255, 255, 255);
const Color3B kJoinedTint(32, 32, 32);
const Color3B kErrorTint(255, 70, 70);
} // namespace

// --- the model and its sprites

CardSprite* FieldScene::spriteOf(CardId id) const {
    if (!id) return nullptr;
    for (const auto& card : fieldCards)
        if (card->getFieldId() == id) return card.get();
    return nullptr;
}

std::vector<CardId> FieldScene::idsOf(const std::vector<RefPtr<CardSprite>>& group) const {
    std::vector<CardId> ids;
    for (const auto& card : group) ids.push_back(card->getFieldId());
    return ids;
}

CardSprite* FieldScene::cardOnRow(int row) const { return spriteOf(model.cardOnRow(row)); }

int FieldScene::rowOfCard(const CardSprite* card) const {
    const FieldCard* c = card ? model.card(card->getFieldId()) : nullptr;
    return c ? c->row : -1;
}

int FieldScene::getCardUseCount(int set, int index) const { return model.useCount(CardKind{set, index}); }

Vec2 FieldScene::toField(const Vec2& screen) const { return fieldView->getContainer()->convertToNodeSpace(screen); }
Vec2 FieldScene::toScreen(const Vec2& point) const { return fieldView->getContainer()->convertToWorldSpace(point); }
float FieldScene::zoom() const { return fieldView->getZoom(); }

Vec2 FieldScene::connectorOnScreen(const CardSprite* card, const CardConnector& c) const {
    return card->convertToWorldSpace(c.point);
}

Vec2 FieldScene::directionOnScreen(const CardSprite* card, const CardConnector& c) const {
    return card->convertToWorldSpace(c.direction) - card->convertToWorldSpace(c.point);
}

CardSprite* FieldScene::makeCardSprite(const FieldCard& c) {
    DeviceManager* devices = DeviceManager::getInstance();
    const int index = c.kind.index, set = c.kind.set;
    const CardCode code = devices->getCardCode(index, set);
    const std::string picturePath = devices->getCardImage(index, set);
    const std::string codePath = devices->getCardCodeImage(index, set);
    CardSprite* card = code.kind == 1
                           ? InputCardSprite::create(devices->getInputRects(index, set), picturePath, codePath,
                                                     code.multiplier)
                           : CardSprite::create(picturePath, codePath);
    if (!card) return nullptr;
    card->setCardKind(set, index);
    card->setFieldId(c.id);
    card->setPosition(c.position);
    card->setNumberText(c.numberText);
    fieldView->getContainer()->addChild(card, c.zorder);
    Size s = card->getContentSize();
    card->connectors[0].point = Vec2(0, s.height / 2);
    card->connectors[0].direction = Vec2(1, s.height / 2);
    attachFieldCardListener(card);
    return card;
}

void FieldScene::syncField() {
    for (auto& card : std::vector<RefPtr<CardSprite>>(fieldCards))
        if (!model.card(card->getFieldId())) dropSprite(card.get());
    std::vector<RefPtr<CardSprite>> shown;
    for (const FieldCard& c : model.cards()) {
        CardSprite* card = spriteOf(c.id);
        if (!card) card = makeCardSprite(c);
        if (!card) continue;
        shown.emplace_back(card);
        if (card->getNumberText() != c.numberText) card->setNumberText(c.numberText);
        card->setLocalZOrder(c.zorder);
        // A row shift slides the card to its new place by itself.
        if (!card->getActionByTag(kSlideTag)) card->setPosition(c.position);
        const bool held = std::any_of(dragGroup.begin(), dragGroup.end(), [card](const auto& g) { return g.get() == card; });
        if (!held) showLooseLook(card, c.row < 0);
    }
    fieldCards = std::move(shown);
    for (int r = 0; r < kRowCount; ++r) tintRow(r);
    if (DeviceManager* devices = DeviceManager::getInstance()) {
        const int set = devices->getCardSet();
        for (size_t k = 0; k < countLabels.size(); ++k) {
            const std::string count = std::to_string(model.useCount(CardKind{set, static_cast<int>(k)}));
            if (countLabels[k] && countLabels[k]->getString() != count) countLabels[k]->setString(count);
        }
    }
}

void FieldScene::tintRow(int row) {
    // Lit while the board runs its line; dark while it holds a card.
    CardSprite* head = getRowHead(row);
    if (row == glowingRow) return;
    // Red where the board's error stopped the program.
    const bool error = row == errorRow;
    // Only what changes is set: this runs at every step of a drag.
    const Color3B tint = error ? kErrorTint : model.cardOnRow(row) ? kJoinedTint : kWhite;
    if (head->getColor() != tint) head->setColor(tint);
    Sprite* plate = rowPlates[static_cast<size_t>(row)];
    if (plate->getColor() != (error ? kErrorTint : kWhite)) plate->setColor(error ? kErrorTint : kWhite);
}

void FieldScene::showLooseLook(CardSprite* card, bool loose) {
    card->setScale(loose ? kLooseScale : 1.0f);
    card->setRotation(loose ? kLooseTilt : 0.0f);
    card->setOpacity(loose ? kLooseOpacity : 255);
}

void FieldScene::dropSprite(CardSprite* card, bool intoTrash) {
    RefPtr<CardSprite> keep(card);
    if (card == heldCard) endGesture();
    std::erase_if(fieldCards, [card](const auto& c) { return c.get() == card; });
    std::erase_if(dragGroup, [card](const auto& c) { return c.get() == card; });
    card->setFieldId(0);
    if (EventListener* listener = card->getTouchListener())
        Director::getInstance()->getEventDispatcher()->removeEventListener(listener);
    if (!intoTrash) {
        card->removeFromParent();
        return;
    }
    // Into the trash: the picture fades while the card flies there and shrinks.
    card->setColor(kWhite);
    card->stopAllActions();
    card->getImageSprite()->runAction(Sequence::create(DelayTime::create(0.2f), FadeOut::create(0.1f)));
    Vec2 trash = toField(trashIcon->getPosition());
    card->runAction(Sequence::create(Spawn::create(MoveTo::create(0.2f, trash), ScaleTo::create(0.2f, 0.1f)),
                                     DelayTime::create(0.1f), RemoveSelf::create()));
}

void FieldScene::slideToModel(CardSprite* card) {
    const FieldCard* c = model.card(card->getFieldId());
    if (!c) return;
    card->stopActionByTag(kSlideTag);
    Action* slide = card->runAction(MoveTo::create(kRowSlideTime, c->position));
    slide->setTag(kSlideTag);
}

void FieldScene::beginChange() {
    if (!changeBase) changeBase = model;
}

void FieldScene::finishChange() {
    if (!changeBase) return;
    FieldModel before = std::move(*changeBase);
    changeBase.reset();
    history.record(before, model);
    refreshHistoryControls();
    if (!before.sameLayout(model)) programChanged();
    if (!(before == model)) saveFieldDocument();
}

void FieldScene::programChanged() {
    // The field no longer shows the program the board runs.
    simulatedLineRows.clear();
    lightRow(-1);
    hideBoardPanel();
    putBoardLightOut();
}

bool FieldScene::fieldBusy() const {
    return heldCard || placedDragCard || paletteSourceCard || numberEntryLayer || dialectPopup || sendingOverlay ||
           portListPopup || stoppingOverlay;
}

// --- placing and removing cards

CardSprite* FieldScene::addCardToField(int index, int set, const Vec2& position, uint8_t opacity) {
    const CardId id = model.place(CardKind{set, index}, position);
    if (!id) return nullptr;
    syncField();
    CardSprite* card = spriteOf(id);
    if (!card) {
        model.remove(id);
        return nullptr;
    }
    // Full size until it is let go: it may be on its way to a row.
    showLooseLook(card, false);
    card->setOpacity(opacity);
    return card;
}

void FieldScene::placeFromPalette(CardKind kind, const Vec2& screenPosition, uint8_t opacity) {
    beginChange();
    placedDragCard = addCardToField(kind.index, kind.set, toField(screenPosition), opacity);
    if (!placedDragCard) {
        changeBase.reset();
        return;
    }
    dragGroup.assign(1, RefPtr<CardSprite>(placedDragCard));
    raiseGroup();
    startEdgeScroll(placedDragCard);
}

void FieldScene::dropFromPalette() {
    RefPtr<CardSprite> placed(placedDragCard);
    placedDragCard = nullptr;
    tearOffRow = -1;
    tearOffOffset = Vec2::ZERO;
    stopEdgeScroll();
    dragGroup.clear();
    if (!placed) return;
    settleLooseCard(placed.get());
    syncField();
    finishChange();
}

void FieldScene::setCardNumber(CardSprite* card, const std::string& text) {
    if (!card || !card->getFieldId()) return;
    beginChange();
    model.setNumber(card->getFieldId(), text);
    syncField();
    finishChange();
}

void FieldScene::replaceField(const FieldDocument& doc) {
    endGesture();
    changeBase.reset();
    history.clear();
    model.load(doc);
    // A card that loads loose lies clear of the rows; one already there keeps
    // its place, so a program opens again as it was left.
    std::vector<CardId> loose;
    for (const FieldCard& c : model.cards())
        if (c.row < 0) loose.push_back(c.id);
    for (CardId id : loose) layClear(id, false);
    // Sprites of the field before are not this program's cards.
    for (auto& card : std::vector<RefPtr<CardSprite>>(fieldCards)) dropSprite(card.get());
    syncField();
    programChanged();
}

void FieldScene::undo() { stepThroughHistory(false); }
void FieldScene::redo() { stepThroughHistory(true); }
bool FieldScene::canUndo() const { return history.canUndo(); }
bool FieldScene::canRedo() const { return history.canRedo(); }

void FieldScene::stepThroughHistory(bool forward) {
    if (!fieldBusy() && !changeBase) {
        FieldModel shown = model;
        if (forward ? history.redo(shown) : history.undo(shown)) {
            model = std::move(shown);
            // Cards that stay glide to their places; the field on disk is the field shown.
            // A slide under way still heads for the place the field had before.
            for (auto& card : fieldCards)
                if (const FieldCard* c = model.card(card->getFieldId());
                    c && (c->position != card->getPosition() || card->getActionByTag(kSlideTag)))
                    slideToModel(card.get());
            syncField();
            programChanged();
            saveFieldDocument();
        }
    }
    refreshHistoryControls();
}

void FieldScene::removeCardFromField(CardSprite* card) {
    if (!card || !model.remove(card->getFieldId())) return;
    dropSprite(card, true);
    syncField();
}

// --- where a loose card lies

Vec2 FieldScene::clearSpotFor(CardId id, bool inView) const {
    const FieldCard* c = model.card(id);
    if (!c) return Vec2::ZERO;
    const float H = Director::getInstance()->getVisibleSize().height;
    const float tilt = kLooseTilt * static_cast<float>(M_PI) / 180;
    const Size card(field_geometry::kCardWidth * kLooseScale, field_geometry::kCardHeight * kLooseScale);
    // Half the box of the small, tilted card, in content points.
    const Vec2 half((card.width * std::cos(tilt) + card.height * std::sin(tilt)) / 2,
                    (card.width * std::sin(tilt) + card.height * std::cos(tilt)) / 2);
    const float columnRight = field_geometry::rowHeadCentre(0, H).x + field_geometry::kHeadWidth / 2;

    // On the screen: inside the field's frame, under no control.
    std::vector<Rect> controls;
    for (Node* n : {static_cast<Node*>(playButton), static_cast<Node*>(stopButton), static_cast<Node*>(dialectButton),
                    static_cast<Node*>(saveButton), static_cast<Node*>(settingsButton), static_cast<Node*>(undoButton),
                    static_cast<Node*>(redoButton), static_cast<Node*>(zoomOutButton), static_cast<Node*>(zoomInButton),
                    static_cast<Node*>(zoomFullButton)})
        if (n) controls.push_back(n->getBoundingBoxInWorld());
    for (Node* n : rightColumn) controls.push_back(n->getBoundingBoxInWorld());
    // The open settings bar covers the bottom of the field.
    const float bottom = settingsBarShown ? kBarHeight : kEdgeMargin;
    const Rect fieldArea(kPaletteWidth + kEdgeMargin, bottom, 1024 - kPaletteWidth - 3 * kEdgeMargin,
                         layoutSize.height - kEdgeMargin - bottom);
    float x = columnRight + kLooseGap + half.x;
    // Scrolled so far that the column's right lies under the palette: just
    // inside the field instead, still right of every placed card.
    const Size content = fieldView->getContainer()->getContentSize();
    if (inView) x = std::clamp(toField(Vec2(fieldArea.origin.x + half.x * zoom() + 1, 0)).x, x, content.width - half.x);
    const float top = content.height - half.y;
    auto onScreen = [&](const Rect& box) {
        const Vec2 a = toScreen(box.origin), b = toScreen(box.origin + Vec2(box.size.width, box.size.height));
        return Rect(a.x, a.y, b.x - a.x, b.y - a.y);
    };
    // A saved place lost up to a point to whole numbers.
    const float slack = inView ? 0.0f : 1.0f;
    auto fits = [&](float x, float y, bool besideOthers, bool clearOfControls) {
        const Rect box(x - half.x, y - half.y, half.x * 2, half.y * 2);
        if (y < half.y - slack || y > top || box.getMinX() < columnRight + kLooseGap - 1 - slack ||
            box.getMaxX() > content.width)
            return false;
        if (inView) {
            const Rect screen = onScreen(box);
            if (!fieldArea.containsPoint(screen.origin) ||
                !fieldArea.containsPoint(screen.origin + Vec2(screen.size.width, screen.size.height)))
                return false;
            if (clearOfControls)
                for (const Rect& r : controls)
                    if (r.intersectsRect(screen)) return false;
        }
        if (besideOthers)
            for (const FieldCard& other : model.cards())
                if (other.id != id && other.row < 0 && std::fabs(other.position.x - x) < half.x * 2 &&
                    std::fabs(other.position.y - y) < half.y * 2)
                    return false;
        return true;
    };
    // A card already lying clear stays where it is. One loading stays
    // wherever it lies right of the column, even beside another, so that a
    // program opens again exactly as it was saved.
    if (fits(c->position.x, c->position.y, inView, inView)) return c->position;
    // As near as can be to where it was let go, looking up and down in turn.
    float wanted = c->position.y;
    if (inView) {
        const float low = toField(Vec2(0, fieldArea.origin.y)).y + half.y;
        const float high = toField(Vec2(0, fieldArea.origin.y + fieldArea.size.height)).y - half.y;
        wanted = std::clamp(wanted, std::min(low, high), std::max(low, high));
    }
    wanted = std::clamp(wanted, half.y, std::max(half.y, top));
    const float step = half.y / 2;
    for (int pass = 0; pass < 3; ++pass)
        for (int k = 0; k < 400; ++k) {
            const float y = wanted + (k % 2 ? -1.0f : 1.0f) * static_cast<float>((k + 1) / 2) * step;
            if (fits(x, y, pass < 1, pass < 2)) return Vec2(x, y);
        }
    return Vec2(x, wanted);
}

void FieldScene::layClear(CardId id, bool inView) {
    const FieldCard* c = model.card(id);
    if (!c || c->row >= 0) return;
    model.setPosition(id, clearSpotFor(id, inView));
}
