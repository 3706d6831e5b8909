#pragma once
// The SDL window and its renderer.
#include <memory>
#include <string>

#include "engine/core/Director.h"

struct SDL_Window;
struct SDL_Renderer;

namespace engine {

class SdlRenderer;

class GLViewImpl : public GLView {
public:
    // Under SDL's dummy driver this makes an invisible window with the
    // software renderer, so everything runs headless.
    static GLViewImpl* createWithRect(const std::string& viewName, const Rect& rect, float frameZoomFactor = 1.0f,
                                      bool resizable = false);
    static GLViewImpl* getRunning();

    Size getFrameSize() const override;
    Renderer* getRenderer() override;
    void swapBuffers() override;
    void end() override;
    bool windowShouldClose() override { return _shouldClose; }
    void setWindowShouldClose() { _shouldClose = true; }

    SDL_Window* getWindow() const { return _window; }
    SDL_Renderer* getSDLRenderer() const { return _sdlRenderer; }
    SdlRenderer* getSdlRenderer() const { return _renderer.get(); }
    const std::string& getViewName() const { return _viewName; }
    // Window size in screen coordinates (not pixels).
    Size getWindowSize() const;
    void setWindowSize(int width, int height);
    // Window pixels (top-left origin) to design points.
    Vec2 windowToDesign(float x, float y) const;

    // PNG of what was drawn last (the frame before presenting).
    bool saveFrameToPNG(const std::string& path) const;

    // What SDL's answer about the screen is worth: `reported` is whether it
    // gave a diagonal density at all. None, or one no screen has, gives the
    // common desktop screen's.
    static float dotsPerInchFromScreen(bool reported, float diagonal);

protected:
    ~GLViewImpl() override;
    float screenDotsPerInch() const override;

private:
    GLViewImpl() = default;
    bool init(const std::string& viewName, const Rect& rect, float frameZoomFactor, bool resizable);

    std::string _viewName;
    SDL_Window* _window = nullptr;
    SDL_Renderer* _sdlRenderer = nullptr;
    std::unique_ptr<SdlRenderer> _renderer;
    float _frameZoomFactor = 1;
    bool _shouldClose = false;
};

} // namespace engine
