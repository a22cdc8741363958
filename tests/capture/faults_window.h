// The capture window over the real platform layer (serial port, data file, ini
// file) with a scripted view, for the fault tests and the fault driver program.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/control_ids.h"
#include "core/window_controller.h"
#include "fake_view.h"
#include "platform/data_file_posix.h"
#include "platform/ini_file.h"
#include "platform/program_start_posix.h"
#include "platform/serial_port_posix.h"
#include "platform/shared_memory_posix.h"

namespace ticklog::testing {

// Records what the window shows; message boxes take their default answer unless
// `answers` says otherwise; each pump runs `on_pump` (the user's clicks).
class ScriptedWindow : public RecordingView<WindowView> {
public:
    std::vector<std::string> all_status;  // every line ever added
    std::function<void(int pump)> on_pump;
    std::function<void(const std::string& line)> on_status;
    int pumps = 0;
    bool closed = false;

    void AppendStatusLine(const std::string& line) override {
        RecordingView::AppendStatusLine(line);
        all_status.push_back(line);
        if (on_status) on_status(line);
    }
    void PumpEvents() override {
        ++pumps;
        if (on_pump) on_pump(pumps);
    }
    int FocusedControl() const override { return 0; }
    PlotArea PlotAreaSize() const override { return {101, 51}; }
    void ShowPlot(const PlotPicture&) override {}
    void CloseWindow(int) override { closed = true; }
};

// The window of a program whose folder is `folder` (ending in '/'): its settings
// file is folder + "Ticklog.ini", its data file folder + "Ticklog.dat" unless the
// settings name another.
struct RealWindow {
    explicit RealWindow(std::string folder) : folder(std::move(folder)), ini(SettingsPath(this->folder)) {}

    std::string folder;
    ScriptedWindow view;
    PosixSerialPort port;
    PosixDataFile data_file;
    PosixFolders folders;
    IniFile ini;
    PosixProgramStart program_start;
    PosixSharedMemory shared_memory;
    std::unique_ptr<WindowController> controller;

    WindowController& Open() {
        controller = std::make_unique<WindowController>(
            view,
            WindowPlatform{port, data_file, folders, ini, program_start, shared_memory,
                           AllocatePlotHistory},
            WindowOptions{folder, {}, {}});
        controller->Start();
        return *controller;
    }
};

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A fresh folder under the temporary folder, ending in '/'.
inline std::string MakeTempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/ticklog-faults-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    return pattern + "/";
}

// The lines of a data file; `complete` is false when the file does not end in CR LF.
inline std::vector<std::string> Records(const std::string& text, bool* complete = nullptr) {
    std::vector<std::string> records;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            records.push_back(text.substr(at));
            if (complete) *complete = false;
            return records;
        }
        records.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    if (complete) *complete = true;
    return records;
}

// The scaled value's text at the end of a reading's list line ("n:    raw    value").
inline std::string ListLineValue(const std::string& line) {
    const std::size_t blank = line.rfind(' ');
    return blank == std::string::npos ? std::string() : line.substr(blank + 1);
}

inline bool IsReadingLine(const std::string& line) {
    const std::size_t colon = line.find(':');
    return colon != std::string::npos && colon > 0 &&
           line.find_first_not_of("0123456789") == colon && line.compare(colon, 5, ":    ") == 0;
}

}  // namespace ticklog::testing
