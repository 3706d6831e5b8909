#pragma once
// What the board's error means, beside the board: a card edged in the stop
// colour holding one sentence. A tap on it puts it away.
#include <functional>
#include <string>

#include "engine/core/EventListener.h"
#include "engine/core/Node.h"

namespace engine {
class Label;
}

class BoardNote : public engine::Node {
public:
    static constexpr float kWidth = 310, kHeight = 140;
    // Anchored at its lower left corner.
    static BoardNote* create();
    bool init() override;

    void setText(const std::string& text);
    std::string text() const;
    std::function<void()> onTapped;

protected:
    BoardNote() = default;

private:
    engine::Label* _label = nullptr;
    engine::RefPtr<engine::EventListenerTouchOneByOne> _touchListener;
};
