#include "core/window_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "core/control_ids.h"
#include "fake_view.h"
#include "platform/data_file_posix.h"

namespace ticklog {
namespace {

// A window whose message boxes answer from a script and whose event pump runs
// a scripted action (the user's clicks) each time the run loop pumps.
class FakeView : public testing::RecordingView<WindowView> {
public:
    std::map<int, bool> visible;
    std::string caption = kWindowCaption;
    int focus = 0;
    bool minimized = false;
    std::function<void(int pump)> on_pump;
    int pumps = 0, pump_depth = 0, max_pump_depth = 0;
    std::vector<std::string> help;
    std::vector<PlotPicture> plots;
    int exit_code = -1;

    void SetCaption(const std::string& text) override { caption = text; }
    void SetVisible(int control, bool on) override { visible[control] = on; }
    void SetFocus(int control) override { focus = control; }
    bool IsMinimized() const override { return minimized; }
    void OpenHelp(const std::string& path) override { help.push_back(path); }
    void PumpEvents() override {
        ++pumps;
        max_pump_depth = std::max(max_pump_depth, ++pump_depth);
        if (on_pump) on_pump(pumps);
        --pump_depth;
    }
    int FocusedControl() const override { return focus; }
    PlotArea PlotAreaSize() const override { return {101, 51}; }
    void ShowPlot(const PlotPicture& picture) override { plots.push_back(picture); }
    void CloseWindow(int code) override { exit_code = code; }
};

// A port that delivers scripted bursts; an empty burst is a read time-out. Each read
// first waits `waits` slices, calling the wait hook after each, and then delivers its
// burst whatever the hook answered (a burst that came all the same).
class FakePort : public SerialPort {
public:
    std::set<std::string> devices{"/dev/ttyS0", "/dev/ttyS1"};
    std::deque<std::string> bursts;
    std::function<void()> on_read;  // as each read begins
    std::function<void()> on_wait;  // as each slice of a wait ends
    int waits = 0;
    bool waiting = false;
    std::vector<bool> wait_answers;  // what the hook answered, read after read
    bool open = false;
    int closes = 0, reads = 0, reads_after_close = 0;
    bool Open(const std::string& device) override { return open = devices.count(device) > 0; }
    bool Close() override {
        ++closes;
        const bool was = open;
        open = false;
        return was;
    }
    std::size_t ReadBurst(std::span<unsigned char, kBurstBytes> buffer,
                          const ReadWaitHook& wait) override {
        ++reads;
        if (on_read) on_read();
        if (!open) ++reads_after_close;
        waiting = true;
        bool wanted = true;
        for (int i = 0; wanted && i < waits; ++i) {
            if (on_wait) on_wait();
            wait_answers.push_back(wanted = wait());
        }
        waiting = false;
        std::string b = bursts.empty() ? "0.5\r\n" : bursts.front();
        if (!bursts.empty()) bursts.pop_front();
        std::copy(b.begin(), b.end(), buffer.begin());
        return b.size();
    }
};

class FakeDataFile : public DataFile {
public:
    std::map<std::string, std::string> files;
    std::string current;
    int writes_while_closed = 0;
    bool fail_writes = false;  // as on a full disk
    bool CreateNew(const std::string& path) override {
        if (files.count(path)) return false;
        files[current = path];
        return true;
    }
    bool Overwrite(const std::string& path) override {
        files[current = path].clear();
        return true;
    }
    bool Append(const std::string& path) override {
        if (!files.count(path)) return false;
        current = path;
        return true;
    }
    bool IsOpen() const override { return !current.empty(); }
    bool Write(std::string_view record) override {
        if (current.empty()) return ++writes_while_closed, false;
        if (fail_writes) return false;
        files[current] += record;
        return true;
    }
    void Release() override { current.clear(); }
};

class FakeFolders : public Folders {
public:
    bool IsUsable(const std::string&) override { return true; }
    bool CreateAll(const std::string&) override { return true; }
};

class FakeProfile : public Profile {
public:
    std::map<std::string, std::string> values;  // "section/key"
    std::vector<std::string> written;           // keys in the order written
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& fallback) override {
        auto it = values.find(section + "/" + key);
        return it == values.end() ? fallback : it->second;
    }
    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) override {
        written.push_back(key);
        values[section + "/" + key] = value;
        return true;
    }
};

class FakeStart : public ProgramStart {
public:
    std::vector<std::vector<std::string>> started;
    bool Start(const std::vector<std::string>& arguments) override {
        started.push_back(arguments);
        return true;
    }
};

class FakeMemory : public SharedMemory {
public:
    bool exists = false;
    std::string text;
    bool WriteToExisting(const std::string&, std::string_view t) override {
        if (exists) text = t;
        return exists;
    }
};

bool FailAllocation(std::vector<double>&, int) {
    return false;
}

struct Window {
    FakeView view;
    FakePort port;
    FakeDataFile file;
    DataFile* other_file = nullptr;  // a data file other than `file`
    FakeFolders folders;
    FakeProfile profile;
    FakeStart start;
    FakeMemory memory;
    PlotHistoryAllocator allocator = AllocatePlotHistory;
    std::unique_ptr<WindowController> controller;
    std::string analysis_if_unset;
    double now = 100.0;  // seconds on the window's clock

    WindowController& Open(std::map<std::string, std::string> preferences = {}) {
        for (auto& [key, value] : preferences) profile.values["Preferences/" + key] = value;
        controller = std::make_unique<WindowController>(
            view,
            WindowPlatform{port, other_file ? *other_file : file, folders, profile, start, memory,
                           allocator, [this] { return now; }},
            WindowOptions{"/opt/tl/", {}, analysis_if_unset});
        controller->Start();
        return *controller;
    }
    // Starts a run and presses Stop at the pump after reading `readings` bursts.
    void RunFor(int readings, std::function<void(int)> during = {}) {
        const int first = view.pumps;
        view.on_pump = [this, first, readings, during](int pump) {
            if (during) during(pump - first);
            if (pump - first == readings) controller->Command(IDC_START_STOP);
            if (pump - first > 1000 && controller->Running()) {
                ADD_FAILURE() << "the run did not stop";
                controller->Command(IDC_START_STOP);
            }
        };
        controller->Command(IDC_START_STOP);
        view.on_pump = {};
    }
    void Burst(std::initializer_list<std::string> values) {
        for (const std::string& v : values) port.bursts.push_back(v.empty() ? v : v + "\r\n");
    }
};

TEST(WindowStart, WithoutPortTheListStartsWithThreeLinesAndStartIsDisabled) {
    Window w;
    w.port.devices.clear();
    w.Open();
    EXPECT_EQ(w.view.status,
              (std::vector<std::string>{"Marwen Ostrand Comm Program", "Could not open COM1",
                                        "Please open a comm port"}));
    EXPECT_FALSE(w.view.enabled[IDC_START_STOP]);
    EXPECT_FALSE(w.view.checked[IDC_PORT_OPEN]);
    ASSERT_EQ(w.view.boxes.size(), 1u);
    EXPECT_EQ(w.view.boxes[0].text, "OpenFileMapping Failed");
    EXPECT_FALSE(w.view.boxes[0].owned);
    w.controller->Command(IDC_START_STOP);
    EXPECT_FALSE(w.controller->Running());
}

TEST(WindowStart, WithPortTheFieldsAndModeComeFromTheSettings) {
    Window w;
    w.memory.exists = true;
    w.Open({{"Comm", "2"}, {"Plot", "1"}, {"Freq", "1"}, {"Scale", "2.5"}});
    EXPECT_EQ(w.view.status,
              (std::vector<std::string>{"Marwen Ostrand Comm Program", "COM2 Opened"}));
    EXPECT_TRUE(w.view.boxes.empty());
    EXPECT_TRUE(w.memory.text.empty());  // the trace hook only runs without a port
    EXPECT_TRUE(w.view.enabled[IDC_START_STOP]);
    EXPECT_EQ(w.view.SelectedPortEntry(), "COM2");
    EXPECT_EQ(w.view.Text(IDC_SCALE), "+2.5000000000e+00");
    EXPECT_EQ(w.view.Text(IDC_FILENAME), "/opt/tl/Ticklog.dat");
    EXPECT_TRUE(w.view.checked[IDC_PLOT_FREQ]);
    EXPECT_FALSE(w.view.checked[IDC_PLOT_PHASE] || w.view.checked[IDC_LIST]);
    EXPECT_TRUE(w.view.visible[IDC_PLOT]);
    EXPECT_FALSE(w.view.visible[IDC_STATUS_LIST]);
    EXPECT_EQ(w.view.focus, IDC_CLOSE);
}

TEST(WindowStart, FailedHistoriesWarnTwiceAndTheRunSkipsThePlot) {
    Window w;
    w.allocator = FailAllocation;
    w.Open({{"Plot", "1"}});
    ASSERT_EQ(w.view.boxes.size(), 2u);
    EXPECT_EQ(w.view.boxes[1].text, "Unable to allocate memory for plot array.");
    EXPECT_EQ(w.view.boxes[1].caption, "Ticklog");
    w.Burst({"1", "2", "4"});
    w.RunFor(3);
    EXPECT_EQ(w.controller->ReadingCount(), 3);
    EXPECT_EQ(w.view.Text(IDC_PLOT), "No Plot Data");
    EXPECT_TRUE(w.view.plots.empty());
    EXPECT_EQ(w.file.files["/opt/tl/Ticklog.dat"].size(), 3u * 23u);
}

TEST(RunLoop, ReadingsReachListCountAndFileAndStopEndsTheWrites) {
    Window w;
    w.Open();
    w.Burst({"12.5", "", "-3.2"});
    w.RunFor(3, [&](int pump) {
        if (pump == 1) {
            EXPECT_EQ(w.view.Text(IDC_START_STOP), "&Stop");
            EXPECT_EQ(w.view.Text(IDC_PROMPT), "Press Stop to end run.");
            EXPECT_FALSE(w.view.enabled[IDC_CLOSE] || w.view.enabled[IDC_SCALE] ||
                         w.view.enabled[IDC_PORT] || w.view.enabled[IDC_HELP]);
            EXPECT_EQ(w.view.focus, IDC_START_STOP);
        }
    });
    EXPECT_EQ(w.controller->ReadingCount(), 2);
    EXPECT_EQ(w.view.Text(IDC_COUNT), "2");
    EXPECT_EQ(w.view.Text(IDC_AXIS_TEXT), "#:  cycles (unscaled), sec (scaled)");
    EXPECT_EQ(
        std::vector<std::string>(w.view.status.end() - 4, w.view.status.end()),
        (std::vector<std::string>{"Data file created", "1:    12.5    1.250000000000000e+01",
                                  "Timeout - No Data", "2:    -3.2    -3.200000000000000e+00"}));
    EXPECT_EQ(w.file.files["/opt/tl/Ticklog.dat"],
              "1.250000000000000e+01\r\n-3.200000000000000e+00\r\n");
    EXPECT_FALSE(w.file.IsOpen());
    EXPECT_EQ(w.view.Text(IDC_START_STOP), "&Start");
    EXPECT_EQ(w.view.Text(IDC_PROMPT), "Press Start to capture data.");
    EXPECT_TRUE(w.view.enabled[IDC_CLOSE] && w.view.enabled[IDC_STATUS_LIST] &&
                w.view.enabled[IDC_PORT_OPEN] && w.view.enabled[IDC_FILENAME]);
    EXPECT_EQ(w.file.writes_while_closed, 0);
}

TEST(RunLoop, SizeEightKeepsTheNewestEightLines) {
    Window w;
    w.Open({{"Size", "8"}});
    w.Burst({"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"});
    std::size_t most = 0;
    w.RunFor(10, [&](int) { most = std::max(most, w.view.status.size()); });
    EXPECT_EQ(most, 8u);
    EXPECT_EQ(w.view.status.front(), "3:    2    2.000000000000000e+00");
    EXPECT_EQ(w.view.status.back(), "10:    9    9.000000000000000e+00");
    // Ten readings of phase 0 .. 9 leave the newest nine in the histories.
    EXPECT_EQ(w.controller->HeldPoints(), 9);
    const std::vector<double> p = w.controller->Histories().phase;
    EXPECT_EQ(std::vector<double>(p.begin(), p.begin() + 9),
              (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(RunLoop, EscapeIsIgnoredDuringARunAndClosesAfterStop) {
    Window w;
    w.Open({{"Size", "100"}});
    w.RunFor(3, [&](int pump) {
        if (pump == 1) w.controller->Command(IDCANCEL);
        if (pump == 2) w.controller->Command(IDC_CLOSE);
        EXPECT_FALSE(w.controller->AllowSystemCommand(SystemCommand::Move));
        EXPECT_FALSE(w.controller->AllowSystemCommand(SystemCommand::Close));
        EXPECT_TRUE(w.controller->AllowSystemCommand(SystemCommand::Minimize));
    });
    EXPECT_FALSE(w.controller->Closed());
    EXPECT_EQ(w.controller->ReadingCount(), 3);
    EXPECT_TRUE(w.controller->AllowSystemCommand(SystemCommand::Maximize));
    w.controller->Command(IDCANCEL);
    EXPECT_TRUE(w.controller->Closed());
    EXPECT_EQ(w.view.exit_code, 0);
    EXPECT_EQ(w.view.status.back(), "COM1 Closed");
    EXPECT_EQ(w.profile.written,
              (std::vector<std::string>{"Comm", "Plot", "Freq", "Size", "Scale", "File"}));
    EXPECT_EQ(w.profile.values["Preferences/Size"], "96");
    EXPECT_EQ(w.profile.values["Preferences/Scale"], "1.000000e+00");
    EXPECT_EQ(w.port.closes, 1);
    w.controller->Command(IDC_START_STOP);  // nothing works after the exit
    EXPECT_EQ(w.controller->ReadingCount(), 3);
}

TEST(RunLoop, MinimizedCaptionCountsAndRestoreBringsTheNameBack) {
    Window w;
    w.Open();
    std::vector<std::string> captions;
    w.RunFor(4, [&](int pump) {
        captions.push_back(w.view.caption);
        w.view.minimized = pump < 3;
    });
    EXPECT_EQ(captions, (std::vector<std::string>{kWindowCaption, "#=2", "#=3", kWindowCaption}));
}

TEST(RunLoop, CancelledAppendQuestionLeavesTheWindowIdle) {
    Window w;
    w.Open();
    w.file.files["/opt/tl/Ticklog.dat"] = "old";
    const std::vector<std::string> before = w.view.status;
    w.view.answers = {Answer::Cancel};
    w.controller->Command(IDC_START_STOP);
    EXPECT_FALSE(w.controller->Running());
    EXPECT_EQ(w.view.boxes.back().caption, "Ticklog - Append File?");
    EXPECT_EQ(w.view.Text(IDC_START_STOP), "&Start");
    EXPECT_EQ(w.view.Text(IDC_PROMPT), "Press Start to read data via comm port.");
    EXPECT_EQ(w.view.status, before);
    EXPECT_EQ(w.view.pumps, 0);
    EXPECT_EQ(w.view.focus, IDC_FILENAME);
    for (int id : {IDC_CLOSE, IDC_FILENAME, IDC_PORT, IDC_SCALE, IDC_HELP})
        EXPECT_FALSE(w.view.enabled.count(id) && !w.view.enabled[id]) << id;

    w.view.answers = {Answer::Yes};  // append after the old content
    w.Burst({"2"});
    w.RunFor(1);
    EXPECT_EQ(w.file.files["/opt/tl/Ticklog.dat"], "old2.000000000000000e+00\r\n");
    EXPECT_EQ(w.view.status[w.view.status.size() - 2], "Data file appended");
}

TEST(RunLoop, ADataFileThatCannotBeOpenedRefusesTheRunBeforeAnyRead) {
    // A name whose folder is a regular file: no open of it succeeds, not even as root.
    const std::string plain = ::testing::TempDir() + "ticklog-plain-file";
    std::ofstream(plain) << "not a folder";
    for (Answer answer : {Answer::Yes, Answer::No}) {  // append, overwrite
        PosixDataFile real;
        Window w;
        w.other_file = &real;
        w.Open({{"File", plain + "/run.dat"}});
        w.view.answers = {answer};
        w.view.on_pump = [&](int) { w.controller->Command(IDC_START_STOP); };  // if it ran
        w.controller->Command(IDC_START_STOP);
        EXPECT_FALSE(w.controller->Running());
        EXPECT_EQ(w.port.reads, 0);
        EXPECT_EQ(w.view.pumps, 0);
        EXPECT_EQ(w.controller->ReadingCount(), 0);
        EXPECT_FALSE(real.IsOpen());
        EXPECT_EQ(w.view.status.back(), "Could not open data file");
        EXPECT_NE(w.view.Text(IDC_START_STOP), "&Stop");
        for (int id : {IDC_CLOSE, IDC_FILENAME, IDC_PORT, IDC_SCALE, IDC_HELP, IDC_STATUS_LIST})
            EXPECT_FALSE(w.view.enabled.count(id) && !w.view.enabled[id]) << id;
        EXPECT_EQ(w.view.focus, IDC_FILENAME);
        EXPECT_EQ(w.view.Text(IDC_RUN_LINE),
                  "Not recording: the data file could not be opened, so the run did not start; "
                  "data file " + plain + "/run.dat");
        EXPECT_TRUE(w.view.warning[IDC_RUN_LINE]);
    }
    std::remove(plain.c_str());
}

TEST(RunLoop, TheRunLineSaysWhereHowManyHowLongHowFastAndWarnsWhileRecordsAreLost) {
    Window w;
    w.Open();
    const std::string file = "; data file /opt/tl/Ticklog.dat";
    EXPECT_EQ(w.view.Text(IDC_RUN_LINE), "Idle" + file);
    // Each read takes 1.5 s; two time-outs, then a reading whose record is lost.
    w.port.on_read = [&] { w.now += 1.5; };
    w.Burst({"1", "2", "", "", "3", "4"});
    std::vector<std::string> shown;
    w.RunFor(6, [&](int pump) {
        shown.push_back(w.view.Text(IDC_RUN_LINE) + (w.view.warning[IDC_RUN_LINE] ? " [!]" : ""));
        w.file.fail_writes = pump == 4;
    });
    const auto recording = [&](const std::string& figures) {
        return "Recording: " + figures + file;
    };
    EXPECT_EQ(shown, (std::vector<std::string>{
                         recording("1 record, 0:00:01, 40.0 readings/min, last reading 0 s ago"),
                         recording("2 records, 0:00:03, 40.0 readings/min, last reading 0 s ago"),
                         recording("2 records, 0:00:04, 26.7 readings/min, no data for 1 s"),
                         recording("2 records, 0:00:06, 20.0 readings/min, no data for 3 s"),
                         "WARNING: records are not being written (disk full?): 2 records (1 not "
                         "written), 0:00:07, 24.0 readings/min, last reading 0 s ago" +
                             file + " [!]",
                         recording("3 records (1 not written), 0:00:09, 26.7 readings/min, last "
                                   "reading 0 s ago"),
                     }));
    EXPECT_EQ(w.view.Text(IDC_RUN_LINE), "Stopped: 3 records (1 not written) in 0:00:09" + file);
}

TEST(RunLoop, StopAndStartInOnePumpContinueInTheSameLoop) {
    Window w;
    w.Open();
    w.view.answers = {Answer::No};
    w.view.on_pump = [&](int pump) {
        if (pump == 2) {
            w.controller->Command(IDC_START_STOP);
            w.controller->Command(IDC_START_STOP);
        }
        if (pump == 5) w.controller->Command(IDC_START_STOP);
    };
    w.controller->Command(IDC_START_STOP);
    EXPECT_EQ(w.view.max_pump_depth, 1);
    EXPECT_EQ(w.controller->ReadingCount(), 3);
    EXPECT_EQ(w.file.files["/opt/tl/Ticklog.dat"].size(), 3u * 23u);  // overwritten
}

// The window works while a read waits for its burst. A Stop taken there ends the run:
// the read is given up, and a burst that comes all the same is not counted, listed or
// written. A Start right after it carries on in the same loop with the next read.
TEST(RunLoop, AStopWhileAReadWaitsEndsTheRunBeforeTheBurstThatFollows) {
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "Stop and Start" : "Stop");
        Window w;
        w.Open();
        w.Burst({"1", "2", "3"});
        w.port.waits = 2;
        w.view.answers = {Answer::Yes};  // the new run appends
        // Pumps 1, 2 wait for "1"; 3 follows it; 4 is the first wait for "2"; in the
        // new run 6, 7 wait for "3" and 8 follows it.
        w.view.on_pump = [&](int pump) {
            if (pump == 4) {
                w.controller->Command(IDC_START_STOP);
                if (restart) w.controller->Command(IDC_START_STOP);
            }
            if (pump == 8) w.controller->Command(IDC_START_STOP);
        };
        w.controller->Command(IDC_START_STOP);
        EXPECT_FALSE(w.controller->Running());
        const std::vector<bool> answers = {true, true, false, true, true};
        EXPECT_EQ(w.port.wait_answers,
                  std::vector<bool>(answers.begin(), answers.begin() + (restart ? 5 : 3)));
        EXPECT_EQ(w.view.max_pump_depth, 1);
        EXPECT_EQ(w.controller->ReadingCount(), 1);
        const std::string one = "1.000000000000000e+00\r\n", three = "3.000000000000000e+00\r\n";
        EXPECT_EQ(w.file.files["/opt/tl/Ticklog.dat"], restart ? one + three : one);
        EXPECT_EQ(w.view.status.back(), restart ? "1:    3    3.000000000000000e+00"
                                                : "1:    1    1.000000000000000e+00");
        EXPECT_EQ(w.view.Text(IDC_RUN_LINE),
                  "Stopped: 1 record in 0:00:00; data file /opt/tl/Ticklog.dat");
    }
}

// While a silent line keeps a read waiting, "no data for N s" counts the seconds.
TEST(RunLoop, TheRunLineCountsTheSecondsWhileAReadWaits) {
    Window w;
    w.Open();
    w.Burst({"", ""});
    // Reads of 2 s: 31 slices of 1/16 s with the hook after each, and one more.
    w.port.waits = 31;
    w.port.on_read = [&] { w.now += 0.0625; };
    std::vector<std::string> seen;
    w.port.on_wait = [&] {
        w.now += 0.0625;
        const std::string line = w.view.Text(IDC_RUN_LINE);
        const std::size_t at = line.find("no data for ");
        const std::string quiet = line.substr(at, line.find(';', at) - at);
        if (seen.empty() || seen.back() != quiet) seen.push_back(quiet);
    };
    w.view.on_pump = [&](int) {
        if (!w.port.waiting && w.port.reads == 2) w.controller->Command(IDC_START_STOP);
    };
    w.controller->Command(IDC_START_STOP);
    EXPECT_EQ(seen, (std::vector<std::string>{"no data for 0 s", "no data for 1 s",
                                              "no data for 2 s", "no data for 3 s"}));
}

TEST(PlotModes, FrequencyValuesOneTwoThreeDuringARun) {
    Window w;
    w.Open({{"Size", "8"}});
    w.Burst({"10", "11", "13", "16"});
    w.RunFor(4, [&](int pump) {
        if (pump == 3) w.controller->Command(IDC_PLOT_FREQ);
    });
    EXPECT_EQ(w.controller->Plot(), 1);
    EXPECT_EQ(w.controller->Freq(), 1);
    EXPECT_TRUE(w.view.visible[IDC_PLOT]);
    EXPECT_FALSE(w.view.visible[IDC_STATUS_LIST]);
    EXPECT_EQ(w.view.Text(IDC_AXIS_TEXT),
              "X-Axis: 1 sec/div, Y-Axis: 1.000e+00 to 3.000e+00 = 4.000e-01/div");
    EXPECT_EQ(w.view.Text(IDC_STATS_TEXT),
              "Last Freq= 3.00000e+00; Avg Freq= 2.00000e+00 +/- 4.714e-01 (scaled)");
    ASSERT_FALSE(w.view.plots.empty());
    EXPECT_EQ(w.view.plots.back().segments.back().pen, PlotPen::Mean);

    w.controller->Command(IDC_LIST);
    EXPECT_EQ(w.controller->Plot(), 0);
    EXPECT_EQ(w.controller->Freq(), 1);
    EXPECT_EQ(w.view.Text(IDC_AXIS_TEXT), "#:  cycles (unscaled), sec (scaled)");
    EXPECT_EQ(w.view.Text(IDC_STATS_TEXT), "");
    EXPECT_TRUE(w.view.visible[IDC_STATUS_LIST]);
}

TEST(PlotModes, FirstReadingsHaveNoPlotDataYet) {
    Window w;
    w.Open({{"Plot", "1"}});
    w.Burst({"5"});
    w.RunFor(1);
    EXPECT_EQ(w.view.Text(IDC_PLOT), "No Plot Data");
    EXPECT_EQ(w.view.Text(IDC_AXIS_TEXT), "");  // one reading: no texts yet

    w.view.answers = {Answer::No};
    w.Burst({"5", "7"});
    w.RunFor(1);  // Stop is pressed while the second burst waits
    w.controller->Command(IDC_PLOT_FREQ);
    EXPECT_EQ(w.view.Text(IDC_PLOT), "No Plot Data");
    EXPECT_EQ(w.view.Text(IDC_STATS_TEXT), "");

    w.view.answers = {Answer::No};
    w.RunFor(2);  // 7 then the port's 0.5
    EXPECT_EQ(w.view.Text(IDC_PLOT), "No Plot Data");
    EXPECT_EQ(w.view.Text(IDC_STATS_TEXT),
              "Last Freq= -6.50000e+00; Avg Freq= -6.50000e+00 +/- 0.000e+00 (scaled)");
}

TEST(PlotModes, SizeTwoHundredFortyGivesThirtySecondsPerDivision) {
    Window w;
    w.Open({{"Plot", "1"}});
    w.Burst({"1", "2", "4"});
    w.RunFor(3);
    EXPECT_EQ(w.view.Text(IDC_AXIS_TEXT),
              "X-Axis: 30 sec/div, Y-Axis: 1.00000e+00 to 4.00000e+00 = 6.000e-01/div");
    EXPECT_EQ(w.view.plots.size(), 2u);
}

TEST(Fields, EnterAppliesTheFieldThatHasTheFocus) {
    Window w;
    w.Open();
    w.view.texts[IDC_SCALE] = " -2.5e-3xyz";
    w.view.texts[IDC_FILENAME] = "bad|name.dat";
    w.view.focus = IDC_START_STOP;
    w.controller->Command(IDOK);
    EXPECT_EQ(w.controller->Scale(), 1.0);
    EXPECT_TRUE(w.view.boxes.empty());

    w.view.focus = IDC_SCALE;
    w.controller->Command(IDOK);
    EXPECT_EQ(w.controller->Scale(), -2.5e-3);
    EXPECT_EQ(w.view.Text(IDC_SCALE), "-2.5000000000e-03");

    w.view.focus = IDC_FILENAME;
    w.controller->Command(IDOK);
    ASSERT_EQ(w.view.boxes.size(), 1u);
    EXPECT_EQ(w.view.boxes[0].text, "Invalid Filename");
    EXPECT_EQ(w.view.Text(IDC_FILENAME), "/opt/tl/Ticklog.dat");

    w.view.texts[IDC_FILENAME] = "run.dat";
    w.controller->Command(IDOK);
    EXPECT_EQ(w.controller->File(), "run.dat");
}

TEST(Fields, ScaleRefusesZeroNoNumberAndOverflowAndIgnoresFocusToClose) {
    Window w;
    w.Open({{"Scale", "0"}});
    EXPECT_EQ(w.view.Text(IDC_SCALE), "+0.0000000000e+00");  // accepted from the file
    for (const char* typed : {"0", "abc", "1e999", ""}) {
        w.view.texts[IDC_SCALE] = typed;
        w.controller->FocusLost(IDC_SCALE, IDC_HELP);
        EXPECT_EQ(w.controller->Scale(), 0.0) << typed;
        EXPECT_EQ(w.view.Text(IDC_SCALE), "+0.0000000000e+00");
    }
    w.view.texts[IDC_SCALE] = "3";
    w.controller->FocusLost(IDC_SCALE, IDC_CLOSE);
    EXPECT_EQ(w.controller->Scale(), 0.0);
    w.controller->FocusLost(IDC_SCALE, 0);
    EXPECT_EQ(w.controller->Scale(), 3.0);
}

TEST(Fields, FileNameGuardStopsTheCheckThatItsOwnBoxWouldStart) {
    Window w;
    w.Open();
    // The warning box takes the focus from the field while the check runs.
    w.view.while_box_shown = [&](const MessageBoxRequest&) {
        w.controller->FocusLost(IDC_FILENAME, 0);
    };
    w.view.texts[IDC_FILENAME] = "dir/";
    w.controller->FocusLost(IDC_FILENAME, IDC_SCALE);
    EXPECT_EQ(w.view.boxes.size(), 1u);
    EXPECT_EQ(w.view.Text(IDC_FILENAME), "/opt/tl/Ticklog.dat");

    // The guard is clear again: the next focus loss checks, one towards Close not.
    w.view.texts[IDC_FILENAME] = "a?b";
    w.controller->FocusLost(IDC_FILENAME, IDC_CLOSE);
    EXPECT_EQ(w.view.boxes.size(), 1u);
    w.controller->FocusLost(IDC_FILENAME, IDC_SCALE);
    EXPECT_EQ(w.view.boxes.size(), 2u);
}

TEST(Commands, HelpAnalysisAndPortChoice) {
    Window w;
    w.Open({{"Vantor", "/opt/v/prog"}});
    w.controller->Command(IDC_HELP);
    EXPECT_EQ(w.view.help, (std::vector<std::string>{"/opt/tl/Ticklog.hlp"}));
    w.RunFor(2, [&](int pump) {
        if (pump == 1) {
            w.controller->Command(IDC_HELP);
            w.controller->Command(IDC_ANALYZE);
        }
    });
    EXPECT_EQ(w.view.help.size(), 1u);
    EXPECT_EQ(w.start.started, (std::vector<std::vector<std::string>>{
                                   {"/opt/v/prog", "-t", "1.0", "-p", "/opt/tl/Ticklog.dat", "-o",
                                    "auto1", "-o", "skip"}}));
    w.view.SelectPortEntry(2);
    w.controller->PortSelectionChanged();
    EXPECT_EQ(std::vector<std::string>(w.view.status.end() - 2, w.view.status.end()),
              (std::vector<std::string>{"COM1 Closed", "Could not open COM3"}));
    EXPECT_FALSE(w.controller->PortOpen());
    EXPECT_FALSE(w.view.enabled[IDC_START_STOP]);
    w.controller->Command(IDC_CLOSE);
    EXPECT_EQ(w.profile.values["Preferences/Comm"], "3");
}

TEST(Commands, StandInAnalysisProgramOnlyWhenTheSettingsNameNone) {
    Window unset;
    unset.analysis_if_unset = "/build/bin/varnis-analyze";
    unset.Open();
    unset.controller->Command(IDC_ANALYZE);
    ASSERT_EQ(unset.start.started.size(), 1u);
    EXPECT_EQ(unset.start.started[0][0], "/build/bin/varnis-analyze");
    unset.controller->Command(IDC_CLOSE);
    for (const auto& [key, value] : unset.profile.values)
        EXPECT_EQ(value.find("varnis-analyze"), std::string::npos) << key;

    Window named;
    named.analysis_if_unset = "/build/bin/varnis-analyze";
    named.Open({{"Vantor", "/opt/v/prog"}});
    named.controller->Command(IDC_ANALYZE);
    ASSERT_EQ(named.start.started.size(), 1u);
    EXPECT_EQ(named.start.started[0][0], "/opt/v/prog");
}

TEST(Commands, WithoutAnAnalysisProgramTheButtonSaysWhereToSetIt) {
    Window w;
    w.Open();
    w.RunFor(1, [&](int pump) {
        if (pump == 1) w.controller->Command(IDC_ANALYZE);  // during a run as well
    });
    w.controller->Command(IDC_ANALYZE);
    EXPECT_TRUE(w.start.started.empty());
    const std::string line =
        "No analysis program is set: put Vantor=<its path> under [Preferences] in "
        "/opt/tl/Ticklog.ini";
    EXPECT_EQ(std::count(w.view.status.begin(), w.view.status.end(), line), 2);
    EXPECT_EQ(w.view.status.back(), line);
}

}  // namespace
}  // namespace ticklog
