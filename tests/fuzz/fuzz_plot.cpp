// Fuzz target: plot scaling and the calendar conversions.
#include "fuzz_support.h"

namespace {

using fuzz::check_unchanged;
using fuzz::Guarded;
using fuzz::Input;

// A date in the packed form: mostly plausible, sometimes any int.
int any_date(Input& in) {
    if (in.flag()) return static_cast<int>(in.u32());
    return (1800 + in.byte() % 400) * 10000 + (in.byte() % 14) * 100 + in.byte() % 33;
}

void min_max(Input& in) {
    fuzz::Record<> r(in);
    const auto before = r.v.contents();
    Guarded<double> lo(1), hi(1);
    FindMinMax(r.data(), lo.data(), in.byte() % 16 == 0 ? nullptr : hi.data(), in.integer());
    r.check("FindMinMax");
    lo.check("FindMinMax");
    hi.check("FindMinMax");
    check_unchanged(before, r.v.contents(), "FindMinMax");
}

void histogram(Input& in) {
    fuzz::Record<> r(in);
    const auto before = r.v.contents();
    // The cost is M per bin; the edges and counts are sized for the bins asked for.
    const int nbins = static_cast<int>(in.byte() % 70) - 4;
    const std::size_t bins = nbins > 0 ? static_cast<std::size_t>(nbins) : 0;
    Guarded<float> edges(bins + 1), counts(bins, in.real_f());
    float edge = in.real_f();
    for (std::size_t j = 0; j <= bins; ++j) {
        edges[j] = edge;
        edge = in.flag() ? edge + static_cast<float>(in.byte()) * 1e-9f : in.real_f();
    }
    const auto edges_before = edges.contents();
    Guarded<double> max_count(1);
    HistoCalc(r.data(), edges.data(), counts.data(), max_count.data(), nbins, in.integer());
    r.check("HistoCalc");
    edges.check("HistoCalc");
    counts.check("HistoCalc");
    max_count.check("HistoCalc");
    check_unchanged(before, r.v.contents(), "HistoCalc");
    check_unchanged(edges_before, edges.contents(), "HistoCalc");
}

fuzz::Entry table[] = {
    {"FindMinMax", min_max, 0},
    {"FindPlotScale", [](Input& in) {
         Guarded<double> lo(1), hi(1);
         const double a = in.real();
         FindPlotScale(a, in.real(), lo.data(), hi.data());
         lo.check("FindPlotScale");
         hi.check("FindPlotScale");
     }, 0},
    {"RoundAxes", [](Input& in) {
         Guarded<double> lo(1, in.real()), hi(1, in.real()), tick(1);
         RoundAxes(lo.data(), hi.data(), tick.data());
         lo.check("RoundAxes");
         hi.check("RoundAxes");
         tick.check("RoundAxes");
     }, 0},
    {"BasScale", [](Input& in) {
         Guarded<double> start(1), step(1);
         const double a = in.real(), b = in.real();
         BasScale(a, b, in.integer(-4, 64), start.data(), step.data());
         start.check("BasScale");
         step.check("BasScale");
     }, 0},
    {"HistoCalc", histogram, 0},
    {"DateConv", [](Input& in) {
         Guarded<int> month(1, in.integer(-2, 14)), days(1), year(1, in.integer(-10, 3000)),
             weekday(1), yearday(1), mjd(1);
         DateConv(month.data(), days.data(), year.data(), weekday.data(), yearday.data(),
                  in.byte() % 16 == 0 ? nullptr : mjd.data());
         for (auto* g : {&month, &days, &year, &weekday, &yearday, &mjd}) g->check("DateConv");
     }, 0},
    {"DateToJulian", [](Input& in) { DateToJulian(any_date(in)); }, 0},
    {"DateToMJD", [](Input& in) {
         const int d = in.integer(-2, 33), m = in.integer(-2, 14);
         DateToMJD(d, m, in.flag() ? in.integer() : 1850 + in.byte());
     }, 0},
    {"DayOfWeek", [](Input& in) { DayOfWeek(any_date(in)); }, 0},
    {"JulianToDate", [](Input& in) { JulianToDate(static_cast<int>(in.u32())); }, 0},
    {"MJDToDate", [](Input& in) {
         Guarded<int> d(1), m(1), y(1);
         MJDToDate(in.flag() ? static_cast<int>(in.u32()) : in.integer(-20000, 120000), d.data(),
                   m.data(), y.data());
         d.check("MJDToDate");
         m.check("MJDToDate");
         y.check("MJDToDate");
     }, 0},
    {"MJDtoDOY", [](Input& in) { MJDtoDOY(static_cast<int>(in.u32())); }, 0},
    {"MJDtoGPS", [](Input& in) { MJDtoGPS(static_cast<int>(in.u32())); }, 0},
    {"MakeDate", [](Input& in) {
         const int m = in.integer(), d = in.integer();
         MakeDate(m, d, in.flag() ? static_cast<int>(in.u32()) : in.integer(-10, 3000));
     }, 0},
    {"BreakDate", [](Input& in) {
         Guarded<int> m(1), d(1), y(1);
         BreakDate(any_date(in), m.data(), d.data(), y.data());
         m.check("BreakDate");
         d.check("BreakDate");
         y.check("BreakDate");
     }, 0},
};

}  // namespace

VARNIS_FUZZ_TARGET(table)
