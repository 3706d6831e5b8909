// Taking changes of the field back and doing them again: two controls below
// the home control, and Control+Z, Control+Shift+Z and Control+Y.
#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "field/FieldScene.h"

using namespace engine;

namespace {
// Big enough for a child's finger; dimmed when there is nothing to take back.
const float kHistoryButtonSize = 66;
const float kHistoryGap = 4;
} // namespace

void FieldScene::buildHistoryControls() {
    // Side by side between the home control and the play panel, in the
    // right-hand column, where no row reaches.
    const float y = layoutSize.height - 96 - 8 - kHistoryButtonSize / 2;
    const float redoX = layoutSize.width - 2 - kHistoryButtonSize / 2;
    const float undoX = redoX - kHistoryButtonSize - kHistoryGap;
    undoButton = button("res/r_undo.png");
    redoButton = button("res/r_redo.png");
    for (auto [button, x, name] : {std::tuple{undoButton, undoX, "undo"}, std::tuple{redoButton, redoX, "redo"}}) {
        const Size s = button->getContentSize();
        if (s.width > 0) button->setScale(kHistoryButtonSize / s.width);
        button->setPosition(x, y);
        button->setName(name);
        addChild(button);
    }
    refreshHistoryControls();
}

void FieldScene::refreshHistoryControls() {
    if (!undoButton || !redoButton) return;
    undoButton->setOpacity(canUndo() ? 255 : kUnavailableOpacity);
    redoButton->setOpacity(canRedo() ? 255 : kUnavailableOpacity);
}

void FieldScene::showHistoryControls(bool shown) {
    // They give way to the trash while a card is dragged.
    if (undoButton) undoButton->setVisible(shown);
    if (redoButton) redoButton->setVisible(shown);
}

void FieldScene::addHistoryListeners() {
    undoButton->setAction([this] { undo(); });
    redoButton->setAction([this] { redo(); });
    auto* keys = EventListenerKeyboard::create();
    keys->onKeyPressed = [this](EventKeyboard::KeyCode key, EventKeyboard* event) {
        using Key = EventKeyboard::KeyCode;
        // One step a press: a child leaning on the keys takes back no more.
        if (!event->isControlDown() || event->isRepeat()) return;
        if (key == Key::KEY_Z && !event->isShiftDown()) undo();
        else if (key == Key::KEY_Y || (key == Key::KEY_Z && event->isShiftDown())) redo();
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(keys, this);
    keyListener = keys;
}
