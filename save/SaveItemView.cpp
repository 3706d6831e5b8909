#include "save/SaveItemView.h"

#include <cmath>

#include "catalogue/SaveDataManager.h"
#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Sprite.h"
#include "engine/core/TextureCache.h"
#include "engine/core/Touch.h"
#include "engine/platform/Label.h"
#include "ui/AlertView.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
const char* const kPlaceholder = "res/r_record_beginning.png";

Sprite* picture(const std::string& path) {
    Sprite* sprite = Sprite::create(Localization::getInstance()->localizedPath(path));
    return sprite ? sprite : Sprite::create();
}

float distance(const Vec2& a, const Vec2& b) { return std::hypot(a.x - b.x, a.y - b.y); }

constexpr TextPair kUntitled{"（なまえなし）", "(no title)"};
const Color3B kPlaceholderInk(190, 228, 242);  // pale against the row's blue
} // namespace

// --- SaveItemView

bool SaveItemView::init(SaveData* data) {
    if (!Node::init()) return false;
    saveData = data;
    listener = nullptr;
    index = 0;
    marked = false;
    setContentSize(Size(kWidth, kHeight));

    selectedSprite = picture("res/r_record_selected.png");
    selectedSprite->setPosition(kWidth / 2, 384);
    selectedSprite->setCascadeOpacityEnabled(true);
    selectedSprite->setVisible(false);
    addChild(selectedSprite);

    thumbnailNode = Node::create();
    thumbnailNode->setPosition(0, 234);
    thumbnailNode->setContentSize(Size(kPictureSize, kPictureSize));
    thumbnailNode->setCascadeOpacityEnabled(true);
    addChild(thumbnailNode);

    titleLabel = Label::createWithSystemFont(data ? data->title : std::string(), "", 30, Size(kWidth, 0),
                                             TextHAlignment::CENTER, TextVAlignment::TOP);
    titleLabel->setAnchorPoint(Vec2(0.5f, 1));
    titleLabel->setPosition(kWidth / 2, 214);
    addChild(titleLabel);
    saveData = data;
    showTitle();

    pictureTracker.node = thumbnailNode;
    titleTracker.node = titleLabel;
    track(pictureTracker, true);
    track(titleTracker, false);
    return true;
}

void SaveItemView::setSaveData(SaveData* data) {
    saveData = data;
    showTitle();
}

void SaveItemView::showTitle() {
    // An empty title would leave nothing to tap: a light placeholder stands in.
    const bool untitled = saveData && saveData->title.empty();
    titleLabel->setString(untitled ? Localization::getInstance()->localizedText(kUntitled)
                                   : saveData ? saveData->title : std::string());
    titleLabel->setTextColor(untitled ? kPlaceholderInk : Color3B::WHITE);
}

void SaveItemView::setMarked(bool on) {
    marked = on;
    selectedSprite->setVisible(on);
}

void SaveItemView::track(Tracker& t, bool picture) {
    t.touchListener = EventListenerTouchOneByOne::create();
    t.touchListener->setSwallowTouches(false);  // the row scrolls until the touch is held
    t.touchListener->onTouchBegan = [this, &t, picture](Touch* touch, Event*) { return began(t, picture, touch); };
    t.touchListener->onTouchMoved = [this, &t](Touch* touch, Event*) { moved(t, touch); };
    t.touchListener->onTouchEnded = [this, &t, picture](Touch* touch, Event*) { ended(t, picture, touch); };
    t.touchListener->onTouchCancelled = [this, &t](Touch* touch, Event*) {
        if (t.tracking && touch->getID() == t.touchId) reset(t);
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(t.touchListener.get(),
                                                                                         t.node);
}

bool SaveItemView::began(Tracker& t, bool picture, Touch* touch) {
    if (t.tracking || !containsWorldPoint(t.node, touch->getLocation())) return false;
    t.tracking = true;
    t.moved = t.held = t.longPressFired = false;
    t.start = touch->getLocation();
    t.touchId = touch->getID();
    t.node->setOpacity(kPressedOpacity);
    t.node->stopAllActions();
    auto* hold = CallFunc::create([this, &t, picture] {
        if (t.moved) return;
        t.touchListener->setSwallowTouches(true);
        t.held = true;
        if (!picture) return;
        t.node->runAction(Sequence::create(DelayTime::create(kLongPressDelay), CallFunc::create([this, &t] {
            t.longPressFired = true;
            t.node->setOpacity(255);
            if (listener) listener->onItemLongPressed(this);
        })));
    });
    t.node->runAction(Sequence::create(DelayTime::create(kHoldDelay), hold));
    return true;
}

void SaveItemView::moved(Tracker& t, Touch* touch) {
    if (!t.tracking || touch->getID() != t.touchId || t.held) return;
    if (distance(touch->getLocation(), t.start) < kMoveLimit) return;
    t.moved = true;  // a drag of the row
    t.node->stopAllActions();
    t.node->setOpacity(255);
}

void SaveItemView::ended(Tracker& t, bool picture, Touch* touch) {
    if (!t.tracking || touch->getID() != t.touchId) return;
    bool tap = (t.held || !t.moved) && containsWorldPoint(t.node, touch->getLocation());
    bool longPressed = t.longPressFired;
    reset(t);
    if (!tap || !listener) return;
    RefPtr<SaveItemView> keep(this);  // the listener may take the item out of the row
    if (!picture) onTitleTapped();
    else if (!longPressed) listener->onItemTapped(this);
}

void SaveItemView::reset(Tracker& t) {
    t.tracking = t.moved = t.held = false;
    t.touchId = -1;
    t.touchListener->setSwallowTouches(false);
    t.node->setOpacity(255);
    t.node->stopAllActions();
}

// Taken out of the row in the middle of a touch, the item would never hear
// its end, and would refuse every touch once it is back.
void SaveItemView::onExit() {
    Node::onExit();
    if (pictureTracker.tracking) reset(pictureTracker);
    if (titleTracker.tracking) reset(titleTracker);
}

// --- SaveItemAddView

SaveItemAddView* SaveItemAddView::create() { return initAndAutorelease(new SaveItemAddView()); }

bool SaveItemAddView::init() {
    if (!SaveItemView::init(nullptr)) return false;
    Sprite* sprite = picture(kPlaceholder);
    sprite->setPosition(kPictureSize / 2, kPictureSize / 2);
    thumbnailNode->addChild(sprite);
    titleLabel->setString(Localization::getInstance()->localizedText(LocalizedTexts::createNew));
    return true;
}

// --- SaveItemSignView

SaveItemSignView* SaveItemSignView::create(const std::string& picturePath, const std::string& title) {
    return initAndAutorelease(new SaveItemSignView(), [&](SaveItemSignView* view) {
        if (!view->init(nullptr)) return false;
        Sprite* sprite = picture(picturePath);
        sprite->setPosition(kPictureSize / 2, kPictureSize / 2);
        view->thumbnailNode->addChild(sprite);
        view->setTitle(title);
        return true;
    });
}

void SaveItemSignView::setTitle(const std::string& title) { titleLabel->setString(title); }

// --- SaveItemSavedView

SaveItemSavedView* SaveItemSavedView::create(SaveData* data) {
    return initAndAutorelease(new SaveItemSavedView(), [data](SaveItemSavedView* view) {
        if (!view->init(data)) return false;
        view->setSaveData(data);
        return true;
    });
}

void SaveItemSavedView::setSaveData(SaveData* data) {
    SaveItemView::setSaveData(data);
    thumbnailNode->removeAllChildren();
    thumbnailSprite = nullptr;
    SaveDataManager* saves = SaveDataManager::getInstance();
    std::string path = !data ? std::string() : data->deletedAt ? saves->getBinImageFullPath(data) : saves->getImageFullPath(data);
    if (!path.empty() && FileUtils::getInstance()->isFileExist(path)) {
        // The editor rewrites the picture on every save: read it afresh.
        Director::getInstance()->getTextureCache()->removeTextureForKey(path);
        thumbnailSprite = Sprite::create(path);
    }
    Sprite* shown = thumbnailSprite ? thumbnailSprite : picture(kPlaceholder);
    if (thumbnailSprite) {
        // Written at twice the points by the editor, or at one pixel a
        // point elsewhere: either way it shows 285 x 285 points.
        Size size = thumbnailSprite->getContentSize();
        if (size.width > 0 && size.height > 0)
            thumbnailSprite->setScale(kThumbnailSize / size.width, kThumbnailSize / size.height);
    }
    shown->setPosition(kPictureSize / 2, kPictureSize / 2);
    thumbnailNode->addChild(shown);
}

void SaveItemSavedView::onTitleTapped() {
    if (listener) listener->onItemTitleTapped(this);
}
