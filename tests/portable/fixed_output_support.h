// What the fixed-output programs share: loading a library by name, binding its exports
// by their declarations, counting checks, printing results to 17 significant digits,
// and inputs from integer arithmetic only.
#pragma once

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace fixed_outputs {

class Library {
public:
    explicit Library(const char* path) {
#ifdef _WIN32
        handle_ = reinterpret_cast<void*>(LoadLibraryA(path));
#else
        handle_ = dlopen(path, RTLD_NOW);
#endif
    }
    bool loaded() const { return handle_ != nullptr; }
    void* symbol(const char* name) const {
#ifdef _WIN32
        return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
#else
        return dlsym(handle_, name);
#endif
    }

private:
    void* handle_ = nullptr;
};

inline int g_passed = 0;
inline int g_failed = 0;

inline void check(bool ok, const std::string& what) {
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAILED: %s\n", what.c_str());
    }
}

// The export `name` of the loaded library, typed after its declaration in varnis.h.
template <class F>
F bind(const Library& lib, const char* name) {
    F f = reinterpret_cast<F>(lib.symbol(name));
    check(f != nullptr, std::string("export ") + name + " found");
    return f;
}
#define VARNIS_FN(lib, name) bind<decltype(&name)>(lib, #name)

inline std::string digits17(double x) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 17);
    return std::string(buf, r.ptr);
}

inline void print_result(const char* what, long count, double value) {
    std::printf("%s: %ld %s\n", what, count, digits17(value).c_str());
}

// Prints what call() returns and the value it leaves in `value`, read after the call
// (passed beside the call as arguments of one function, the value would be read in an
// unspecified order, before the call with GCC).
template <class Call, class Value>
void print_call(const char* what, Call&& call, const Value& value) {
    const long count = static_cast<long>(call());
    print_result(what, count, static_cast<double>(value));
}

// Deterministic pseudo-random numbers from integer arithmetic only, so that both
// builds see the same inputs whatever their math libraries do.
class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : state_(seed) {}
    double uniform() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state_ >> 11) * (1.0 / 9007199254740992.0);
    }
    // Sum of twelve uniforms less six: close to a unit Gaussian.
    double gaussian() {
        double s = 0.0;
        for (int i = 0; i < 12; ++i) s += uniform();
        return s - 6.0;
    }

private:
    std::uint64_t state_;
};

inline std::vector<double> data_vector(const std::vector<double>& samples, long first = 1, long last = 0) {
    std::vector<double> v = {static_cast<double>(samples.size()), static_cast<double>(first),
                             static_cast<double>(last > 0 ? last : static_cast<long>(samples.size()))};
    v.insert(v.end(), samples.begin(), samples.end());
    return v;
}

// Phase of white frequency noise at 1e-9 with a 1e-3 s offset, gaps at fixed places.
inline std::vector<double> white_fm_phase(std::size_t n, std::uint64_t seed, bool gaps) {
    Lcg rng(seed);
    std::vector<double> x(n);
    double phase = 1e-3;
    for (std::size_t i = 0; i < n; ++i) {
        phase += 1e-9 * rng.gaussian();
        x[i] = phase;
    }
    if (gaps)
        for (std::size_t i = 17; i < n; i += 97) x[i] = 0.0;
    return x;
}

}  // namespace fixed_outputs
