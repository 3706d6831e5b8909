#pragma once
// The application: opens the window, fixes the design area and frame rate,
// shows the first scene, and tells the running scenes when the window comes
// back to the foreground.
#include "engine/platform/Application.h"

// Dispatched on return to the foreground; spelled as the scenes listen for it.
inline constexpr const char* kEnterForegroundEvent = "CORVINA_EVENT_ENTER_FORGROUND";

class AppDelegate : private engine::Application {
public:
    AppDelegate();
    ~AppDelegate() override;

    void initGLContextAttrs() override;
    bool applicationDidFinishLaunching() override;
    void applicationDidEnterBackground() override;
    void applicationWillEnterForeground() override;
};
