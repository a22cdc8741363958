#include "command_line.h"

#include "number_text.h"

namespace analyze {

std::string usage_text() {
    return "usage: varnis-analyze [-t TAU0] (-p PHASE_FILE | -f FREQUENCY_FILE) [options]\n"
           "\n"
           "Stability analysis of a data file of one value per line: phase in seconds (-p)\n"
           "or fractional frequency (-f), sampled every TAU0 seconds (-t, default 1.0).\n"
           "Blank lines and lines starting with # are skipped.\n"
           "\n"
           "  -o auto1            full automatic analysis; it also writes the printed table to\n"
           "                      FILE.txt beside the data file and, without --plot and\n"
           "                      --csv, FILE.svg and FILE.csv there too\n"
           "  -o skip             do not wait for Enter before exiting\n"
           "  --confidence 68|95  confidence level of the intervals (default 68)\n"
           "  --plot FILE.svg     write a log-log sigma-tau plot with error bars\n"
           "  --csv FILE          write the table as CSV\n"
           "  --help              show this text\n"
           "\n"
           "Ctrl-C stops a long calculation; the rows finished so far are reported.\n";
}

ParsedCommandLine parse_command_line(const std::vector<std::string> &arguments) {
    ParsedCommandLine parsed;
    Options &options = parsed.options;
    bool have_file = false;
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
        bool takes_value = argument == "-t" || argument == "-p" || argument == "-f" ||
                           argument == "-o" || argument == "--confidence" ||
                           argument == "--plot" || argument == "--csv";
        if (!takes_value) return fail("unknown argument \"" + argument + "\"");
        if (i + 1 >= arguments.size()) return fail(argument + " needs a value");
        const std::string &value = arguments[++i];
        if (argument == "-t") {
            auto tau0 = parse_double(value);
            if (!tau0 || *tau0 <= 0.0)
                return fail("-t needs a sampling interval above 0 seconds, not \"" + value + "\"");
            options.tau0 = *tau0;
        } else if (argument == "-p" || argument == "-f") {
            if (have_file) return fail("give one data file, with -p or -f");
            if (value.empty()) return fail(argument + " needs a file name");
            have_file = true;
            options.data_path = value;
            options.kind = argument == "-p" ? DataKind::Phase : DataKind::Frequency;
        } else if (argument == "-o") {
            if (value == "auto1") options.automatic = true;
            else if (value == "skip") options.wait_at_end = false;
            else return fail("unknown -o value \"" + value + "\" (auto1 or skip)");
        } else if (argument == "--confidence") {
            auto percent = parse_int(value);
            if (!percent || (*percent != 68 && *percent != 95))
                return fail("--confidence takes 68 or 95, not \"" + value + "\"");
            options.confidence_percent = *percent;
        } else if (argument == "--plot") {
            options.plot_path = value;
        } else {
            options.csv_path = value;
        }
    }
    if (!options.help && !have_file) return fail("no data file: give -p PHASE_FILE or -f FREQUENCY_FILE");
    // The capture program's analysis button gives no output names, and a program
    // started from the desktop has no terminal to print to: the automatic analysis
    // writes its plot, its table and the printed text beside the data file (names
    // appended, so that the data file itself can never be overwritten).
    if (options.automatic && have_file) {
        options.text_path = options.data_path + ".txt";
        if (options.plot_path.empty()) options.plot_path = options.data_path + ".svg";
        if (options.csv_path.empty()) options.csv_path = options.data_path + ".csv";
    }
    return parsed;
}

}  // namespace analyze
