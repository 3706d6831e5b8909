// What the board prints: a real board's lines on a screen of their own
// beside the field, and the error that stopped the program the field shows
// lit on the row it came from, with a sentence that says what to try.
#include <algorithm>

#include "engine/core/Director.h"
#include "field/FieldScene.h"
#include "ui/Localization.h"

using namespace engine;

namespace {
const int kScreenPanelZ = 960;  // where the simulated board's panel stands
const int kNoteZ = 961;         // over either panel
constexpr size_t kScreenLinesKept = 24;
} // namespace

void FieldScene::setUpBoardWords() {
    Localization* l = Localization::getInstance();
    // Where the simulated board's panel stands, from its foot: the palette
    // side, the rows in view and in reach.
    const float foot = (layoutSize.height - BoardPanel::kDesignHeight) / 2;
    boardScreenPanel = BoardScreenPanel::create(l->localizedText("ボードの がめん", "The board's screen"));
    boardScreenPanel->setName("board screen panel");
    boardScreenPanel->setPosition(kPanelLeft, foot);
    boardScreenPanel->setVisible(false);
    addChild(boardScreenPanel, kScreenPanelZ);
    Button* close = button("res/r_sim_close.png");
    close->setName("board screen close");
    close->setScale(0.8f);
    const Size c = close->getContentSize() * 0.8f;
    close->setPosition(BoardScreenPanel::kWidth - c.width / 2 - 8, BoardScreenPanel::kHeight - c.height / 2 - 8);
    close->setAction([this] { boardScreenPanel->setVisible(false); });
    boardScreenPanel->addChild(close, 10);

    boardNote = BoardNote::create();
    boardNote->setName("board note");
    boardNote->setVisible(false);
    boardNote->onTapped = [this] { boardNote->setVisible(false); };
    addChild(boardNote, kNoteZ);
}

void FieldScene::listenToProgram(int dialect, std::map<int, int> lineRows) {
    listeningToProgram = true;
    listenedDialect = dialect;
    listenedLineRows = std::move(lineRows);
}

void FieldScene::putBoardLightOut() {
    listeningToProgram = false;
    listenedLineRows.clear();
    boardError.reset();
    boardNotePending = boardScreenPending = false;
    if (boardNote) boardNote->setVisible(false);
    if (boardScreenPanel) boardScreenPanel->setVisible(false);
    if (errorRow >= 0) {
        const int row = errorRow;
        errorRow = -1;
        tintRow(row);
    }
}

void FieldScene::hearBoard(const std::string& text, bool fromSimulator) {
    for (std::string& line : boardLines.feed(text)) {
        // The first error ends a program; "Break" is never one.
        if (listeningToProgram && !boardError)
            if (std::optional<BoardError> error = boardErrorOf(line, listenedDialect)) showBoardError(*error);
        if (!fromSimulator) boardScreenLines.push_back(std::move(line));
    }
    // The simulated board shows its own screen.
    if (fromSimulator) return;
    if (boardScreenLines.size() > kScreenLinesKept)
        boardScreenLines.erase(boardScreenLines.begin(),
                               boardScreenLines.end() - static_cast<std::ptrdiff_t>(kScreenLinesKept));
    std::vector<std::string> shown = boardScreenLines;
    if (!boardLines.partial().empty()) shown.push_back(boardLines.partial());
    boardScreenPanel->getScreen()->show(shown);
    if (listeningToProgram && !text.empty()) {
        boardScreenPending = true;
        showBoardWordsIfClear();
    }
}

void FieldScene::showBoardError(const BoardError& error) {
    boardError = error;
    const auto row = listenedLineRows.find(error.line);
    errorRow = row != listenedLineRows.end() ? row->second : -1;
    if (errorRow >= 0) tintRow(errorRow);
    const BoardErrorText text = boardErrorText(error, errorRow >= 0 ? 10 * (errorRow + 1) : -1);
    boardNote->setText(Localization::getInstance()->localizedText(text.japanese, text.english));
    boardNotePending = true;
    showBoardWordsIfClear();
}

void FieldScene::showBoardWordsIfClear() {
    // The sending overlay shows the board's words itself until it closes.
    if (sendingOverlay) return;
    if (boardScreenPending && !isSimulatorTarget()) boardScreenPanel->setVisible(true);
    boardScreenPending = false;
    if (!boardNotePending) return;
    boardNotePending = false;
    // On the simulated board's floor, where its car has stopped, clear of
    // the panel's close control; above a real board's screen.
    const float left = kPanelLeft + (BoardPanel::kDesignWidth - BoardNote::kWidth) / 2;
    if (boardPanel->isVisible()) {
        boardNote->setPosition(left, boardPanel->getPositionY() + boardPanel->floorOrigin().y);
    } else {
        boardNote->setPosition(left, boardScreenPanel->getPositionY() + BoardScreenPanel::kHeight + 10);
    }
    boardNote->setVisible(true);
    if (errorRow < 0) return;
    // The lit row in view: zoomed out or scrolled away, the field slides to it.
    const float y = toScreen(rowPlates[static_cast<size_t>(errorRow)]->getPosition()).y;
    const float margin = 80;
    if (y >= margin && y <= layoutSize.height - margin) return;
    Vec2 offset = fieldView->getScrollOffset();
    offset.y = fieldView->clampOffsetY(offset.y + layoutSize.height / 2 - y);
    fieldView->animateScrollTo(offset, 0.3f);
}
