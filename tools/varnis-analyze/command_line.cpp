#include "command_line.h"

#include "hat.h"
#include "number_text.h"

namespace analyze {

std::string usage_text() {
    std::string drifts;
    for (const std::string &name : drift_model_names()) drifts += (drifts.empty() ? "" : "|") + name;
    std::string hat_keys;
    for (const HatStatistic &h : hat_statistics()) hat_keys += (hat_keys.empty() ? "" : "|") + std::string(h.key);
    return "usage: varnis-analyze [-t TAU0] (-p PHASE_FILE | -f FREQUENCY_FILE) [options]\n"
           "       varnis-analyze [-t TAU0] --hat AB_FILE BC_FILE CA_FILE [options]\n"
           "\n"
           "Stability analysis of a data file of one value per line: phase in seconds (-p)\n"
           "or fractional frequency (-f), sampled every TAU0 seconds (-t, default 1.0).\n"
           "Blank lines and lines starting with # are skipped; nan is a gap.\n"
           "\n"
           "  -o auto1            full automatic analysis; it also writes the printed table to\n"
           "                      FILE.txt and the report to FILE.html beside the data file\n"
           "                      and, without --plot and --csv, FILE.svg and FILE.csv too\n"
           "  -o skip             do not wait for Enter before exiting\n"
           "  --drift MODEL       drift removed before the deviations: " + drifts + "\n"
           "                      (default linear: frequency offset and linear drift); MTIE\n"
           "                      and TIE rms always use the phase as recorded\n"
           "  --taus SPACING      averaging factors: octave (1, 2, 4, ...; default), decade\n"
           "                      (1, 2, 4, 10, 20, 40, ...) or all (every factor)\n"
           "  --zeros gap|value   a reading of 0 is a gap (default: the capture program\n"
           "                      records a reading that was no number as 0) or a value\n"
           "  --mtotdev-limit N   compute the modified total deviation only where its cost,\n"
           "                      (values - 3m + 1) m, is at most N (default 4e6)\n"
           "  --theoh-limit N     compute TheoH's bias-removed Theo1 rows (beyond a tenth of\n"
           "                      the record, up to three quarters) only while their cost,\n"
           "                      values x largest Theo1 factor, is at most N (default 1e9)\n"
           "  --confidence 68|95  confidence level of the intervals (default 68)\n"
           "  --plot FILE.svg     write a log-log sigma-tau plot with error bars\n"
           "  --csv FILE          write the table as CSV\n"
           "  --report FILE.html  write a report page: summary, time plots, sigma-tau, dynamic\n"
           "                      Allan deviation, MTIE, spectrum and tables, in one\n"
           "                      self-contained file\n"
           "  --follow SECONDS    read the records appended to the file every SECONDS,\n"
           "                      redo the analysis and replace the outputs, until Ctrl-C\n"
           "  --hat AB BC CA      three-cornered hat: each of three clocks' deviation per\n"
           "                      averaging factor from the pairwise files A - B, B - C and\n"
           "                      C - A (same length and rate; -t TAU_AB,TAU_BC,TAU_CA checks\n"
           "                      the rates); with --csv, --plot, --report, --drift, --taus\n"
           "  --hat-statistic S   the variance the hat combines: " + hat_keys + "\n"
           "                      (default oadev)\n"
           "  --hat-data phase|frequency  the kind of the pairwise files (default phase)\n"
           "  --help              show this text\n"
           "\n"
           "Ctrl-C stops a long calculation; the rows finished so far are reported.\n";
}

namespace {
template <typename Names, typename Value>
bool choose(const std::string &text, const Names &names, const Value *values, Value &chosen) {
    for (std::size_t i = 0; i < std::size(names); ++i)
        if (text == names[i]) {
            chosen = values[i];
            return true;
        }
    return false;
}
}  // namespace

ParsedCommandLine parse_command_line(const std::vector<std::string> &arguments) {
    ParsedCommandLine parsed;
    Options &options = parsed.options;
    AnalysisSettings &settings = options.settings;
    bool have_file = false, hat_frequency = false, hat_option = false;
    auto fail = [&parsed](std::string message) {
        parsed.error = std::move(message);
        return parsed;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options.help = true;
            continue;
        }
        if (argument == "--hat") {
            if (!options.hat_paths.empty()) return fail("give --hat once");
            for (int k = 0; k < 3; ++k, ++i) {
                if (i + 1 >= arguments.size() || arguments[i + 1].empty())
                    return fail("--hat needs three files: AB BC CA");
                options.hat_paths.push_back(arguments[i + 1]);
            }
            continue;
        }
        bool takes_value = argument == "-t" || argument == "-p" || argument == "-f" || argument == "-o" ||
                           argument == "--confidence" || argument == "--plot" || argument == "--csv" ||
                           argument == "--report" || argument == "--drift" || argument == "--taus" ||
                           argument == "--zeros" || argument == "--follow" ||
                           argument == "--mtotdev-limit" || argument == "--theoh-limit" ||
                           argument == "--hat-statistic" || argument == "--hat-data";
        if (!takes_value) return fail("unknown argument \"" + argument + "\"");
        if (i + 1 >= arguments.size()) return fail(argument + " needs a value");
        const std::string &value = arguments[++i];
        if (argument == "-t") {
            // One interval, or one per pairwise file of the hat: three separated by commas.
            std::vector<double> intervals;
            for (std::size_t start = 0;;) {
                std::size_t comma = value.find(',', start);
                auto tau0 = parse_double(value.substr(start, comma == std::string::npos ? comma : comma - start));
                if (!tau0 || *tau0 <= 0.0)
                    return fail("-t needs a sampling interval above 0 seconds, not \"" + value + "\"");
                intervals.push_back(*tau0);
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
            if (intervals.size() != 1 && intervals.size() != 3)
                return fail("-t takes one sampling interval, or three (TAU_AB,TAU_BC,TAU_CA) with --hat, not \"" +
                            value + "\"");
            settings.tau0 = intervals.front();
            options.hat_tau0s = intervals.size() == 3 ? intervals : std::vector<double>{};
        } else if (argument == "-p" || argument == "-f") {
            if (have_file) return fail("give one data file, with -p or -f");
            if (value.empty()) return fail(argument + " needs a file name");
            have_file = true;
            options.data_path = value;
            settings.kind = argument == "-p" ? DataKind::Phase : DataKind::Frequency;
        } else if (argument == "-o") {
            if (value == "auto1") options.automatic = true;
            else if (value == "skip") options.wait_at_end = false;
            else return fail("unknown -o value \"" + value + "\" (auto1 or skip)");
        } else if (argument == "--confidence") {
            auto percent = parse_int(value);
            if (!percent || (*percent != 68 && *percent != 95))
                return fail("--confidence takes 68 or 95, not \"" + value + "\"");
            settings.confidence_percent = *percent;
        } else if (argument == "--drift") {
            if (!drift_model_by_name(value, settings.drift))
                return fail("--drift takes none, offset, linear, quadratic, log or diffusion, not \"" + value + "\"");
        } else if (argument == "--taus") {
            static const char *names[] = {"octave", "decade", "all"};
            static const TauSpacing spacings[] = {TauSpacing::Octave, TauSpacing::Decade, TauSpacing::All};
            if (!choose(value, names, spacings, settings.taus))
                return fail("--taus takes octave, decade or all, not \"" + value + "\"");
        } else if (argument == "--zeros") {
            static const char *names[] = {"gap", "value"};
            static const ZeroReading readings[] = {ZeroReading::Gap, ZeroReading::Value};
            if (!choose(value, names, readings, options.zeros))
                return fail("--zeros takes gap or value, not \"" + value + "\"");
        } else if (argument == "--follow") {
            auto seconds = parse_double(value);
            if (!seconds || !(*seconds >= 0.1) || *seconds > 86400.0)
                return fail("--follow needs a period of 0.1 to 86400 seconds, not \"" + value + "\"");
            options.follow_seconds = *seconds;
        } else if (argument == "--mtotdev-limit" || argument == "--theoh-limit") {
            auto limit = parse_double(value);
            if (!limit || *limit < 0.0) return fail(argument + " needs a number of steps, not \"" + value + "\"");
            (argument == "--theoh-limit" ? settings.theoh_limit : settings.mtotdev_limit) = *limit;
        } else if (argument == "--hat-statistic" || argument == "--hat-data") {
            hat_option = true;
            if (argument == "--hat-data") {
                if (value != "phase" && value != "frequency")
                    return fail("--hat-data takes phase or frequency, not \"" + value + "\"");
                hat_frequency = value == "frequency";
                continue;
            }
            if (hat_statistic_by_key(value) == nullptr)
                return fail("--hat-statistic takes oadev, mdev, ohdev or pdev, not \"" + value + "\"");
            options.hat_statistic = value;
        } else if (argument == "--plot") {
            options.plot_path = value;
        } else if (argument == "--report") {
            options.report_path = value;
        } else {
            options.csv_path = value;
        }
    }
    const bool hat = !options.hat_paths.empty();
    if (hat) {
        if (have_file) return fail("give either one data file (-p or -f) or three pairwise files (--hat)");
        if (options.follow_seconds > 0.0) return fail("--follow does not apply to --hat");
        if (options.automatic)
            return fail("-o auto1 writes beside one data file; with --hat give --csv, --plot or --report");
        settings.kind = hat_frequency ? DataKind::Frequency : DataKind::Phase;
        return parsed;
    }
    if (!options.hat_tau0s.empty()) return fail("-t takes three sampling intervals only with --hat");
    if (hat_option) return fail("--hat-statistic and --hat-data apply to --hat only");
    if (!options.help && !have_file)
        return fail("no data file: give -p PHASE_FILE, -f FREQUENCY_FILE or --hat AB BC CA");
    // The capture program's analysis button gives no output names, and a program
    // started from the desktop has no terminal to print to: the automatic analysis
    // writes its report, plot, table and the printed text beside the data file
    // (names appended, so that the data file itself can never be overwritten).
    if (options.automatic && have_file) {
        options.text_path = options.data_path + ".txt";
        if (options.report_path.empty()) options.report_path = options.data_path + ".html";
        if (options.plot_path.empty()) options.plot_path = options.data_path + ".svg";
        if (options.csv_path.empty()) options.csv_path = options.data_path + ".csv";
    }
    return parsed;
}

}  // namespace analyze
