#pragma once
// The editor screen: the card palette on the left, the field of forty
// numbered rows in the middle, the run controls on the right and a sliding
// settings bar at the bottom.
//
// The scene is spread over files by concern, each writing only the members
// grouped under its name below: FieldScene.cpp builds it and runs its
// controls, FieldGrid.cpp the rows and the card gestures, FieldCards.cpp
// the field model, the card sprites that follow it, the steps undo takes
// back and where loose cards lie, FieldHistoryControls.cpp
// the undo and redo controls and keys, FieldZoomControls.cpp the zoom
// controls and how far the field may slide, FieldDocumentIO.cpp the saved
// document and thumbnail, NumberEntryView.cpp the typing of a number card's
// number, Palette.cpp the palette and its drags, DialectPopup.cpp the
// dialect choice, BoardWords.cpp what the board prints and the error
// that stopped its program. The others ask the field for a change through
// its operations.
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/Button.h"
#include "engine/core/EventListener.h"
#include "engine/core/FocusRing.h"
#include "engine/core/LabelAtlas.h"
#include "engine/core/Scene.h"
#include "engine/core/Sprite.h"
#include "engine/platform/EditBox.h"
#include "engine/platform/Label.h"
#include "ui/FieldScrollView.h"
#include "views/BoardNote.h"
#include "views/BoardPanel.h"
#include "views/BoardScreen.h"
#include "views/CardSprite.h"

#include "cards/BoardWords.h"
#include "cards/FieldDocument.h"
#include "cards/FieldModel.h"
#include "cards/FieldSnapshot.h"
#include "cards/NumberEntry.h"
#include "cards/ProgramCheck.h"
#include "catalogue/SaveData.h"
#include "device/CorvinaAppsError.h"
#include "device/Doctor.h"
#include "device/Typing.h"

namespace sim {
class BoardSimulator;
}

class FieldScene : public engine::Layer, public FieldScrollViewDelegate, public engine::ui::EditBoxDelegate {
public:
    static constexpr int kRowCount = 40;
    static constexpr float kPaletteWidth = 275;
    static constexpr float kBarClosedY = -92;
    static constexpr float kBarHeight = 96;  // the settings bar, open
    static constexpr float kEdgeMargin = 5;  // the field's frame, where edge scrolling starts
    // The least a child's finger can hit reliably, at full size.
    static constexpr float kFingerSize = 44;
    // A control with nothing to do (nothing to take back, no further zoom).
    static constexpr uint8_t kUnavailableOpacity = 70;
    // The simulated board's panel stands over the palette side from here;
    // the row buttons always stay right of it.
    static constexpr float kPanelLeft = 8;
    static constexpr float kRowsLeftLimit = kPanelLeft + BoardPanel::kDesignWidth + 8;
    static constexpr float kWheelStep = 10;
    // The home screen's picture of a program, in points (twice that in pixels).
    static constexpr int kThumbnailSize = 285;
    static constexpr float kFieldMinZoom = 0.5f, kFieldMaxZoom = 1.0f;
    static inline const engine::Color4B kAccentBlue{105, 208, 238, 255};
    static inline const engine::Color3B kStatusText{30, 30, 30};

    // `data` is the saved program to edit; null for a new one.
    static FieldScene* create(SaveData* data);
    // A scene holding a new field scene, as the save scene opens it.
    static engine::Scene* createScene(SaveData* data);
    bool init(SaveData* data);

    // --- controls
    void openDialectPopup();
    void selectCardSet(int set);
    void showSettingsBar();
    void hideSettingsBar();
    bool isSettingsBarShown() const { return settingsBarShown; }
    void openCopyrightPage();
    void saveAndClose();

    // --- the board (LinkWorkers.cpp): typing the program, stopping it
    void sendProgram();
    void stopProgram();
    // Whether the board link is busy: a send or stop still running, or the
    // link searching or connecting. A check given for tests replaces it.
    bool isLinkBusy() const;
    void setLinkBusyCheck(std::function<bool()> check) { linkBusyCheck = std::move(check); }
    int getLinkWorkerCount() const { return linkWorkers.load(); }
    bool hasWorkersRunning() const { return linkWorkers.load() > 0 || scanWorkers.load() > 0; }
    // The pauses between typed characters; tests give a clock that records.
    void setPacingClock(PacingClock* clock) { pacingClock = clock; }
    void showStoppingOverlay();
    void removeStoppingOverlay();
    bool isStoppingOverlayShown() const { return stoppingOverlay != nullptr; }
    void showSendingOverlay();
    void finishSendingOverlay(int overlay);
    void closeSendingOverlay();
    // `printed`: what the board printed, rather than what was typed.
    void appendTypedText(int overlay, const std::string& text, bool printed = false);
    // Reads what the board prints between sends, from the port the editor holds.
    void readBoardWhileIdle();
    // What the board said about the program it was sent, on the finished
    // overlay: checked, repaired, failed, or not checked and why.
    void showSendingOutcome(int overlay, const ProgramCheck& check);
    bool isSendingOverlayShown() const { return sendingOverlay != nullptr; }
    bool isSendingFinished() const { return sendingOverlay && !sendingStopButton; }
    engine::Label* getTypedTextLabel() const { return typedTextLabel; }
    // Empty while no outcome is shown.
    std::string getSendingOutcomeText() const;
    void handleLinkError(const CorvinaAppsError& error);

    // --- the board's words (BoardWords.cpp). What a board printed: a real
    // board's lines go on its own screen; while it runs the program the
    // field shows, the error that stops it lights its row.
    void hearBoard(const std::string& text, bool fromSimulator);
    // The board starts the program sent: `lineRows` maps its lines to rows.
    void listenToProgram(int dialect, std::map<int, int> lineRows);
    // A send, a stop or a change of the field: the board no longer runs what
    // the field shows, and any error light goes out.
    void putBoardLightOut();
    // The row lit for the board's error; -1 none.
    int getErrorRow() const { return errorRow; }
    BoardNote* getBoardNote() const { return boardNote; }
    BoardScreenPanel* getBoardScreenPanel() const { return boardScreenPanel; }

    // --- the connection check (DoctorView.cpp): why the board does not
    // answer, and the commands that fix it.
    void showDoctorReport();
    void closeDoctorReport();
    engine::Label* getDoctorText() const { return doctorText; }
    const std::string& getDoctorCommands() const { return doctorCommands; }
    // The system the check reads, instead of the real one.
    void setDoctorRootForTests(std::string root) { doctorRootForTests = std::move(root); }

    // --- connection status and port choice (LinkStatus.cpp)
    void startSetupThread();
    void startScanThread();
    void startActivateThread();
    void refreshLinkStatus();
    void showPortList();
    void closePortList();
    engine::Layer* getPortListPopup() const { return portListPopup; }
    const std::vector<engine::RefPtr<engine::Label>>& getPortListLabels() const { return portListLabels; }
    // How often the list of ports is looked at for a board plugged in or
    // out; 0 stops looking.
    void setHotPlugInterval(float seconds);
    // Writes the field's thumbnail, then calls `done` (at once when there is
    // nothing to write).
    void captureThumbnail(const std::function<void()>& done);
    void saveFieldDocument();
    void loadFieldDocument();
    // Where save-and-close goes once the thumbnail is written: a handler
    // given to this scene, else the home screen the application names.
    void setLeaveHandler(std::function<void()> handler) { leaveHandler = std::move(handler); }
    static void setHomeOpener(std::function<engine::Scene*()> open);

    // --- the field (FieldGrid.cpp, FieldCards.cpp): the model holds what
    // lies where; the card sprites follow it.
    // A new card on the field, at `position` in the field's content; null
    // for a card the catalogue does not have.
    CardSprite* addCardToField(int index, int set, const engine::Vec2& position, uint8_t opacity);
    void removeCardFromField(CardSprite* card);
    void insertRowAt(int row);
    void deleteRowAt(int row);
    // One step of a drag; `delta` is already divided by the zoom.
    void moveDragGroup(CardSprite* held, const engine::Vec2& delta);
    void snapCard(CardSprite* card);
    // A card let go loose: it joins a free row it lies on, as loading would
    // join it; otherwise it is laid clear of the rows, where the child sees
    // that the program leaves it out.
    void settleLooseCard(CardSprite* card);
    void collectChain(CardSprite* card);
    // The card on row `row`, or null.
    CardSprite* cardOnRow(int row) const;
    // The row a card sits on, or -1 when it lies loose.
    int rowOfCard(const CardSprite* card) const;
    // The field's cards in the order of placement.
    const std::vector<engine::RefPtr<CardSprite>>& getFieldCards() const { return fieldCards; }
    const std::vector<engine::RefPtr<CardSprite>>& getDragGroup() const { return dragGroup; }
    int getCardUseCount(int set, int index) const;
    CardSprite* getHeldCard() const { return heldCard; }
    bool isOverTrash() const { return overTrash; }
    const FieldModel& getFieldModel() const { return model; }

    // --- undo and redo (FieldHistoryControls.cpp). Each finished change of
    // the field is one step; the steps last while the program is open.
    void undo();
    void redo();
    bool canUndo() const;
    bool canRedo() const;

    // --- the field as plain data (FieldDocumentIO.cpp)
    // What the program generator reads: taken on the main thread, read
    // anywhere.
    FieldSnapshot takeSnapshot() const;
    FieldDocument makeFieldDocument() const;
    // Every saved document goes here; the saved-program catalogue is the
    // sink in the application, tests read it.
    void setDocumentSink(std::function<void(const FieldDocument&)> sink) { documentSink = std::move(sink); }
    // Empties the field and lays out the cards of `doc`; a card joins the
    // row its connector lies on.
    void loadDocument(const FieldDocument& doc);

    // --- the number entry (NumberEntryView.cpp)
    void openNumberEntry(CardSprite* card);
    void closeNumberEntry();
    bool isNumberEntryOpen() const { return numberEntryLayer != nullptr; }
    engine::ui::EditBox* getNumberEntryBox() const { return numberEntryBox; }
    engine::LayerColor* getNumberEntryLayer() const { return numberEntryLayer; }

    // --- palette and dialect (Palette.cpp, DialectPopup.cpp)
    void buildPalette();
    void refreshDialect();
    void closeDialectPopup();
    engine::Layer* getDialectPopup() const { return dialectPopup; }
    // The translucent copy that follows a finger out of the palette.
    CardSprite* getPaletteDragCard() const { return paletteDragCard; }

    // --- the wheel: over the palette it scrolls the palette, elsewhere the
    // field; with Control held it zooms the field around the cursor.
    void onMouseScroll(engine::EventMouse* event);

    // --- keyboard play (FieldKeys.cpp): Tab walks the palette, the field and
    // every control; the palette puts its chosen card on the chosen row, so
    // a program can be typed card after card.
    // "palette", "field", or the name of the control that has the focus.
    const std::string& getKeyFocus() const { return keyFocus; }
    CardKind getChosenCard() const { return chosenCard; }
    int getChosenRow() const { return chosenRow; }
    engine::FocusRing* getFocusRing() const { return focusRing; }
    // The chosen row, marked while the palette has the focus.
    engine::FocusRing* getRowMarker() const { return rowMarker; }
    // The name of the card shown beside it now; "" while none is shown.
    std::string getCardNameShown() const;
    // The chosen card on the chosen row, or on a row inserted there when it
    // holds a card; the next row is chosen then.
    void putChosenCard();

    // --- parts, for the scene's own files and for tests
    FieldScrollView* getFieldView() const { return fieldView; }
    FieldScrollView* getPaletteView() const { return paletteView; }

    // --- the simulated board
    // Whether the chosen entry of the device list is the simulator.
    bool isSimulatorTarget() const;
    BoardPanel* getBoardPanel() const { return boardPanel; }
    // The panel stays after the program ends, until stop, its close control
    // or the next change to the field.
    void hideBoardPanel();
    bool isBoardPanelOver(const engine::Vec2& screenPoint) const;
    // The board the last send to the simulator went to; null before one.
    std::shared_ptr<sim::BoardSimulator> getSimulator() const;
    // The row whose card the simulated program is running, lit; -1 none.
    int getGlowingRow() const { return glowingRow; }
    engine::Label* getStatusLabel() const { return statusLabel; }
    CardSprite* getRowHead(int row) const { return rowHeads.at(static_cast<size_t>(row)); }
    const std::vector<engine::RefPtr<CardSprite>>& getPaletteCards() const { return paletteCards; }
    engine::LabelAtlas* getCountLabel(int index) const { return countLabels.at(static_cast<size_t>(index)).get(); }
    SaveData* getDocument() const { return document; }

    // FieldScrollViewDelegate: nothing to do in this scene.
    void onScrolled(FieldScrollView*) override {}
    void onZoomed(FieldScrollView*) override { refreshZoomControls(); }
    // EditBoxDelegate: the number entry of number cards.
    void editBoxReturn(engine::ui::EditBox* editBox) override;
    void editBoxEditingDidEndWithAction(engine::ui::EditBox* editBox,
                                        engine::ui::EditBoxDelegate::EditBoxEndAction action) override;

protected:
    FieldScene() = default;
    ~FieldScene() override;

private:
    // A picture by path, in the language shown; a missing picture still
    // gives a node to place.
    static engine::Sprite* picture(const std::string& path);
    static std::string pacePicture(TypingPace pace);
    static std::string localized(const std::string& path);
    static std::function<engine::Scene*()>& homeOpener();
    // FieldScene.cpp
    void buildPaletteColumn(engine::Node* leftLayer);
    void buildField();
    void buildSettingsBar();
    void buildRunControls();
    void buildFrame();
    void registerListeners();
    // A control in the editor's pictures; its action is set by registerListeners.
    static engine::Button* button(const std::string& path);
    // A control that acts as soon as it is pressed.
    void addPressButton(engine::Node* button, std::function<void()> action);
    void scrollPaletteBy(float dy);
    void tryToClose();
    // A row shift's slide, which the sprite's place follows by itself.
    static constexpr int kSlideTag = 0x511d;
    // FieldGrid.cpp and FieldCards.cpp
    void buildFieldRows();
    engine::Button* rowButton(const std::string& path, int row, const std::string& name, std::function<void(int)> action);
    CardSprite* spriteOf(CardId id) const;
    CardSprite* makeCardSprite(const FieldCard& card);
    std::vector<CardId> idsOf(const std::vector<engine::RefPtr<CardSprite>>& group) const;
    // Sprites follow the model: made, removed, numbered, stacked and placed
    // as it says; rows tinted and palette badges counted.
    void syncField();
    void tintRow(int row);
    void showLooseLook(CardSprite* card, bool loose);
    // Where a loose card lies clear: right of the card column, over no
    // placed card, row button or control; `inView` keeps it on the screen.
    engine::Vec2 clearSpotFor(CardId id, bool inView) const;
    void layClear(CardId id, bool inView);
    // The sprite of a card the model no longer has goes, at once or flying
    // into the trash.
    void dropSprite(CardSprite* card, bool intoTrash = false);
    void slideToModel(CardSprite* card);
    void attachFieldCardListener(CardSprite* card);
    bool onFieldCardBegan(CardSprite* card, engine::Touch* touch);
    void onFieldCardMoved(CardSprite* card, engine::Touch* touch);
    void onFieldCardEnded(CardSprite* card, engine::Touch* touch, bool cancelled);
    void liftHeldCard(CardSprite* card, int serial);
    void liftChain(CardSprite* card, int serial);
    void raiseGroup();
    bool trashTest(CardSprite* card, const engine::Vec2& screenPoint);
    engine::Rect trashHitBox() const;
    void playTrash(bool fadeIn);
    // The free row whose head the card's connector would join, or -1.
    int findSnap(CardSprite* card) const;
    void joinRow(CardSprite* card, int row);
    void startEdgeScroll(CardSprite* card);
    void stopEdgeScroll();
    void edgeScroll(float dt);
    void endGesture();
    engine::Vec2 toField(const engine::Vec2& screen) const;
    engine::Vec2 toScreen(const engine::Vec2& fieldPoint) const;
    engine::Vec2 connectorOnScreen(const CardSprite* card, const CardConnector& c) const;
    engine::Vec2 directionOnScreen(const CardSprite* card, const CardConnector& c) const;
    float zoom() const;
    // A change of the field: the model before it is kept from the first
    // call until `finishChange`, which makes it one step and saves.
    void beginChange();
    void finishChange();
    // The program on the field is no longer the one the simulated board
    // runs: its glow and its panel go.
    void programChanged();
    // Whether anything holds the field now: a card, a drag, an entry, a popup.
    bool fieldBusy() const;
    // FieldHistoryControls.cpp
    void buildHistoryControls();
    void refreshHistoryControls();
    void showHistoryControls(bool shown);
    void addHistoryListeners();
    void stepThroughHistory(bool forward);
    // FieldZoomControls.cpp
    void buildZoomControls();
    void guardFieldSides();
    void zoomFieldTo(float zoom);
    void refreshZoomControls();
    // The field's side of a card coming out of the palette, and of a number typed.
    void placeFromPalette(CardKind kind, const engine::Vec2& screenPosition, uint8_t opacity);
    void dropFromPalette();
    void setCardNumber(CardSprite* card, const std::string& text);
    // Every card of `doc` in place of the field's; nothing to take back.
    void replaceField(const FieldDocument& doc);
    // Palette.cpp
    void clearPalette();
    void attachPaletteCardListener(CardSprite* card);
    bool onPaletteCardBegan(CardSprite* card, engine::Touch* touch);
    void onPaletteCardMoved(CardSprite* card, engine::Touch* touch);
    void onPaletteCardEnded(CardSprite* card, engine::Touch* touch);
    void pickUpFromPalette(CardSprite* card, const engine::Vec2& screenPosition);
    // NumberEntryView.cpp
    float numberEntryMultiplier() const;
    void applyNumberEntry(const NumberEntryResult& result);
    // Says on the entry why the typed number cannot go on the card.
    void showRefusal(NumberRefusal refusal);
    // FieldKeys.cpp
    struct Focusable {
        std::string name;
        std::function<std::optional<engine::Rect>()> box;  // in world points; none while not in sight
        std::function<void()> press;
    };
    void setUpKeyboard();
    std::vector<Focusable> focusables();
    void onKey(engine::EventKeyboard::KeyCode key, engine::EventKeyboard* event);
    // Keys for what lies over the editor: popups, overlays, the report.
    bool onCoveringKey(engine::EventKeyboard::KeyCode key, engine::EventKeyboard* event);
    void moveFocus(int step);
    void onPaletteKey(engine::EventKeyboard::KeyCode key, engine::EventKeyboard* event);
    void onFieldKey(engine::EventKeyboard::KeyCode key, engine::EventKeyboard* event);
    void chooseCard(CardKind card);
    void followShownSet();
    void chooseRow(int row);
    std::optional<engine::Rect> rowBox(int row) const;
    std::optional<engine::Rect> chosenPaletteCardBox() const;
    std::optional<engine::Rect> coveringChoiceBox();
    void startCoveringChoice();
    engine::Button* doctorChoice() const;
    void throwChosenCard();
    void moveChosenCard(int by, bool chain);
    void followPointer(float dt);
    void showCardName(std::optional<CardKind> card, engine::Rect beside);
    // Every row from `row` down one lower, the card pushed off the last
    // row into the trash; part of a change already begun.
    void makeRoomAt(int row);
    // DialectPopup.cpp
    // LinkWorkers.cpp, LinkStatus.cpp
    // Runs `work` on a worker thread that keeps this scene alive until the
    // last task it posted has run on the main thread.
    void startWorker(std::atomic<int>& counter, std::function<void(engine::RefPtr<FieldScene>)> work);
    void post(std::function<void()> task);
    void whenLinkFree(std::function<void()> action);
    bool linkSelectable();
    void startQuietRefresh();

    engine::RefPtr<SaveData> document;
    engine::Size layoutSize{1024, 768};
    FieldScrollView* fieldView = nullptr;
    FieldScrollView* paletteView = nullptr;
    engine::LayerColor* paletteBackground = nullptr;
    engine::Sprite* trashIcon = nullptr;
    engine::Button* playButton = nullptr;
    engine::Button* stopButton = nullptr;
    engine::Button* dialectButton = nullptr;
    engine::Button* saveButton = nullptr;
    engine::Button* settingsButton = nullptr;
    engine::Sprite* menuUpButton = nullptr;
    engine::Sprite* menuDownButton = nullptr;
    engine::Node* settingsBar = nullptr;
    engine::Button* reloadIcon = nullptr;
    engine::Button* paceButton = nullptr;  // the hare (fast typing) or the tortoise
    // What stands in the right-hand column, which a loose card keeps clear of.
    std::vector<engine::Node*> rightColumn;
    // Undo and redo (FieldHistoryControls.cpp).
    engine::Button* undoButton = nullptr;
    engine::Button* redoButton = nullptr;
    engine::RefPtr<engine::EventListener> keyListener;
    // Zoom out, zoom in, full size (FieldZoomControls.cpp).
    engine::Button* zoomOutButton = nullptr;
    engine::Button* zoomInButton = nullptr;
    engine::Button* zoomFullButton = nullptr;

    // The simulated board: the link's opener reads the board from the slot
    // on the send worker; the scene runs it each frame on the engine's clock.
    struct SimulatorSlot;
    void setUpSimulator();
    void prepareSimulator(const FieldSnapshot& snapshot);
    void runSimulator(float dt);
    void lightRow(int row);
    std::shared_ptr<SimulatorSlot> simulatorSlot;
    std::vector<engine::Sprite*> rowPlates;  // the numbered plates, lit with their row
    BoardPanel* boardPanel = nullptr;
    std::map<int, int> simulatedLineRows;  // the sent program's lines -> rows
    int glowingRow = -1;
    double boardMs = 0;
    bool sendingToSimulator = false;
    engine::Button* portField = nullptr;
    engine::Label* statusLabel = nullptr;
    engine::Button* copyrightButton = nullptr;
    std::array<engine::RefPtr<engine::Button>, 3> cardSetTabs;
    bool settingsBarShown = false;
    engine::LayerColor* stoppingOverlay = nullptr;
    engine::RefPtr<engine::EventListener> stoppingListener;
    // The sending overlay; tasks of a transfer name the overlay they were
    // started with and do nothing once it has closed.
    engine::LayerColor* sendingOverlay = nullptr;
    engine::Button* sendingStopButton = nullptr;
    engine::Sprite* sendingSpinner = nullptr;
    engine::Label* typedTextLabel = nullptr;
    engine::Label* sendingOutcomeLabel = nullptr;
    bool typedAfterCr = false;
    // The finished overlay over the simulated board closes by itself only
    // when there is nothing to read on it.
    bool sendingOutcomeToRead = false;
    std::vector<engine::RefPtr<engine::EventListener>> sendingListeners;
    int sendingOverlayId = 0;
    // The cancel flag of the transfer running now; each has its own.
    std::shared_ptr<std::atomic<bool>> transferCancel;
    // Send and stop workers still running; play and stop wait for them.
    std::atomic<int> linkWorkers{0};
    std::function<void()> deferredLinkAction;
    PacingClock* pacingClock = nullptr;
    // Scans and quiet refreshes still running.
    std::atomic<int> scanWorkers{0};
    std::atomic<bool> quietRefreshRunning{false};
    engine::Layer* portListPopup = nullptr;
    std::vector<engine::RefPtr<engine::Button>> portListRows;
    engine::RefPtr<engine::EventListener> portListPopupListener;
    std::vector<engine::RefPtr<engine::Label>> portListLabels;
    std::function<void()> leaveHandler;
    std::function<bool()> linkBusyCheck;
    bool leaving = false;
    // Leaving a program whose save failed asks first; the answer "leave" holds.
    void askBeforeLeavingUnsaved();
    bool mustAskBeforeLeaving() const;
    // The window closed while a send or stop runs: stop and close, or keep
    // sending and close when it has ended.
    void askBeforeClosingWhileSending(std::function<void()> quit);
    engine::Node* leaveQuestion = nullptr;
    bool leaveUnsaved = false;
    // Set while the window's close button waits for the answer to leaving unsaved.
    std::function<void()> quitWhenLeft;

    // The board's words (BoardWords.cpp).
    void setUpBoardWords();
    void showBoardError(const BoardError& error);
    // What waits for the sending overlay to close: the real board's screen,
    // the note of its error.
    void showBoardWordsIfClear();
    PrintedLines boardLines;
    std::vector<std::string> boardScreenLines;  // a real board's, oldest first
    bool boardHeardSinceStart = false;          // the running program has printed something
    bool listeningToProgram = false;
    int listenedDialect = 0;
    std::map<int, int> listenedLineRows;
    std::optional<BoardError> boardError;  // the first error the running program met
    int errorRow = -1;
    // Shown once the sending overlay has gone: a note not yet read, a screen
    // with new words.
    bool boardNotePending = false, boardScreenPending = false;
    BoardNote* boardNote = nullptr;
    BoardScreenPanel* boardScreenPanel = nullptr;

    // The connection check (DoctorView.cpp).
    void showDoctorLines(int run, const std::vector<DoctorLine>& lines);
    void layOutDoctorReport();
    void scrollDoctorReport(float notches);
    engine::Button* doctorButton = nullptr;
    engine::LayerColor* doctorLayer = nullptr;
    engine::RefPtr<engine::EventListener> doctorListener;
    FieldScrollView* doctorScroll = nullptr;
    engine::Label* doctorText = nullptr;
    engine::Button* doctorCopyButton = nullptr;
    engine::Button* doctorCloseButton = nullptr;
    std::string doctorCommands;  // every command the report gives, a line each
    int doctorRun = 0;           // the report asked last; an older one is dropped
    std::string doctorRootForTests;

    // The field (FieldGrid.cpp, FieldCards.cpp).
    FieldModel model;
    std::optional<FieldModel> changeBase;
    FieldHistory history;
    std::vector<CardSprite*> rowHeads;
    std::vector<engine::RefPtr<CardSprite>> fieldCards;  // the model's cards' sprites, in its order
    std::vector<engine::RefPtr<CardSprite>> dragGroup;
    CardSprite* heldCard = nullptr;
    CardSprite* placedDragCard = nullptr;  // a card out of the palette, on the field while the finger is down
    // The row the held card sits on until the finger has clearly left it.
    int tearOffRow = -1;
    engine::Vec2 tearOffOffset;
    double pressTime = 0, previousPressTime = 0;
    float movedDistance = 0;
    float pressTravel = 0;  // screen points the finger went before the lift
    int gestureSerial = 0;
    bool still = true;
    bool lifting = false;
    bool overTrash = false;
    // Edge scrolling while a card is dragged.
    engine::RefPtr<CardSprite> edgeScrollCard;
    bool edgeScrollArmed = false;
    float edgeStartBottom = 0, edgeStartTop = 0;
    // While the field scrolls under a held card the card joins no row; it
    // joins the row under it when the scrolling stops or it is let go.
    bool edgeScrolling = false;
    // Where the finger has the held card, whether or not a row holds it.
    engine::Vec2 heldFreePosition;
    std::function<void(const FieldDocument&)> documentSink;

    // The number entry (NumberEntryView.cpp).
    engine::LayerColor* numberEntryLayer = nullptr;
    engine::ui::EditBox* numberEntryBox = nullptr;
    engine::RefPtr<CardSprite> numberEntryCard;
    engine::RefPtr<engine::EventListener> numberEntryListener;
    engine::ui::EditBoxDelegate::EditBoxEndAction lastEntryEndAction{};

    // The palette (Palette.cpp).
    std::vector<engine::RefPtr<CardSprite>> paletteCards;
    std::vector<engine::RefPtr<engine::LabelAtlas>> countLabels;
    std::array<float, 3> rememberedPaletteOffsets{};
    engine::RefPtr<CardSprite> paletteSourceCard;  // the palette card being dragged out
    CardSprite* paletteDragCard = nullptr;          // its copy, on the scene
    engine::Vec2 paletteTouchStart;
    bool decided = false;

    // Keyboard play (FieldKeys.cpp).
    std::string keyFocus = "palette";
    CardKind chosenCard;
    std::array<int, 3> chosenInSet{};  // the card chosen last in each set
    int chosenRow = 0;
    engine::FocusRing* focusRing = nullptr;
    engine::FocusRing* rowMarker = nullptr;
    // The ring shows from the first frame and after any key; a touch hides
    // it until the next key.
    bool keysInUse() const;
    // What a popup or report over the editor has chosen, and which one.
    int coveringChoice = 0;
    const engine::Node* coveringOwner = nullptr;
    engine::Node* cardNameTag = nullptr;
    engine::Label* cardNameLabel = nullptr;
    engine::LayerColor* cardNameBack = nullptr;
    float cardNameWrap = 0;
    // The pointer resting over a card shows its name.
    engine::Vec2 pointerAt;
    bool pointerIn = false;
    float pointerStill = 0;
    std::optional<CardKind> hoveredCard;
    engine::Rect hoveredBox;

    // The dialect choice (DialectPopup.cpp).
    engine::Layer* dialectPopup = nullptr;
    std::vector<engine::RefPtr<engine::Button>> popupItems;
    engine::RefPtr<engine::EventListener> popupListener;
};
