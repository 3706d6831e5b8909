#pragma once
// The view of one card, in the palette and on the field: its picture, and a
// flip control in the lower right corner that turns it over to show the
// card's code in the current dialect.
#include <string>

#include "engine/core/EventListener.h"
#include "engine/core/Node.h"
#include "engine/core/Sprite.h"

class CardSprite;
namespace engine {
class Button;
}

// Where a card ties to a row: a point and a direction point in the card's
// own coordinates, which the field's snapping compares on the screen.
struct CardConnector {
    engine::Vec2 point;
    engine::Vec2 direction;
};

class CardSprite : public engine::Node {
public:
    static constexpr float kFlipHalfTime = 0.2f;
    // The flip control's touch area across (44 points of it on the card), and how far a touch on it may
    // travel and still be a tap, in points at full size.
    static constexpr float kFlipTouchSize = 52;
    static constexpr float kFlipTravel = 10;

    // Null when the card cannot be made. Without a code path the card has no
    // flip control and never turns over.
    static CardSprite* create(const std::string& picturePath, const std::string& codePath);
    static CardSprite* create(const std::string& picturePath);
    bool init(const std::string& picturePath, const std::string& codePath);

    virtual void setCodeImage(const std::string& path);
    virtual void setNumberText(const std::string& text);
    // Half way through every turn, after the picture changed.
    virtual void onFlipped();

    void setOpacity(uint8_t opacity) override;
    void setColor(const engine::Color3B& color) override;

    // Turns the card over; ignored while a turn is running.
    void flip();

    const std::string& getNumberText() const { return numberText; }
    int getCardIndex() const { return cardIndex; }
    int getCardSet() const { return cardSet; }
    void setCardKind(int set, int index) {
        cardSet = set;
        cardIndex = index;
    }
    bool isShowingCode() const { return showingCode; }
    bool isFlipping() const { return flipping; }
    const std::string& getPicturePath() const { return picturePath; }
    const std::string& getCodePath() const { return codePath; }
    engine::Sprite* getImageSprite() const { return imageSprite; }
    // Null on a card made without a code path.
    engine::Button* getFlipControl() const { return flipControl; }

    engine::EventListenerTouchOneByOne* getTouchListener() const { return touchListener.get(); }
    // The drag listener the field attaches; the old one is released.
    void setTouchListener(engine::EventListenerTouchOneByOne* listener) { touchListener = listener; }
    // Whether that listener keeps the card's touch from what lies behind it.
    void setSwallowTouches(bool on) {
        if (touchListener) touchListener->setSwallowTouches(on);
    }

    // The card of the field model this sprite shows; 0 for none.
    int getFieldId() const { return fieldId; }
    void setFieldId(int id) { fieldId = id; }

    CardConnector connectors[2];

protected:
    CardSprite() = default;

    engine::RefPtr<engine::EventListenerTouchOneByOne> touchListener;
    std::string numberText;
    int cardIndex = 0;
    int cardSet = 0;
    int fieldId = 0;
    engine::Sprite* imageSprite = nullptr;  // a child: the card holds it
    bool showingCode = false;
    bool flipping = false;
    std::string picturePath;
    std::string codePath;

private:
    engine::Button* flipControl = nullptr;  // a child
};
