#pragma once
#include <functional>
// Custom events the application sends to its scenes.

// Dispatched on return to the foreground; spelled as the scenes listen for it.
inline constexpr const char* kEnterForegroundEvent = "CORVINA_EVENT_ENTER_FORGROUND";

// Dispatched once as the window closes, while the running scene still stands.
inline constexpr const char* kWillQuitEvent = "CORVINA_EVENT_WILL_QUIT";

// Dispatched when the window is about to close, while it can still stay
// open; its user data is a QuitRequest. A scene that must ask first clears
// `allowed`, and calls `quitAnyway` once the user has chosen to go.
inline constexpr const char* kQuitRequestedEvent = "CORVINA_EVENT_QUIT_REQUESTED";

struct QuitRequest {
    bool allowed = true;
    std::function<void()> quitAnyway;
};
