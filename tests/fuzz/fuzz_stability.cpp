// Fuzz target: the presence check and the variance families (Allan, modified Allan,
// Hadamard, time interval error, total variances).
#include <iterator>

#include "fuzz_support.h"

namespace {

using fuzz::Input;
using fuzz::Progress;
using fuzz::read_record;
using fuzz::check_unchanged;

int* stop_flag(Input& in) { return in.byte() % 8 == 0 ? nullptr : &Progress::stop; }

void mtie(Input& in) {
    fuzz::Record<> r(in);
    const auto before = r.v.contents();
    fuzz::Guarded<double> out(1);
    Progress::arm(in);
    const int m = in.integer(-4, 4200);
    CalcMTIE(r.data(), out.data(), m, &Progress::stop, in.flag(), Progress::callback);
    r.check("CalcMTIE");
    out.check("CalcMTIE");
    // The header is put back (as whole numbers) and no sample is touched.
    auto after = r.v.contents();
    for (std::size_t k = 3; k < after.size(); ++k)
        if (std::memcmp(&after[k], &before[k], sizeof(double)) != 0) {
            std::fprintf(stderr, "CalcMTIE changed sample %zu\n", k - 2);
            std::abort();
        }
    if (r.window() > 0 && (after[1] != std::trunc(before[1]) || after[2] != std::trunc(before[2]))) {
        std::fprintf(stderr, "CalcMTIE did not restore the header\n");
        std::abort();
    }
}

void fast_mtie(Input& in) {
    fuzz::Record<> r(in);
    const auto before = r.v.contents();
    const std::size_t m = r.window();
    std::size_t rows = 0;
    while ((std::size_t{2} << rows) <= m) ++rows;  // floor(log2 M)
    fuzz::Guarded<float> points(rows), values(rows);
    fuzz::Guarded<int> factors(rows);
    VarnisStabilityTable table{};
    int mine[8];
    table.count = -7;
    table.callerMember2 = &mine[0];
    table.callerMember3 = &mine[1];
    table.callerMember6 = &mine[2];
    table.callerMember7 = &mine[3];
    table.callerMember8 = &mine[4];
    table.callerMember9 = &mine[5];
    table.callerMember10 = &mine[6];
    table.callerMember11 = &mine[7];
    table.numPoints = points.data();
    table.value = values.data();
    table.avgFactor = factors.data();
    const VarnisStabilityTable copy = table;
    Progress::arm(in);
    const int n = CalcFastMTIE(r.data(), &table, in.flag(), Progress::callback);
    r.check("CalcFastMTIE");
    points.check("CalcFastMTIE");
    values.check("CalcFastMTIE");
    factors.check("CalcFastMTIE");
    check_unchanged(before, r.v.contents(), "CalcFastMTIE");
    const void* const kept[] = {copy.callerMember2, copy.callerMember3, copy.callerMember6,
                                copy.callerMember7, copy.callerMember8, copy.callerMember9,
                                copy.callerMember10, copy.callerMember11, copy.numPoints,
                                copy.value, copy.avgFactor};
    const void* const now[] = {table.callerMember2, table.callerMember3, table.callerMember6,
                               table.callerMember7, table.callerMember8, table.callerMember9,
                               table.callerMember10, table.callerMember11, table.numPoints,
                               table.value, table.avgFactor};
    check_unchanged(std::vector<const void*>(std::begin(kept), std::end(kept)),
                    std::vector<const void*>(std::begin(now), std::end(now)), "CalcFastMTIE");
    if (n > static_cast<int>(rows) || (n > 0 && table.count != n)) {
        std::fprintf(stderr, "CalcFastMTIE returned %d rows for a table of %zu\n", n, rows);
        std::abort();
    }
}

fuzz::Entry table[] = {
    {"CheckVarnis", [](Input&) {
         if (CheckVarnis() != 200) std::abort();
     }, 0},
    {"CalcPhaseSigma", [](Input& in) {
         read_record("CalcPhaseSigma", in, [](Input& a, const double* d, double* o) {
             CalcPhaseSigma(d, o, a.real());
         });
     }, 0},
    {"CalcFreqSigma", [](Input& in) {
         read_record("CalcFreqSigma", in, [](Input&, const double* d, double* o) { CalcFreqSigma(d, o); });
     }, 0},
    {"CalcPhaseOverlapSigma", [](Input& in) {
         read_record("CalcPhaseOverlapSigma", in, [](Input& a, const double* d, double* o) {
             const double tau0 = a.real();
             CalcPhaseOverlapSigma(d, o, tau0, a.integer(-4, 2100));
         });
     }, 0},
    {"CalcFreqOverlapSigma", [](Input& in) {
         read_record("CalcFreqOverlapSigma", in, [](Input& a, const double* d, double* o) {
             CalcFreqOverlapSigma(d, o, a.integer(-4, 2100));
         });
     }, 0},
    {"CalcPhaseStdDev", [](Input& in) {
         read_record("CalcPhaseStdDev", in, [](Input& a, const double* d, double* o) {
             CalcPhaseStdDev(d, o, a.real());
         });
     }, 0},
    {"CalcFreqStdDev", [](Input& in) {
         read_record("CalcFreqStdDev", in, [](Input&, const double* d, double* o) { CalcFreqStdDev(d, o); });
     }, 0},
    {"CalcMean", [](Input& in) {
         read_record("CalcMean", in, [](Input& a, const double* d, double* o) { CalcMean(d, o, a.integer()); });
     }, 0},
    {"AddSigma", [](Input& in) {
         fuzz::Guarded<float> five(5);
         for (int i = 0; i < 5; ++i) five[i] = in.real_f();
         const auto before = five.contents();
         AddSigma(in.byte() % 8 == 0 ? nullptr : five.data());
         five.check("AddSigma");
         check_unchanged(before, five.contents(), "AddSigma");
     }, 0},
    {"CalcPhaseModSigma", [](Input& in) {
         read_record("CalcPhaseModSigma", in, [](Input& a, const double* d, double* o) {
             const double tau = a.real();
             const int m = a.integer(-4, 1400);
             int* stop = stop_flag(a);
             CalcPhaseModSigma(d, o, tau, m, stop, a.flag(), a.byte() % 8 == 0 ? nullptr : Progress::callback);
         });
     }, 0},
    {"CalcFastModSigma", [](Input& in) {
         read_record("CalcFastModSigma", in, [](Input& a, const double* d, double* o) {
             const double tau = a.real();
             CalcFastModSigma(d, o, tau, a.integer(-4, 1400));
         });
     }, 0},
    {"CalcGreenhallModSigma", [](Input& in) {
         read_record("CalcGreenhallModSigma", in, [](Input& a, const double* d, double* o) {
             const double tau = a.real();
             CalcGreenhallModSigma(d, o, tau, a.integer(-4, 1400));
         });
     }, 0},
    {"CalcFreqModSigma", [](Input& in) {
         read_record("CalcFreqModSigma", in, [](Input& a, const double* d, double* o) {
             CalcFreqModSigma(d, o, a.integer(-4, 1400));
         });
     }, 0},
    {"CalcPhaseHadamardDev", [](Input& in) {
         read_record("CalcPhaseHadamardDev", in, [](Input& a, const double* d, double* o) {
             CalcPhaseHadamardDev(d, o, a.real());
         });
     }, 0},
    {"CalcHadamardDev", [](Input& in) {
         read_record("CalcHadamardDev", in, [](Input& a, const double* d, double* o) {
             CalcHadamardDev(d, o, a.real());
         });
     }, 0},
    {"CalcFreqHadamardDev", [](Input& in) {
         read_record("CalcFreqHadamardDev", in, [](Input&, const double* d, double* o) {
             CalcFreqHadamardDev(d, o);
         });
     }, 0},
    {"CalcPhaseOverlapHadamardDev", [](Input& in) {
         read_record("CalcPhaseOverlapHadamardDev", in, [](Input& a, const double* d, double* o) {
             const double tau0 = a.real();
             CalcPhaseOverlapHadamardDev(d, o, tau0, a.integer(-4, 1400));
         });
     }, 0},
    {"CalcFreqOverlapHadamardDev", [](Input& in) {
         read_record("CalcFreqOverlapHadamardDev", in, [](Input& a, const double* d, double* o) {
             CalcFreqOverlapHadamardDev(d, o, a.integer(-4, 1400));
         });
     }, 0},
    {"CalcMTIE", mtie, 0},
    {"CalcFastMTIE", fast_mtie, 0},
    {"TIErms", [](Input& in) {
         read_record("TIErms", in, [](Input& a, const double* d, double* o) { TIErms(d, o, a.integer(-4, 4200)); });
     }, 0},
    {"TotvarCalc", [](Input& in) {
         read_record("TotvarCalc", in, [](Input& a, const double* d, double* o) {
             const double tau0 = a.real();
             const int m = a.integer(-4, 4200);
             TotvarCalc(d, o, tau0, m, a.integer());
         });
     }, 0},
    {"ModTotvarCalc", [](Input& in) {
         read_record("ModTotvarCalc", in, [](Input& a, const double* d, double* o) {
             const double tau0 = a.real();
             const int m = a.integer(-4, 1400);
             ModTotvarCalc(d, o, tau0, m, &Progress::stop, a.flag(), Progress::callback);
         });
     }, 0},
    {"HadTotvarCalc", [](Input& in) {
         read_record("HadTotvarCalc", in, [](Input& a, const double* d, double* o) {
             HadTotvarCalc(d, o, a.integer(-4, 1400), &Progress::stop, a.flag(), Progress::callback);
         });
     }, 0},
    {"TotvarBias", [](Input& in) { const int alpha = in.integer(); TotvarBias(alpha, in.real_f()); }, 0},
    {"TotvarEDF", [](Input& in) { const int alpha = in.integer(); TotvarEDF(alpha, in.real_f()); }, 0},
    {"ModTotvarBias", [](Input& in) { ModTotvarBias(in.integer()); }, 0},
    {"ModTotvarEDF", [](Input& in) { const int alpha = in.integer(); ModTotvarEDF(alpha, in.real_f()); }, 0},
    {"HadTotvarBias", [](Input& in) { HadTotvarBias(in.integer()); }, 0},
    {"HadTotvarEDF", [](Input& in) { const int alpha = in.integer(); HadTotvarEDF(alpha, in.real_f()); }, 0},
};

}  // namespace

VARNIS_FUZZ_TARGET(table)
