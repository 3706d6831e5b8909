// The settings bar's link controls: which board is in use, the search for
// boards, and the list to pick one from.
#include <thread>

#include "device/CorvinaCardSerialManager.h"
#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"
#include "field/FieldScene.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
const int kPortListZ = 940;
const int kSpinTag = 0x5b1;
const Color4B kGrey(127, 127, 127, 127);
const Color4B kSeparator(217, 224, 225, 127);
const Color4B kRowBackground(255, 255, 255, 196);
const Color3B kStatusColour(30, 30, 30);

CorvinaCardSerialManager* manager() { return CorvinaCardSerialManager::getInstance(); }

std::string rowText(const CorvinaCardSerialData& device) {
    Localization* l = Localization::getInstance();
    const std::string mark = device.active ? l->localizedText(LocalizedTexts::selectedPortMarker) : "  ";
    const std::string missing = device.missing ? l->localizedText(" (ささっていません)", " (not plugged in)") : "";
    return mark + device.portName + " [ " + device.description + " ]" + missing;
}

} // namespace

void FieldScene::startSetupThread() {
    startWorker(scanWorkers, [](RefPtr<FieldScene> self) {
        FieldScene* scene = self.get();
        bool first = false;
        manager()->start([&first](bool ok) { first = ok; });
        // Only the first editor of a run searches at once; a later one shows
        // what is known straight away instead of "Search ...".
        scene->post([scene, first] {
            if (first) scene->startScanThread();
            else scene->refreshLinkStatus();
        });
    });
    setHotPlugInterval(2.0f);
    schedule([this](float) { readBoardWhileIdle(); }, 0.1f, "boardReader");
}

void FieldScene::startScanThread() {
    // A reload while a search runs adds nothing.
    if (manager()->isScanning() || manager()->getState() == Searching) return;
    manager()->setState(Searching);
    refreshLinkStatus();
    startWorker(scanWorkers, [](RefPtr<FieldScene> self) {
        FieldScene* scene = self.get();
        manager()->scanPorts([scene](bool) { scene->post([scene] { scene->refreshLinkStatus(); }); });
        if (manager()->getState() == Searching) manager()->setState(Idle);
        scene->post([scene] { scene->refreshLinkStatus(); });
    });
}

void FieldScene::startActivateThread() {
    startWorker(scanWorkers, [](RefPtr<FieldScene> self) {
        FieldScene* scene = self.get();
        manager()->activateSelected([scene](bool) { scene->post([scene] { scene->refreshLinkStatus(); }); });
        scene->post([scene] { scene->refreshLinkStatus(); });
    });
}

void FieldScene::setHotPlugInterval(float seconds) {
    unschedule("hotPlug");
    if (seconds > 0) schedule([this](float) { startQuietRefresh(); }, seconds, "hotPlug");
}

void FieldScene::startQuietRefresh() {
    // The list stays as it is while the user is picking from it.
    if (portListPopup || quietRefreshRunning.exchange(true)) return;
    startWorker(scanWorkers, [](RefPtr<FieldScene> self) {
        FieldScene* scene = self.get();
        const bool changed = manager()->getState() == Idle && manager()->refreshQuietly();
        scene->post([scene, changed] {
            scene->quietRefreshRunning = false;
            if (changed) scene->refreshLinkStatus();
        });
    });
}

void FieldScene::refreshLinkStatus() {
    if (!statusLabel) return;
    CorvinaCardSerialManager* m = manager();
    const int state = m->getState();
    const std::vector<CorvinaCardSerialData> devices = m->getDevices();
    const std::optional<CorvinaCardSerialData> selected = m->getSelectedDevice();
    std::string text;
    bool spinning = false;
    if (state == Connecting) {
        text = (selected ? selected->portName : std::string()) + " [ Connecting ... ]";
        spinning = true;
    } else if (state == Searching) {
        text = "Search ...";
        spinning = true;
    } else if (devices.empty() || !selected) {
        text = "Not Found ...";
    } else {
        text = rowText(*selected);
    }
    statusLabel->setString(text);
    if (spinning) {
        if (!reloadIcon->getActionByTag(kSpinTag)) {
            Action* spin = reloadIcon->runAction(RepeatForever::create(RotateBy::create(0.1f, 45)));
            spin->setTag(kSpinTag);
        }
    } else {
        reloadIcon->stopAllActions();
    }
}

// --- the port list

void FieldScene::showPortList() {
    if (portListPopup || manager()->getState() != Idle) return;
    const std::vector<CorvinaCardSerialData> devices = manager()->getDevices();
    if (devices.empty()) return;
    portListPopup = Layer::create();
    portListPopup->addChild(LayerColor::create(kGrey, layoutSize.width, layoutSize.height));
    // The bar's nodes are placed in the bar; the list is placed on the screen.
    const Vec2 port = portField->getParent()->convertToWorldSpace(portField->getPosition());
    const Size size = portField->getContentSize();
    const float left = port.x - size.width / 2;
    const float start = port.y + size.height / 2 + 5;
    float y = start;
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    for (size_t i = 0; i < devices.size(); ++i) {
        if (i > 0) {
            LayerColor* separator = LayerColor::create(kSeparator, size.width, 2);
            separator->setPosition(left, y);
            portListPopup->addChild(separator);
            y += 2;
        }
        LayerColor* background = LayerColor::create(kRowBackground, size.width, size.height);
        background->setPosition(left, y);
        portListPopup->addChild(background);
        Label* label = Label::createWithSystemFont(rowText(devices[i]), "Helvetica", 12, statusLabel->getDimensions(),
                                                   TextHAlignment::LEFT, TextVAlignment::CENTER);
        label->setTextColor(kStatusColour);
        // The entry tapped, even if a scan has reordered the list since.
        const std::string key = devices[i].key();
        Button* row = Button::createWith(label, [this, key] {
            // Another device picked lets the port held so far go, and the
            // error light of the board left goes out.
            const auto chosen = manager()->getSelectedDevice();
            if (!chosen || chosen->key() != key) putBoardLightOut();
            if (manager()->getState() == Idle && linkWorkers.load() == 0) manager()->pick(key);
            startActivateThread();
            closePortList();
        });
        row->setAnchorPoint(Vec2(0, 0.5f));
        row->setPosition(left + 20, y + size.height / 2);
        portListPopup->addChild(row);
        portListRows.emplace_back(row);
        portListLabels.emplace_back(label);
        y += size.height;
    }
    // A frame of accent bars around the rows.
    const float w = size.width + 10;
    auto bar = [&](float x, float by, float bw, float bh) {
        LayerColor* b = LayerColor::create(kAccentBlue, bw, bh);
        b->setPosition(x, by);
        portListPopup->addChild(b);
    };
    bar(left - 5, start - 5, w, 5);
    bar(left - 5, y, w, 5);
    bar(left - 5, start - 5, 5, y - start + 10);
    bar(left + size.width, start - 5, 5, y - start + 10);

    portListPopup->setCascadeOpacityEnabled(true);
    portListPopup->setOpacity(0);
    portListPopup->runAction(FadeIn::create(0.1f));
    addChild(portListPopup, kPortListZ);
    auto* outside = EventListenerTouchOneByOne::create();
    outside->setSwallowTouches(true);
    outside->onTouchBegan = [this](Touch* touch, Event*) {
        return portListPopup && Rect(Vec2::ZERO, layoutSize).containsPoint(touch->getLocation());
    };
    outside->onTouchEnded = [this](Touch* touch, Event*) {
        if (Rect(Vec2::ZERO, layoutSize).containsPoint(touch->getLocation())) closePortList();
    };
    dispatcher->addEventListenerWithSceneGraphPriority(outside, portListPopup);
    portListPopupListener = outside;
}

void FieldScene::closePortList() {
    if (!portListPopup) return;
    coveringOwner = nullptr;  // the next one starts its own choice
    // After the touch that closes it has been dispatched.
    runAction(CallFunc::create([this] {
        if (!portListPopup) return;
        EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
        if (portListPopupListener) dispatcher->removeEventListener(portListPopupListener.get());
        portListPopupListener = nullptr;
        portListPopup->runAction(Sequence::create(FadeOut::create(0.1f), RemoveSelf::create()));
        // Fading, the list takes no second choice.
        for (auto& row : portListRows) row->setEnabled(false);
        portListRows.clear();
        portListLabels.clear();
        portListPopup = nullptr;
    }));
}
