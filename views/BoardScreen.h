#pragma once
// The board's screen as the board shows it: white text in its own 8-dot
// font on black, long lines wrapped at 32 columns, the latest rows in view.
// The simulated board's panel and the real board's screen both show one.
#include <string>
#include <vector>

#include "engine/core/EventListener.h"
#include "engine/core/Node.h"

namespace engine {
class Label;
}

// Touches that land on `node` while it is shown stay on it, off the cards
// and rows under it; the listener lives as long as the node.
engine::RefPtr<engine::EventListenerTouchOneByOne> keepTouchesOn(engine::Node* node);

class BoardScreen : public engine::Node {
public:
    static constexpr float kWidth = 300, kHeight = 120;
    static constexpr int kColumns = 32, kRows = 6;

    // Anchored at its middle.
    static BoardScreen* create();
    bool init() override;

    // The board's last lines, oldest first.
    void show(const std::vector<std::string>& lines);
    std::string text() const;
    engine::Label* getLabel() const { return _label; }

protected:
    BoardScreen() = default;

private:
    engine::Label* _label = nullptr;
};

// A real board's screen on its own, framed as the simulated board's panel
// is: the editor hears only what the board prints, so it draws no LED,
// lamps or car it cannot see.
class BoardScreenPanel : public engine::Node {
public:
    static constexpr float kWidth = 330, kHeight = 200;
    // Anchored at its lower left corner; `title` says whose screen it is.
    static BoardScreenPanel* create(const std::string& title);
    bool init(const std::string& title);

    BoardScreen* getScreen() const { return _screen; }

protected:
    BoardScreenPanel() = default;

private:
    BoardScreen* _screen = nullptr;
    engine::RefPtr<engine::EventListenerTouchOneByOne> _touchListener;
};
