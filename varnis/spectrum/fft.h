// In-place radix-2 fast Fourier transforms for power-of-two lengths, in double or
// single precision (the element type), with twiddle factors always in double.
//
// complex_fft: `count` complex values stored interleaved (re, im, re, im, ...).
// Bit-reversal reordering, then butterflies whose twiddle factors follow the
// trigonometric recurrence started from sin(theta/2) and sin(theta). sign = +1 uses
// exp(+i theta) kernels; sign = -1 the conjugate ones. Unnormalised both ways.
//
// real_fft: 2·count real values packed as count complex values. Forward (sign +1):
// element 0 receives the zero-frequency term, element 1 the Nyquist term (both real),
// elements 2k and 2k+1 the real and imaginary part of term k. Inverse (sign -1) takes
// that packing and returns count times the original sequence.
#pragma once

#include <cmath>
#include <cstddef>
#include <utility>

namespace varnis {

template <class T>
void complex_fft(T* data, std::size_t count, int sign) {
    const std::size_t n = count << 1;
    std::size_t j = 0;
    for (std::size_t i = 0; i < n; i += 2) {
        if (j > i) {
            std::swap(data[j], data[i]);
            std::swap(data[j + 1], data[i + 1]);
        }
        std::size_t m = count;
        while (m >= 2 && j >= m) {
            j -= m;
            m >>= 1;
        }
        j += m;
    }
    for (std::size_t span = 2; n > span; span <<= 1) {
        const std::size_t step = span << 1;
        const double theta = 6.28318530717959 / (static_cast<double>(sign) * static_cast<double>(span));
        const double half = std::sin(0.5 * theta);
        const double wpr = -2.0 * half * half;
        const double wpi = std::sin(theta);
        // Block by block, so that memory is walked in order; the recurrence restarts in
        // every block and yields the same twiddle factors for the same offsets m.
        for (std::size_t block = 0; block < n; block += step) {
            double wr = 1.0, wi = 0.0;
            for (std::size_t m = 0; m < span; m += 2) {
                const std::size_t i = block + m, k = i + span;
                const T tr = static_cast<T>(wr * data[k] - wi * data[k + 1]);
                const T ti = static_cast<T>(wr * data[k + 1] + wi * data[k]);
                data[k] = data[i] - tr;
                data[k + 1] = data[i + 1] - ti;
                data[i] += tr;
                data[i + 1] += ti;
                const double previous = wr;
                wr = wr * wpr - wi * wpi + wr;
                wi = wi * wpr + previous * wpi + wi;
            }
        }
    }
}

template <class T>
void real_fft(T* data, std::size_t count, int sign) {
    const std::size_t n = count << 1;
    const T c1 = static_cast<T>(0.5);
    T c2;
    double theta = 3.141592653589793 / static_cast<double>(count);
    if (sign == 1) {
        c2 = static_cast<T>(-0.5);
        complex_fft(data, count, 1);
    } else {
        c2 = static_cast<T>(0.5);
        theta = -theta;
    }
    const double half = std::sin(0.5 * theta);
    const double wpr = -2.0 * half * half;
    const double wpi = std::sin(theta);
    double wr = 1.0 + wpr, wi = wpi;
    // Terms k and count - k are untangled together from the packed transform.
    for (std::size_t k = 1; k < n / 4; ++k) {
        const std::size_t a = 2 * k, b = a + 1, c = n - 2 * k, d = c + 1;
        const T h1r = c1 * (data[a] + data[c]);
        const T h1i = c1 * (data[b] - data[d]);
        const T h2r = -c2 * (data[b] + data[d]);
        const T h2i = c2 * (data[a] - data[c]);
        data[a] = static_cast<T>(h1r + wr * h2r - wi * h2i);
        data[b] = static_cast<T>(h1i + wr * h2i + wi * h2r);
        data[c] = static_cast<T>(h1r - wr * h2r + wi * h2i);
        data[d] = static_cast<T>(-h1i + wr * h2i + wi * h2r);
        const double previous = wr;
        wr = wr * wpr - wi * wpi + wr;
        wi = wi * wpr + previous * wpi + wi;
    }
    const T first = data[0];
    if (sign == 1) {
        data[0] = first + data[1];
        data[1] = first - data[1];
    } else {
        data[0] = c1 * (first + data[1]);
        data[1] = c1 * (first - data[1]);
        complex_fft(data, count, -1);
    }
}

// True when n is a positive power of two.
inline bool is_power_of_two(long n) { return n > 0 && (n & (n - 1)) == 0; }

// The smallest power of two not below n (n >= 1), by exact integer steps.
inline long next_power_of_two(long n) {
    long p = 1;
    while (p < n) p <<= 1;
    return p;
}

}  // namespace varnis
