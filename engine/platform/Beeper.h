#pragma once
// Short square-wave tones through SDL audio, for the simulated board's
// beeper. The audio device opens on the first beep; a machine without sound
// (no device, no driver) just gets no tone: beep() answers false and the
// caller carries on. Main thread only.
#include <cstdint>

namespace engine {

class Beeper {
public:
    static Beeper* getInstance();

    // Starts a tone of `hz` for `ms` milliseconds, replacing one still
    // sounding. False when there is no audio or the tone makes no sense.
    bool beep(double hz, int ms);

    // Tones handed to the audio device so far.
    int beepsPlayed() const { return _played; }
    bool isOpen() const { return _device != 0; }
    // Bytes of tone still waiting to be played.
    uint32_t queuedBytes() const;
    // Closes the device and lets go of the audio subsystem; the next beep
    // tries to open it again.
    void shutdown();

    static constexpr int kLongestMs = 2000;

private:
    Beeper() = default;
    bool open();

    uint32_t _device = 0;  // SDL_AudioDeviceID
    int _rate = 0;
    bool _triedAndFailed = false;
    bool _subsystemUp = false;
    int _played = 0;
};

} // namespace engine
