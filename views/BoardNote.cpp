#include "views/BoardNote.h"

#include "engine/core/Sprite.h"
#include "engine/core/Touch.h"
#include "engine/platform/Label.h"
#include "views/BoardScreen.h"

using namespace engine;

BoardNote* BoardNote::create() {
    return initAndAutorelease(new BoardNote(), [](BoardNote* n) { return n->init(); });
}

bool BoardNote::init() {
    setContentSize({kWidth, kHeight});
    Sprite* back = Sprite::create("res/r_board_note.png");
    if (!back) back = Sprite::create();
    back->setPosition(kWidth / 2, kHeight / 2);
    addChild(back);
    // Beside the badge, clear of the rim.
    const Size area(kWidth - 78, kHeight - 24);
    _label = Label::createWithSystemFont("", "HiraKakuProN-W6", 16, area, TextHAlignment::LEFT, TextVAlignment::CENTER);
    _label->setTextColor(Color4B(30, 30, 30, 255));
    _label->setAnchorPoint({0, 0.5f});
    _label->setPosition(62, kHeight / 2 + 2);
    addChild(_label);
    _touchListener = keepTouchesOn(this);
    _touchListener->onTouchEnded = [this](Touch* touch, Event*) {
        if (onTapped && getBoundingBoxInWorld().containsPoint(touch->getLocation())) onTapped();
    };
    return true;
}

void BoardNote::setText(const std::string& text) { _label->setString(text); }

std::string BoardNote::text() const { return _label->getString(); }
