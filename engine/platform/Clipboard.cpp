#include "engine/platform/Clipboard.h"

#include <SDL.h>

namespace engine {

bool setClipboardText(const std::string& text) {
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
    return SDL_SetClipboardText(text.c_str()) == 0;
}

} // namespace engine
