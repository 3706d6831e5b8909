#include "views/BoardScreen.h"

#include <algorithm>

#include "engine/core/Director.h"
#include "engine/core/EventDispatcher.h"
#include "engine/core/Sprite.h"
#include "engine/core/Touch.h"
#include "engine/platform/Label.h"

using namespace engine;

namespace {
constexpr float kInset = 12;
constexpr float kFontSize = 16;  // the board's 8-dot font at 2 points a dot: 32 columns in 256 points

// Code points of a line cut into rows of the screen's width, as the board
// wraps a long line.
void appendRows(const std::string& line, std::vector<std::string>& rows) {
    std::string row;
    int columns = 0;
    for (size_t i = 0; i < line.size();) {
        size_t len = 1;
        const unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0xF0) len = 4;
        else if (c >= 0xE0) len = 3;
        else if (c >= 0xC0) len = 2;
        len = std::min(len, line.size() - i);
        if (columns == BoardScreen::kColumns) {
            rows.push_back(row);
            row.clear();
            columns = 0;
        }
        row.append(line, i, len);
        ++columns;
        i += len;
    }
    rows.push_back(row);
}
} // namespace

RefPtr<EventListenerTouchOneByOne> keepTouchesOn(Node* node) {
    RefPtr<EventListenerTouchOneByOne> listener(EventListenerTouchOneByOne::create());
    listener->setSwallowTouches(true);
    listener->onTouchBegan = [node](Touch* touch, Event*) {
        for (const Node* n = node; n; n = n->getParent())
            if (!n->isVisible()) return false;
        return node->getBoundingBoxInWorld().containsPoint(touch->getLocation());
    };
    Director::getInstance()->getEventDispatcher()->addEventListenerWithSceneGraphPriority(listener.get(), node);
    return listener;
}

BoardScreen* BoardScreen::create() {
    return initAndAutorelease(new BoardScreen(), [](BoardScreen* s) { return s->init(); });
}

bool BoardScreen::init() {
    setContentSize({kWidth, kHeight});
    setAnchorPoint(Vec2::ANCHOR_MIDDLE);
    Sprite* back = Sprite::create("res/r_sim_screen.png");
    if (!back) back = Sprite::create();
    back->setPosition(kWidth / 2, kHeight / 2);
    addChild(back);
    // The board's own font; a monospaced system font when it is missing.
    const Size area(kWidth - 2 * kInset, kHeight - 2 * kInset);
    _label = Label::createWithTTF("", "fonts/IchigoJam-1.2.ttf", kFontSize, area);
    if (!_label) _label = Label::createWithSystemFont("", "monospace", 13, area);
    _label->setTextColor(Color4B::WHITE);
    _label->setAnchorPoint({0, 1});
    _label->setPosition(kInset, kHeight - kInset);
    addChild(_label);
    return true;
}

void BoardScreen::show(const std::vector<std::string>& lines) {
    std::vector<std::string> rows;
    for (const std::string& line : lines) appendRows(line, rows);
    const size_t first = rows.size() > kRows ? rows.size() - kRows : 0;
    std::string text;
    for (size_t i = first; i < rows.size(); ++i) {
        if (i > first) text += '\n';
        text += rows[i];
    }
    if (text != _label->getString()) _label->setString(text);
}

std::string BoardScreen::text() const { return _label->getString(); }

BoardScreenPanel* BoardScreenPanel::create(const std::string& title) {
    return initAndAutorelease(new BoardScreenPanel(), [&](BoardScreenPanel* p) { return p->init(title); });
}

bool BoardScreenPanel::init(const std::string& title) {
    setContentSize({kWidth, kHeight});
    Sprite* back = Sprite::create("res/r_board_screen_panel.png");
    if (!back) back = Sprite::create();
    back->setPosition(kWidth / 2, kHeight / 2);
    addChild(back);
    Label* heading = Label::createWithSystemFont(title, "HiraKakuProN-W6", 20, Size(kWidth - 110, 40),
                                                 TextHAlignment::LEFT, TextVAlignment::CENTER);
    heading->setTextColor(Color4B(30, 30, 30, 255));
    heading->setAnchorPoint({0, 0.5f});
    heading->setPosition(22, kHeight - 36);
    addChild(heading);
    _screen = BoardScreen::create();
    _screen->setPosition(kWidth / 2, 18 + BoardScreen::kHeight / 2);
    addChild(_screen);
    _touchListener = keepTouchesOn(this);
    return true;
}
