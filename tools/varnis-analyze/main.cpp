// varnis-analyze: stability analysis of a capture data file. The capture program
// starts it in a window of its own with -t 1.0 -p "FILE" -o auto1 -o skip.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "analysis.h"
#include "command_line.h"
#include "data_file.h"
#include "progress.h"
#include "report.h"
#include "svg_plot.h"

using namespace analyze;

namespace {
bool write_file(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
        std::cerr << "varnis-analyze: cannot write " << path << "\n";
        return false;
    }
    return true;
}

// A window of its own closes with the program: keep the output readable until Enter.
void wait_for_enter(const Options &options) {
    if (!options.wait_at_end) return;
    std::cout << "Press Enter to close." << std::flush;
    std::string line;
    std::getline(std::cin, line);
}

int run(const Options &options) {
    DataFile file = read_data_file(options.data_path);
    if (!file.error.empty()) {
        std::cerr << "varnis-analyze: " << file.error << "\n";
        return 1;
    }
    Analysis analysis = run_analysis(file.samples, options.kind, options.tau0, options.confidence_percent,
                                     show_progress, stop_flag());
    show_progress(0, "");
    if (!analysis.error.empty()) {
        std::cerr << "varnis-analyze: " << options.data_path << ": " << analysis.error << "\n";
        return 1;
    }
    const std::string table = table_text(analysis, options.data_path);
    std::cout << table << std::flush;
    bool written = true;
    if (!options.text_path.empty() && write_file(options.text_path, table))
        std::cout << "Printed table written to " << options.text_path << "\n";
    else if (!options.text_path.empty())
        written = false;
    if (!options.csv_path.empty() && write_file(options.csv_path, csv_text(analysis)))
        std::cout << "Table written to " << options.csv_path << "\n";
    else if (!options.csv_path.empty())
        written = false;
    if (!options.plot_path.empty() &&
        write_file(options.plot_path, svg_plot(analysis, "Stability of " + options.data_path)))
        std::cout << "Plot written to " << options.plot_path << "\n";
    else if (!options.plot_path.empty())
        written = false;
    if (analysis.stopped) return 130;
    return written ? 0 : 1;
}
}  // namespace

int main(int argc, char **argv) {
    // From the start, so that Ctrl-C while the file is read also ends cleanly.
    install_interrupt_handler();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    ParsedCommandLine parsed = parse_command_line(arguments);
    if (parsed.options.help) {
        std::cout << usage_text();
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << "varnis-analyze: " << parsed.error << "\n\n" << usage_text();
        wait_for_enter(parsed.options);
        return 2;
    }
    int status = run(parsed.options);
    wait_for_enter(parsed.options);
    return status;
}
