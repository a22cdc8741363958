// varnis-analyze: stability analysis of a capture data file. The capture program
// starts it in a window of its own with -t 1.0 -p "FILE" -o auto1 -o skip.
#include <array>
#include <chrono>
#include <malloc.h>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "analysis.h"
#include "command_line.h"
#include "data_file.h"
#include "hat.h"
#include "html_report.h"
#include "number_text.h"
#include "output_file.h"
#include "progress.h"
#include "report.h"
#include "svg_plot.h"

using namespace analyze;

namespace {

// A window of its own closes with the program: keep the output readable until Enter.
void wait_for_enter(const Options &options) {
    if (!options.wait_at_end) return;
    std::cout << "Press Enter to close." << std::flush;
    std::string line;
    std::getline(std::cin, line);
}

struct Output {
    const std::string &path;
    const char *what;
    std::string content;
};

// Writes every output whole; false when one could not be written.
bool write_outputs(const Options &options, const Analysis &analysis, const std::string &table, bool quiet) {
    double refresh = options.follow_seconds;
    Output outputs[] = {
        {options.text_path, "Printed table", options.text_path.empty() ? "" : table},
        {options.csv_path, "Table", options.csv_path.empty() ? "" : csv_text(analysis)},
        {options.plot_path, "Plot", options.plot_path.empty() ? "" : svg_plot(analysis, "Stability of " + options.data_path)},
        {options.report_path, "Report", options.report_path.empty() ? "" : html_report(analysis, options.data_path, refresh)},
    };
    bool written = true;
    for (const Output &output : outputs) {
        if (output.path.empty()) continue;
        std::string error = write_file_atomically(output.path, output.content);
        if (!error.empty()) {
            std::cerr << "varnis-analyze: " << error << "\n";
            written = false;
        } else if (!quiet) {
            std::cout << output.what << " written to " << output.path << "\n";
        }
    }
    return written;
}

void report_problems(const Options &options, const Analysis &analysis) {
    for (const std::string &problem : analysis.problems)
        std::cerr << "varnis-analyze: " << options.data_path << ": " << problem << "\n";
}

int run_once(const Options &options) {
    DataFile file = read_data_file(options.data_path, options.zeros);
    if (!file.error.empty()) {
        std::cerr << "varnis-analyze: " << file.error << "\n";
        return 1;
    }
    Analysis analysis = run_analysis(file.samples, options.settings, show_progress, stop_flag());
    show_progress(0, "");
    if (!analysis.error.empty()) {
        std::cerr << "varnis-analyze: " << options.data_path << ": " << analysis.error << "\n";
        return 1;
    }
    const std::string table = table_text(analysis, options.data_path);
    std::cout << table << std::flush;
    bool written = write_outputs(options, analysis, table, false);
    report_problems(options, analysis);
    if (analysis.stopped) return 130;
    return written && analysis.problems.empty() ? 0 : 1;
}

// The three-cornered hat of three pairwise files: they must be of one rate and one
// length, which the files themselves cannot show, so a difference is refused.
int run_hat_mode(const Options &options) {
    const std::array<std::string, kClocks> paths = {options.hat_paths[0], options.hat_paths[1], options.hat_paths[2]};
    const std::vector<double> &rates = options.hat_tau0s;
    if (!rates.empty() && (rates[0] != rates[1] || rates[1] != rates[2])) {
        std::cerr << "varnis-analyze: the three-cornered hat needs records at one rate: ";
        for (int p = 0; p < kClocks; ++p)
            std::cerr << (p ? ", " : "") << paths[p] << " every " << exact_text(rates[p]) << " s";
        std::cerr << "\n";
        return 1;
    }
    std::array<std::vector<double>, kClocks> samples;
    for (int p = 0; p < kClocks; ++p) {
        DataFile file = read_data_file(paths[p], options.zeros);
        if (!file.error.empty()) {
            std::cerr << "varnis-analyze: " << file.error << "\n";
            return 1;
        }
        samples[p] = std::move(file.samples);
    }
    if (samples[0].size() != samples[1].size() || samples[1].size() != samples[2].size()) {
        std::cerr << "varnis-analyze: the three-cornered hat needs records of the same length (the same epochs): ";
        for (int p = 0; p < kClocks; ++p)
            std::cerr << (p ? ", " : "") << paths[p] << " has " << integer_text(static_cast<long long>(samples[p].size()))
                      << " values";
        std::cerr << "\n";
        return 1;
    }
    const HatStatistic &statistic = *hat_statistic_by_key(options.hat_statistic);
    HatAnalysis hat = run_hat(samples, options.settings, statistic, paths, stop_flag());
    if (!hat.error.empty()) {
        std::cerr << "varnis-analyze: " << hat.error << "\n";
        return 1;
    }
    const std::string table = hat_table_text(hat);
    std::cout << table << std::flush;
    bool written = true;
    struct HatOutput {
        const std::string &path;
        const char *what;
        std::string (*render)(const HatAnalysis &);
    };
    const HatOutput outputs[] = {{options.csv_path, "Table", hat_csv_text},
                                 {options.plot_path, "Plot", hat_svg_plot},
                                 {options.report_path, "Report", hat_html_report}};
    for (const HatOutput &output : outputs) {
        if (output.path.empty()) continue;
        std::string error = write_file_atomically(output.path, output.render(hat));
        if (!error.empty()) std::cerr << "varnis-analyze: " << error << "\n";
        else std::cout << output.what << " written to " << output.path << "\n";
        written = written && error.empty();
    }
    for (const std::string &problem : hat.problems) std::cerr << "varnis-analyze: " << problem << "\n";
    if (hat.stopped) return 130;
    return written && hat.problems.empty() ? 0 : 1;
}

// Sleeps for `seconds` in short steps, so that Ctrl-C ends the wait at once.
void pause_unless_stopped(double seconds) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!stop_requested() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// Follows a file that the capture program is still writing: each pass takes the
// records appended since the last one, redoes the analysis and replaces the outputs
// whole, until Ctrl-C. An analysis cut short by Ctrl-C leaves the outputs of the pass
// before; the end by Ctrl-C is the normal end.
int run_following(const Options &options) {
    GrowingDataFile file(options.data_path, options.zeros);
    std::vector<double> samples;
    std::size_t analysed = 0;
    bool waiting_shown = false, problems = false;
    for (int pass = 1; !stop_requested(); pause_unless_stopped(options.follow_seconds)) {
        std::string error = file.read_more(samples);
        if (!error.empty()) {
            std::cerr << "varnis-analyze: " << error << "\n";
            return 1;
        }
        if (samples.size() == analysed) continue;
        Analysis analysis = run_analysis(samples, options.settings, nullptr, stop_flag());
        if (analysis.stopped) break;
        if (!analysis.error.empty()) {
            if (!waiting_shown) std::cout << "Waiting for records: " << analysis.error << "\n" << std::flush;
            waiting_shown = true;
            continue;
        }
        analysed = samples.size();
        const std::string table = table_text(analysis, options.data_path);
        if (!write_outputs(options, analysis, table, true)) return 1;
        bool to_files = !options.text_path.empty() || !options.csv_path.empty() || !options.plot_path.empty() ||
                        !options.report_path.empty();
        if (!to_files) std::cout << table;
        report_problems(options, analysis);
        problems = !analysis.problems.empty();
        std::cout << "Pass " << pass++ << ": " << samples.size() << " values analysed, outputs replaced\n"
                  << std::flush;
    }
    std::cout << "Stopped following " << options.data_path << "\n";
    return problems ? 1 : 0;
}
}  // namespace

int main(int argc, char **argv) {
    // The library takes its working storage per call, records long: blocks that go
    // back to the heap instead of the system are reused without fresh pages to fault
    // in and clear on every call.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
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
    const Options &options = parsed.options;
    int status = !options.hat_paths.empty() ? run_hat_mode(options)
                 : options.follow_seconds > 0.0 ? run_following(options)
                                                 : run_once(options);
    wait_for_enter(parsed.options);
    return status;
}
