#include "handoff.h"

namespace ticklog {
namespace {

// Quotes `text` so that SplitCommandLine gives it back unchanged: a double quote
// becomes \", and backslashes standing before a quote (or before the closing
// quote) are doubled.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::string AnalysisCommandLine(const std::string& program, const std::string& data_file) {
    return Quoted(program) + " -t 1.0 -p " + Quoted(data_file) + " -o auto1 -o skip";
}

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (true) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i >= line.size()) break;
        std::string argument;
        bool quoted = false;
        while (i < line.size() && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                std::size_t run = 0;
                while (i < line.size() && line[i] == '\\') ++run, ++i;
                if (i < line.size() && line[i] == '"') {
                    argument.append(run / 2, '\\');
                    if (run % 2 == 1) {
                        argument += '"';
                        ++i;
                    }
                } else {
                    argument.append(run, '\\');
                }
            } else if (line[i] == '"') {
                quoted = !quoted;
                ++i;
            } else {
                argument += line[i++];
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

void StartAnalysis(ProgramStart& start, const std::string& program, const std::string& data_file) {
    // Nothing is reported: a wrong path simply starts nothing.
    start.Start(SplitCommandLine(AnalysisCommandLine(program, data_file)));
}

std::string NoAnalysisProgramLine(const std::string& settings_path) {
    return "No analysis program is set: put Vantor=<its path> under [Preferences] in " +
           settings_path;
}

}  // namespace ticklog
