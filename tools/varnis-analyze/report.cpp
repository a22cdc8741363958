#include "report.h"

#include "number_text.h"

namespace analyze {

namespace {
std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string left(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string statistic_table(const Analysis &a, int s) {
    std::string out = std::string(statistic_title(s)) + "\n";
    bool with_interval = s != MTIE && s != TIERMS;
    out += padded("m", 9) + padded("tau (s)", 12) + padded("terms", 10) + padded("value", 12);
    if (with_interval) out += padded("EDF", 10) + padded("lower", 12) + padded("upper", 12);
    out += "  noise\n";
    for (const Row &row : a.rows) {
        const Estimate &e = row.estimates[s];
        out += padded(integer_text(row.m), 9) + padded(scientific_text(row.tau, 3), 12);
        if (!e.computed) {
            out += padded("-", 10) + padded(e.skipped_as_too_long ? "(skipped)" : "-", 12) + "\n";
            continue;
        }
        out += padded(integer_text(e.terms), 10) + padded(scientific_text(e.value, 3), 12);
        if (with_interval) {
            if (e.has_interval)
                out += padded(fixed_text(e.edf, 1), 10) + padded(scientific_text(e.lower, 3), 12) +
                       padded(scientific_text(e.upper, 3), 12);
            else
                out += padded("-", 10) + padded("-", 12) + padded("-", 12);
        }
        out += "  " + std::string(noise_name(row.noise_alpha)) + "\n";
    }
    return out + "\n";
}
}  // namespace

std::string table_text(const Analysis &a, const std::string &data_path) {
    std::string out = "Data file: " + data_path + "\n";
    out += std::string("Data: ") + (a.kind == DataKind::Phase ? "phase (s)" : "fractional frequency") +
           ", " + integer_text(a.input_samples) + " values, tau0 = " + exact_text(a.tau0) + " s\n";
    out += "Gaps found: " + integer_text(a.gaps) + "\n";
    if (a.drift_removed)
        out += left("Frequency offset removed:", 27) + scientific_text(a.frequency_offset, 6) + "\n" +
               left("Frequency drift removed:", 27) + scientific_text(a.frequency_drift, 6) + " /s\n";
    else
        out += "Frequency offset and drift: not removed (too few valid values)\n";
    out += "Confidence intervals: " + integer_text(a.confidence_percent) + " %\n\n";
    for (int s = 0; s < STATISTIC_COUNT; ++s) out += statistic_table(a, s);
    bool skipped = false;
    for (const Row &row : a.rows) skipped = skipped || row.estimates[MTOTDEV].skipped_as_too_long;
    if (skipped)
        out += "Modified total deviation skipped where it would take more than " +
               scientific_text(kModTotalWorkLimit, 0) + " steps.\n";
    if (a.stopped) out += "Stopped by the user: the rows above are complete, later ones were not computed.\n";
    return out;
}

std::string csv_text(const Analysis &a) {
    std::string out = "statistic,m,tau,terms,value,edf,lower,upper,noise_alpha\n";
    for (const Row &row : a.rows) {
        for (int s = 0; s < STATISTIC_COUNT; ++s) {
            const Estimate &e = row.estimates[s];
            if (!e.computed) continue;
            out += std::string(statistic_key(s)) + "," + integer_text(row.m) + "," + exact_text(row.tau) + "," +
                   integer_text(e.terms) + "," + exact_text(e.value) + ",";
            if (e.has_interval) out += exact_text(e.edf) + "," + exact_text(e.lower) + "," + exact_text(e.upper);
            else out += ",,";
            out += "," + integer_text(row.noise_alpha) + "\n";
        }
    }
    return out;
}

}  // namespace analyze
