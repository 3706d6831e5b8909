#pragma once
// The application: opens the window, fixes the design area and frame rate,
// shows the first scene, and tells the running scenes when the window comes
// back to the foreground.
#include "engine/platform/Application.h"
#include "ui/AppEvents.h"

class AppDelegate : private engine::Application {
public:
    AppDelegate();
    ~AppDelegate() override;

    void initGLContextAttrs() override;
    bool applicationDidFinishLaunching() override;
    void applicationDidEnterBackground() override;
    void applicationWillEnterForeground() override;
};
