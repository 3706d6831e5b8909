// Typing the program into the board and stopping it, on worker threads that
// never touch a node: what they want shown is posted to the main thread.
#include <cstdio>
#include <thread>

#include "cards/DeviceManager.h"
#include "cards/ProgramGenerator.h"
#include "device/CorvinaCardSerialManager.h"
#include "device/ProgramLink.h"
#include "engine/core/Action.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Scheduler.h"
#include "engine/core/Touch.h"
#include "engine/platform/MessageBox.h"
#include "field/FieldScene.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
const int kOverlayZ = 950;

// A program refused before anything was typed: only the reason is shown.
CorvinaAppsError refusalError(const TransferOutcome& outcome) {
    Localization* l = Localization::getInstance();
    const RefusalText text = refusalText(outcome);
    CorvinaAppsError e;
    e.title = l->localizedText(LocalizedTexts::failed);
    e.message = l->localizedText(text.japanese, text.english);
    e.showAlert = true;
    return e;
}

EventListenerTouchOneByOne* swallowAll() {
    auto* listener = EventListenerTouchOneByOne::create();
    listener->setSwallowTouches(true);
    listener->onTouchBegan = [](Touch*, Event*) { return true; };
    return listener;
}
} // namespace

// --- workers

void FieldScene::post(std::function<void()> task) {
    Director::getInstance()->getScheduler()->performFunctionInCocosThread(std::move(task));
}

void FieldScene::startWorker(std::atomic<int>& counter, std::function<void(RefPtr<FieldScene>)> work) {
    ++counter;
    RefPtr<FieldScene> self(this);
    std::thread([self, &counter, work = std::move(work)]() mutable {
        work(self);
        // The scene is let go on the main thread, after every task posted
        // before this one has run.
        Director::getInstance()->getScheduler()->performFunctionInCocosThread(
            [keep = std::move(self), &counter]() { --counter; });
    }).detach();
}

bool FieldScene::isLinkBusy() const {
    if (linkBusyCheck) return linkBusyCheck();
    return linkWorkers.load() > 0 || CorvinaCardSerialManager::getInstance()->getState() != Idle;
}

void FieldScene::whenLinkFree(std::function<void()> action) {
    if (linkWorkers.load() == 0) {
        action();
        return;
    }
    // A transfer still finishing (a cancelled one types its last character
    // first): the new one starts once it has ended, never interleaved.
    deferredLinkAction = std::move(action);
    schedule(
        [this](float) {
            if (linkWorkers.load() > 0) return;
            unschedule("linkFree");
            auto action = std::move(deferredLinkAction);
            deferredLinkAction = nullptr;
            if (action) action();
        },
        "linkFree");
}

bool FieldScene::linkSelectable() {
    auto device = CorvinaCardSerialManager::getInstance()->getSelectedDevice();
    if (device && device->active) return true;
    showSettingsBar();
    return false;
}

// --- stopping the board's program

void FieldScene::stopProgram() {
    whenLinkFree([this] {
        if (!linkSelectable()) return;
        // A simulated board that was never sent a program runs nothing.
        if (isSimulatorTarget() && !getSimulator()) return;
        hideBoardPanel();
        putBoardLightOut();
        showStoppingOverlay();
        const int dialect = DeviceManager::getInstance()->getDialect();
        PacingClock* clock = pacingClock ? pacingClock : &realPacingClock();
        startWorker(linkWorkers, [dialect, clock](RefPtr<FieldScene> self) {
            CorvinaCardSerialManager* manager = CorvinaCardSerialManager::getInstance();
            CorvinaAppsError error;
            std::atomic<bool> never{false};
            TypingContext context{manager, &never, {}, clock};
            bool ok = manager->openLink(&error);
            const bool conflict = !ok && manager->lastOpenWasPortConflict();
            if (ok) ok = runStopSequence(context, dialect, error);
            FieldScene* scene = self.get();
            if (!ok) {
                scene->post([scene, error] { scene->handleLinkError(error); });
                if (conflict) scene->post([scene] { scene->handleLinkError(linkOpenFailedError()); });
            }
            manager->closeLinkIfWifi();
            scene->post([scene] { scene->removeStoppingOverlay(); });
        });
    });
}

void FieldScene::showStoppingOverlay() {
    if (stoppingOverlay) return;
    stoppingOverlay = LayerColor::create(Color4B(64, 64, 64, 64), layoutSize.width, layoutSize.height);
    Sprite* spinner = picture("res/r_loading.png");
    spinner->setPosition(layoutSize.width / 2, layoutSize.height / 2);
    spinner->runAction(RepeatForever::create(RotateBy::create(0.2f, 45)));
    stoppingOverlay->addChild(spinner);
    addChild(stoppingOverlay, kOverlayZ);
    EventListenerTouchOneByOne* listener = swallowAll();
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener, stoppingOverlay);
    stoppingListener = listener;
}

void FieldScene::removeStoppingOverlay() {
    if (!stoppingOverlay) return;
    if (stoppingListener) Director::getInstance()->getEventDispatcher()->removeEventListener(stoppingListener.get());
    stoppingListener = nullptr;
    stoppingOverlay->removeFromParent();
    stoppingOverlay = nullptr;
}

// --- typing the program

void FieldScene::sendProgram() {
    whenLinkFree([this] {
        if (!linkSelectable()) return;
        showSendingOverlay();
        const int overlay = sendingOverlayId;
        auto cancel = std::make_shared<std::atomic<bool>>(false);
        transferCancel = cancel;
        const FieldSnapshot snapshot = takeSnapshot();
        const TypingPace pace = DeviceManager::getInstance()->getTypingPace();
        sendingToSimulator = isSimulatorTarget();
        putBoardLightOut();
        if (sendingToSimulator) prepareSimulator(snapshot);
        PacingClock* clock = pacingClock ? pacingClock : &realPacingClock();
        const bool toSimulator = sendingToSimulator;
        startWorker(linkWorkers, [overlay, cancel, snapshot, pace, clock, toSimulator](RefPtr<FieldScene> self) {
            FieldScene* scene = self.get();
            CorvinaCardSerialManager* manager = CorvinaCardSerialManager::getInstance();
            CorvinaAppsError error;
            // A program the board cannot run is refused before any port is
            // touched, whatever state the board is in.
            if (const TransferOutcome refused = refusalOf(snapshot, snapshot.dialect); refused.refused()) {
                scene->post([scene, e = refusalError(refused)] { scene->handleLinkError(e); });
                scene->post([scene, overlay] { scene->finishSendingOverlay(overlay); });
                return;
            }
            if (!manager->openLink(&error)) {
                const bool conflict = manager->lastOpenWasPortConflict();
                scene->post([scene, error] { scene->handleLinkError(error); });
                if (conflict) scene->post([scene] { scene->handleLinkError(linkOpenFailedError()); });
                scene->post([scene, overlay] { scene->finishSendingOverlay(overlay); });
                return;
            }
            // What the board printed before this send is not its answer,
            // though a real board's screen shows it.
            std::string before;
            manager->readAvailable(before);
            if (!before.empty()) scene->post([scene, before, toSimulator] { scene->hearBoard(before, toSimulator); });
            // The typed keys and what the board prints back share the
            // overlay, as they share the board's own screen.
            auto report = [scene, overlay](const std::string& text) {
                scene->post([scene, overlay, text] { scene->appendTypedText(overlay, text); });
            };
            TypingContext context(manager, cancel.get(), [report](char c) { report(std::string(1, c)); }, clock);
            context.onPrinted = [scene, overlay, toSimulator](const std::string& text) {
                scene->post([scene, overlay, text, toSimulator] {
                    scene->appendTypedText(overlay, text, true);
                    scene->hearBoard(text, toSimulator);
                });
            };
            LinkProgramOutput out(std::move(context), [report](const std::string& line) { report(line); });
            // From RUN on, an error the board prints is the program's.
            out.onProgramStarting = [scene, dialect = snapshot.dialect, rows = programLineRows(snapshot, snapshot.dialect)] {
                scene->post([scene, dialect, rows] { scene->listenToProgram(dialect, rows); });
            };
            const TransferOutcome outcome = transferProgram(snapshot, snapshot.dialect, out, pace);
            // A transfer that ended before RUN went out leaves no program to listen to.
            if (outcome.kind == TransferOutcome::Failed || outcome.kind == TransferOutcome::Cancelled)
                scene->post([scene] { scene->putBoardLightOut(); });
            if (outcome.kind == TransferOutcome::Failed) {
                scene->post([scene, e = out.error] { scene->handleLinkError(e); });
            } else if (outcome.refused()) {
                scene->post([scene, e = refusalError(outcome)] { scene->handleLinkError(e); });
            } else if (outcome.kind == TransferOutcome::Sent || outcome.kind == TransferOutcome::CheckFailed) {
                scene->post([scene, overlay, check = outcome.check] { scene->showSendingOutcome(overlay, check); });
            }
            // The module's local port is let go for others (corvina-cli).
            manager->closeLinkIfWifi();
            scene->post([scene, overlay] { scene->finishSendingOverlay(overlay); });
        });
    });
}

void FieldScene::readBoardWhileIdle() {
    // While a worker types, it reads; between sends the editor keeps the
    // port and listens, so a board pulled out lets its name go at once.
    CorvinaCardSerialManager* manager = CorvinaCardSerialManager::getInstance();
    if (linkWorkers.load() > 0 || !manager->isLinkOpen()) return;
    std::string printed;
    manager->readAvailable(printed);
    if (!printed.empty()) hearBoard(printed, false);
}

void FieldScene::showSendingOverlay() {
    closeSendingOverlay();
    ++sendingOverlayId;
    const Size visible = Director::getInstance()->getVisibleSize();
    sendingOverlay = LayerColor::create(Color4B(0, 0, 0, 128), layoutSize.width, layoutSize.height);
    addChild(sendingOverlay, kOverlayZ);
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    EventListenerTouchOneByOne* veil = swallowAll();
    dispatcher->addEventListenerWithSceneGraphPriority(veil, sendingOverlay);
    sendingListeners.emplace_back(veil);

    // The typed text fills the screen from the top left, as on the board.
    const Size area(layoutSize.width - 100, layoutSize.height - 100);
    const bool jam = DeviceManager::getInstance()->getDialect() == DIALECT_JAM;
    typedTextLabel = jam ? Label::createWithTTF("", "fonts/IchigoJam-1.2.ttf", 20, area, TextHAlignment::LEFT,
                                                TextVAlignment::TOP)
                         : nullptr;
    if (!typedTextLabel)
        typedTextLabel = Label::createWithSystemFont("", "HiraKakuProN-W6", 20, area, TextHAlignment::LEFT,
                                                     TextVAlignment::TOP);
    typedTextLabel->setTextColor(Color3B(255, 255, 255));
    typedTextLabel->setAnchorPoint(Vec2(0, 0));
    typedTextLabel->setPosition(50, 50);
    sendingOverlay->addChild(typedTextLabel);
    sendingOutcomeLabel = nullptr;
    sendingOutcomeToRead = false;
    typedAfterCr = false;

    sendingSpinner = picture("res/r_loading.png");
    sendingSpinner->setPosition(layoutSize.width / 2, layoutSize.height / 2);
    sendingSpinner->runAction(RepeatForever::create(RotateBy::create(0.2f, 45)));
    sendingOverlay->addChild(sendingSpinner);

    sendingStopButton = button("res/r_stop.png");
    sendingStopButton->setName("sending stop");
    Size s = sendingStopButton->getContentSize();
    sendingStopButton->setPosition(visible.width - s.width / 2 - 10, visible.height / 2 - 120);
    sendingOverlay->addChild(sendingStopButton);
    sendingStopButton->setAction([this] {
        std::shared_ptr<std::atomic<bool>> cancel = transferCancel;
        finishSendingOverlay(sendingOverlayId);
        if (cancel) cancel->store(true);
        // A program stopped before it ran has no error to show.
        putBoardLightOut();
    });
}

void FieldScene::appendTypedText(int overlay, const std::string& text, bool printed) {
    if (overlay != sendingOverlayId || !typedTextLabel) return;
    // A typed line ends at CR, LF or CR LF; the board's printed lines end
    // in LF, and start a line of their own.
    std::string shown = typedTextLabel->getString();
    if (printed && !shown.empty() && shown.back() != '\n') shown += '\n';
    for (char c : text) {
        if (printed) {
            if (c != '\r') shown += c;
            continue;
        }
        const bool afterCr = typedAfterCr;
        typedAfterCr = c == '\r';
        if (c == '\n' && afterCr) continue;
        shown += c == '\r' ? '\n' : c;
    }
    // Like the board's screen: the latest lines, the older ones scrolled off
    // the top, so the end of a long program and the board's answer show.
    constexpr int kShownLines = 22;
    int lines = 0;
    for (size_t at = shown.size(); at-- > 0;)
        if (shown[at] == '\n' && ++lines == kShownLines) {
            shown.erase(0, at + 1);
            break;
        }
    typedTextLabel->setString(shown);
}

void FieldScene::showSendingOutcome(int overlay, const ProgramCheck& check) {
    if (overlay != sendingOverlayId || !sendingOverlay) return;
    using Result = ProgramCheck::Result;
    // Green all well, blue mended, red not sent whole, grey not known.
    const Color4B colour = check.result == Result::Checked    ? Color4B(30, 130, 60, 235)
                           : check.result == Result::Repaired ? Color4B(30, 90, 170, 235)
                           : check.result == Result::Failed   ? Color4B(190, 40, 40, 235)
                                                              : Color4B(70, 70, 70, 235);
    const CheckText text = checkText(check);
    auto* band = LayerColor::create(colour, layoutSize.width, 90);
    band->setName("sending outcome");
    band->setPosition(0, 0);
    sendingOverlay->addChild(band, 5);
    sendingOutcomeLabel = Label::createWithSystemFont(Localization::getInstance()->localizedText(text.japanese, text.english),
                                                      "HiraKakuProN-W6", 24, Size(layoutSize.width - 60, 80),
                                                      TextHAlignment::CENTER, TextVAlignment::CENTER);
    sendingOutcomeLabel->setTextColor(Color3B(255, 255, 255));
    sendingOutcomeLabel->setPosition(layoutSize.width / 2, 45);
    band->addChild(sendingOutcomeLabel);
    sendingOutcomeToRead = check.result == Result::Repaired || check.result == Result::Failed;
}

std::string FieldScene::getSendingOutcomeText() const {
    return sendingOutcomeLabel ? sendingOutcomeLabel->getString() : std::string();
}

void FieldScene::finishSendingOverlay(int overlay) {
    if (overlay != sendingOverlayId || !sendingOverlay) return;
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    for (auto& listener : sendingListeners) dispatcher->removeEventListener(listener.get());
    sendingListeners.clear();
    if (sendingStopButton) sendingStopButton->removeFromParent();
    sendingStopButton = nullptr;
    if (sendingSpinner) {
        sendingSpinner->stopAllActions();
        sendingSpinner->removeFromParent();
    }
    sendingSpinner = nullptr;
    // The typed text stays until a tap.
    auto* close = EventListenerTouchOneByOne::create();
    close->setSwallowTouches(true);
    close->onTouchBegan = [](Touch*, Event*) { return true; };
    close->onTouchEnded = [this](Touch* touch, Event*) {
        if (sendingOverlay && sendingOverlay->getBoundingBoxInWorld().containsPoint(touch->getLocation())) closeSendingOverlay();
    };
    dispatcher->addEventListenerWithSceneGraphPriority(close, sendingOverlay);
    sendingListeners.emplace_back(close);
    // The simulated board is right there: the child sees it at once, unless
    // there is something to read first.
    if (sendingToSimulator && !sendingOutcomeToRead) closeSendingOverlay();
}

void FieldScene::closeSendingOverlay() {
    if (!sendingOverlay) return;
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    for (auto& listener : sendingListeners) dispatcher->removeEventListener(listener.get());
    sendingListeners.clear();
    sendingOverlay->removeFromParent();
    sendingOverlay = nullptr;
    sendingStopButton = nullptr;
    sendingSpinner = nullptr;
    typedTextLabel = nullptr;
    sendingOutcomeLabel = nullptr;
    // Whatever the last transfer still posts now finds no overlay.
    ++sendingOverlayId;
    showBoardWordsIfClear();
}

void FieldScene::handleLinkError(const CorvinaAppsError& error) {
    if (!isRunning()) return;
    if (error.showAlert) MessageBox(error.message.c_str(), error.title.c_str());
    if (error.rescan) startScanThread();
    if (error.openPanel) showSettingsBar();
}
