#include "engine/platform/MessageBox.h"

#include <SDL.h>

#include <cstdio>

#include "engine/platform/GLViewImpl.h"

namespace engine {

namespace {
MessageBoxHandler& handlerRef() {
    static MessageBoxHandler handler;
    return handler;
}
} // namespace

void setMessageBoxHandler(MessageBoxHandler handler) { handlerRef() = std::move(handler); }

void MessageBox(const char* msg, const char* title) {
    std::string message = msg ? msg : "", heading = title ? title : "";
    if (MessageBoxHandler handler = handlerRef()) {
        handler(message, heading);
        return;
    }
    GLViewImpl* view = GLViewImpl::getRunning();
    SDL_Window* parent = view ? view->getWindow() : nullptr;
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, heading.c_str(), message.c_str(), parent) != 0) {
        std::fprintf(stderr, "%s: %s\n", heading.c_str(), message.c_str());
        std::fflush(stderr);
    }
}

} // namespace engine
