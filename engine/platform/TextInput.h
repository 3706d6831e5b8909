#pragma once
// Typing goes to one edit box at a time: SDL's committed text, the input
// method's composition and the editing keys reach the focused box here.
#include <cstddef>
#include <string>

union SDL_Event;

namespace engine {

namespace ui {
class EditBox;
}

// True when the event was typing for the focused edit box and needs no
// further handling. A press outside the focused box ends its editing; the
// press itself is not consumed and goes on to the touch listeners.
bool handleTextInputEvent(const SDL_Event& event);

class TextInput {
public:
    // The edit box being typed into, or null.
    static ui::EditBox* getFocused();

private:
    friend class ui::EditBox;
    static void setFocused(ui::EditBox* box);
};

// UTF-8 by characters rather than bytes.
size_t utf8Length(const std::string& text);
// The first `chars` characters.
std::string utf8Prefix(const std::string& text, size_t chars);
// Removes the last character; false when the text was empty.
bool utf8PopBack(std::string& text);

} // namespace engine
