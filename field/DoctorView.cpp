// The connection check from the settings bar: the same report as
// `corvina-cli doctor`, one line a check, in a view that scrolls, and the
// commands it gives on the clipboard for a teacher's terminal.
#include "cards/CardCatalog.h"
#include "cards/DeviceManager.h"
#include "device/CorvinaCardSerialManager.h"
#include "device/Doctor.h"
#include "device/ProgramLink.h"
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Touch.h"
#include "engine/platform/Clipboard.h"
#include "field/FieldScene.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
const int kDoctorZ = 1050;  // over the panels and the sending overlay, under questions
const Size kPanel(760, 600);
const Size kReport(700, 440);
} // namespace

void FieldScene::showDoctorReport() {
    if (doctorLayer) return;
    Localization* l = Localization::getInstance();
    doctorLayer = LayerColor::create(Color4B(0, 0, 0, 128), layoutSize.width, layoutSize.height);
    doctorLayer->setName("doctor report");
    auto* keep = EventListenerTouchOneByOne::create();
    keep->setSwallowTouches(true);
    keep->onTouchBegan = [](Touch*, Event*) { return true; };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(keep, doctorLayer);
    doctorListener = keep;
    addChild(doctorLayer, kDoctorZ);

    const Vec2 corner((layoutSize.width - kPanel.width) / 2, (layoutSize.height - kPanel.height) / 2);
    LayerColor* frame = LayerColor::create(kAccentBlue, kPanel.width + 8, kPanel.height + 8);
    frame->setPosition(corner - Vec2(4, 4));
    doctorLayer->addChild(frame);
    LayerColor* panel = LayerColor::create(Color4B(255, 255, 255, 255), kPanel.width, kPanel.height);
    panel->setPosition(corner);
    doctorLayer->addChild(panel);

    Label* title = Label::createWithSystemFont(l->localizedText("つながらない ときの チェック", "Connection check"),
                                               "HiraKakuProN-W6", 24);
    title->setTextColor(kStatusText);
    title->setAnchorPoint({0, 0.5f});
    title->setPosition(30, kPanel.height - 40);
    panel->addChild(title);

    doctorScroll = FieldScrollView::create(kReport);
    doctorScroll->setScrollAxis(FieldScrollView::Vertical);
    doctorScroll->setPosition((kPanel.width - kReport.width) / 2, 90);
    panel->addChild(doctorScroll);
    doctorText = Label::createWithSystemFont(l->localizedText("しらべています…", "Checking…"), "HiraKakuProN-W6", 16,
                                             Size(kReport.width - 10, 0), TextHAlignment::LEFT, TextVAlignment::TOP);
    doctorText->setTextColor(kStatusText);
    doctorText->setAnchorPoint({0, 0});
    doctorScroll->addChild(doctorText);
    layOutDoctorReport();

    Button* close = button("res/r_sim_close.png");
    close->setName("doctor close");
    close->setPosition(kPanel.width - close->getContentSize().width / 2 - 10,
                       kPanel.height - close->getContentSize().height / 2 - 10);
    close->setAction([this] { closeDoctorReport(); });
    doctorCloseButton = close;
    panel->addChild(close);

    Label* copyLabel = Label::createWithSystemFont(l->localizedText("コマンドを コピー", "Copy the commands"),
                                                   "HiraKakuProN-W6", 18);
    copyLabel->setTextColor(Color3B(255, 255, 255));
    LayerColor* copyBack = LayerColor::create(Color4B(30, 90, 170, 255), copyLabel->getContentSize().width + 40, 50);
    copyLabel->setPosition(copyBack->getContentSize().width / 2, 25);
    copyBack->addChild(copyLabel);
    doctorCopyButton = Button::createWith(copyBack);
    doctorCopyButton->setName("doctor copy");
    doctorCopyButton->setAnchorPoint({0, 0});
    doctorCopyButton->setPosition(30, 22);
    doctorCopyButton->setVisible(false);
    doctorCopyButton->setAction([this, copyLabel] {
        Localization* text = Localization::getInstance();
        const bool copied = setClipboardText(doctorCommands);
        copyLabel->setString(copied ? text->localizedText("コピーしました", "Copied")
                                    : text->localizedText("コピー できませんでした", "Could not copy"));
    });
    panel->addChild(doctorCopyButton);

    // The board is asked on the port chosen in the list, if it is one; the
    // rest only reads the system. On a worker: the board takes a second.
    const int run = ++doctorRun;
    whenLinkFree([this, run] {
        if (run != doctorRun) return;
        CorvinaCardSerialManager* manager = CorvinaCardSerialManager::getInstance();
        const auto device = manager->getSelectedDevice();
        const std::string chosen = device && device->active && device->linkKind == Serial ? device->portName : "";
        // The question is jam's: a board set to another dialect is not asked.
        const bool jam = DeviceManager::getInstance()->getDialect() == DIALECT_JAM;
        const std::string port = jam ? chosen : "";
        // Asking stops the board's program: it no longer runs what the field shows.
        if (!port.empty()) putBoardLightOut();
        PacingClock* clock = pacingClock ? pacingClock : &realPacingClock();
        startWorker(linkWorkers, [run, port, chosen, clock, root = doctorRootForTests](RefPtr<FieldScene> self) {
            DoctorSystem system = DoctorSystem::current();
            if (!root.empty()) system.root = root;
            std::vector<DoctorLine> lines = examineSystem(system);
            CorvinaAppsError error;
            std::optional<std::string> version;
            if (!port.empty()) {
                CorvinaCardSerialManager* m = CorvinaCardSerialManager::getInstance();
                if (m->openLink(&error)) {
                    std::atomic<bool> never{false};
                    TypingContext context(m, &never, {}, clock);
                    version = askBoardVersion(context, error);
                }
            }
            if (port.empty() && !chosen.empty())
                lines.push_back({DoctorMark::Advice, chosen + " の ボードには きいていません（jam の ときだけ きけます）。",
                                 "The board on " + chosen + " was not asked: only a board set to jam can be asked.", {}});
            else
                lines.push_back(boardAnswerLine(port, version, error, true));
            FieldScene* scene = self.get();
            scene->post([scene, run, lines] { scene->showDoctorLines(run, lines); });
        });
    });
}

void FieldScene::showDoctorLines(int run, const std::vector<DoctorLine>& lines) {
    if (run != doctorRun || !doctorLayer) return;
    const bool japanese = Localization::getInstance()->getLanguage() == LanguageType::JAPANESE;
    std::string text;
    doctorCommands.clear();
    for (const DoctorLine& line : lines) {
        const char* mark = line.mark == DoctorMark::Ok       ? (japanese ? "◯ " : "ok  ")
                           : line.mark == DoctorMark::Advice ? (japanese ? "△ " : "note  ")
                                                             : (japanese ? "× " : "FIX  ");
        text += mark + (japanese ? line.japanese : line.english) + "\n";
        if (!line.command.empty()) {
            text += "    $ " + line.command + "\n";
            doctorCommands += line.command + "\n";
        }
        text += "\n";
    }
    doctorText->setString(text);
    layOutDoctorReport();
    doctorCopyButton->setVisible(!doctorCommands.empty());
}

void FieldScene::layOutDoctorReport() {
    // The report's top at the window's top; a long one scrolls up.
    const float height = std::max(doctorText->getContentSize().height, kReport.height);
    doctorScroll->getContainer()->setContentSize(Size(kReport.width, height));
    doctorText->setPosition(5, height - doctorText->getContentSize().height);
    doctorScroll->scrollTo(Vec2(0, kReport.height - height), false);
}

void FieldScene::closeDoctorReport() {
    if (!doctorLayer) return;
    coveringOwner = nullptr;  // the next one starts its own choice
    if (doctorListener) Director::getInstance()->getEventDispatcher()->removeEventListener(doctorListener.get());
    doctorListener = nullptr;
    doctorLayer->removeFromParent();
    doctorLayer = nullptr;
    doctorScroll = nullptr;
    doctorText = nullptr;
    doctorCopyButton = nullptr;
    doctorCloseButton = nullptr;
    // A report still coming finds no view.
    ++doctorRun;
}

void FieldScene::scrollDoctorReport(float notches) {
    if (!doctorScroll) return;
    Vec2 offset = doctorScroll->getScrollOffset();
    offset.y = doctorScroll->clampOffsetY(offset.y + 3 * kWheelStep * notches);
    doctorScroll->scrollTo(offset, false);
}
