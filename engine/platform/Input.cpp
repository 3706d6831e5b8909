#include "engine/platform/Input.h"

#include <SDL.h>

namespace engine {

bool handleInputEvent(const SDL_Event&) { return false; }

} // namespace engine
