#pragma once
// The application: opens the window, fixes the design area and frame rate,
// shows the first scene, and tells the running scenes when the window comes
// back to the foreground.
#include "catalogue/EditorLock.h"
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
    void applicationWillQuit() override;
    bool applicationShouldQuit() override;
    void applicationIdle() override { showWindowIfWanted(); }

    // CORVINA_EXIT_AFTER_FIRST_FRAME=1 (the install check): the editor quits
    // after drawing its first frame, and main() prints how many pictures
    // could not be loaded, exiting with 0 only when none is missing.
    static bool exitAfterFirstFrame();

    // The lock this editor holds on its data folder: a second start asks
    // through it for this editor's window, which then comes to the front.
    void setEditorLock(EditorLock* lock) { editorLock = lock; }

private:
    // A second start asked for this editor's window: it comes to the front.
    void showWindowIfWanted();
    EditorLock* editorLock = nullptr;
};
