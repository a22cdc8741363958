// The capture window's procedure in plain C++: it holds the window's state, takes
// the commands of the controls and the commands the window sends itself, and acts
// through the view and the platform interfaces. One thread; the run loop runs inside
// the Start command and lets further commands in re-entrantly while it pumps events.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "data_file.h"
#include "data_file_run.h"
#include "plot_drawing.h"
#include "plot_history.h"
#include "plot_statistics.h"
#include "profile.h"
#include "program_start.h"
#include "reading.h"
#include "run_status.h"
#include "serial_link.h"
#include "serial_port.h"
#include "settings.h"
#include "shared_memory.h"
#include "view.h"

namespace ticklog {

inline constexpr const char* kWindowCaption = "Marwen Ostrand Communications Program";

// Size in pixels of the plot area's inside.
struct PlotArea {
    int width = 0;
    int height = 0;
};

// What the controller needs of the window beyond the View shared with the rules
// of the port, the data file and the hand-off.
class WindowView : public View {
public:
    // The control that has the keyboard focus, or 0 for none of the listed ones.
    virtual int FocusedControl() const = 0;
    virtual PlotArea PlotAreaSize() const = 0;
    // Draws the picture into an off-screen image of the plot area's size and puts
    // that image into the plot area in one step.
    virtual void ShowPlot(const PlotPicture& picture) = 0;
    // Destroys the window and ends the program's event loop with `exit_code`.
    virtual void CloseWindow(int exit_code) = 0;
};

enum class SystemCommand { Move, Size, Minimize, Maximize, Restore, Close, Menu, Other };

struct WindowPlatform {
    SerialPort& port;
    DataFile& data_file;
    Folders& folders;
    Profile& profile;  // the settings file, SettingsPath
    ProgramStart& program_start;
    SharedMemory& shared_memory;
    PlotHistoryAllocator allocate_history = AllocatePlotHistory;
    std::function<double()> seconds_now = SteadySeconds;  // times the run line
};

struct WindowOptions {
    std::string program_folder;  // the running program's folder, ending in '/'
    // Devices that replace the settings' port map for this run (COM1..COM4); an
    // empty entry keeps the mapped device.
    std::array<std::string, 4> port_overrides;
    // The analysis program for this run when the settings name none (Vantor empty).
    std::string analysis_program_if_unset;
    // The scale factor, as settings text, when the settings give none.
    std::string scale_if_unset = "1.0";
};

class WindowController {
public:
    WindowController(WindowView& view, WindowPlatform platform, WindowOptions options);

    // Window start: settings, histories, controls, first status lines, the port.
    void Start();

    // Commands of the controls (IDC_...), of Enter (IDOK) and Escape or the close
    // box (IDCANCEL), and the internal commands (CMD_...). Unknown ones are ignored.
    void Command(int id);

    // The port list's selection changed.
    void PortSelectionChanged();
    // `control` (IDC_FILENAME or IDC_SCALE) lost the focus to `next_focus` (a control
    // id, or 0 for anything else).
    void FocusLost(int control, int next_focus);
    // A change notification of the file name field.
    void FileNameEdited();
    // Whether a system command may take its course: while running only minimize and
    // restore do.
    bool AllowSystemCommand(SystemCommand command) const;

    // State, for the view and for tests.
    bool Running() const { return running_; }
    bool PortOpen() const { return port_.PortOpen; }
    bool Closed() const { return closed_; }
    int Plot() const { return settings_.Plot; }
    int Freq() const { return settings_.Freq; }
    int Size() const { return settings_.Size; }
    double Scale() const { return settings_.Scale; }
    const std::string& File() const { return settings_.File; }
    int ReadingCount() const { return reading_count_; }
    int HeldPoints() const { return held_points_; }
    const PlotHistories& Histories() const { return histories_; }

private:
    void AddStatus(const std::string& line);
    void AddStatusLine();
    void ScrollStatus();
    void OpenDataFile();
    void StartSequence();
    void RunLoop();
    void ReadOnce();
    // The read's wait hook: the window works while the line is silent.
    bool WhileReadWaits(int run);
    void PumpMessages();
    void StopSequence();
    void ExitSequence();
    void ShowMode(int id);
    void UpdatePlot();
    void DrawPlot();
    void CheckFileNameField(int next_focus);
    void ApplyScaleField();
    void SetRunControlsEnabled(bool enabled);
    void SetFileNameField();
    // The run line below the list and the plot (IDC_RUN_LINE).
    void ShowProgress();
    void ShowRunLine(const std::string& line, bool warning = false);

    WindowView& view_;
    WindowPlatform platform_;
    WindowOptions options_;

    Settings settings_;  // Comm lives in port_
    PortState port_;
    std::string help_path_;
    PhaseTrack track_;
    PlotHistories histories_;
    PlotStatistics stats_;
    DataFileRun data_run_;
    RunProgress progress_;

    bool running_ = false;
    bool run_loop_active_ = false;
    int run_number_ = 0;               // counts the Starts: a read belongs to one run
    double run_line_refreshed_ = 0.0;  // when the running run line was last shown
    bool closed_ = false;
    int reading_count_ = 0;
    int held_points_ = 0;
    std::string message_buffer_;
    bool file_name_guard_ = false;
};

}  // namespace ticklog
