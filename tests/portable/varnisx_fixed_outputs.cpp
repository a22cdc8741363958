// Loads VarnisX by name, as an outside analysis program does (it finds Varnis beside
// it), runs worked values of each family as checks and prints a fixed set of results
// to 17 significant digits. The Linux and the Windows builds must print the same lines.
//
// usage: varnisx_fixed_outputs [library path]   (default: varnisx.dll / libvarnisx.so)
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fixed_output_support.h"
#include "varnisx.h"

using namespace fixed_outputs;

namespace {

// A phase record of white frequency noise on a time offset, as a data vector.
std::vector<double> record(long count, std::uint64_t seed) {
    return data_vector(white_fm_phase(static_cast<std::size_t>(count), seed, false));
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    const char* path = argc > 1 ? argv[1] : "varnisx.dll";
#else
    const char* path = argc > 1 ? argv[1] : "libvarnisx.so";
#endif
    Library lib(path);
    if (!lib.loaded()) {
        std::printf("cannot load %s\n", path);
        return 1;
    }
    auto check_x = VARNIS_FN(lib, CheckVarnisX);
    auto theo1 = VARNIS_FN(lib, CalcTheo1Dev);
    auto theo1_sweep = VARNIS_FN(lib, CalcTheo1Sweep);
    auto theobr_ratio = VARNIS_FN(lib, CalcTheoBRRatio);
    auto theobr_sweep = VARNIS_FN(lib, CalcTheoBRSweep);
    auto theoh = VARNIS_FN(lib, CalcTheoHSweep);
    auto pdev = VARNIS_FN(lib, CalcParabolicDev);
    auto hat = VARNIS_FN(lib, CalcThreeCorneredHat);
    auto dynamic = VARNIS_FN(lib, CalcDynamicAllanDev);
    auto lag1 = VARNIS_FN(lib, CalcLag1NoiseID);
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

    const auto x = record(2048, 12345);
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

    const auto y = record(2048, 777), z = record(2048, 4242);
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
