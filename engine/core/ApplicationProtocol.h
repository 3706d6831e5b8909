#pragma once
// What the rest of the engine and the system may ask of the running
// application without knowing the platform behind it.
#include <string>

namespace engine {

enum class LanguageType {
    ENGLISH, CHINESE, FRENCH, ITALIAN, GERMAN, SPANISH, DUTCH, RUSSIAN, KOREAN,
    JAPANESE, HUNGARIAN, PORTUGUESE, ARABIC, NORWEGIAN, POLISH, TURKISH, UKRAINIAN,
    ROMANIAN, BULGARIAN
};

class ApplicationProtocol {
public:
    virtual ~ApplicationProtocol() = default;
    virtual bool applicationDidFinishLaunching() = 0;
    virtual void applicationDidEnterBackground() = 0;
    virtual void applicationWillEnterForeground() = 0;
    // Called about ten times a second while minimised, when no frame runs.
    virtual void applicationIdle() {}
    // The window is closing: the last frame has run and the scene is still there.
    virtual void applicationWillQuit() {}
    // The window's close button: false keeps the window open (it asks the
    // user first, and quits itself if told to).
    virtual bool applicationShouldQuit() { return true; }
    virtual void initGLContextAttrs() {}
    virtual LanguageType getCurrentLanguage() = 0;
    virtual bool openURL(const std::string& url) = 0;
    virtual void setAnimationInterval(float interval) = 0;

    // The application instance of this process, or null before one exists
    // (tests of pure logic run without one).
    static ApplicationProtocol* getRunning() { return s_running; }

protected:
    static inline ApplicationProtocol* s_running = nullptr;
};

// The language from a locale name such as "ja_JP.UTF-8" or "de"; anything
// unknown is English.
LanguageType languageFromLocaleName(const std::string& locale);

} // namespace engine
