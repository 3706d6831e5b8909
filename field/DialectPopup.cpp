// The choice of the dialect the program is written in: a grey veil with
// one button per dialect offered, above the dialect button.
#include "cards/DeviceManager.h"
#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"
#include "field/FieldScene.h"

using namespace engine;

namespace {
const int kPopupZ = 900;
// jam and latte; instructions are for saved programs and the command line.
const int kOfferedDialects[] = {DIALECT_JAM, DIALECT_LATTE};

} // namespace

void FieldScene::openDialectPopup() {
    if (dialectPopup) return;
    DeviceManager* devices = DeviceManager::getInstance();
    dialectPopup = Layer::create();
    dialectPopup->addChild(LayerColor::create(Color4B(127, 127, 127, 127), layoutSize.width, layoutSize.height));

    // The button shows the current dialect lit; so the item that differs
    // from it, the plain one, is the current dialect.
    Button* previous = nullptr;
    for (int dialect : kOfferedDialects) {
        Button* item = button(devices->getDialectImage(dialect, dialect != devices->getDialect()));
        item->setTag(dialect);
        item->setAction([this, item, dialect] {
            // Another dialect: the board's error was about the program sent before.
            if (dialect != DeviceManager::getInstance()->getDialect()) putBoardLightOut();
            DeviceManager::getInstance()->setDialect(dialect);
            item->runAction(MoveTo::create(0.1f, dialectButton->getPosition()));
            closeDialectPopup();
        });
        Size s = item->getContentSize();
        if (!previous) {
            item->setPosition(dialectButton->getPositionX(), dialectButton->getPositionY() + 100);
        } else {
            float left = previous->getPositionX() - previous->getContentSize().width / 2;
            item->setPosition(left - s.width / 2 - 20, previous->getPositionY());
        }
        dialectPopup->addChild(item);
        popupItems.emplace_back(item);
        previous = item;
    }

    dialectPopup->setCascadeOpacityEnabled(true);
    dialectPopup->setOpacity(0);
    dialectPopup->runAction(FadeIn::create(0.1f));
    addChild(dialectPopup, kPopupZ);

    // The veil takes every touch; one that ends on it closes the choice.
    auto* veil = EventListenerTouchOneByOne::create();
    veil->setSwallowTouches(true);
    veil->onTouchBegan = [this](Touch* touch, Event*) {
        return dialectPopup && Rect(Vec2::ZERO, layoutSize).containsPoint(touch->getLocation());
    };
    veil->onTouchEnded = [this](Touch* touch, Event*) {
        if (Rect(Vec2::ZERO, layoutSize).containsPoint(touch->getLocation())) closeDialectPopup();
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(veil, dialectPopup);
    popupListener = veil;
}

void FieldScene::closeDialectPopup() {
    if (!dialectPopup) return;
    coveringOwner = nullptr;  // the next one starts its own choice
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    if (popupListener) dispatcher->removeEventListener(popupListener.get());
    popupListener = nullptr;
    dialectPopup->runAction(
        Sequence::create(FadeOut::create(0.1f), CallFunc::create([this] { refreshDialect(); }), RemoveSelf::create()));
    // Fading, the choice takes no second touch.
    for (auto& item : popupItems) item->setEnabled(false);
    popupItems.clear();
    dialectPopup = nullptr;
}
