// Power-law noise generation: white Gaussian noise from the library's generator,
// passed through the fractional-integration filter whose spectrum goes as f^beta.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "spectrum/fft.h"
#include "noise/noise_generator.h"
#include "core/scratch.h"
#include "varnis.h"

namespace varnis {
namespace {

constexpr int kModulus1 = 259200, kMultiplier1 = 7141, kIncrement1 = 54773;
constexpr int kModulus2 = 134456, kMultiplier2 = 812, kIncrement2 = 28411;
constexpr int kModulus3 = 243000, kMultiplier3 = 4561, kIncrement3 = 51349;
constexpr double kReciprocal1 = 1.0 / 259200.0;
constexpr double kReciprocal2 = 1.0 / 134456.0;

inline int step1(int x) { return (kMultiplier1 * x + kIncrement1) % kModulus1; }
inline int step2(int x) { return (kMultiplier2 * x + kIncrement2) % kModulus2; }
inline int step3(int x) { return (kMultiplier3 * x + kIncrement3) % kModulus3; }

inline float table_entry(int ix1, int ix2) {
    return static_cast<float>((ix1 + ix2 * kReciprocal2) * kReciprocal1);
}

// The first state of generator 1, (54773 - seed) mod 259200. A seed above 54773
// would make that remainder negative, and every state and the shuffle index after
// it; the remainder is therefore taken as the non-negative one, which is the same as
// seeding with the congruent value (modulo 259200) in the range -204426 .. 54773.
// For every seed up to 54773 (all negative seeds and the 1 written back) this is the
// plain remainder. 64-bit arithmetic keeps the most negative seeds from overflowing.
int first_state(int seed) {
    const std::int64_t r = (static_cast<std::int64_t>(kIncrement1) - seed) % kModulus1;
    return static_cast<int>(r < 0 ? r + kModulus1 : r);
}

// The library-wide generator: callers on different threads share one sequence.
NoiseGeneratorState g_generator;
std::mutex g_generator_lock;

}  // namespace

void seed_if_needed(NoiseGeneratorState& state, int* seed) {
    if (state.initialised && *seed >= 0) return;
    state.initialised = true;
    int ix1 = step1(first_state(*seed));
    state.ix2 = ix1 % kModulus2;
    ix1 = step1(ix1);
    state.ix3 = ix1 % kModulus3;
    for (int j = 1; j <= 97; ++j) {
        ix1 = step1(ix1);
        state.ix2 = step2(state.ix2);
        state.table[j] = table_entry(ix1, state.ix2);
    }
    state.ix1 = ix1;
    *seed = 1;
}

float next_uniform(NoiseGeneratorState& state) {
    state.ix1 = step1(state.ix1);
    state.ix2 = step2(state.ix2);
    state.ix3 = step3(state.ix3);
    const int j = 1 + (97 * state.ix3) / kModulus3;
    const float result = state.table[j];
    state.table[j] = table_entry(state.ix1, state.ix2);
    return result;
}

float next_gaussian(NoiseGeneratorState& state) {
    if (state.have_spare) {
        state.have_spare = false;
        return state.spare;
    }
    float p, q, r;
    do {
        p = 2.0f * next_uniform(state) - 1.0f;
        q = 2.0f * next_uniform(state) - 1.0f;
        r = p * p + q * q;
    } while (r >= 1.0f || r == 0.0f);
    const float fac = static_cast<float>(std::sqrt(-2.0 * std::log(static_cast<double>(r)) / r));
    state.spare = p * fac;
    state.have_spare = true;
    return q * fac;
}

}  // namespace varnis

using namespace varnis;

extern "C" int GenNoise(int count, double* values, float Q, float beta, int* seed, int add) {
    if (values == nullptr || seed == nullptr) return -1;
    if (!(Q > 0.0f) || !std::isfinite(Q) || !(beta >= -4.0f && beta <= 0.0f)) return -1;
    // The convolution runs through a radix-2 transform, so count must be a power of two
    // (which also makes it even, except for 1).
    if (count < 2 || !is_power_of_two(count)) return -1;

    const std::size_t length = 2 * static_cast<std::size_t>(count);
    ScratchArray<double> h(length);
    ScratchArray<double> w(length);
    if (!h.ok() || !w.ok()) return -2;

    const double ha = -static_cast<double>(beta) / 2.0;
    const float sd = std::sqrt(Q);
    {
        std::lock_guard<std::mutex> hold(g_generator_lock);
        seed_if_needed(g_generator, seed);
        // Filter coefficients of (1 - z)^(-ha); the Gaussian draws in output order.
        h[0] = 1.0;
        w[0] = sd * next_gaussian(g_generator);
        for (int i = 2; i <= count; ++i) {
            h[i - 1] = h[i - 2] * ((i - 2) + ha) / (i - 1);
            w[i - 1] = sd * next_gaussian(g_generator);
        }
    }

    // Linear convolution of h and w: both are zero beyond count, so a cyclic
    // convolution of length 2·count has no wrap-around in its first count terms.
    real_fft(h.data(), static_cast<std::size_t>(count), 1);
    real_fft(w.data(), static_cast<std::size_t>(count), 1);
    h[0] *= w[0];
    h[1] *= w[1];
    for (std::size_t k = 2; k < length; k += 2) {
        const double re = h[k] * w[k] - h[k + 1] * w[k + 1];
        const double im = h[k] * w[k + 1] + h[k + 1] * w[k];
        h[k] = re;
        h[k + 1] = im;
    }
    real_fft(h.data(), static_cast<std::size_t>(count), -1);

    for (int i = 0; i < count; ++i) {
        const double term = h[static_cast<std::size_t>(i)] / count;
        values[i] = add ? values[i] + term : term;
    }
    return count;
}
