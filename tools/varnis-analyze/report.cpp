#include "report.h"

#include "number_text.h"

namespace analyze {

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

namespace {
std::string left(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string missing_text(const Estimate &e) {
    if (e.skipped_as_too_long) return "(skipped)";
    if (e.not_finite) return "(not finite)";
    return "-";
}

std::string statistic_table(const Analysis &a, int s) {
    std::string out = std::string(statistic_title(s)) + "\n";
    bool with_interval = statistic_info(s).edf != nullptr;
    out += padded("m", 9) + padded("tau (s)", 12) + padded("terms", 10) + padded("value", 12);
    if (with_interval) out += padded("EDF", 10) + padded("lower", 12) + padded("upper", 12);
    out += "  noise\n";
    for (const Row &row : a.rows) {
        const Estimate &e = row.estimates[s];
        out += padded(integer_text(row.m), 9) + padded(scientific_text(estimate_tau(e, row), 3), 12);
        if (!e.computed) {
            out += padded("-", 10) + padded(missing_text(e), 12) + "\n";
            continue;
        }
        out += padded(integer_text(e.terms), 10) + padded(scientific_text(e.value, 3), 12);
        if (with_interval) {
            if (e.has_interval)
                out += padded(fixed_text(e.edf, 1), 10) + padded(scientific_text(e.lower, 3), 12) +
                       padded(scientific_text(e.upper, 3), 12);
            else
                out += "  " + left(interval_note(e, row), 32);
        }
        out += "  " + noise_text(row) + "\n";
    }
    return out + "\n";
}
}  // namespace

std::string data_summary(const Analysis &a) {
    return std::string(a.settings.kind == DataKind::Phase ? "phase (s)" : "fractional frequency") + ", " +
           integer_text(a.input_samples) + " values, tau0 = " + exact_text(a.settings.tau0) + " s";
}

std::string noise_text(const Row &row) {
    switch (row.noise) {
        case NoiseSource::Identified: return noise_name(row.noise_alpha);
        case NoiseSource::Assumed:
            return std::string(noise_name(row.noise_alpha)) + " (as at m = " + integer_text(row.noise_from_m) + ")";
        case NoiseSource::None: break;
    }
    return "-";
}

std::string interval_note(const Estimate &e, const Row &row) {
    if (e.has_interval || !e.computed) return "";
    if (e.no_interval != nullptr) return e.no_interval;
    if (e.too_few_terms) return "too few terms for an interval";
    if (row.noise == NoiseSource::None) return "no interval: noise type unknown";
    return "";
}

namespace {
// What a cost limit left out of statistic s, from factor first_limited on: "; no factor
// skipped", "; <what>computed up to m = 8, skipped beyond" or "; <what>skipped at every
// factor".
std::string limit_outcome(const Analysis &a, int s, int first_limited, const std::string &what) {
    int last_computed = 0;
    bool skipped = false;
    for (const Row &row : a.rows) {
        const Estimate &e = row.estimates[s];
        if (e.computed && row.m >= first_limited) last_computed = row.m;
        skipped = skipped || e.skipped_as_too_long;
    }
    if (skipped && last_computed == 0) return "; " + what + "skipped at every factor";
    if (skipped) return "; " + what + "computed up to m = " + integer_text(last_computed) + ", skipped beyond";
    return "; no factor skipped";
}
}  // namespace

std::string modified_total_limit_text(const Analysis &a) {
    return "Modified total deviation: cost limit (N - 3m + 1) m <= " + scientific_text(a.settings.mtotdev_limit, 0) +
           " with N = " + integer_text(a.phase_samples) + limit_outcome(a, MTOTDEV, 1, "");
}

std::string theoh_limit_text(const Analysis &a) {
    const int n = a.phase_samples;
    return "TheoH: Allan deviation up to m = " + integer_text(theoh_switch_factor(n)) +
           " (N / 10), TheoBR beyond (tau = 0.75 x its Theo1 factor); cost limit N x largest Theo1 factor <= " +
           scientific_text(a.settings.theoh_limit, 0) + " with N = " + integer_text(n) +
           (theoh_reach(n) == 0 ? "; no TheoBR row (fewer than 90 values)"
                                : limit_outcome(a, THEOH, theoh_switch_factor(n) + 1, "TheoBR "));
}

std::string table_text(const Analysis &a, const std::string &data_path) {
    std::string out = "Data file: " + data_path + "\n";
    out += "Data: " + data_summary(a) + "\n";
    out += "Gaps found: " + integer_text(a.gaps) + "\n";
    out += "Drift removed: " + a.record.drift_description + "\n";
    for (const Coefficient &c : a.record.coefficients)
        out += left(c.name + ":", 27) + scientific_text(c.value, 6) + (c.unit.empty() ? "" : " " + c.unit) + "\n";
    out += "MTIE and TIE rms: of the phase as recorded\n";
    out += "Confidence intervals: " + integer_text(a.settings.confidence_percent) + " %\n";
    out += modified_total_limit_text(a) + "\n";
    out += theoh_limit_text(a) + "\n\n";
    for (int s = 0; s < STATISTIC_COUNT; ++s) out += statistic_table(a, s);
    for (const std::string &problem : a.problems) out += "Not reported: " + problem + ".\n";
    if (a.stopped) out += "Stopped by the user: the rows above are complete, later ones were not computed.\n";
    return out;
}

std::string csv_text(const Analysis &a) {
    std::string out = "statistic,m,tau,terms,value,edf,lower,upper,noise_alpha,note\n";
    for (const Row &row : a.rows) {
        for (int s = 0; s < STATISTIC_COUNT; ++s) {
            const Estimate &e = row.estimates[s];
            if (!e.computed) continue;
            out += std::string(statistic_key(s)) + "," + integer_text(row.m) + "," + exact_text(estimate_tau(e, row)) + "," +
                   integer_text(e.terms) + "," + exact_text(e.value) + ",";
            if (e.has_interval) out += exact_text(e.edf) + "," + exact_text(e.lower) + "," + exact_text(e.upper);
            else out += ",,";
            out += "," + (row.noise == NoiseSource::None ? std::string() : integer_text(row.noise_alpha));
            std::string note = interval_note(e, row);
            if (row.noise == NoiseSource::Assumed)
                note += std::string(note.empty() ? "" : "; ") + "noise type as at m = " + integer_text(row.noise_from_m);
            out += "," + note + "\n";
        }
    }
    return out;
}

}  // namespace analyze
