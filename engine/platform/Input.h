#pragma once
// Turns SDL's pointer, wheel and text events into the engine's events.
union SDL_Event;

namespace engine {

// True when the event was an input event and was handled.
bool handleInputEvent(const SDL_Event& event);

} // namespace engine
