#include "oscillator.h"

#include <cmath>

namespace instrument_sim {

Oscillator::Oscillator(const OscillatorModel& model, std::uint64_t seed)
    : model_(model), rng_(seed) {
    for (std::size_t k = 0; k < poles_.size(); ++k)
        poles_[k] = 1.0 - std::pow(4.0, -static_cast<double>(k));  // tau = 4^k readings
}

double Oscillator::FlickerSample() {
    double sum = 0.0;
    for (std::size_t k = 0; k < poles_.size(); ++k) {
        // Each process gets unit variance: x = a x + sqrt(1 - a^2) w.
        const double a = poles_[k];
        states_[k] = a * states_[k] + std::sqrt(1.0 - a * a) * gauss_(rng_);
        sum += states_[k];
    }
    return sum / std::sqrt(static_cast<double>(poles_.size()));
}

double Oscillator::CyclesAt(double t) {
    const double drift_per_second = model_.drift_per_day / 86400.0;
    const double phase_seconds = model_.frequency_offset * t + 0.5 * drift_per_second * t * t +
                                 model_.white_pm * gauss_(rng_) +
                                 model_.flicker_pm * FlickerSample();
    return phase_seconds * model_.nominal_hz;
}

}  // namespace instrument_sim
