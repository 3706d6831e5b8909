#pragma once
// A one-line text field typed into with SDL's text input, so an input
// method's composition (Japanese) shows while it is being typed. A tap on
// the box, or openKeyboard(), starts editing; Return, Escape, Tab, a press
// outside the box, another box opening or the box leaving the scene end it.
#include <string>

#include "engine/core/EventListener.h"
#include "engine/core/Node.h"
#include "engine/platform/Label.h"
#include "engine/platform/TextInput.h"

namespace engine {

class LayerColor;
class ClippingRectangleNode;
class Sprite;

namespace ui {

class EditBox;

class EditBoxDelegate {
public:
    // CANCEL: Escape, the typed text to be dropped.
    enum class EditBoxEndAction { UNKNOWN, TAB_TO_NEXT, TAB_TO_PREVIOUS, RETURN, CANCEL };

    virtual ~EditBoxDelegate() = default;
    // Every end of editing, whatever ended it, is told in this order:
    // editBoxEditingDidEndWithAction, editBoxEditingDidEnd, editBoxReturn.
    virtual void editBoxEditingDidBegin(EditBox*) {}
    // Older name of the end of editing.
    virtual void editBoxEditingDidEnd(EditBox*) {}
    // Committed text changed by typing (not by setText, not by composing).
    virtual void editBoxTextChanged(EditBox*, const std::string& /*text*/) {}
    virtual void editBoxReturn(EditBox* editBox) = 0;
    virtual void editBoxEditingDidEndWithAction(EditBox*, EditBoxEndAction) {}
};

class EditBox : public Node {
public:
    enum class InputMode { ANY, EMAIL_ADDRESS, NUMERIC, PHONE_NUMBER, URL, DECIMAL, SINGLE_LINE };
    enum class InputFlag { PASSWORD, SENSITIVE, INITIAL_CAPS_WORD, INITIAL_CAPS_SENTENCE, INITIAL_CAPS_ALL_CHARACTERS,
                           LOWERCASE_ALL_CHARACTERS };
    enum class KeyboardReturnType { DEFAULT, DONE, SEND, SEARCH, GO, NEXT };

    // The background picture is stretched to `size`; with an empty path (or
    // a picture that cannot be loaded) a plain rounded box is drawn.
    static EditBox* create(const Size& size, const std::string& normalImage);

    void setDelegate(EditBoxDelegate* delegate) { _delegate = delegate; }
    EditBoxDelegate* getDelegate() const { return _delegate; }

    void setText(const char* text);
    void setText(const std::string& text) { setText(text.c_str()); }
    const char* getText() const { return _text.c_str(); }
    // What the input method is composing, not yet part of the text.
    const std::string& getCompositionText() const { return _composition; }

    // A family name, or a font file (".ttf"/".otf") found by resource path.
    void setFont(const char* fontName, int fontSize);
    void setFontName(const char* fontName) { setFont(fontName, _fontSize); }
    void setFontSize(int fontSize) { setFont(_fontName.c_str(), fontSize); }
    void setFontColor(const Color3B& color) { setFontColor(Color4B(color, 255)); }
    void setFontColor(const Color4B& color);
    const Color4B& getFontColor() const { return _fontColor; }
    void setPlaceholderFont(const char* fontName, int fontSize);
    void setPlaceholderFontColor(const Color3B& color) { setPlaceholderFontColor(Color4B(color, 255)); }
    void setPlaceholderFontColor(const Color4B& color);
    void setPlaceHolder(const char* text);
    const char* getPlaceHolder() const { return _placeholder.c_str(); }
    // The colour of text still being composed (it is also underlined).
    void setCompositionColor(const Color3B& color);

    // In characters; 0 or less means no limit. Typing stops at the limit;
    // setText is not cut.
    void setMaxLength(int maxLength) { _maxLength = maxLength; }
    int getMaxLength() const { return _maxLength; }
    // ANY lets Return start a new line; the numeric modes keep only the
    // characters of numbers; the others take any text on one line.
    void setInputMode(InputMode mode) { _inputMode = mode; }
    InputMode getInputMode() const { return _inputMode; }
    // PASSWORD shows a dot for every character; other flags are kept only.
    void setInputFlag(InputFlag flag);
    InputFlag getInputFlag() const { return _inputFlag; }
    void setReturnType(KeyboardReturnType type) { _returnType = type; }
    KeyboardReturnType getReturnType() const { return _returnType; }
    void setTextHorizontalAlignment(TextHAlignment alignment);
    TextHAlignment getTextHorizontalAlignment() const { return _alignment; }

    // Starts editing at once: this box takes the typing, the input
    // method's window is placed by the box.
    void openKeyboard();
    // Ends editing as a press elsewhere would (EditBoxEndAction::UNKNOWN).
    void closeKeyboard();
    bool isEditing() const { return _editing; }

    void setContentSize(const Size& size) override;
    void onEnter() override;
    void onExit() override;

    // The shown parts, for tests: the text, the composition and the
    // placeholder labels.
    Label* getTextLabel() const { return _textLabel; }
    Label* getCompositionLabel() const { return _compositionLabel; }
    Label* getPlaceholderLabel() const { return _placeholderLabel; }

    void draw(Renderer* renderer, const AffineTransform& transform) override;

protected:
    EditBox() = default;
    ~EditBox() override;
    bool init(const Size& size, const std::string& normalImage);

private:
    friend bool engine::handleTextInputEvent(const SDL_Event& event);

    // The typing route.
    void insertText(const std::string& committed);
    void setComposition(const std::string& composing);
    void handleKeyDown(int keycode, int modifiers);
    bool containsWorldPoint(const Vec2& point) const;

    void endEditing(EditBoxDelegate::EditBoxEndAction action);
    void registerTouchListener();
    void placeInputMethodWindow();
    Label* makeLabel(const std::string& text, const std::string& font, int size) const;
    void rebuildLabels();
    void refresh();
    std::string filtered(const std::string& text) const;

    EditBoxDelegate* _delegate = nullptr;
    std::string _text, _composition, _placeholder;
    std::string _fontName = "Helvetica", _placeholderFontName = "Helvetica";
    int _fontSize = 20, _placeholderFontSize = 20;
    bool _placeholderFontSet = false;
    Color4B _fontColor = Color4B::WHITE;
    Color4B _placeholderColor{170, 170, 170, 255};
    Color3B _compositionColor{60, 110, 230};
    int _maxLength = -1;
    InputMode _inputMode = InputMode::SINGLE_LINE;
    InputFlag _inputFlag = InputFlag::INITIAL_CAPS_ALL_CHARACTERS;
    KeyboardReturnType _returnType = KeyboardReturnType::DEFAULT;
    TextHAlignment _alignment = TextHAlignment::LEFT;
    bool _editing = false;

    Sprite* _background = nullptr;              // children, held by the tree
    ClippingRectangleNode* _clip = nullptr;
    Label* _textLabel = nullptr;
    Label* _compositionLabel = nullptr;
    Label* _placeholderLabel = nullptr;
    LayerColor* _underline = nullptr;
    LayerColor* _caret = nullptr;
    RefPtr<EventListenerTouchOneByOne> _touchListener;
};

} // namespace ui
} // namespace engine
