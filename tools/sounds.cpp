// Sound synthesis. Every sound starts and ends at silence through short fades,
// so nothing clicks, and is normalised to a fixed peak so the three sit at one
// comfortable level.
#include "tools/sounds.h"

#include <algorithm>
#include <cmath>

#include "tools/materials.h"
#include "worldgen/noise.h"

namespace {

// White noise in [-1, 1], reproducible per sample index.
double whiteNoise(int i, int seed) { return 2.0 * random01(i, 0, seed) - 1.0; }

// One-pole low-pass filter; cutoff in Hz.
struct LowPass {
    double state = 0, alpha;
    explicit LowPass(double cutoff) : alpha(1.0 - std::exp(-kTau * cutoff / kSampleRate)) {}
    double operator()(double x) { return state += alpha * (x - state); }
};

std::vector<std::int16_t> finish(std::vector<double> wave, double peak) {
    const int fade = kSampleRate / 200;  // 5 ms
    const int n = int(wave.size());
    for (int i = 0; i < std::min(fade, n); ++i) {
        wave[i] *= double(i) / fade;
        wave[n - 1 - i] *= double(i) / fade;
    }
    double top = 1e-9;
    for (double v : wave) top = std::max(top, std::fabs(v));
    std::vector<std::int16_t> out(wave.size());
    for (int i = 0; i < n; ++i) out[i] = std::int16_t(std::lround(wave[i] / top * peak * 32767));
    return out;
}

}  // namespace

std::vector<std::int16_t> makeThunder() {
    const int n = int(kSampleRate * 2.6);
    std::vector<double> wave(n);
    LowPass crackTone(3000), rumbleA(320), rumbleB(110), swell(3);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kSampleRate;
        const double crackEnv = t < 0.005 ? t / 0.005 : std::exp(-(t - 0.005) * 18);
        const double crack = crackTone(whiteNoise(i, 701)) * crackEnv * 2.2;
        const double roll = swell(whiteNoise(i / 400, 702) > 0.2 ? 1.0 : 0.35);
        const double rumbleEnv = std::min(1.0, t / 0.12) * std::exp(-t * 1.3) * (0.55 + 0.9 * roll);
        const double rumble = (rumbleB(rumbleA(whiteNoise(i, 703))) * 8.0) * rumbleEnv;
        wave[i] = crack + rumble;
    }
    return finish(wave, 0.7);
}

std::vector<std::int16_t> makeHurt() {
    const int n = int(kSampleRate * 0.22);
    std::vector<double> wave(n);
    double phase = 0;
    LowPass soften(2500);
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kSampleRate;
        const double freq = 420 * std::exp(-t * 4.5) + 120;
        phase += kTau * freq / kSampleRate;
        const double tone =
            std::sin(phase) + 0.45 * std::sin(2 * phase) + 0.25 * std::sin(3 * phase);
        const double env = std::min(1.0, t / 0.004) * std::exp(-t * 11);
        wave[i] = soften(tone * env + 0.25 * whiteNoise(i, 711) * std::exp(-t * 60));
    }
    return finish(wave, 0.55);
}

std::vector<std::int16_t> makeSplash() {
    const int n = int(kSampleRate * 0.38);
    std::vector<double> wave(n);
    LowPass body(1800), low(500);
    double bubble = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / kSampleRate;
        const double noise = whiteNoise(i, 721);
        const double hiss = (body(noise) - low(noise)) * std::min(1.0, t / 0.01) * std::exp(-t * 9);
        const double bt = std::fmod(t, 0.11);
        bubble += kTau * (380 + 2600 * bt) / kSampleRate;
        const double blip = std::sin(bubble) * std::exp(-bt * 40) * std::exp(-t * 5) * 0.5;
        wave[i] = hiss * 2.0 + blip;
    }
    return finish(wave, 0.5);
}
