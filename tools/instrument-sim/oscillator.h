// A counter reading a real oscillator against a perfect reference: the phase
// difference grows with the frequency offset and a slow drift, and carries white
// and flicker phase noise.
#pragma once

#include <array>
#include <cstdint>
#include <random>

namespace instrument_sim {

struct OscillatorModel {
    double nominal_hz = 10e6;       // cycles per second of phase difference
    double frequency_offset = 1e-9;  // fractional
    double drift_per_day = 1e-11;    // fractional frequency change per day
    double white_pm = 20e-12;        // seconds, rms
    double flicker_pm = 10e-12;      // seconds, rms of the flicker part
};

class Oscillator {
public:
    Oscillator(const OscillatorModel& model, std::uint64_t seed);

    // The phase difference in cycles at `t` seconds after the start; calls must come
    // in order, one per reading.
    double CyclesAt(double t);

private:
    double FlickerSample();

    OscillatorModel model_;
    std::mt19937_64 rng_;
    std::normal_distribution<double> gauss_{0.0, 1.0};
    // Flicker noise as a sum of first-order low-pass processes with time constants
    // spread evenly on a log scale: their sum has a 1/f spectrum in between.
    std::array<double, 10> poles_{};
    std::array<double, 10> states_{};
};

}  // namespace instrument_sim
