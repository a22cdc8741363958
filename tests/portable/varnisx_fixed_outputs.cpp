// Loads VarnisX by name, as an outside analysis program does (it finds Varnis beside
// it), runs worked values of each family as checks and prints a fixed set of results
// to 17 significant digits. The Linux and the Windows builds must print the same lines.
//
// usage: varnisx_fixed_outputs [library path]   (default: varnisx.dll / libvarnisx.so)
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

#include "varnisx.h"

namespace {

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

void* load(const char* path) {
#ifdef _WIN32
    return reinterpret_cast<void*>(LoadLibraryA(path));
#else
    return dlopen(path, RTLD_NOW);
#endif
}

void* symbol(void* library, const char* name) {
#ifdef _WIN32
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
#else
    return dlsym(library, name);
#endif
}

// The export `name`, typed after its declaration in varnisx.h.
template <class F>
F bind(void* library, const char* name) {
    F f = reinterpret_cast<F>(symbol(library, name));
    check(f != nullptr, std::string("export ") + name + " found");
    return f;
}
#define VARNISX_FN(lib, name) bind<decltype(&name)>(lib, #name)

std::string digits17(double x) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 17);
    return std::string(buf, r.ptr);
}

void print_result(const char* what, long count, double value) {
    std::printf("%s: %ld %s\n", what, count, digits17(value).c_str());
}

// A random-walk phase record from integer arithmetic only, the same on every platform.
std::vector<double> record(long count, std::uint32_t seed) {
    std::vector<double> v = {static_cast<double>(count), 1.0, static_cast<double>(count)};
    double phase = 1e-3;
    for (long k = 0; k < count; ++k) {
        seed = seed * 1664525u + 1013904223u;
        phase += (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 1e-9;
        v.push_back(phase);
    }
    return v;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    const char* path = argc > 1 ? argv[1] : "varnisx.dll";
#else
    const char* path = argc > 1 ? argv[1] : "libvarnisx.so";
#endif
    void* lib = load(path);
    if (lib == nullptr) {
        std::printf("cannot load %s\n", path);
        return 1;
    }
    auto check_x = VARNISX_FN(lib, CheckVarnisX);
    auto theo1 = VARNISX_FN(lib, CalcTheo1Dev);
    auto theo1_sweep = VARNISX_FN(lib, CalcTheo1Sweep);
    auto theobr_ratio = VARNISX_FN(lib, CalcTheoBRRatio);
    auto theobr_sweep = VARNISX_FN(lib, CalcTheoBRSweep);
    auto theoh = VARNISX_FN(lib, CalcTheoHSweep);
    auto pdev = VARNISX_FN(lib, CalcParabolicDev);
    auto hat = VARNISX_FN(lib, CalcThreeCorneredHat);
    auto dynamic = VARNISX_FN(lib, CalcDynamicAllanDev);
    auto lag1 = VARNISX_FN(lib, CalcLag1NoiseID);
    if (g_failed > 0) return 1;

    check(check_x() == 200, "CheckVarnisX returns 200");

    // Worked values: Theo1 of x_k = k^2 at m = 10 is sqrt(100 / 3) (every term is
    // 2 k (m - k)); PDEV at m = 1 of 0, 1, 4, 9 is the Allan deviation sqrt(2).
    std::vector<double> square = {40, 1, 40};
    for (int k = 1; k <= 40; ++k) square.push_back(static_cast<double>(k) * k);
    double value = 0.0;
    check(theo1(square.data(), &value, 1.0, 10) == 30 && std::fabs(value - std::sqrt(100.0 / 3.0)) < 1e-12,
          "Theo1 of a parabola");
    const double four[] = {4, 1, 4, 0.0, 1.0, 4.0, 9.0};
    check(pdev(four, &value, 1.0, 1) == 2 && std::fabs(value - std::sqrt(2.0)) < 1e-15,
          "PDEV at factor 1 is the Allan deviation");

    const auto x = record(2048, 12345u);
    const int factors[] = {10, 16, 64, 256, 1024, 2046};
    double devs[6];
    int windows[6];
    check(theo1_sweep(x.data(), 1.0, factors, 6, devs, windows, nullptr, 0, nullptr) == 6, "Theo1 sweep");
    for (int r = 0; r < 6; ++r) print_result(("Theo1 m=" + std::to_string(factors[r])).c_str(), windows[r], devs[r]);
    double ratio = 0.0;
    const int pairs = theobr_ratio(x.data(), &ratio, nullptr, 0, nullptr);
    print_result("TheoBR ratio", pairs, ratio);
    check(theobr_sweep(x.data(), 1.0, factors, 6, devs, windows, nullptr, nullptr, 0, nullptr) == 6,
          "TheoBR sweep");
    print_result("TheoBR m=1024", windows[4], devs[4]);
    const int afs[] = {1, 100, 204, 205, 900};
    double taus[5];
    int kinds[5];
    check(theoh(x.data(), 1.0, afs, 5, 0, devs, taus, windows, kinds, nullptr, 0, nullptr) == 5, "TheoH");
    for (int r = 0; r < 5; ++r) print_result(("TheoH af=" + std::to_string(afs[r])).c_str(), kinds[r], devs[r] * taus[r]);
    for (int m : {2, 37, 500}) {
        const int n = pdev(x.data(), &value, 1.0, m);
        print_result(("PDEV m=" + std::to_string(m)).c_str(), n, value);
    }

    const auto y = record(2048, 777u), z = record(2048, 4242u);
    double variances[3];
    for (int kind = VARNISX_ALLAN; kind <= VARNISX_THEO1; ++kind) {
        const int n = hat(x.data(), y.data(), z.data(), 1.0, 16, kind, variances, nullptr);
        for (int c = 0; c < 3; ++c)
            print_result(("hat kind=" + std::to_string(kind) + " clock=" + std::to_string(c)).c_str(), n, variances[c]);
    }
    const int dyn_factors[] = {1, 8};
    double cells[2 * 7];
    int terms[2 * 7];
    const int rows = dynamic(x.data(), 1.0, 512, 256, dyn_factors, 2, cells, terms, 7, nullptr, 0, nullptr);
    check(rows == 7, "dynamic ADEV windows");
    for (int cell : {0, 5, 13}) print_result(("dynamic cell " + std::to_string(cell)).c_str(), terms[cell], cells[cell]);
    int alpha = 99;
    double estimate = 0.0;
    for (int m : {1, 8})
        for (int type : {0, 1}) {
            const int n = lag1(x.data(), type, m, &alpha, &estimate);
            print_result(("lag1 type=" + std::to_string(type) + " m=" + std::to_string(m) + " alpha=" + std::to_string(alpha)).c_str(), n, estimate);
        }

    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 ? 0 : 1;
}
