#include "engine/platform/Beeper.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace engine {

namespace {
constexpr int kWantedRate = 44100;
constexpr double kLoudness = 0.18;   // of full scale: a square wave is loud
constexpr double kRampSeconds = 0.003;  // soft edges, no click
} // namespace

Beeper* Beeper::getInstance() {
    // Never destroyed: the device goes with SDL_Quit at exit.
    static Beeper* instance = new Beeper();
    return instance;
}

bool Beeper::open() {
    if (_device != 0) return true;
    // One failed attempt is enough until shutdown(): a machine without sound
    // should not pay for a driver probe on every beep.
    if (_triedAndFailed) return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        SDL_Log("No sound: %s", SDL_GetError());
        _triedAndFailed = true;
        return false;
    }
    _subsystemUp = true;
    SDL_AudioSpec want{}, have{};
    want.freq = kWantedRate;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = 1024;
    want.callback = nullptr;  // tones are queued
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (device == 0) {
        SDL_Log("No sound device: %s", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        _subsystemUp = false;
        _triedAndFailed = true;
        return false;
    }
    _device = device;
    _rate = have.freq > 0 ? have.freq : kWantedRate;
    SDL_PauseAudioDevice(_device, 0);
    return true;
}

void Beeper::shutdown() {
    if (_device != 0) {
        SDL_CloseAudioDevice(_device);
        _device = 0;
    }
    if (_subsystemUp) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        _subsystemUp = false;
    }
    _triedAndFailed = false;
}

uint32_t Beeper::queuedBytes() const { return _device != 0 ? SDL_GetQueuedAudioSize(_device) : 0; }

bool Beeper::beep(double hz, int ms) {
    if (!std::isfinite(hz) || hz <= 0 || hz > 20000 || ms <= 0) return false;
    // A device unplugged since it opened: open again once.
    if (_device != 0 && SDL_GetAudioDeviceStatus(_device) == SDL_AUDIO_STOPPED) shutdown();
    if (!open()) return false;

    ms = std::min(ms, kLongestMs);
    const int count = static_cast<int>(static_cast<long long>(_rate) * ms / 1000);
    if (count <= 0) return false;
    std::vector<int16_t> samples(static_cast<size_t>(count));
    const double amplitude = kLoudness * 32767;
    const double ramp = std::max(1.0, kRampSeconds * _rate);
    for (int i = 0; i < count; ++i) {
        const double phase = std::fmod(static_cast<double>(i) * hz / _rate, 1.0);
        const double edge = std::min({1.0, (i + 1) / ramp, (count - i) / ramp});
        samples[static_cast<size_t>(i)] = static_cast<int16_t>((phase < 0.5 ? amplitude : -amplitude) * edge);
    }
    // A new beep cuts the one before short, as the board's beeper does.
    SDL_ClearQueuedAudio(_device);
    if (SDL_QueueAudio(_device, samples.data(), static_cast<Uint32>(samples.size() * sizeof(int16_t))) != 0) {
        SDL_Log("Cannot queue a beep: %s", SDL_GetError());
        return false;
    }
    ++_played;
    return true;
}

} // namespace engine
