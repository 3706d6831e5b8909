// The field as plain data: the snapshot the program generator reads and
// the document a saved program keeps.
#include "cards/DeviceManager.h"
#include "cards/FieldGeometry.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/platform/MessageBox.h"
#include "engine/platform/RenderTexture.h"
#include "field/FieldScene.h"
#include "save/Thumbnail.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
constexpr TextPair kDocumentDamaged{
    "この プログラムの ファイルは こわれていて よめませんでした。ファイルは つぎの なまえで のこしてあります:",
    "This program's file is damaged and could not be read. It has been kept, untouched, as:"};
} // namespace

FieldSnapshot FieldScene::takeSnapshot() const { return model.snapshot(DeviceManager::getInstance()->getDialect()); }

FieldDocument FieldScene::makeFieldDocument() const { return model.document(); }

void FieldScene::saveFieldDocument() {
    if (!document) return;
    const FieldDocument doc = makeFieldDocument();
    if (documentSink) documentSink(doc);
    SaveDataManager* saves = SaveDataManager::getInstance();
    const bool listedBefore = saves->saveDocument(document.get(), documentToValue(doc));
    // The first save of a new program also takes its picture for the home screen.
    if (!listedBefore && document->isSaved()) captureThumbnail([] {});
}

void FieldScene::loadFieldDocument() {
    SaveDataManager* saves = SaveDataManager::getInstance();
    loadDocument(documentFromValue(saves->loadDocument(document.get())));
    if (const std::string aside = saves->takeKeptAside(); !aside.empty()) {
        scheduleOnce(
            [aside](float) {
                Localization* texts = Localization::getInstance();
                const std::string message = texts->localizedText(kDocumentDamaged) + "\n" + aside;
                engine::MessageBox(message.c_str(), texts->localizedText(LocalizedTexts::failed).c_str());
            },
            0, "document kept aside");
    }
    // A program found again, or whose picture was lost, gets one as soon
    // as its field shows.
    const std::string image = saves->getImageFullPath(document.get());
    if (!image.empty() && !FileUtils::getInstance()->isFileExist(image))
        scheduleOnce([this](float) { captureThumbnail([] {}); }, 0, "first thumbnail");
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
    writeThumbnail(document.get(), picture, [done](bool) {
        if (done) done();
    });
}

void FieldScene::loadDocument(const FieldDocument& doc) {
    replaceField(doc);
    refreshHistoryControls();
}
