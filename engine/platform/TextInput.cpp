#include "engine/platform/TextInput.h"

#include <SDL.h>

#include "engine/platform/EditBox.h"
#include "engine/platform/GLViewImpl.h"

namespace engine {

namespace {
ui::EditBox* s_focused = nullptr;

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
} // namespace

ui::EditBox* TextInput::getFocused() { return s_focused; }
void TextInput::setFocused(ui::EditBox* box) { s_focused = box; }

size_t utf8Length(const std::string& text) {
    size_t n = 0;
    for (char c : text)
        if (!isContinuation(c)) ++n;
    return n;
}

std::string utf8Prefix(const std::string& text, size_t chars) {
    size_t i = 0, seen = 0;
    while (i < text.size()) {
        if (!isContinuation(text[i])) {
            if (seen == chars) break;
            ++seen;
        }
        ++i;
    }
    return text.substr(0, i);
}

bool utf8PopBack(std::string& text) {
    if (text.empty()) return false;
    size_t i = text.size() - 1;
    while (i > 0 && isContinuation(text[i])) --i;
    text.erase(i);
    return true;
}

bool handleTextInputEvent(const SDL_Event& event) {
    ui::EditBox* box = s_focused;
    switch (event.type) {
    case SDL_TEXTINPUT:
        if (!box) return false;
        box->insertText(event.text.text);
        return true;
    case SDL_TEXTEDITING:
        if (!box) return false;
        box->setComposition(event.edit.text);
        return true;
    case SDL_TEXTEDITING_EXT: {
        // Long compositions come in memory the receiver must free.
        std::string text = event.editExt.text ? event.editExt.text : "";
        SDL_free(event.editExt.text);
        if (box) box->setComposition(text);
        return true;
    }
    case SDL_KEYDOWN:
        if (!box) return false;
        box->handleKeyDown(event.key.keysym.sym, event.key.keysym.mod);
        return true;
    case SDL_KEYUP:
        // Keys typed into a box are not shortcuts of the scene behind it.
        return box != nullptr;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_FINGERDOWN: {
        GLViewImpl* view = GLViewImpl::getRunning();
        if (!box || !view) return false;
        if (event.type == SDL_MOUSEBUTTONDOWN && event.button.which == SDL_TOUCH_MOUSEID) return false;
        Vec2 point;
        if (event.type == SDL_MOUSEBUTTONDOWN) {
            point = view->windowToDesign(static_cast<float>(event.button.x), static_cast<float>(event.button.y));
        } else {
            Size window = view->getWindowSize();
            point = view->windowToDesign(event.tfinger.x * window.width, event.tfinger.y * window.height);
        }
        if (!box->containsWorldPoint(point)) box->closeKeyboard();
        return false;
    }
    default:
        return false;
    }
}

} // namespace engine
