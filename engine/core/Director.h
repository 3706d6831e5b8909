#pragma once
// Runs the frames: posted functions, schedules and actions, the scene
// change, drawing, and the autorelease pool, in that order.
#include <functional>

#include "engine/core/Ref.h"
#include "engine/core/Renderer.h"
#include "engine/core/Types.h"

namespace engine {

class ActionManager;
class EventDispatcher;
class GLView;
class Scene;
class Scheduler;
class TextureCache;

enum class ResolutionPolicy { EXACT_FIT, NO_BORDER, SHOW_ALL, FIXED_HEIGHT, FIXED_WIDTH };

// Bits of the drawing surface, asked for before the window exists.
struct GLContextAttrs {
    int redBits = 8, greenBits = 8, blueBits = 8, alphaBits = 8, depthBits = 24, stencilBits = 8;
    int multisamplingCount = 0;
};

// The window as the director sees it; the platform supplies the real one.
class GLView : public Ref {
public:
    static void setGLContextAttrs(const GLContextAttrs& attrs) { s_glContextAttrs = attrs; }
    static GLContextAttrs getGLContextAttrs() { return s_glContextAttrs; }

    virtual Size getFrameSize() const = 0;  // pixels of the drawable
    virtual bool windowShouldClose() { return false; }
    virtual void end() {}
    virtual Renderer* getRenderer() = 0;
    virtual void swapBuffers() {}
    // Dots per inch of the screen the window is on: what a distance a
    // finger moves means. Set, it replaces what the screen reports.
    float getDotsPerInch() const { return _dotsPerInch > 0 ? _dotsPerInch : screenDotsPerInch(); }
    void setDotsPerInch(float dpi) { _dotsPerInch = dpi; }

    void setDesignResolutionSize(float width, float height, ResolutionPolicy policy);
    Size getDesignResolutionSize() const { return _designSize; }
    ResolutionPolicy getResolutionPolicy() const { return _policy; }
    // Design points to the drawable's pixels.
    ViewportMapping getViewportMapping() const;
    void updateRendererMapping();

protected:
    // When the screen tells nothing, a common desktop screen.
    static constexpr float kFallbackDotsPerInch = 96;
    virtual float screenDotsPerInch() const { return kFallbackDotsPerInch; }

    static inline GLContextAttrs s_glContextAttrs;
    float _dotsPerInch = 0;
    Size _designSize{1024, 768};
    ResolutionPolicy _policy = ResolutionPolicy::SHOW_ALL;
};

class Director {
public:
    static Director* getInstance();

    void setOpenGLView(GLView* view);
    GLView* getOpenGLView() const { return _view.get(); }
    Renderer* getRenderer() const;

    void setDisplayStats(bool show) { _displayStats = show; }
    bool isDisplayStats() const { return _displayStats; }
    // Also paces the application's main loop.
    void setAnimationInterval(float interval);
    float getAnimationInterval() const { return _animationInterval; }
    void setContentScaleFactor(float factor) { _contentScaleFactor = factor; }
    float getContentScaleFactor() const { return _contentScaleFactor; }
    Size getWinSize() const;
    Size getVisibleSize() const;
    Vec2 getVisibleOrigin() const;

    void runWithScene(Scene* scene);
    // The change takes place at the next frame. A change asked for while
    // another is still pending replaces it: the scene that will now never
    // show is exited (if it had entered) and cleaned up.
    void replaceScene(Scene* scene);
    // Whether `scene` is what the pending change brings in, directly or
    // through a transition.
    bool isSceneComing(const Scene* scene) const;
    Scene* getRunningScene() const { return _runningScene.get(); }
    bool isSendCleanupToScene() const { return _sendCleanupToScene; }

    void stopAnimation() { _invalid = true; }
    // The first frame after a restart counts no time: nothing moved while
    // the window was away.
    void startAnimation() { _invalid = false; _nextDeltaTimeZero = true; }
    bool takeNextDeltaTimeZero() { bool z = _nextDeltaTimeZero; _nextDeltaTimeZero = false; return z; }
    bool isAnimationStopped() const { return _invalid; }
    void pause() { _paused = true; }
    void resume() { _paused = false; }
    bool isPaused() const { return _paused; }

    Scheduler* getScheduler() const { return _scheduler.get(); }
    ActionManager* getActionManager() const { return _actionManager.get(); }
    TextureCache* getTextureCache() const { return _textureCache.get(); }
    EventDispatcher* getEventDispatcher() const { return _eventDispatcher.get(); }
    void setEventDispatcher(EventDispatcher* dispatcher);

    // One frame of `dt` seconds. Drawing is skipped while the animation is
    // stopped or no view is set; time, tasks and actions still run.
    void mainLoop(float dt);
    void drawScene();
    unsigned getTotalFrames() const { return _totalFrames; }

    // Ends the run: the scene exits, schedules and actions are dropped.
    void end();
    bool isEnding() const { return _ending; }
    // Back to a fresh state, for tests: scenes, schedules, actions,
    // listeners and the autorelease pool are emptied.
    void reset();

private:
    Director();
    // Fresh scheduler, action manager and texture cache; the dispatcher is
    // emptied rather than replaced, so pointers to it stay good.
    void startFresh();
    void setNextScene();

    RefPtr<GLView> _view;
    RefPtr<Scene> _runningScene;
    RefPtr<Scene> _nextScene;
    RefPtr<Scheduler> _scheduler;
    RefPtr<ActionManager> _actionManager;
    RefPtr<TextureCache> _textureCache;
    RefPtr<EventDispatcher> _eventDispatcher;
    float _animationInterval = 1.0f / 60;
    float _contentScaleFactor = 1;
    bool _displayStats = false;
    bool _invalid = false;
    bool _nextDeltaTimeZero = false;
    bool _paused = false;
    bool _sendCleanupToScene = false;
    bool _ending = false;
    unsigned _totalFrames = 0;
};

} // namespace engine
