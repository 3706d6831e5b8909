#pragma once
// Turns SDL's pointer and wheel events into the engine's events. The left
// mouse button is touch 0; fingers are touches 1, 2, ... so the two never
// mix. Points are converted from window coordinates to design points.
#include "engine/core/Event.h"
#include "engine/core/Types.h"

union SDL_Event;

namespace engine {

// True when the event was a pointer, wheel or key event and was handled (the
// copies SDL makes of one kind of pointer as the other are dropped). Text
// is left to others: false. Keys typed into an edit box never come here.
bool handleInputEvent(const SDL_Event& event);

// Input in design points without SDL, through the director's dispatcher;
// for tests of what reacts to touches and the wheel. `scrollY` follows
// EventMouse: positive when the wheel turns towards the user.
void injectTouch(EventTouch::EventCode code, int id, const Vec2& designPoint);
void injectKey(EventKeyboard::KeyCode key, bool pressed, bool control = false, bool shift = false,
               bool repeat = false, bool alt = false);
void injectMouseScroll(const Vec2& designPoint, float scrollX, float scrollY);

} // namespace engine
