// The field as plain data: the snapshot the program generator reads and
// the document a saved program keeps.
#include "cards/DeviceManager.h"
#include "cards/FieldGeometry.h"
#include "engine/core/Director.h"
#include "field/FieldScene.h"

using namespace engine;

FieldSnapshot FieldScene::takeSnapshot() const {
    FieldSnapshot snapshot;
    snapshot.dialect = DeviceManager::getInstance()->getDialect();
    for (size_t k = 0; k < fieldCards.size(); ++k) {
        const CardSprite* card = fieldCards[k].get();
        SnapshotCard s;
        s.kind = CardKind{card->getCardSet(), card->getCardIndex()};
        s.numberText = card->getNumberText();
        s.position = card->getPosition();
        s.zorder = card->getLocalZOrder();
        s.order = static_cast<int>(k);
        const int row = rowOfCard(card);
        if (row >= 0) snapshot.rows[static_cast<size_t>(row)] = s;
        else snapshot.loose.push_back(s);
    }
    return snapshot;
}

FieldDocument FieldScene::makeFieldDocument() const { return documentFromSnapshot(takeSnapshot()); }

void FieldScene::saveFieldDocument() {
    if (!document) return;
    if (documentSink) documentSink(makeFieldDocument());
}

// Until saved programs are kept on disk every program starts empty.
void FieldScene::loadFieldDocument() { loadDocument({}); }

void FieldScene::loadDocument(const FieldDocument& doc) {
    endGesture();
    // An empty field first: no animation, no trash.
    for (auto& card : std::vector<RefPtr<CardSprite>>(fieldCards)) {
        freeConnectors(card.get());
        for (int d = 0; d < 4; ++d) card->neighbours[d] = nullptr;
        changeUseCount(card->getCardSet(), card->getCardIndex(), -1);
        card->removeFromParent();
    }
    fieldCards.clear();
    const float H = Director::getInstance()->getVisibleSize().height;
    for (const CardRecord& record : doc) {
        const Vec2 at(static_cast<float>(record.x), static_cast<float>(record.y));
        CardSprite* card = addCardToField(record.index, record.tab, at, 255);
        if (!card) continue;
        card->setLocalZOrder(record.zorder);
        card->setNumberText(record.value);
        // A saved card is on a row only if it sat exactly there (positions
        // are kept as whole numbers); a card merely near a row stays loose.
        const int row = field_geometry::rowAtLoad(at, H);
        if (row < 0) continue;
        CardSprite* head = getRowHead(row);
        if (!head->connectors[0].partner) join(card, card->connectors[0], head->connectors[0]);
    }
    tearOffPartner = nullptr;
}
