#pragma once
// SDL's typing events as the main loop hands them over, for tests that type
// into edit boxes.
#include <SDL.h>

#include <cstring>

namespace testsupport {

inline SDL_Event textInput(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, text, sizeof(e.text.text) - 1);
    return e;
}

// What an input method is still composing.
inline SDL_Event composing(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTEDITING;
    std::strncpy(e.edit.text, text, sizeof(e.edit.text) - 1);
    e.edit.start = 0;
    e.edit.length = 0;
    return e;
}

inline SDL_Event key(SDL_Keycode sym) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = sym;
    return e;
}

} // namespace testsupport
