#pragma once
// Custom events the application sends to its scenes.

// Dispatched on return to the foreground; spelled as the scenes listen for it.
inline constexpr const char* kEnterForegroundEvent = "CORVINA_EVENT_ENTER_FORGROUND";

// Dispatched once as the window closes, while the running scene still stands.
inline constexpr const char* kWillQuitEvent = "CORVINA_EVENT_WILL_QUIT";
