// Fuzz target: degrees of freedom, distributions, bias functions and noise
// identification, domain conversion, noise generation and the periodogram.
#include "fuzz_support.h"

namespace {

using fuzz::check_unchanged;
using fuzz::Guarded;
using fuzz::Input;
using fuzz::read_record;

// Arguments whose magnitude is a count of terms are kept small enough to run quickly.
constexpr int kTerms = 100000;

void gen_noise(Input& in) {
    const bool power = in.flag();
    int count = power ? 1 << (in.byte() % 13) : in.integer(-4, 5000);
    // A valid count asks for that many values (and 32 bytes of working storage per
    // value): one beyond the array the harness can hold is a caller's error, not the
    // library's, so it becomes the largest the harness holds.
    if (count > 5000 && (count & (count - 1)) == 0) count = 4096;
    const std::size_t n = count > 0 && count <= 5000 ? static_cast<std::size_t>(count) : 0;
    Guarded<double> values(n, in.real());
    Guarded<int> seed(1, in.integer(-300000, 300000));
    const float q = in.real_f();
    const float beta = in.real_f();
    const bool null_values = in.byte() % 16 == 0;
    const int r = GenNoise(count, null_values ? nullptr : values.data(), q, beta,
                           in.byte() % 16 == 0 ? nullptr : seed.data(), in.integer());
    values.check("GenNoise");
    seed.check("GenNoise");
    if (r > 0 && r != count) {
        std::fprintf(stderr, "GenNoise returned %d for a count of %d\n", r, count);
        std::abort();
    }
}

void spectrum(Input& in) {
    fuzz::Record<> r(in);
    const auto before = r.v.contents();
    const int n = in.integer(-4, 4200);
    const std::size_t p = n >= 1 && n <= 4200 ? fuzz::power_of_two_above(static_cast<std::size_t>(n)) : 0;
    const std::size_t re_size = p ? std::max(static_cast<std::size_t>(n) + 3, p) : 0;
    Guarded<float> re(re_size), im(p);
    const float tau = in.real_f();
    const int passes = in.integer(-2, 5);
    const int window = in.integer(-2, 7);
    const int units = in.integer(-2, 6);
    const float scale = in.real_f();
    const int segments = in.flag() ? 1 << (in.byte() % 14) : in.integer();
    SpectrumCalc(r.data(), re.data(), im.data(), tau, n, passes, window, units, scale, segments,
                 in.integer(-1, 2));
    r.check("SpectrumCalc");
    re.check("SpectrumCalc");
    im.check("SpectrumCalc");
    check_unchanged(before, r.v.contents(), "SpectrumCalc");
}

void levels(const char* routine, Input& in, float (*call)(const float*, int)) {
    Guarded<float> five(5);
    for (int i = 0; i < 5; ++i) five[i] = in.real_f();
    const auto before = five.contents();
    call(in.byte() % 8 == 0 ? nullptr : five.data(), in.integer(-2, 6));
    five.check(routine);
    check_unchanged(before, five.contents(), routine);
}

template <class F>
void domain(const char* routine, Input& in, F call) {
    Guarded<float> out(1, in.real_f());
    const float value = in.real_f(), tau = in.real_f(), f = in.real_f(), nu0 = in.real_f(),
                fh = in.real_f();
    const int type = in.integer(-1, 9), alpha = in.integer(-4, 4), n = in.integer();
    call(in.byte() % 16 == 0 ? nullptr : out.data(), value, tau, f, nu0, fh, type, alpha, n);
    out.check(routine);
}

fuzz::Entry table[] = {
    {"EDF", [](Input& in) {
         const int beta = in.integer(-6, 2), m = in.integer();
         EDF(beta, m, in.integer());
     }, 0},
    {"CalcDegFree", [](Input& in) {
         const int alpha = in.integer(-4, 4), n = in.integer();
         CalcDegFree(alpha, n, in.integer());
     }, 0},
    {"HadamardEDF", [](Input& in) {
         const int n = in.integer(), m = in.integer();
         HadamardEDF(n, m, in.integer(-8, 0));
     }, 0},
    {"CalcNormalProb", [](Input& in) { CalcNormalProb(in.real_f()); }, 0},
    {"CalcChiSqrProb", [](Input& in) {
         const float x = in.real_f();
         CalcChiSqrProb(x, in.real_f());
     }, 0},
    {"CalcInvChiSqr", [](Input& in) {
         const float p = in.flag() ? in.byte() / 255.0f : in.real_f();
         CalcInvChiSqr(p, in.real_f());
     }, 0},
    {"CalcBias", [](Input& in) {
         const int n = in.integer();
         CalcBias(n, in.integer(-4, 4));
     }, 0},
    {"CalcBias1", [](Input& in) {
         const int n = in.bounded(kTerms);
         const float r = in.real_f();
         CalcBias1(n, r, in.real_f());
     }, 0},
    {"CalcBias2", [](Input& in) {
         const float r = in.real_f();
         CalcBias2(r, in.real_f());
     }, 0},
    {"CalcBias3", [](Input& in) {
         const int n = in.bounded(kTerms);
         const float r = in.real_f();
         CalcBias3(n, r, in.real_f());
     }, 0},
    {"CalcStarB1", [](Input& in) {
         read_record("CalcStarB1", in, [](Input& a, const double* d, double*) {
             const int kind = a.integer(-1, 2);
             const double tau0 = a.real();
             CalcStarB1(d, kind, tau0, a.integer(-4, 4200));
         });
     }, 0},
    {"CalcHadamardB1", [](Input& in) {
         const int n = in.bounded(kTerms);
         CalcHadamardB1(n, in.integer(-3, 5));
     }, 0},
    {"CalcRatio", [](Input& in) {
         const int alpha = in.integer(-4, 4), n = in.bounded(kTerms);
         CalcRatio(alpha, n, in.real_f());
     }, 0},
    {"NoiseID", [](Input& in) {
         const int n = in.bounded(kTerms), kind = in.integer(-2, 11), m = in.bounded(kTerms);
         const float b = in.real_f();
         NoiseID(n, kind, m, b, in.real_f());
     }, 0},
    {"ConvDomain", [](Input& in) {
         domain("ConvDomain", in, [](float* out, float h, float tau, float f, float nu0, float fh,
                                     int type, int alpha, int n) {
             ConvDomain(h, out, tau, f, nu0, fh, type, alpha, n);
         });
     }, 0},
    {"CalcDomain", [](Input& in) { domain("CalcDomain", in, CalcDomain); }, 0},
    {"GenNoise", gen_noise, 0},
    {"SpectrumCalc", spectrum, 0},
    {"AddPSD", [](Input& in) { levels("AddPSD", in, AddPSD); }, 0},
};

}  // namespace

VARNIS_FUZZ_TARGET(table)
