// Edit boxes typed into through SDL's text events, as the main loop hands
// them over, and the message box's replaceable handler.
#include <cstring>
#include <vector>

#include "engine/core/ClippingRectangleNode.h"
#include "engine/core/EventDispatcher.h"
#include "engine/platform/EditBox.h"
#include "engine/platform/MessageBox.h"
#include "engine/platform/TextInput.h"
#include "support/HeadlessTest.h"
#include "support/TextEvents.h"

using namespace engine;
using engine::ui::EditBox;
using engine::ui::EditBoxDelegate;

namespace {

class Recorder : public EditBoxDelegate {
public:
    void editBoxEditingDidBegin(EditBox* box) override { log.push_back(name(box) + "begin"); }
    void editBoxTextChanged(EditBox* box, const std::string& text) override {
        log.push_back(name(box) + "changed:" + text);
    }
    void editBoxEditingDidEnd(EditBox* box) override { log.push_back(name(box) + "didEnd"); }
    void editBoxReturn(EditBox* box) override { log.push_back(name(box) + "return"); }
    void editBoxEditingDidEndWithAction(EditBox* box, EditBoxEndAction action) override {
        log.push_back(name(box) + "end:" + std::to_string(static_cast<int>(action)));
    }
    std::string name(EditBox* box) const { return box->getName().empty() ? "" : box->getName() + "."; }
    std::vector<std::string> log;
};

const std::string kEndReturn = "end:" + std::to_string(static_cast<int>(EditBoxDelegate::EditBoxEndAction::RETURN));
const std::string kEndUnknown = "end:" + std::to_string(static_cast<int>(EditBoxDelegate::EditBoxEndAction::UNKNOWN));

using testsupport::composing;
using testsupport::key;
using testsupport::textInput;

SDL_Event pressAt(int x, int y) {
    SDL_Event e{};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x;
    e.button.y = y;
    return e;
}

class EditBoxTest : public testsupport::HeadlessTest {
protected:
    // A 300 x 50 box in the middle of a grey scene, typing in black.
    EditBox* makeBox(const std::string& name = "", Vec2 at = Vec2(512, 384)) {
        if (!scene) {
            scene = runScene();
            scene->addChild(LayerColor::create(Color4B(90, 90, 90, 255)));
        }
        EditBox* box = EditBox::create(Size(300, 50), "");
        box->setName(name);
        box->setFont("Helvetica", 24);
        box->setFontColor(Color3B::BLACK);
        box->setMaxLength(20);
        box->setInputMode(EditBox::InputMode::SINGLE_LINE);
        box->setReturnType(EditBox::KeyboardReturnType::DONE);
        box->setTextHorizontalAlignment(TextHAlignment::CENTER);
        box->setDelegate(&recorder);
        box->setPosition(at);
        scene->addChild(box);
        return box;
    }
    // Pixels of the composition's colour inside the window.
    int compositionPixels() {
        step();
        testsupport::Frame f = grab();
        int n = 0;
        for (int y = 0; y < f.height(); ++y)
            for (int x = 0; x < f.width(); ++x) {
                SDL_Color c = f.at(x, y);
                n += std::abs(c.r - 60) < 12 && std::abs(c.g - 110) < 12 && std::abs(c.b - 230) < 12 ? 1 : 0;
            }
        return n;
    }
    bool send(const SDL_Event& e) { return handleTextInputEvent(e); }

    // Declared first so it outlives the boxes that point at it.
    Recorder recorder;
    Scene* scene = nullptr;
};

} // namespace

TEST_F(EditBoxTest, CompositionShowsUntilCommittedThenReturnEndsEditing) {
    EditBox* box = makeBox();
    box->setPlaceHolder("なまえ");
    EXPECT_FALSE(send(textInput("x"))) << "no box is focused yet";
    box->openKeyboard();
    EXPECT_TRUE(box->isEditing());
    EXPECT_EQ(TextInput::getFocused(), box);
    EXPECT_EQ(compositionPixels(), 0);

    EXPECT_TRUE(send(composing("あたら")));
    EXPECT_EQ(box->getCompositionText(), "あたら");
    EXPECT_STREQ(box->getText(), "") << "composing is not typing yet";
    EXPECT_FALSE(box->getPlaceholderLabel()->isVisible());
    EXPECT_GT(compositionPixels(), 50) << "the composition is drawn in its own colour";

    EXPECT_TRUE(send(textInput("あたらしい")));
    EXPECT_TRUE(send(composing("")));
    EXPECT_STREQ(box->getText(), "あたらしい");
    EXPECT_EQ(box->getTextLabel()->getString(), "あたらしい");
    EXPECT_EQ(compositionPixels(), 0);
    EXPECT_TRUE(send(textInput(" LED")));
    EXPECT_TRUE(send(key(SDLK_RETURN)));
    EXPECT_FALSE(box->isEditing());
    EXPECT_EQ(TextInput::getFocused(), nullptr);
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"begin", "changed:あたらしい", "changed:あたらしい LED", kEndReturn,
                                                      "didEnd", "return"}));
    EXPECT_FALSE(send(textInput("more")));
    EXPECT_STREQ(box->getText(), "あたらしい LED");
    // Centred: the text's middle is the box's middle.
    Label* shown = box->getTextLabel();
    EXPECT_NEAR(shown->getPositionX() + shown->getContentSize().width / 2, 150, 0.5);
}

TEST_F(EditBoxTest, MaxLengthCountsCharactersAndBackspaceRemovesWholeCharacters) {
    EditBox* box = makeBox();
    box->setMaxLength(5);
    box->openKeyboard();
    send(textInput("あいう"));
    send(textInput("えおか"));
    EXPECT_STREQ(box->getText(), "あいうえお") << "five characters, fifteen bytes";
    size_t changes = recorder.log.size();
    send(textInput("き"));
    EXPECT_STREQ(box->getText(), "あいうえお");
    EXPECT_EQ(recorder.log.size(), changes) << "nothing changed, nothing reported";
    send(key(SDLK_BACKSPACE));
    EXPECT_STREQ(box->getText(), "あいうえ");
    EXPECT_EQ(recorder.log.back(), "changed:あいうえ");
    // Backspace while composing belongs to the input method.
    send(composing("か"));
    send(key(SDLK_BACKSPACE));
    EXPECT_STREQ(box->getText(), "あいうえ");
    send(textInput("かきく"));
    EXPECT_STREQ(box->getText(), "あいうえか");
    for (int i = 0; i < 7; ++i) send(key(SDLK_BACKSPACE));
    EXPECT_STREQ(box->getText(), "");
}

TEST_F(EditBoxTest, OneBoxTypesAtATimeAndEditingEndsWhenFocusGoesElsewhere) {
    EditBox* first = makeBox("first", Vec2(512, 500));
    EditBox* second = makeBox("second", Vec2(512, 300));
    first->openKeyboard();
    send(textInput("A"));
    second->openKeyboard();
    EXPECT_FALSE(first->isEditing());
    EXPECT_EQ(TextInput::getFocused(), second);
    send(textInput("B"));
    EXPECT_STREQ(first->getText(), "A");
    EXPECT_STREQ(second->getText(), "B");
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"first.begin", "first.changed:A", "first." + kEndUnknown,
                                                      "first.didEnd", "first.return", "second.begin",
                                                      "second.changed:B"}));
    recorder.log.clear();

    // A press on the box itself keeps it; one elsewhere ends editing and
    // goes on to the scene.
    EXPECT_FALSE(send(pressAt(512, 768 - 300)));
    EXPECT_TRUE(second->isEditing());
    EXPECT_FALSE(send(pressAt(100, 100)));
    EXPECT_FALSE(second->isEditing());
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"second." + kEndUnknown, "second.didEnd", "second.return"}));
    recorder.log.clear();

    // A tap on a box opens it; Escape keeps the text.
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    dispatcher->dispatchTouch(EventTouch::EventCode::BEGAN, 0, Vec2(450, 500));
    dispatcher->dispatchTouch(EventTouch::EventCode::ENDED, 0, Vec2(452, 500));
    EXPECT_TRUE(first->isEditing());
    send(textInput("Z"));
    send(key(SDLK_ESCAPE));
    EXPECT_STREQ(first->getText(), "AZ");
    EXPECT_FALSE(first->isEditing());
    recorder.log.clear();

    // Leaving the scene ends editing, and a box that dies lets go of the typing.
    second->openKeyboard();
    second->removeFromParent();
    EXPECT_EQ(TextInput::getFocused(), nullptr);
    EXPECT_EQ(recorder.log.back(), "second.return");
    {
        RefPtr<EditBox> loose(EditBox::create(Size(100, 40), ""));
        loose->openKeyboard();
        EXPECT_EQ(TextInput::getFocused(), loose.get());
    }
    step();  // the autorelease pool lets the loose box go
    EXPECT_EQ(TextInput::getFocused(), nullptr);
    EXPECT_FALSE(send(textInput("lost")));
}

TEST_F(EditBoxTest, NumberBoxesTakeFullWidthDigitsFromAnInputMethod) {
    EditBox* digits = makeBox("digits", Vec2(512, 500));
    digits->setInputMode(EditBox::InputMode::NUMERIC);
    digits->openKeyboard();
    send(textInput("\xEF\xBC\x91\xEF\xBC\x92"));  // full-width 1 2, as a Japanese input method commits them
    send(textInput("3a\xEF\xBC\x8E" "4"));              // a full-width full stop has no place in whole numbers
    EXPECT_STREQ(digits->getText(), "1234");

    EditBox* decimal = makeBox("decimal", Vec2(512, 300));
    decimal->setInputMode(EditBox::InputMode::DECIMAL);
    decimal->openKeyboard();
    send(textInput("\xEF\xBC\x90\xEF\xBC\x8E\xEF\xBC\x95"));  // full-width 0.5
    send(textInput("\xE3\x81\x82"));                        // a kana: dropped whole, not byte by byte
    EXPECT_STREQ(decimal->getText(), "0.5");

    EditBox* words = makeBox("words", Vec2(512, 100));
    words->openKeyboard();
    send(textInput("\xEF\xBC\x91\xE3\x81\x82"));
    EXPECT_STREQ(words->getText(), "\xEF\xBC\x91\xE3\x81\x82") << "text boxes keep what was typed";
}

TEST_F(EditBoxTest, ABoxScrolledOutOfItsClipTakesNoTap) {
    makeBox();  // the scene
    auto* window = ClippingRectangleNode::create(Rect(0, 0, 400, 200));
    window->setPosition(100, 100);  // shows (100, 100) to (500, 300)
    scene->addChild(window);
    auto* content = Node::create();
    window->addChild(content);
    EditBox* box = EditBox::create(Size(300, 50), "");
    box->setAnchorPoint(Vec2::ZERO);
    box->setPosition(50, 50);  // at (150, 150) to (450, 200): inside
    content->addChild(box);
    EventDispatcher* dispatcher = Director::getInstance()->getEventDispatcher();
    auto tap = [&](Vec2 at) {
        dispatcher->dispatchTouch(EventTouch::EventCode::BEGAN, 0, at);
        dispatcher->dispatchTouch(EventTouch::EventCode::ENDED, 0, at);
    };
    EXPECT_TRUE(box->isVisibleThroughClipping(Vec2(200, 175)));
    tap(Vec2(200, 175));
    EXPECT_TRUE(box->isEditing());
    box->closeKeyboard();

    content->setPosition(0, 200);  // scrolled: the box is at (150, 350), above the window
    EXPECT_FALSE(box->isVisibleThroughClipping(Vec2(200, 375)));
    tap(Vec2(200, 375));
    EXPECT_FALSE(box->isEditing()) << "tapped where it cannot be seen";

    // Half out: only the part inside the window takes taps.
    content->setPosition(0, 120);  // the box spans y 270 to 320, the window ends at 300
    tap(Vec2(200, 310));
    EXPECT_FALSE(box->isEditing());
    tap(Vec2(200, 290));
    EXPECT_TRUE(box->isEditing());
    box->closeKeyboard();

    // A clip inside a clip: both windows must show the point.
    auto* inner = ClippingRectangleNode::create(Rect(0, 0, 100, 1000));
    content->setPosition(0, 0);
    box->retain();
    box->removeFromParent();
    inner->addChild(box);
    box->release();
    content->addChild(inner);  // inner shows x 100 to 200 of the scene
    EXPECT_TRUE(box->isVisibleThroughClipping(Vec2(180, 175)));
    EXPECT_FALSE(box->isVisibleThroughClipping(Vec2(300, 175)));
    tap(Vec2(300, 175));
    EXPECT_FALSE(box->isEditing());
    window->setClippingEnabled(false);
    inner->setClippingEnabled(false);
    EXPECT_TRUE(box->isVisibleThroughClipping(Vec2(300, 175)));
}

TEST(MessageBoxTest, AHandlerReceivesTheMessageAndWithoutADisplayItGoesToStderr) {
    std::vector<std::pair<std::string, std::string>> shown;
    setMessageBoxHandler([&](const std::string& message, const std::string& title) { shown.emplace_back(message, title); });
    MessageBox("書き込めませんでした", "エラー");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], std::make_pair(std::string("書き込めませんでした"), std::string("エラー")));
    setMessageBoxHandler(nullptr);

    testsupport::headlessView();
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "dummy") != 0) GTEST_SKIP() << "a real display would block on the box";
    testing::internal::CaptureStderr();
    MessageBox("port busy", "Serial");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("port busy"), std::string::npos);
    EXPECT_NE(err.find("Serial"), std::string::npos);
}
