// Fuzz target: phase and frequency conversion and averaging, drift and offset,
// gaps, outliers and robust statistics, and the multitaper spectrum.
#include "fuzz_support.h"

namespace {

using fuzz::change_record;
using fuzz::check_unchanged;
using fuzz::Guarded;
using fuzz::Input;
using fuzz::read_record;
using fuzz::Record;

// A routine that reads a record and writes a new one: output of `extra` + M doubles.
template <class F>
void convert(const char* routine, Input& in, std::size_t extra, F call) {
    Record<> r(in);
    const auto before = r.v.contents();
    Guarded<double> out(r.window() + extra);
    call(in, r, out.data());
    r.check(routine);
    out.check(routine);
    check_unchanged(before, r.v.contents(), routine);
}

// A fit with several out-parameters: each in its own guard zones.
template <std::size_t N, class F>
void fit(const char* routine, Input& in, F call) {
    Record<> r(in);
    const auto before = r.v.contents();
    std::vector<Guarded<double>> outs;
    for (std::size_t i = 0; i < N; ++i) outs.emplace_back(1, -7.0);
    double* p[N];
    for (std::size_t i = 0; i < N; ++i) p[i] = outs[i].data();
    call(in, r.data(), p);
    r.check(routine);
    for (auto& o : outs) o.check(routine);
    check_unchanged(before, r.v.contents(), routine);
}

void timetags(Input& in) {
    Record<> r(in);
    const auto before = r.v.contents();
    const std::size_t m = r.window();
    Guarded<double> out(m + 3), tags(m + 3), mean_tau(1);
    const bool ordered = in.flag();
    double t = 0.0;
    for (std::size_t k = 0; k < m + 3; ++k) {
        t += ordered ? 1.0 + in.byte() % 3 : in.real();
        tags[k] = t;
    }
    const double scale = in.real();
    ConvPhaseToFreqUsingTimetags(r.data(), out.data(), tags.data(), scale, mean_tau.data(), in.flag());
    r.check("ConvPhaseToFreqUsingTimetags");
    out.check("ConvPhaseToFreqUsingTimetags");
    tags.check("ConvPhaseToFreqUsingTimetags");
    mean_tau.check("ConvPhaseToFreqUsingTimetags");
    check_unchanged(before, r.v.contents(), "ConvPhaseToFreqUsingTimetags");
}

void float_gaps(Input& in) {
    Record<float> r(in);
    FillFloatGaps(r.data(), in.integer(-1, 2));
    r.check("FillFloatGaps");
}

void multitaper(Input& in) {
    Record<> r(in);
    const auto before = r.v.contents();
    const int n = in.integer(-4, 4200);
    std::size_t spectrum_size = 0, bins = 0;
    if (n >= 1 && n <= 4200) {
        const std::size_t nfft = 2 * fuzz::power_of_two_above(static_cast<std::size_t>(n));
        bins = nfft / 2 - 1;
        spectrum_size = std::max(static_cast<std::size_t>(n) + 3, bins);
    }
    Guarded<float> spectrum(spectrum_size), frequencies(bins);
    const float tau = in.real_f();
    const float nw = in.flag() ? static_cast<float>(in.byte() % 16) / 2.0f : in.real_f();
    // The tapers cost K N each: K stays small apart from the extremes.
    const int k = in.integer(-2, 12);
    const int estimator = in.integer(-1, 3), normalisation = in.integer(-1, 4);
    const int unused = in.integer(), log_form = in.integer(-1, 3);
    const float scale = in.real_f();
    MultiTaperSpectrumCalc(r.data(), spectrum.data(), frequencies.data(), tau, n, nw, k, estimator,
                           normalisation, unused, log_form, scale, in.integer(-1, 2));
    r.check("MultiTaperSpectrumCalc");
    spectrum.check("MultiTaperSpectrumCalc");
    frequencies.check("MultiTaperSpectrumCalc");
    check_unchanged(before, r.v.contents(), "MultiTaperSpectrumCalc");
}

fuzz::Entry table[] = {
    {"ConvPhaseToFreq", [](Input& in) {
         convert("ConvPhaseToFreq", in, 3, [](Input& a, Record<>& r, double* out) {
             const double tau = a.real();
             ConvPhaseToFreq(r.data(), out, tau, a.flag());
         });
     }, 0},
    {"ConvFreqToPhase", [](Input& in) {
         convert("ConvFreqToPhase", in, 4, [](Input& a, Record<>& r, double* out) {
             const double tau = a.real();
             ConvFreqToPhase(r.data(), out, tau, a.flag());
         });
     }, 0},
    {"ConvPhaseToFreqUsingTimetags", timetags, 0},
    {"AverageFreqData", [](Input& in) {
         change_record("AverageFreqData", in, [](Input& a, double* d) { AverageFreqData(d, a.integer(-4, 4200)); });
     }, 0},
    {"AveragePhaseData", [](Input& in) {
         change_record("AveragePhaseData", in, [](Input& a, double* d) { AveragePhaseData(d, a.integer(-4, 4200)); });
     }, 0},
    {"CalcFirstDiff", [](Input& in) {
         read_record("CalcFirstDiff", in, [](Input&, const double* d, double* o) { CalcFirstDiff(d, o); });
     }, 0},
    {"CalcSecondDiff", [](Input& in) {
         read_record("CalcSecondDiff", in, [](Input&, const double* d, double* o) { CalcSecondDiff(d, o); });
     }, 0},
    {"NormalizeData", [](Input& in) {
         change_record("NormalizeData", in, [](Input& a, double* d) {
             const double value = a.real();
             NormalizeData(d, value, a.integer(-1, 2));
         });
     }, 0},
    {"ScaleData", [](Input& in) {
         change_record("ScaleData", in, [](Input& a, double* d) {
             const double offset = a.real(), factor = a.real();
             ScaleData(d, offset, factor, a.integer(-1, 2));
         });
     }, 0},
    {"CalcLinFreqDrift", [](Input& in) {
         fit<3>("CalcLinFreqDrift", in, [](Input&, const double* d, double** o) {
             CalcLinFreqDrift(d, o[0], o[1], o[2]);
         });
     }, 0},
    {"CalcLogFreqDrift", [](Input& in) {
         fit<4>("CalcLogFreqDrift", in, [](Input&, const double* d, double** o) {
             CalcLogFreqDrift(d, o[0], o[1], o[2], o[3]);
         });
     }, 0},
    {"CalcDiffusionFreqDrift", [](Input& in) {
         fit<4>("CalcDiffusionFreqDrift", in, [](Input&, const double* d, double** o) {
             CalcDiffusionFreqDrift(d, o[0], o[1], o[2], o[3]);
         });
     }, 0},
    {"CalcQuadraticDrift", [](Input& in) {
         fit<4>("CalcQuadraticDrift", in, [](Input& a, const double* d, double** o) {
             CalcQuadraticDrift(d, a.real(), o[0], o[1], o[2], o[3]);
         });
     }, 0},
    {"CalcBisectionDrift", [](Input& in) {
         // The header is narrowed during the call and must come back as it was.
         fit<0>("CalcBisectionDrift", in, [](Input&, const double* d, double**) {
             CalcBisectionDrift(const_cast<double*>(d));
         });
     }, 0},
    {"CalcThreePointDrift", [](Input& in) {
         change_record("CalcThreePointDrift", in, [](Input&, double* d) { CalcThreePointDrift(d); });
     }, 0},
    {"CalcFreqOffset", [](Input& in) {
         fit<3>("CalcFreqOffset", in, [](Input&, const double* d, double** o) {
             CalcFreqOffset(d, o[0], o[1], o[2]);
         });
     }, 0},
    {"RemoveDiffusionFreqDrift", [](Input& in) {
         change_record("RemoveDiffusionFreqDrift", in, [](Input& a, double* d) {
             const double i = a.real(), s = a.real();
             RemoveDiffusionFreqDrift(d, i, s, a.real());
         });
     }, 0},
    {"RemoveFreqOffset", [](Input& in) {
         change_record("RemoveFreqOffset", in, [](Input& a, double* d) {
             const double i = a.real(), s = a.real();
             RemoveFreqOffset(d, i, s, a.integer());
         });
     }, 0},
    {"RemoveLinFreqDrift", [](Input& in) {
         change_record("RemoveLinFreqDrift", in, [](Input& a, double* d) {
             const double i = a.real();
             RemoveLinFreqDrift(d, i, a.real());
         });
     }, 0},
    {"RemoveLogFreqDrift", [](Input& in) {
         change_record("RemoveLogFreqDrift", in, [](Input& a, double* d) {
             const double x = a.real(), b = a.real();
             RemoveLogFreqDrift(d, x, b, a.real());
         });
     }, 0},
    {"RemoveQuadraticDrift", [](Input& in) {
         change_record("RemoveQuadraticDrift", in, [](Input& a, double* d) {
             const double a0 = a.real(), a1 = a.real();
             RemoveQuadraticDrift(d, a0, a1, a.real());
         });
     }, 0},
    {"CountGaps", [](Input& in) {
         read_record("CountGaps", in, [](Input& a, const double* d, double*) { CountGaps(d, a.integer(-1, 2)); });
     }, 0},
    {"FillGaps", [](Input& in) {
         change_record("FillGaps", in, [](Input& a, double* d) { FillGaps(d, a.integer(-1, 2)); });
     }, 0},
    {"FillFloatGaps", float_gaps, 0},
    {"FindFreqOutliers", [](Input& in) {
         change_record("FindFreqOutliers", in, [](Input& a, double* d) {
             const float factor = a.real_f();
             FindFreqOutliers(d, factor, a.integer());
         });
     }, 0},
    {"FindMedian", [](Input& in) {
         read_record("FindMedian", in, [](Input& a, const double* d, double* o) {
             FindMedian(d, a.integer(-1, 2), o);
         });
     }, 0},
    {"MedDev", [](Input& in) {
         Record<> r(in);
         const auto before = r.v.contents();
         Guarded<float> result(1);
         MedDev(r.data(), result.data());
         r.check("MedDev");
         result.check("MedDev");
         check_unchanged(before, r.v.contents(), "MedDev");
     }, 0},
    {"MultiTaperSpectrumCalc", multitaper, 0},
};

}  // namespace

VARNIS_FUZZ_TARGET(table)
