// The field as plain data: the snapshot the program generator reads and
// the document a saved program keeps.
#include "cards/DeviceManager.h"
#include "cards/FieldGeometry.h"
#include "engine/core/Director.h"
#include "engine/platform/RenderTexture.h"
#include "save/SaveDataManager.h"
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
    // The field no longer shows the program the board runs.
    simulatedLineRows.clear();
    lightRow(-1);
    if (!document) return;
    const FieldDocument doc = makeFieldDocument();
    if (documentSink) documentSink(doc);
    SaveDataManager* saves = SaveDataManager::getInstance();
    const bool listedBefore = saves->saveDocument(document.get(), documentToValue(doc));
    // The first save of a new program also takes its picture for the home screen.
    if (!listedBefore && document->isSaved()) captureThumbnail([] {});
}

void FieldScene::loadFieldDocument() {
    loadDocument(documentFromValue(SaveDataManager::getInstance()->loadDocument(document.get())));
}

void FieldScene::captureThumbnail(const std::function<void()>& done) {
    SaveDataManager* saves = SaveDataManager::getInstance();
    // A program never saved has no picture to write; whoever waits goes on at once.
    if (!document || !document->isSaved() || saves->getImageFullPath(document.get()).empty()) {
        if (done) done();
        return;
    }
    const Size visible = Director::getInstance()->getVisibleSize();
    RenderTexture* screen = RenderTexture::create(static_cast<int>(visible.width), static_cast<int>(visible.height));
    RenderTexture* picture = RenderTexture::create(kThumbnailSize, kThumbnailSize);
    if (!screen || !picture) {
        if (done) done();
        return;
    }
    // The field as it shows, cards at their scroll and zoom.
    screen->beginWithClear(1, 1, 1, 1);
    screen->visitNode(fieldView->getContainer());
    screen->end();
    // The square of the screen's height whose centre lies 137 points right of
    // the screen's centre: the rows without the palette.
    const float s = kThumbnailSize / visible.height;
    Sprite* shot = screen->getSprite();
    shot->setPosition(kThumbnailSize * 0.5f - s * 137, kThumbnailSize * 0.5f);
    shot->setScale(s);
    picture->beginWithClear(0, 0, 0, 0);
    picture->visitNode(shot);
    picture->end();
    saves->writeThumbnail(document.get(), picture, done);
}

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
    slidingCards.clear();
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
