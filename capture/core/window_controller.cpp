#include "window_controller.h"

#include <cmath>
#include <span>

#include "control_ids.h"
#include "data_file_name.h"
#include "handoff.h"
#include "number_text.h"
#include "plot_texts.h"
#include "trace_hook.h"

namespace ticklog {
namespace {

constexpr std::size_t kFieldLimitScale = 127;
constexpr std::size_t kFieldLimitFileName = 255;

constexpr const char* kStartPrompt = "Press Start to capture data.";
constexpr const char* kStopPrompt = "Press Stop to end run.";
constexpr const char* kCancelledPrompt = "Press Start to read data via comm port.";

// The controls a run disables; Start/Stop, the mode buttons and the analysis
// button stay usable.
constexpr int kRunDisabledControls[] = {IDC_CLOSE, IDC_FILENAME,    IDC_PORT,     IDC_SCALE,
                                        IDC_HELP,  IDC_STATUS_LIST, IDC_PORT_OPEN};

}  // namespace

WindowController::WindowController(WindowView& view, WindowPlatform platform, WindowOptions options)
    : view_(view), platform_(platform), options_(std::move(options)) {}

void WindowController::Start() {
    const std::string& folder = options_.program_folder;
    help_path_ = HelpPath(folder);
    settings_ =
        ReadSettings(platform_.profile, DefaultDataFileName(folder), options_.scale_if_unset);
    // Vantor is never written back, so a stand-in analysis program lasts one run.
    if (settings_.Vantor.empty()) settings_.Vantor = options_.analysis_program_if_unset;
    port_.Comm = settings_.Comm;
    port_.devices = ReadPortMap(platform_.profile);
    for (std::size_t i = 0; i < port_.devices.size(); ++i)
        if (!options_.port_overrides[i].empty()) port_.devices[i] = options_.port_overrides[i];

    histories_.size = settings_.Size;
    for (std::vector<double>* history : {&histories_.phase, &histories_.freq}) {
        if (!platform_.allocate_history(*history, settings_.Size)) {
            history->clear();
            view_.MessageBox({"Unable to allocate memory for plot array.", "Ticklog", Buttons::Ok,
                              Icon::Warning, Answer::Ok, true});
        }
    }

    const int mode = !settings_.Plot ? IDC_LIST : settings_.Freq ? IDC_PLOT_FREQ : IDC_PLOT_PHASE;
    for (int id : {IDC_LIST, IDC_PLOT_PHASE, IDC_PLOT_FREQ}) view_.SetChecked(id, id == mode);

    while (view_.StatusLineCount() > 0) view_.RemoveFirstStatusLine();
    running_ = false;

    // The name from the settings stays even when the check refuses it.
    DataFileNameParts parts;
    CheckDataFileName(settings_.File, parts, platform_.folders, view_, kNameCheckCaption);
    SetFileNameField();
    ShowRunLine(IdleRunLine(platform_.data_file.FullPath(settings_.File)));

    view_.SetPortEntries(PortList());
    view_.SelectPortEntry(port_.Comm - 1);
    port_.PortName = view_.SelectedPortEntry();
    view_.SetChecked(IDC_PORT_OPEN, port_.PortOpen);

    view_.SetText(IDC_SCALE, ScaleFieldText(settings_.Scale));
    AddStatus("Marwen Ostrand Comm Program");

    view_.SetVisible(IDC_PLOT, settings_.Plot != 0);
    view_.SetVisible(IDC_STATUS_LIST, settings_.Plot == 0);

    Command(CMD_OPEN_PORT);
    view_.SetEnabled(IDC_START_STOP, port_.PortOpen);
    if (!port_.PortOpen) {
        AddStatus("Please open a comm port");
        RunTraceHook(platform_.shared_memory, view_);
    }
    view_.SetFocus(IDC_CLOSE);
}

void WindowController::Command(int id) {
    if (closed_) return;
    const StatusReport report = [this](const std::string& line) { AddStatus(line); };
    switch (id) {
        case IDC_START_STOP:
            if (running_)
                StopSequence();
            else if (port_.PortOpen)
                StartSequence();
            break;
        case IDC_CLOSE:
        case IDCANCEL:
            // Close is disabled during a run; an exit then would release the port and
            // the file under the running loop.
            if (!running_) ExitSequence();
            break;
        case IDOK:
            if (view_.FocusedControl() == IDC_FILENAME)
                CheckFileNameField(0);
            else if (view_.FocusedControl() == IDC_SCALE)
                ApplyScaleField();
            break;
        case IDC_HELP:
            // F1 is not translated while a run pumps events, and the button is disabled.
            if (!running_) view_.OpenHelp(help_path_);
            break;
        case IDC_LIST:
        case IDC_PLOT_PHASE:
        case IDC_PLOT_FREQ:
            ShowMode(id);
            break;
        case IDC_ANALYZE:
            if (settings_.Vantor.empty())
                AddStatus(NoAnalysisProgramLine(SettingsPath(options_.program_folder)));
            else
                StartAnalysis(platform_.program_start, settings_.Vantor, settings_.File);
            break;
        case CMD_SCROLL_STATUS:
            ScrollStatus();
            break;
        case CMD_OPEN_PORT:
            OpenPort(port_, platform_.port, view_, report);
            break;
        case CMD_CLOSE_PORT:
            ClosePort(port_, platform_.port, report);
            break;
        case CMD_OPEN_DATA_FILE:
            OpenDataFile();
            break;
        case CMD_ADD_STATUS:
            AddStatusLine();
            break;
        case CMD_UPDATE_PLOT:
            UpdatePlot();
            break;
        case CMD_DRAW_PLOT:
            DrawPlot();
            break;
        default:
            break;
    }
}

void WindowController::PortSelectionChanged() {
    if (closed_ || running_) return;
    const StatusReport report = [this](const std::string& line) { AddStatus(line); };
    SelectPort(port_, view_.SelectedPortEntry(), platform_.port, view_, report);
}

void WindowController::FocusLost(int control, int next_focus) {
    if (closed_) return;
    if (control == IDC_FILENAME) {
        CheckFileNameField(next_focus);
    } else if (control == IDC_SCALE) {
        if (next_focus != IDCANCEL && next_focus != IDC_CLOSE) ApplyScaleField();
    }
}

void WindowController::FileNameEdited() { file_name_guard_ = false; }

bool WindowController::AllowSystemCommand(SystemCommand command) const {
    return !running_ || command == SystemCommand::Minimize || command == SystemCommand::Restore;
}

void WindowController::AddStatus(const std::string& line) {
    message_buffer_ = line;
    Command(CMD_ADD_STATUS);
}

void WindowController::AddStatusLine() {
    view_.AppendStatusLine(message_buffer_);
    if (view_.StatusLineCount() > settings_.Size) view_.RemoveFirstStatusLine();
    Command(CMD_SCROLL_STATUS);
}

void WindowController::ScrollStatus() {
    view_.SelectStatusLine(view_.StatusLineCount() - 1);
    view_.SelectStatusLine(-1);
}

void WindowController::OpenDataFile() {
    data_run_ = OpenDataFileForRun(settings_.File, platform_.data_file, view_);
    if (data_run_.outcome == DataFileOpening::Cancelled) {
        view_.SetText(IDC_START_STOP, "&Start");
        view_.SetText(IDC_PROMPT, kCancelledPrompt);
        running_ = false;
        view_.SetFocus(IDC_FILENAME);
        return;
    }
    AddStatus(DataFileStatusLine(data_run_.outcome));
    if (data_run_.outcome == DataFileOpening::Failed) {
        // A run that records nothing loses every reading it shows: it does not begin,
        // and the file name waits for another choice.
        running_ = false;
        ShowRunLine(RefusedRunLine(platform_.data_file.FullPath(settings_.File)), true);
        view_.SetFocus(IDC_FILENAME);
    }
}

void WindowController::StartSequence() {
    running_ = true;
    ++run_number_;
    reading_count_ = 0;
    held_points_ = 0;
    Command(CMD_OPEN_DATA_FILE);
    if (!running_) return;

    view_.SetText(IDC_START_STOP, "&Stop");
    view_.SetText(IDC_PROMPT, kStopPrompt);
    view_.SetText(IDC_AXIS_TEXT, "");
    view_.SetText(IDC_STATS_TEXT, "");
    SetRunControlsEnabled(false);
    progress_ = {platform_.data_file.FullPath(settings_.File), platform_.seconds_now()};
    ShowProgress();

    // A Stop and a new Start within one pump: the loop already running carries on
    // with the new run instead of a second loop nesting inside it.
    if (run_loop_active_) return;
    RunLoop();
}

void WindowController::RunLoop() {
    run_loop_active_ = true;
    while (running_) {
        ReadOnce();
        // A Stop taken while the read waited has been handled already (and the window
        // may be closed since): the loop ends without another pump.
        if (running_) PumpMessages();
    }
    run_loop_active_ = false;
}

void WindowController::ReadOnce() {
    std::array<unsigned char, kBurstBytes> buffer{};
    const int run = run_number_;
    const std::size_t received =
        platform_.port.ReadBurst(buffer, [this, run] { return WhileReadWaits(run); });
    // The run this read began in was stopped while it waited: whatever came after
    // the user's Stop belongs to no run and is not recorded.
    if (!running_ || run != run_number_) return;
    if (received == 0) {
        progress_.silent = true;
        AddStatus("Timeout - No Data");
        ShowProgress();
        return;
    }
    progress_.silent = false;
    progress_.last_reading = platform_.seconds_now();
    ++reading_count_;
    ++held_points_;
    const Reading reading = DecodeReading(std::span<const unsigned char>(buffer.data(), received),
                                          reading_count_, settings_.Scale, track_);
    const std::string line = FormatListLine(reading_count_, reading);
    AppendToPlotHistories(histories_, held_points_, reading.scaled, track_.current_freq);

    view_.SetText(IDC_COUNT, IntegerText(reading_count_));
    if (view_.IsMinimized()) {
        view_.SetCaption("#=" + IntegerText(reading_count_));
    } else {
        view_.SetCaption(kWindowCaption);
        if (settings_.Plot)
            Command(CMD_UPDATE_PLOT);
        else
            view_.SetText(IDC_AXIS_TEXT, kListHeading);
    }
    const std::string write_failure = WriteRecord(platform_.data_file, reading.scaled, data_run_);
    held_points_ = ClampHeldPoints(held_points_, settings_.Size);

    AddStatus(line);
    if (!write_failure.empty()) AddStatus(write_failure);
    progress_.readings = reading_count_;
    ShowProgress();
}

bool WindowController::WhileReadWaits(int run) {
    // Stop, the mode buttons and the analysis button are taken within one slice of
    // the read's wait instead of after its time-out. The focus stays where the user
    // put it: it goes to Start/Stop once per read, at the pump between reads.
    view_.PumpEvents();
    if (!running_ || run != run_number_) return false;
    // "no data for N s" counts in seconds while the line is silent.
    if (platform_.seconds_now() - run_line_refreshed_ >= 1.0) ShowProgress();
    return true;
}

void WindowController::PumpMessages() {
    view_.SetFocus(IDC_START_STOP);
    view_.PumpEvents();
}

void WindowController::StopSequence() {
    running_ = false;
    platform_.data_file.Release();
    view_.SetText(IDC_START_STOP, "&Start");
    view_.SetText(IDC_PROMPT, kStartPrompt);
    SetRunControlsEnabled(true);
    ShowRunLine(StoppedRunLine(progress_, data_run_, platform_.seconds_now()));
}

void WindowController::ExitSequence() {
    if (port_.PortOpen) Command(CMD_CLOSE_PORT);
    settings_.Comm = port_.Comm;
    WriteSettings(platform_.profile, settings_);

    // A port handle kept from a failed configuration goes now; Close is harmless
    // when the handle is already gone.
    if (!port_.PortOpen) platform_.port.Close();
    port_.PortOpen = false;
    platform_.data_file.Release();

    histories_.phase = {};
    histories_.freq = {};
    closed_ = true;
    view_.CloseWindow(0);
}

void WindowController::ShowMode(int id) {
    if (id == IDC_LIST) {
        settings_.Plot = 0;
        view_.SetVisible(IDC_PLOT, false);
        view_.SetVisible(IDC_STATUS_LIST, true);
        if (reading_count_ > 0) view_.SetText(IDC_AXIS_TEXT, kListHeading);
        view_.SetText(IDC_STATS_TEXT, "");
        return;
    }
    settings_.Plot = 1;
    settings_.Freq = id == IDC_PLOT_FREQ ? 1 : 0;
    view_.SetVisible(IDC_PLOT, true);
    view_.SetVisible(IDC_STATUS_LIST, false);
    Command(CMD_UPDATE_PLOT);
}

void WindowController::UpdatePlot() {
    // Without both histories there is nothing to plot from.
    if (!PlotHistoriesReady(histories_)) {
        view_.SetText(IDC_PLOT, "No Plot Data");
        return;
    }
    const bool freq = settings_.Freq != 0;
    UpdatePlotStatistics(histories_, held_points_, freq, stats_);
    if (reading_count_ > 1 && held_points_ >= 1) {
        view_.SetText(IDC_AXIS_TEXT, PlotAxisText(settings_.Size, freq, stats_));
        const double last = histories_.freq[static_cast<std::size_t>(held_points_) - 1];
        view_.SetText(IDC_STATS_TEXT, PlotStatisticsText(last, stats_));
    }
    Command(CMD_DRAW_PLOT);
}

void WindowController::DrawPlot() {
    const PlotArea area = view_.PlotAreaSize();
    const PlotPicture picture =
        LayOutPlot(histories_, held_points_, settings_.Freq != 0, stats_, area.width, area.height);
    if (!picture.has_data) {
        view_.SetText(IDC_PLOT, "No Plot Data");
        return;
    }
    view_.ShowPlot(picture);
}

void WindowController::CheckFileNameField(int next_focus) {
    // A focus loss while a check runs (its message box took the focus), or one
    // towards Close, only clears the guard.
    if (file_name_guard_ || next_focus == IDCANCEL || next_focus == IDC_CLOSE) {
        file_name_guard_ = false;
        return;
    }
    file_name_guard_ = true;
    std::string name = view_.Text(IDC_FILENAME).substr(0, kFieldLimitFileName);
    DataFileNameParts parts;
    if (CheckDataFileName(name, parts, platform_.folders, view_, kNameCheckCaption) == 1 &&
        name != settings_.File) {
        settings_.File = name;
        ShowRunLine(IdleRunLine(platform_.data_file.FullPath(settings_.File)));
    }
    SetFileNameField();
}

void WindowController::ApplyScaleField() {
    const double typed = ReadNumber(view_.Text(IDC_SCALE).substr(0, kFieldLimitScale));
    // 0 (also text that is no number) keeps the old factor, and so does a value
    // beyond the range of double, which would make every reading infinite.
    if (typed != 0.0 && std::isfinite(typed)) settings_.Scale = typed;
    view_.SetText(IDC_SCALE, ScaleFieldText(settings_.Scale));
}

void WindowController::SetRunControlsEnabled(bool enabled) {
    for (int id : kRunDisabledControls) view_.SetEnabled(id, enabled);
}

void WindowController::ShowProgress() {
    run_line_refreshed_ = platform_.seconds_now();
    ShowRunLine(RunningRunLine(progress_, data_run_, run_line_refreshed_), data_run_.writing_fails);
}

void WindowController::ShowRunLine(const std::string& line, bool warning) {
    view_.SetText(IDC_RUN_LINE, line);
    view_.SetWarning(IDC_RUN_LINE, warning);
}

void WindowController::SetFileNameField() {
    view_.SetText(IDC_FILENAME, settings_.File);
    // Setting the text is a change notification of the field, which clears the
    // guard even when the text stayed the same.
    FileNameEdited();
}

}  // namespace ticklog
