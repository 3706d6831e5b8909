#pragma once
// A blocking message to the user, as the engine family's free function.
// SDL's message box needs a display: without one the message goes to
// stderr, so it is never lost. Tests install a handler that records.
#include <functional>
#include <string>

namespace engine {

void MessageBox(const char* msg, const char* title);

using MessageBoxHandler = std::function<void(const std::string& message, const std::string& title)>;
// Replaces the SDL message box; null brings it back.
void setMessageBoxHandler(MessageBoxHandler handler);

} // namespace engine
