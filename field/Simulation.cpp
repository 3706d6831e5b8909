// The simulated board in the editor: a device-list entry whose link types
// into a BoardSimulator, a panel that shows what it does, and the row whose
// card is running lit on the field.
#include <cmath>
#include <mutex>

#include "device/CorvinaCardSerialManager.h"
#include "engine/core/Director.h"
#include "field/FieldScene.h"
#include "sim/BoardSimulator.h"
#include "sim/SimulatorLink.h"
#include "views/BoardPanel.h"

using namespace engine;

namespace {
const int kPanelZ = 960;  // above the sending overlay, below the run controls' reach
const Color3B kGlow{255, 214, 64};
} // namespace

struct FieldScene::SimulatorSlot {
    std::mutex mutex;
    std::shared_ptr<sim::BoardSimulator> board;
};

void FieldScene::setUpSimulator() {
    simulatorSlot = std::make_shared<SimulatorSlot>();
    // The opener runs on the send worker and outlives no scene it needs:
    // it holds only the slot.
    CorvinaCardSerialManager::getInstance()->setSimulatorOpener([slot = simulatorSlot]() -> std::unique_ptr<Link> {
        std::lock_guard<std::mutex> lock(slot->mutex);
        if (!slot->board) return nullptr;
        return std::make_unique<sim::SimulatorLink>(slot->board);
    });
    // Over the palette side, left of the row buttons: the rows that run
    // stay in view and in reach.
    const Size size(BoardPanel::kDesignWidth, BoardPanel::kDesignHeight);
    boardPanel = BoardPanel::create(size);
    boardPanel->setName("board panel");
    boardPanel->setPosition(Vec2(kPanelLeft, (768 - size.height) / 2));
    boardPanel->setVisible(false);
    addChild(boardPanel, kPanelZ);
    Button* close = button("res/r_sim_close.png");
    close->setName("board panel close");
    close->setPosition(size.width - close->getContentSize().width / 2 - 8, size.height - close->getContentSize().height / 2 - 8);
    boardPanel->addChild(close, 10);
    // The panel itself keeps the touches that land on it.
    close->setAction([this] { hideBoardPanel(); });
    schedule([this](float dt) { runSimulator(dt); }, "simulator");
}

void FieldScene::hideBoardPanel() {
    boardPanel->setVisible(false);
}

bool FieldScene::isBoardPanelOver(const Vec2& screenPoint) const {
    return boardPanel && boardPanel->isVisible() && boardPanel->getBoundingBoxInWorld().containsPoint(screenPoint);
}

bool FieldScene::isSimulatorTarget() const {
    const auto device = CorvinaCardSerialManager::getInstance()->getSelectedDevice();
    return device && device->linkKind == Simulator;
}

std::shared_ptr<sim::BoardSimulator> FieldScene::getSimulator() const {
    std::lock_guard<std::mutex> lock(simulatorSlot->mutex);
    return simulatorSlot->board;
}

void FieldScene::prepareSimulator(const FieldSnapshot& snapshot) {
    std::lock_guard<std::mutex> lock(simulatorSlot->mutex);
    // A board runs one dialect: another dialect is another board.
    if (snapshot.dialect == DIALECT_QUE) {
        simulatorSlot->board.reset();
    } else if (!simulatorSlot->board || simulatorSlot->board->dialect() != snapshot.dialect) {
        simulatorSlot->board = std::make_shared<sim::BoardSimulator>(snapshot.dialect);
        boardMs = 0;
        boardPanel->resetCar();
    }
    simulatedLineRows = programLineRows(snapshot, snapshot.dialect);
    boardPanel->setVisible(simulatorSlot->board != nullptr);
}

void FieldScene::runSimulator(float dt) {
    const std::shared_ptr<sim::BoardSimulator> board = getSimulator();
    if (!board) return;
    // The board's time is the engine's: tests step it frame by frame.
    boardMs += static_cast<double>(dt) * 1000;
    board->advanceTo(std::lround(boardMs));
    if (!isSimulatorTarget()) {
        boardPanel->setVisible(false);
        lightRow(-1);
        return;
    }
    // Between sends the scene hears the board; while a worker types, it does.
    if (linkWorkers.load() == 0)
        if (const std::string printed = board->takePrinted(); !printed.empty()) hearBoard(printed, true);
    const sim::BoardState state = board->state();
    BoardView view;
    view.led = state.led;
    view.outputs = state.outputs;
    view.servo3 = state.servo3 > 0 ? state.servo3 : -1;
    view.servo4 = state.servo4 > 0 ? state.servo4 : -1;
    view.leftMotor = state.leftMotor;
    view.rightMotor = state.rightMotor;
    view.beeps = state.beeps;
    view.screen = board->screenLines();
    const int line = board->runningLine();
    view.running = line >= 0;
    boardPanel->show(view);
    auto row = simulatedLineRows.find(line);
    lightRow(line >= 0 && row != simulatedLineRows.end() ? row->second : -1);
}

void FieldScene::lightRow(int row) {
    if (row == glowingRow) return;
    // The head under its card, and the numbered plate beside it, which the
    // card leaves in view.
    const int left = glowingRow;
    glowingRow = row;
    // The row left goes back to its own tint: dark while it holds a card.
    if (left >= 0) tintRow(left);
    if (row >= 0) {
        getRowHead(row)->setColor(kGlow);
        rowPlates[static_cast<size_t>(row)]->setColor(kGlow);
    }
}
