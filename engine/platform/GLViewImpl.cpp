#include "engine/platform/GLViewImpl.h"

#include <SDL.h>
#include <SDL_image.h>

#include "engine/core/TextureCache.h"
#include "engine/platform/SdlRenderer.h"

namespace engine {

namespace {
GLViewImpl* s_running = nullptr;
}

GLViewImpl* GLViewImpl::getRunning() { return s_running; }

// The dummy and offscreen drivers, and many X servers, tell nothing or
// nonsense; a finger's slop must never depend on that.
float GLViewImpl::dotsPerInchFromScreen(bool reported, float diagonal) {
    return reported && diagonal >= 50 && diagonal <= 1000 ? diagonal : kFallbackDotsPerInch;
}

float GLViewImpl::screenDotsPerInch() const {
    float diagonal = 0;
    bool reported =
        _window && SDL_GetDisplayDPI(SDL_GetWindowDisplayIndex(_window), &diagonal, nullptr, nullptr) == 0;
    return dotsPerInchFromScreen(reported, diagonal);
}

GLViewImpl* GLViewImpl::createWithRect(const std::string& viewName, const Rect& rect, float frameZoomFactor,
                                       bool resizable) {
    return initAndAutorelease(new GLViewImpl(), [&](GLViewImpl* view) {
        return view->init(viewName, rect, frameZoomFactor, resizable);
    });
}

bool GLViewImpl::init(const std::string& viewName, const Rect& rect, float frameZoomFactor, bool resizable) {
    _viewName = viewName;
    _frameZoomFactor = frameZoomFactor > 0 ? frameZoomFactor : 1;
    // The mouse is one pointer and fingers are others: no synthetic copies.
    SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    IMG_Init(IMG_INIT_PNG);

    GLContextAttrs a = getGLContextAttrs();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, a.redBits);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, a.greenBits);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, a.blueBits);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, a.alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, a.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, a.stencilBits);

    Uint32 flags = SDL_WINDOW_SHOWN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (resizable) flags |= SDL_WINDOW_RESIZABLE;
    int w = static_cast<int>(rect.size.width * _frameZoomFactor), h = static_cast<int>(rect.size.height * _frameZoomFactor);
    _window = SDL_CreateWindow(viewName.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h, flags);
    if (!_window) return false;
    _sdlRenderer = SDL_CreateRenderer(_window, -1, SDL_RENDERER_TARGETTEXTURE);
    if (!_sdlRenderer) _sdlRenderer = SDL_CreateRenderer(_window, -1, SDL_RENDERER_SOFTWARE);
    if (!_sdlRenderer) {
        SDL_DestroyWindow(_window);
        _window = nullptr;
        return false;
    }
    _renderer = std::make_unique<SdlRenderer>(_sdlRenderer);
    SdlRenderer* renderer = _renderer.get();
    TextureCache::setLoader([renderer](const std::string& path) { return renderer->loadTexture(path); });
    s_running = this;
    return true;
}

GLViewImpl::~GLViewImpl() { end(); }

void GLViewImpl::end() {
    if (!_window) return;
    if (s_running == this) {
        s_running = nullptr;
        TextureCache::setLoader(nullptr);
    }
    _renderer.reset();
    SDL_DestroyRenderer(_sdlRenderer);
    SDL_DestroyWindow(_window);
    _sdlRenderer = nullptr;
    _window = nullptr;
}

Size GLViewImpl::getFrameSize() const {
    int w = 0, h = 0;
    if (_sdlRenderer) SDL_GetRendererOutputSize(_sdlRenderer, &w, &h);
    return {static_cast<float>(w), static_cast<float>(h)};
}

Size GLViewImpl::getWindowSize() const {
    int w = 0, h = 0;
    if (_window) SDL_GetWindowSize(_window, &w, &h);
    return {static_cast<float>(w), static_cast<float>(h)};
}

void GLViewImpl::setWindowSize(int width, int height) {
    if (_window) SDL_SetWindowSize(_window, width, height);
}

Renderer* GLViewImpl::getRenderer() { return _renderer.get(); }

void GLViewImpl::swapBuffers() {
    if (_sdlRenderer) SDL_RenderPresent(_sdlRenderer);
}

Vec2 GLViewImpl::windowToDesign(float x, float y) const {
    // Window coordinates may differ from pixels on high-density screens.
    Size win = getWindowSize(), frame = getFrameSize();
    float sx = win.width > 0 ? frame.width / win.width : 1, sy = win.height > 0 ? frame.height / win.height : 1;
    return getViewportMapping().toPoints({x * sx, y * sy});
}

bool GLViewImpl::saveFrameToPNG(const std::string& path) const {
    if (!_renderer) return false;
    SDL_Surface* surface = _renderer->readPixels();
    if (!surface) return false;
    bool ok = IMG_SavePNG(surface, path.c_str()) == 0;
    SDL_FreeSurface(surface);
    return ok;
}

} // namespace engine
