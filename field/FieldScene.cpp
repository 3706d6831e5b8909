#include "field/FieldScene.h"

#include <algorithm>
#include <utility>
#include <cmath>

#include "cards/DeviceManager.h"
#include "catalogue/SaveDataManager.h"
#include "device/CorvinaCardSerialManager.h"
#include "device/ProgramLink.h"
#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"
#include "engine/core/Transition.h"
#include "save/SaveScene.h"
#include "ui/AppEvents.h"
#include "ui/AlertView.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
const int kCloseActionTag = 0x5afe;
const int kBarMoveTag = 0xba2;
const float kPaletteTopStrip = 53;
const float kPaletteBottomStrip = 5;
const int kAlertZ = 1100;  // over every panel and overlay
constexpr TextPair kLeaveUnsaved{"この プログラムは ほぞんできていません。ほぞんしないで もどりますか？",
                                 "This program could not be saved. Go back without it?"};

Size sizeOf(const Node* node) { return node->getContentSize(); }

LayerColor* strip(const Color4B& colour, float w, float h, float x, float y) {
    LayerColor* layer = LayerColor::create(colour, w, h);
    layer->setPosition(x, y);
    return layer;
}

} // namespace

std::string FieldScene::localized(const std::string& path) { return Localization::getInstance()->localizedPath(path); }

std::string FieldScene::pacePicture(TypingPace pace) {
    return pace == TypingPace::Fast ? "res/r_pace_fast.png" : "res/r_pace_normal.png";
}

Sprite* FieldScene::picture(const std::string& path) {
    Sprite* sprite = Sprite::create(localized(path));
    return sprite ? sprite : Sprite::create();
}

FieldScene* FieldScene::create(SaveData* data) {
    return initAndAutorelease(new FieldScene(), [&](FieldScene* scene) { return scene->init(data); });
}

Scene* FieldScene::createScene(SaveData* data) {
    FieldScene* layer = create(data);
    if (!layer) return nullptr;
    Scene* scene = Scene::create();
    scene->addChild(layer);
    return scene;
}

FieldScene::~FieldScene() = default;

bool FieldScene::init(SaveData* data) {
    if (!Layer::init()) return false;
    Size visible = Director::getInstance()->getVisibleSize();
    const float W = visible.width, H = visible.height;

    // 1. The document, and a state with nothing on the field.
    document = data ? data : SaveData::create();
    paletteCards.clear();
    countLabels.clear();
    layoutSize = Size(1024, 768);
    // 2. Use counts per set, and palettes not shown yet.
    model = FieldModel(H);
    for (int set = 0; set < 3; ++set) rememberedPaletteOffsets[static_cast<size_t>(set)] = 9999.0f;

    // 3. The left layer: trash icon and palette column.
    Layer* leftLayer = Layer::create();
    trashIcon = picture("res/r_card_clean.png");
    Size trash = sizeOf(trashIcon);
    trashIcon->setPosition(W - trash.width / 2 - 50, H - trash.height / 2 - 70);
    trashIcon->setOpacity(0);
    trashIcon->setName("trash");
    leftLayer->addChild(trashIcon);
    buildPaletteColumn(leftLayer);

    // 4. The field.
    buildField();
    // 5. The settings bar.
    buildSettingsBar();
    // 6. In drawing order.
    addChild(fieldView);
    addChild(leftLayer);
    addChild(settingsBar);
    buildRunControls();
    // 7. The frame around the field.
    buildFrame();
    // 8. Listeners, the board, the dialect, the document.
    registerListeners();
    SaveScene::tellSaveFailures();
    setUpSimulator();
    setUpBoardWords();
    startSetupThread();
    refreshDialect();
    loadFieldDocument();
    setUpKeyboard();
    return true;
}

void FieldScene::buildPaletteColumn(Node* leftLayer) {
    const float H = Director::getInstance()->getVisibleSize().height;
    const Color4B white(255, 255, 255, 255);
    paletteBackground = LayerColor::create(white, kPaletteWidth, layoutSize.height);
    paletteBackground->setPosition(0, 0);
    leftLayer->addChild(paletteBackground);

    paletteView = FieldScrollView::create(Size(kPaletteWidth - 10, H - kPaletteTopStrip - kPaletteBottomStrip));
    paletteView->setPosition(5, 5);
    paletteView->setScrollAxis(FieldScrollView::Vertical);
    paletteView->setDelegate(this);
    paletteBackground->addChild(paletteView);
    buildPalette();

    paletteBackground->addChild(strip(kAccentBlue, kPaletteWidth, kPaletteTopStrip, 0, H - kPaletteTopStrip));
    paletteBackground->addChild(strip(kAccentBlue, kPaletteWidth, kPaletteBottomStrip, 0, 0));
    paletteBackground->addChild(strip(kAccentBlue, 5, H, 0, 0));

    menuUpButton = picture("res/menuup.png");
    menuUpButton->setName("page up");
    menuUpButton->setPosition(137.5f, H - sizeOf(menuUpButton).height / 2 - kPaletteTopStrip + 5);
    paletteBackground->addChild(menuUpButton);
    menuDownButton = picture("res/menudown.png");
    menuDownButton->setName("page down");
    menuDownButton->setPosition(137.5f, sizeOf(menuDownButton).height / 2);
    paletteBackground->addChild(menuDownButton);

    DeviceManager* devices = DeviceManager::getInstance();
    for (int set = 0; set < 3; ++set) {
        Button* tab = button(devices->getCardSetImage(set));
        Size s = sizeOf(tab);
        float x = set == 0 ? s.width / 2 + 5 : set == 1 ? 137.5f : kPaletteWidth - s.width / 2 - 5;
        tab->setPosition(x, H - s.height / 2 - 5);
        tab->setTag(set);
        tab->setName("card set " + std::to_string(set));
        cardSetTabs[static_cast<size_t>(set)] = tab;
        paletteBackground->addChild(tab);
    }
}

void FieldScene::buildField() {
    Size visible = Director::getInstance()->getVisibleSize();
    const float W = visible.width, H = visible.height;
    fieldView = FieldScrollView::create(visible);
    fieldView->setDelegate(this);
    fieldView->setContentSize(Size(1.5f * W, 7.33f * H));
    fieldView->scrollTo(Vec2(0, -6.33f * H), false);  // the top of the field first
    fieldView->setMinZoom(kFieldMinZoom);
    fieldView->setMaxZoom(kFieldMaxZoom);
    LayerColor* background = LayerColor::create(Color4B(255, 255, 255, 255), 2 * W, 7.33f * H);
    background->setPosition(-0.5f * W, 0);
    fieldView->addChild(background);
    buildFieldRows();
    guardFieldSides();
}

void FieldScene::buildSettingsBar() {
    settingsBar = Layer::create();
    settingsBar->setName("settings bar");
    settingsBar->setPosition(0, kBarClosedY);
    Layer* inner = Layer::create();
    inner->setContentSize(Size(1024 - kPaletteWidth, kBarHeight));
    inner->setPosition(kPaletteWidth, 0);
    inner->addChild(LayerColor::create(Color4B(255, 255, 255, 255), 1024 - kPaletteWidth, kBarHeight));
    inner->addChild(strip(kAccentBlue, 1024 - kPaletteWidth, 66, 0, 30));
    inner->setName("settings bar back");
    settingsBar->addChild(inner);
    // The bar, open or showing its edge, keeps the touches that land on it
    // from the cards beneath.
    auto* keep = EventListenerTouchOneByOne::create();
    keep->setSwallowTouches(true);
    keep->onTouchBegan = [inner](Touch* touch, Event*) {
        return inner->getBoundingBoxInWorld().containsPoint(touch->getLocation());
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(keep, inner);

    const float y = kBarHeight / 2 + 13;
    Sprite* port = picture("res/r_port.png");
    port->setPosition(kPaletteWidth + 5 + sizeOf(port).width / 2, y);
    settingsBar->addChild(port);
    portField = button("res/r_port_input.png");
    portField->setName("port");
    Size field = sizeOf(portField);
    portField->setPosition(port->getPositionX() + sizeOf(port).width / 2 + 10 + field.width / 2, y);
    settingsBar->addChild(portField);

    statusLabel = Label::createWithSystemFont("Search ...", "Helvetica", 12, Size(field.width - 20, field.height),
                                              TextHAlignment::LEFT, TextVAlignment::CENTER);
    statusLabel->setTextColor(kStatusText);
    statusLabel->setAnchorPoint(Vec2(0, 0.5f));
    statusLabel->setPosition(port->getPositionX() + sizeOf(port).width / 2 + 20, y);
    settingsBar->addChild(statusLabel);

    reloadIcon = button("res/r_reload.png");
    reloadIcon->setName("reload");
    reloadIcon->setPosition(portField->getPositionX() + field.width / 2 - sizeOf(reloadIcon).width / 2, y);
    reloadIcon->runAction(RepeatForever::create(RotateBy::create(0.1f, 45)));
    settingsBar->addChild(reloadIcon);

    // The typing pace, shown by its animal; DeviceManager keeps it while the
    // application runs, so every editor opened shows the same.
    paceButton = button(pacePicture(DeviceManager::getInstance()->getTypingPace()));
    paceButton->setName("pace");
    paceButton->setPosition(portField->getPositionX() + field.width / 2 + 30 + sizeOf(paceButton).width / 2, y);
    settingsBar->addChild(paceButton);
    // The connection check, for the teacher when the board does not answer.
    doctorButton = button("res/r_doctor.png");
    doctorButton->setName("doctor");
    doctorButton->setPosition(paceButton->getPositionX() + sizeOf(paceButton).width / 2 + 16 + sizeOf(doctorButton).width / 2, y);
    doctorButton->setAction([this] { showDoctorReport(); });
    settingsBar->addChild(doctorButton);

    Label* copyright = Label::createWithSystemFont("Copyright", "Helvetica", 12);
    copyright->setTextColor(Color3B(kAccentBlue.r, kAccentBlue.g, kAccentBlue.b));
    copyrightButton = Button::createWith(copyright);
    copyrightButton->setName("copyright");
    copyrightButton->setAnchorPoint(Vec2(1, 0));
    copyrightButton->setPosition(1024 - 8, 10);
    // Small print, but a finger still finds it.
    copyrightButton->setMinimumTouchSize(kFingerSize);
    settingsBar->addChild(copyrightButton);
    Label* version = Label::createWithSystemFont("Ver 1.2.1", "Helvetica", 12);
    version->setTextColor(Color3B(kAccentBlue.r, kAccentBlue.g, kAccentBlue.b));
    version->setAnchorPoint(Vec2(0, 0));
    version->setPosition(278, 10);
    settingsBar->addChild(version);

    Sprite* tabBack = picture("res/r_setting_back1.png");
    tabBack->setPosition(1024 - sizeOf(tabBack).width / 2, kBarHeight + sizeOf(tabBack).height / 2);
    settingsBar->addChild(tabBack);
    rightColumn.push_back(tabBack);
    settingsButton = button("res/r_setting.png");
    settingsButton->setName("settings");
    Size s = sizeOf(settingsButton);
    settingsButton->setPosition(1024 - s.width / 2 - 10, kBarHeight + s.height / 2 + 10);
    settingsBar->addChild(settingsButton);
}

void FieldScene::buildRunControls() {
    Size visible = Director::getInstance()->getVisibleSize();
    const float W = visible.width, H = visible.height;
    Sprite* player = picture("res/r_player.png");
    player->setPosition(W - sizeOf(player).width / 2, H / 2);
    addChild(player);
    rightColumn.push_back(player);

    playButton = button("res/r_play.png");
    playButton->setPosition(W - sizeOf(playButton).width / 2 - 30, H / 2);
    playButton->setName("play");
    addChild(playButton);
    stopButton = button("res/r_stop.png");
    stopButton->setPosition(W - sizeOf(stopButton).width / 2 - 10, H / 2 - 120);
    stopButton->setName("stop");
    addChild(stopButton);
    dialectButton = button("res/r_to_jam_on.png");
    dialectButton->setPosition(W - sizeOf(dialectButton).width / 2 - 10, H / 2 + 120);
    dialectButton->setName("dialect");
    addChild(dialectButton);

    Sprite* saveBack = picture("res/r_record_back.png");
    saveBack->setPosition(1024 - sizeOf(saveBack).width / 2, 768 - sizeOf(saveBack).height / 2);
    addChild(saveBack);
    rightColumn.push_back(saveBack);
    saveButton = button("res/r_record.png");
    Size s = sizeOf(saveButton);
    saveButton->setPosition(1024 - s.width / 2 - 10, 768 - s.height / 2 - 10);
    saveButton->setName("home");
    addChild(saveButton);
    buildHistoryControls();
    buildZoomControls();
}

void FieldScene::buildFrame() {
    addChild(strip(kAccentBlue, 5, 768, 270, 0));
    addChild(strip(kAccentBlue, 1024 - kPaletteWidth, 5, kPaletteWidth, 763));
    addChild(strip(kAccentBlue, 5, 768, 1019, 0));
    addChild(strip(kAccentBlue, 1024 - kPaletteWidth, 5, kPaletteWidth, 0));
}

// --- controls

Button* FieldScene::button(const std::string& path) { return Button::create(localized(path)); }

void FieldScene::addPressButton(Node* button, std::function<void()> action) {
    auto* listener = EventListenerTouchOneByOne::create();
    listener->setSwallowTouches(true);
    listener->onTouchBegan = [button, action = std::move(action)](Touch* touch, Event*) {
        if (!button->isVisible() || !button->getBoundingBoxInWorld().containsPoint(touch->getLocation())) return false;
        action();
        return true;
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, button);
}

void FieldScene::registerListeners() {
    playButton->setAction([this] {
        captureThumbnail([] {});
        sendProgram();
    });
    stopButton->setAction([this] { stopProgram(); });
    paceButton->setAction([this] {
        DeviceManager* devices = DeviceManager::getInstance();
        const TypingPace pace = devices->getTypingPace() == TypingPace::Fast ? TypingPace::Normal : TypingPace::Fast;
        devices->setTypingPace(pace);
        paceButton->setTexture(pacePicture(pace));
    });
    dialectButton->setAction([this] { openDialectPopup(); });
    for (int set = 0; set < 3; ++set) cardSetTabs[static_cast<size_t>(set)]->setAction([this, set] { selectCardSet(set); });
    addPressButton(menuUpButton, [this] { scrollPaletteBy(-300); });
    addPressButton(menuDownButton, [this] { scrollPaletteBy(300); });
    settingsButton->setAction([this] { settingsBarShown ? hideSettingsBar() : showSettingsBar(); });
    reloadIcon->setAction([this] { startScanThread(); });
    portField->setAction([this] { showPortList(); });
    copyrightButton->setAction([this] { openCopyrightPage(); });
    saveButton->setAction([this] { saveAndClose(); });
    addHistoryListeners();

    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    auto* mouse = EventListenerMouse::create();
    mouse->onMouseScroll = [this](EventMouse* event) { onMouseScroll(event); };
    dispatcher->addEventListenerWithSceneGraphPriority(mouse, this);
    // Bound to the scene: heard only while the editor is on the screen.
    auto* foreground = EventListenerCustom::create(kEnterForegroundEvent, [this](EventCustom*) { startScanThread(); });
    dispatcher->addEventListenerWithSceneGraphPriority(foreground, this);
    // The window closed from the editor: the home screen shows the program
    // as it was left, not as it was at its first drop.
    auto* quitting = EventListenerCustom::create(kWillQuitEvent, [this](EventCustom*) { captureThumbnail([] {}); });
    dispatcher->addEventListenerWithSceneGraphPriority(quitting, this);
    // The window's close button is a way of leaving too: it asks as the
    // house button does when the program could not be saved.
    auto* closing = EventListenerCustom::create(kQuitRequestedEvent, [this](EventCustom* event) {
        auto* request = static_cast<QuitRequest*>(event->getUserData());
        if (!request || leaving) return;
        // The board half typed is not left behind without asking either.
        if (linkWorkers.load() > 0) {
            request->allowed = false;
            askBeforeClosingWhileSending(request->quitAnyway);
            return;
        }
        if (!mustAskBeforeLeaving()) return;
        request->allowed = false;
        quitWhenLeft = request->quitAnyway;
        if (!leaveQuestion) askBeforeLeavingUnsaved();
    });
    dispatcher->addEventListenerWithSceneGraphPriority(closing, this);
}

void FieldScene::scrollPaletteBy(float dy) {
    Vec2 offset = paletteView->getScrollOffset();
    float y = offset.y + dy;
    if (dy < 0) y = std::max(y, -(paletteView->getContentSize().height - paletteView->getWindowSize().height));
    else y = std::min(y, 0.0f);
    paletteView->animateScrollTo(Vec2(offset.x, y), 0.5f);
}

void FieldScene::onMouseScroll(EventMouse* event) {
    Vec2 at = event->getLocation();
    if (doctorLayer) {
        scrollDoctorReport(event->getScrollY());
        return;
    }
    // What covers the field takes the wheel that turns over it.
    if (isBoardPanelOver(at) || numberEntryLayer || dialectPopup || portListPopup || sendingOverlay || stoppingOverlay)
        return;
    if (Node* bar = settingsBar->getChildByName("settings bar back"); bar && bar->getBoundingBoxInWorld().containsPoint(at))
        return;
    if (event->isControlDown()) {
        // Up, away from the user, zooms in, as in every desktop program.
        if (at.x >= kPaletteWidth) {
            fieldView->setZoomAround(fieldView->getZoom() * std::pow(1.1f, -event->getScrollY()), at);
            // Zoomed out near an end, the field glides back to fill the window.
            fieldView->clampToBounds();
        }
        return;
    }
    FieldScrollView* view = at.x < kPaletteWidth ? paletteView : fieldView;
    Vec2 offset = view->getScrollOffset();
    offset.y = view->clampOffsetY(offset.y + kWheelStep * event->getScrollY());
    view->scrollTo(offset, false);
}

void FieldScene::showSettingsBar() {
    settingsBar->stopActionByTag(kBarMoveTag);
    Action* move = settingsBar->runAction(MoveTo::create(0.2f, Vec2(0, 0)));
    move->setTag(kBarMoveTag);
    settingsBarShown = true;
}

void FieldScene::hideSettingsBar() {
    settingsBar->stopActionByTag(kBarMoveTag);
    Action* move = settingsBar->runAction(MoveTo::create(0.2f, Vec2(0, kBarClosedY)));
    move->setTag(kBarMoveTag);
    settingsBarShown = false;
}

void FieldScene::saveAndClose() {
    if (leaving || getActionByTag(kCloseActionTag) || leaveQuestion) return;
    // A program whose last save failed is not left behind without asking.
    if (mustAskBeforeLeaving()) {
        askBeforeLeavingUnsaved();
        return;
    }
    // Tries at once, then every half second until the link is free.
    tryToClose();
    if (leaving) return;
    auto* tries = RepeatForever::create(
        Sequence::create(DelayTime::create(0.5f), CallFunc::create([this] { tryToClose(); })));
    tries->setTag(kCloseActionTag);
    runAction(tries);
}

void FieldScene::askBeforeClosingWhileSending(std::function<void()> quit) {
    if (leaveQuestion || !quit) return;
    Localization* l = Localization::getInstance();
    AlertView* alert = AlertView::create(l->localizedText("まだ ボードに おくっている とちゅうです。",
                                                          "The program is still going to the board."));
    if (!alert) return;
    leaveQuestion = alert;
    alert->setName("close while sending");
    alert->setButtonCaptions(l->localizedText("とめて とじる", "Stop"), l->localizedText("おくりつづける", "Keep sending"));
    // The child asked to close; the program on the field is kept either way.
    alert->setDefaultAnswerOk(true);
    // Then the window closes as it would have: asking first about a program
    // that could not be saved.
    auto closeWindow = [this, quit] {
        if (!mustAskBeforeLeaving()) {
            quit();
            return;
        }
        quitWhenLeft = quit;
        askBeforeLeavingUnsaved();
    };
    // Keep sending: the window stays until the board has it all.
    alert->cancelCallback = alert->outsideCallback = [this, closeWindow](AlertView* a) {
        leaveQuestion = nullptr;
        a->close();
        whenLinkFree(closeWindow);
    };
    // Stop: the typing ends, the board's program is stopped (a dead port
    // gives up within two seconds), then the window closes.
    alert->okCallback = [this, closeWindow](AlertView* a) {
        leaveQuestion = nullptr;
        a->close();
        if (std::shared_ptr<std::atomic<bool>> cancel = transferCancel) cancel->store(true);
        finishSendingOverlay(sendingOverlayId);
        whenLinkFree([this, closeWindow] {
            const int dialect = DeviceManager::getInstance()->getDialect();
            PacingClock* clock = pacingClock ? pacingClock : &realPacingClock();
            startWorker(linkWorkers, [dialect, clock](RefPtr<FieldScene>) {
                CorvinaCardSerialManager* manager = CorvinaCardSerialManager::getInstance();
                CorvinaAppsError error;
                std::atomic<bool> never{false};
                TypingContext context(manager, &never, {}, clock);
                if (manager->openLink(&error)) runStopSequence(context, dialect, error);
                manager->closeLink();
            });
            whenLinkFree(closeWindow);
        });
    };
    addChild(alert, kAlertZ);
}

bool FieldScene::mustAskBeforeLeaving() const {
    return !leaveUnsaved && document && (document->isSaved() || !model.cards().empty()) &&
           (!document->isSaved() || SaveDataManager::getInstance()->lastWriteFailed());
}

void FieldScene::askBeforeLeavingUnsaved() {
    AlertView* alert = AlertView::create(Localization::getInstance()->localizedText(kLeaveUnsaved));
    if (!alert) return;
    leaveQuestion = alert;
    alert->setName("leave unsaved");
    // The cross: stay, and the program is saved again at once.
    alert->cancelCallback = alert->outsideCallback = [this](AlertView* a) {
        leaveQuestion = nullptr;
        quitWhenLeft = nullptr;
        a->close();
        saveFieldDocument();
    };
    alert->okCallback = [this](AlertView* a) {
        leaveQuestion = nullptr;
        leaveUnsaved = true;
        a->close();
        // Asked by the window's close button: the window closes.
        if (auto quit = std::exchange(quitWhenLeft, nullptr)) quit();
        else saveAndClose();
    };
    addChild(alert, kAlertZ);
}

void FieldScene::tryToClose() {
    if (isLinkBusy()) {
        if (!stoppingOverlay) showStoppingOverlay();
        return;
    }
    stopAllActions();
    leaving = true;
    // The editor holds the board's port only while it is open.
    CorvinaCardSerialManager::getInstance()->closeLink();
    captureThumbnail([this] {
        // The home screen and the next program read what this one wrote.
        SaveDataManager::getInstance()->finishWrites();
        if (leaveHandler) {
            leaveHandler();
            return;
        }
        if (Scene* home = homeOpener() ? homeOpener()() : nullptr) {
            Director::getInstance()->replaceScene(TransitionSlideInT::create(0.5f, home));
            return;
        }
        leaving = false;  // nowhere to go: the editor stays
    });
}

std::function<Scene*()>& FieldScene::homeOpener() {
    static std::function<Scene*()> opener;
    return opener;
}

void FieldScene::setHomeOpener(std::function<Scene*()> open) { homeOpener() = std::move(open); }

void FieldScene::openCopyrightPage() { ::openCopyrightPage(); }
