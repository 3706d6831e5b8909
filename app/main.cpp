// The editor's entry point: one application, run until its window closes.
#include "app/AppDelegate.h"
#include "engine/platform/Application.h"

int main() {
    AppDelegate app;
    return engine::Application::getInstance()->run();
}
