// Loads Varnis by name, as an outside analysis program does, runs the documented
// examples and gap rules of each family as checks, and prints a fixed set of results
// to 17 significant digits. The Linux and the Windows builds of the library must
// print the same lines for the same inputs.
//
// usage: varnis_fixed_outputs [library path]   (default: varnis.dll / libvarnis.so)
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "varnis.h"

namespace {

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

int g_passed = 0;
int g_failed = 0;

void check(bool ok, const std::string& what) {
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

std::string digits17(double x) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 17);
    return std::string(buf, r.ptr);
}

void print_result(const char* what, long count, double value) {
    std::printf("%s: %ld %s\n", what, count, digits17(value).c_str());
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

std::vector<double> data_vector(const std::vector<double>& samples, long first = 1, long last = 0) {
    std::vector<double> v = {static_cast<double>(samples.size()), static_cast<double>(first),
                             static_cast<double>(last > 0 ? last : static_cast<long>(samples.size()))};
    v.insert(v.end(), samples.begin(), samples.end());
    return v;
}

// Phase of white frequency noise at 1e-9 with a 1e-3 s offset, gaps at fixed places.
std::vector<double> white_fm_phase(std::size_t n, std::uint64_t seed, bool gaps) {
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

std::vector<double> white_fm_freq(std::size_t n, std::uint64_t seed, bool gaps) {
    Lcg rng(seed);
    std::vector<double> y(n);
    for (std::size_t i = 0; i < n; ++i) y[i] = 1e-11 + 1e-12 * rng.gaussian();
    if (gaps)
        for (std::size_t i = 5; i < n; i += 61) y[i] = 0.0;
    return y;
}

void allan_family(const Library& lib) {
    auto check_varnis = VARNIS_FN(lib, CheckVarnis);
    auto phase_sigma = VARNIS_FN(lib, CalcPhaseSigma);
    auto freq_sigma = VARNIS_FN(lib, CalcFreqSigma);
    auto phase_overlap = VARNIS_FN(lib, CalcPhaseOverlapSigma);
    auto freq_overlap = VARNIS_FN(lib, CalcFreqOverlapSigma);
    auto phase_stddev = VARNIS_FN(lib, CalcPhaseStdDev);
    auto freq_stddev = VARNIS_FN(lib, CalcFreqStdDev);
    auto mean = VARNIS_FN(lib, CalcMean);
    auto add_sigma = VARNIS_FN(lib, AddSigma);
    if (!check_varnis || !phase_sigma || !freq_sigma || !phase_overlap || !freq_overlap ||
        !phase_stddev || !freq_stddev || !mean || !add_sigma)
        return;

    check(check_varnis() == 200, "CheckVarnis answers 200");
    double s = 0.0;
    auto f = data_vector({1, 3, 2, 4});
    check(freq_sigma(f.data(), &s) == 3 && std::fabs(s - std::sqrt(1.5)) < 1e-12,
          "CalcFreqSigma example");
    auto p = data_vector({0, 1, 4, 9});
    check(phase_sigma(p.data(), &s, 1.0) == 2 && std::fabs(s - std::sqrt(2.0)) < 1e-12,
          "CalcPhaseSigma example keeps the leading 0.0");
    auto g = data_vector({1, 2, 3, 0, 4});
    check(freq_stddev(g.data(), &s) == 4 && std::fabs(s - std::sqrt(5.0 / 3.0)) < 1e-12,
          "CalcFreqStdDev example skips the gap");
    const float five[5] = {3, 4, 0, 0, 0};
    check(add_sigma(five) == 5.0f, "AddSigma of 3 and 4");
    auto bad = std::vector<double>{4, 3, 2, 1, 2, 3, 4};
    double untouched = -7.0;
    check(phase_sigma(bad.data(), &untouched, 1.0) == -1 && untouched == -7.0,
          "a window with first > last is refused");
    auto odd = data_vector({1, 2, 3, 4, 5});
    check(freq_overlap(odd.data(), &s, 3) == -1, "CalcFreqOverlapSigma with M = 2m - 1");

    const auto x = data_vector(white_fm_phase(4000, 1, true), 3, 3990);
    const auto y = data_vector(white_fm_freq(4000, 2, true), 2, 3999);
    for (int m : {1, 2, 5, 16, 100, 1000}) {
        const std::string tag = " m=" + std::to_string(m);
        int n = phase_overlap(x.data(), &s, 1.0, m);
        print_result(("CalcPhaseOverlapSigma" + tag).c_str(), n, s);
        n = freq_overlap(y.data(), &s, m);
        print_result(("CalcFreqOverlapSigma" + tag).c_str(), n, s);
    }
    int n = phase_sigma(x.data(), &s, 1.0);
    print_result("CalcPhaseSigma", n, s);
    n = freq_sigma(y.data(), &s);
    print_result("CalcFreqSigma", n, s);
    n = phase_stddev(x.data(), &s, 1.0);
    print_result("CalcPhaseStdDev", n, s);
    n = freq_stddev(y.data(), &s);
    print_result("CalcFreqStdDev", n, s);
    n = mean(x.data(), &s, 0);
    print_result("CalcMean phase", n, s);
    n = mean(y.data(), &s, 1);
    print_result("CalcMean frequency", n, s);
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    const char* path = argc > 1 ? argv[1] : "varnis.dll";
#else
    const char* path = argc > 1 ? argv[1] : "libvarnis.so";
#endif
    Library lib(path);
    if (!lib.loaded()) {
        std::printf("cannot load %s\n", path);
        return 1;
    }
    allan_family(lib);
    std::printf("fixed outputs: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
