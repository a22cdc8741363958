// The real capture window over the real serial port, data file and settings file,
// against two simulated instruments on pseudo-terminals: COM1 counts 1, 2, 3, ...,
// COM2 sends a noisy oscillator's readings. One run in list and phase-plot mode on
// COM1, then an appended run in frequency-plot mode on COM2, then Close. Saves a
// picture of the window in each mode next to the programs of the build.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <locale.h>
#include <optional>

#include "../faults_window.h"
#include "../instrument_sim.h"
#include "core/control_ids.h"
#include "core/window_controller.h"
#include "scripted_platform.h"
#include "ui/comm_dialog.h"
#include "ui/text_fit.h"

using namespace ticklog;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSize = 24;              // plot width and status list length
constexpr double kScale = 1e-7;        // seconds per cycle, typed into the scale field
constexpr const char* kPeriod = "0.2";  // seconds between the simulators' readings
constexpr auto kStepDeadline = std::chrono::seconds(30);

// One reading line of the status list: "n:    raw    scaled".
struct ListedReading {
    int number = 0;
    std::string raw;
    std::string scaled;
};

std::optional<ListedReading> ParseReadingLine(const std::string& line) {
    if (!testing::IsReadingLine(line)) return std::nullopt;
    ListedReading r;
    const std::size_t colon = line.find(':');
    r.number = std::stoi(line.substr(0, colon));
    const std::size_t raw_at = colon + 5;
    const std::size_t raw_end = line.find("    ", raw_at);
    if (raw_end == std::string::npos) return std::nullopt;
    r.raw = line.substr(raw_at, raw_end - raw_at);
    r.scaled = testing::ListLineValue(line);
    return r;
}

double NumberOf(const std::string& text) {
    double value = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// A data file record as the program writes it, without its CR LF.
std::string RecordText(double scaled) {
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, scaled,
                                 std::chars_format::scientific, 15);
    return std::string(buffer, r.ptr);
}

// printf formatting under the "C" locale, whatever the environment chose.
template <typename... Args>
std::string CFormat(const char* format, Args... args) {
    const locale_t c = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t old = ::uselocale(c);
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    ::uselocale(old);
    ::freelocale(c);
    return buffer;
}

// The two histories as the plot sees them in the update after the last of `phases`
// (the scaled readings of one run): the newest Size + 1 readings, and once the
// histories are full the newest once more in the extra slot. Slot i of `freq` is the
// difference that ended with the reading in slot i; slot 0 is unused.
struct HeldHistory {
    std::vector<double> phase;
    std::vector<double> freq;
};

HeldHistory HistoryAfter(const std::vector<double>& phases, int size) {
    HeldHistory h;
    const std::size_t window = static_cast<std::size_t>(size) + 1;
    const bool full = phases.size() > window;
    h.phase.assign(full ? phases.end() - static_cast<std::ptrdiff_t>(window) : phases.begin(),
                   phases.end());
    h.freq.push_back(0.0);
    for (std::size_t i = 1; i < h.phase.size(); ++i) h.freq.push_back(h.phase[i] - h.phase[i - 1]);
    if (full) {
        h.phase.push_back(h.phase.back());
        h.freq.push_back(h.freq.back());
    }
    return h;
}

// The axis and statistics lines for such histories.
struct PlotTexts {
    std::string axis;
    std::string stats;
};

PlotTexts ExpectedTexts(const HeldHistory& h, int size, bool freq_plot) {
    const std::size_t n = h.phase.size();
    const double count = static_cast<double>(n - 1);
    double sum = 0.0;
    for (std::size_t i = 1; i < n; ++i) sum += h.freq[i];
    const double mean = sum / count;
    double squares = 0.0;
    for (std::size_t i = 1; i < n; ++i) squares += (h.freq[i] - mean) * (h.freq[i] - mean);
    const double spread = std::sqrt(squares) / count;

    const auto first = freq_plot ? h.freq.begin() + 1 : h.phase.begin();
    const auto last = freq_plot ? h.freq.end() : h.phase.end();
    const double minimum = *std::min_element(first, last);
    const double maximum = *std::max_element(first, last);
    const double per_division = (maximum - minimum) * 0.2;
    PlotTexts t;
    t.axis = freq_plot ? CFormat("X-Axis: %d sec/div, Y-Axis: %5.3e to %5.3e = %5.3e/div",
                                 size / 8, minimum, maximum, per_division)
                       : CFormat("X-Axis: %d sec/div, Y-Axis: %7.5e to %7.5e = %5.3e/div",
                                 size / 8, minimum, maximum, per_division);
    t.stats = CFormat("Last Freq= %8.5e; Avg Freq= %8.5e +/- %6.3e (scaled)", h.freq[n - 1], mean,
                      spread);
    return t;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

int PixelsOf(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
    return count;
}

// What the plot area and its two text lines showed at one moment of a run.
struct PlotSeen {
    int readings = 0;
    std::vector<double> phases;  // the run's scaled readings up to then, from the list
    QString axis;
    QString stats;
    bool texts_fit = false;
    QImage picture;
    QSize area;
};

QMessageBox* OpenMessageBox() {
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

// Steps that run, one after the other, from the window's own event pumps while the
// Start handler runs its loop. Each step waits for its condition with a deadline; a
// step that times out ends the run so that the test can report it.
class RunScript {
public:
    struct Step {
        const char* what;
        std::function<bool()> ready;
        std::function<void()> act;
    };

    RunScript(CommDialog& dialog, WindowController& controller, std::vector<Step> steps)
        : dialog_(dialog), controller_(controller), steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
        step_began_ = Clock::now();
    }

    bool Done() const { return next_ == steps_.size(); }
    const QString& Failure() const { return failure_; }

private:
    void Poll() {
        if (busy_ || Done() || !failure_.isEmpty()) return;
        busy_ = true;
        Step& step = steps_[next_];
        if (step.ready()) {
            step.act();
            ++next_;
            step_began_ = Clock::now();
        } else if (Clock::now() - step_began_ > kStepDeadline) {
            failure_ = QString("timed out waiting for: ") + step.what;
            if (QMessageBox* box = OpenMessageBox()) box->reject();
            if (controller_.Running())
                QTest::mouseClick(dialog_.Control(IDC_START_STOP), Qt::LeftButton);
        }
        busy_ = false;
    }

    CommDialog& dialog_;
    WindowController& controller_;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
    Clock::time_point step_began_;
    QString failure_;
    bool busy_ = false;
};

QString ShotPath(const char* mode) {
    return QString(TICKLOG_BIN_DIR) + "/ticklog_window_" + mode + ".png";
}

}  // namespace

class InstrumentRunTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void runsOnBothPortsThenCloseSavesTheSettings();

private:
    // Every line ever added to the status list, and the reading lines of the
    // current run.
    void WatchStatusList(CommDialog& dialog);
    PlotSeen SeePlot(CommDialog& dialog, const WindowController& controller) const;
    void CheckPlot(const PlotSeen& seen, bool freq_plot) const;
    void CheckRecordsMatchTheList(const std::string& records_text,
                                  const std::vector<ListedReading>& listed) const;

    std::unique_ptr<QTemporaryDir> dir_;
    std::string folder_;
    std::vector<std::string> status_lines_;
    std::vector<ListedReading> run_readings_;
};

void InstrumentRunTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    folder_ = dir_->path().toStdString() + "/";
    status_lines_.clear();
    run_readings_.clear();
}

void InstrumentRunTest::cleanup() {
    dir_.reset();
}

void InstrumentRunTest::WatchStatusList(CommDialog& dialog) {
    auto* list = qobject_cast<QListWidget*>(dialog.Control(IDC_STATUS_LIST));
    QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list,
                     [this, list](const QModelIndex&, int first, int last) {
                         for (int row = first; row <= last; ++row) {
                             const std::string line = list->item(row)->text().toStdString();
                             status_lines_.push_back(line);
                             if (auto r = ParseReadingLine(line)) run_readings_.push_back(*r);
                         }
                     });
}

PlotSeen InstrumentRunTest::SeePlot(CommDialog& dialog, const WindowController& controller) const {
    PlotSeen seen;
    seen.readings = controller.ReadingCount();
    for (const ListedReading& r : run_readings_) seen.phases.push_back(NumberOf(r.raw) * kScale);
    seen.axis = QString::fromStdString(dialog.Text(IDC_AXIS_TEXT));
    seen.stats = QString::fromStdString(dialog.Text(IDC_STATS_TEXT));
    auto* plot = qobject_cast<QLabel*>(dialog.Control(IDC_PLOT));
    seen.texts_fit = true;
    for (int id : {IDC_AXIS_TEXT, IDC_STATS_TEXT}) {
        const QLabel* label = qobject_cast<QLabel*>(dialog.Control(id));
        seen.texts_fit = seen.texts_fit && TextFits(*label, label->font());
    }
    seen.picture = plot->pixmap().toImage();
    seen.area = plot->contentsRect().size();
    return seen;
}

void InstrumentRunTest::CheckPlot(const PlotSeen& seen, bool freq_plot) const {
    // Every reading of the run so far reached the list.
    QCOMPARE(static_cast<int>(seen.phases.size()), seen.readings);
    QVERIFY(seen.readings > kSize + 1);
    const HeldHistory held = HistoryAfter(seen.phases, kSize);
    QCOMPARE(static_cast<int>(held.phase.size()), kSize + 2);
    const PlotTexts expected = ExpectedTexts(held, kSize, freq_plot);
    QCOMPARE(seen.axis, Q(expected.axis));
    QCOMPARE(seen.stats, Q(expected.stats));
    QVERIFY2(seen.texts_fit, "the axis and statistics lines are cut off");

    // Drawn: an off-screen picture of the plot area's size with the grid, the data
    // across the whole width and, for the frequency, the mean line.
    QCOMPARE(seen.picture.size(), seen.area);
    const int width = seen.area.width();
    QVERIFY2(PixelsOf(seen.picture, qRgb(0, 0, 0)) > 4 * width, "grid");
    QVERIFY2(PixelsOf(seen.picture, qRgb(255, 0, 0)) > width * 9 / 10, "data");
    if (freq_plot) QVERIFY2(PixelsOf(seen.picture, qRgb(0, 255, 0)) > width * 9 / 10, "mean line");
}

void InstrumentRunTest::CheckRecordsMatchTheList(const std::string& records_text,
                                                 const std::vector<ListedReading>& listed) const {
    bool complete = false;
    const std::vector<std::string> records = testing::Records(records_text, &complete);
    QVERIFY(complete);
    QCOMPARE(records.size(), listed.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        QCOMPARE(listed[i].number, static_cast<int>(i) + 1);
        QCOMPARE(Q(records[i]), Q(listed[i].scaled));
        QCOMPARE(Q(records[i]), Q(RecordText(NumberOf(listed[i].raw) * kScale)));
    }
}

void InstrumentRunTest::runsOnBothPortsThenCloseSavesTheSettings() {
    testing::InstrumentSim counting({"--period", kPeriod, "--counting"});
    testing::InstrumentSim oscillator({"--period", kPeriod});
    QVERIFY(!counting.device().empty());
    QVERIFY(!oscillator.device().empty());
    const std::string settings_path = folder_ + "Ticklog.ini";
    const std::string data_path = folder_ + "Ticklog.dat";
    testing::WriteFile(settings_path, "[Ports]\nCOM1=" + counting.device() + "\nCOM2=" +
                                          oscillator.device() + "\n[Preferences]\nSize=" +
                                          std::to_string(kSize) + "\n");

    PosixSerialPort port;
    PosixDataFile data_file;
    PosixFolders folders;
    IniFile profile(settings_path);
    NoStart program_start;
    NoMemory shared_memory;
    CommDialog dialog;
    WindowController controller(
        dialog, WindowPlatform{port, data_file, folders, profile, program_start, shared_memory},
        WindowOptions{folder_, {}, {}});
    dialog.Attach(&controller);
    int quit_code = -1;
    connect(&dialog, &CommDialog::quitRequested, [&](int code) { quit_code = code; });
    WatchStatusList(dialog);
    dialog.show();
    controller.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    auto* list = qobject_cast<QListWidget*>(dialog.Control(IDC_STATUS_LIST));
    auto* indicator = qobject_cast<QRadioButton*>(dialog.Control(IDC_PORT_OPEN));
    QCOMPARE(status_lines_,
             (std::vector<std::string>{"Marwen Ostrand Comm Program", "COM1 Opened"}));
    QVERIFY(indicator->isChecked());
    QVERIFY(dialog.Control(IDC_START_STOP)->isEnabled());
    QCOMPARE(dialog.Text(IDC_FILENAME), data_path);

    // The scale, typed and applied with Enter.
    auto* scale = qobject_cast<QLineEdit*>(dialog.Control(IDC_SCALE));
    scale->setFocus();
    scale->selectAll();
    QTest::keyClicks(scale, "1e-7");
    QTest::keyClick(scale, Qt::Key_Return);
    QCOMPARE(scale->text(), QString("+1.0000000000e-07"));
    QCOMPARE(controller.Scale(), kScale);

    // Run 1, COM1: list mode, then the phase plot; Escape changes nothing; Stop.
    std::vector<std::string> list_shown;
    std::size_t lines_at_list_shot = 0;
    std::string records_at_list_shot;
    std::vector<ListedReading> listed_at_list_shot;
    QString list_axis, count_text;
    int readings_at_click = 0;
    PlotSeen phase_seen;
    {
        RunScript script(
            dialog, controller,
            {{"a full status list in list mode",
              [&] { return controller.ReadingCount() >= kSize + 2; },
              [&] {
                  for (int row = 0; row < list->count(); ++row)
                      list_shown.push_back(list->item(row)->text().toStdString());
                  lines_at_list_shot = status_lines_.size();
                  records_at_list_shot = testing::ReadFile(data_path);
                  listed_at_list_shot = run_readings_;
                  list_axis = QString::fromStdString(dialog.Text(IDC_AXIS_TEXT));
                  count_text = QString::fromStdString(dialog.Text(IDC_COUNT));
                  QVERIFY(dialog.grab().save(ShotPath("list")));
                  readings_at_click = controller.ReadingCount();
                  QTest::mouseClick(dialog.Control(IDC_PLOT_PHASE), Qt::LeftButton);
              }},
             {"two readings in phase-plot mode",
              [&] { return controller.ReadingCount() >= readings_at_click + 2; },
              [&] {
                  phase_seen = SeePlot(dialog, controller);
                  QVERIFY(dialog.grab().save(ShotPath("phase")));
                  QTest::keyClick(&dialog, Qt::Key_Escape);
              }},
             {"a reading after Escape",
              [&] { return controller.ReadingCount() > phase_seen.readings; },
              [&] { QTest::mouseClick(dialog.Control(IDC_START_STOP), Qt::LeftButton); }}});
        QTest::mouseClick(dialog.Control(IDC_START_STOP), Qt::LeftButton);
        QVERIFY2(script.Failure().isEmpty(), qPrintable(script.Failure()));
        QVERIFY(script.Done());
    }
    QVERIFY(!controller.Running());
    QCOMPARE(quit_code, -1);
    QVERIFY(dialog.isVisible());
    QCOMPARE(Q(dialog.Text(IDC_START_STOP)), QString("&Start"));
    QCOMPARE(Q(dialog.Text(IDC_PROMPT)), QString("Press Start to capture data."));
    QVERIFY(dialog.Control(IDC_CLOSE)->isEnabled());

    // The list kept the newest Size lines of everything it was given.
    QCOMPARE(static_cast<int>(list_shown.size()), kSize);
    const auto shot_end = status_lines_.begin() + static_cast<std::ptrdiff_t>(lines_at_list_shot);
    QCOMPARE(list_shown, std::vector<std::string>(shot_end - kSize, shot_end));
    QCOMPARE(Q(status_lines_[2]), QString("Data file created"));
    QCOMPARE(list_axis, QString("#:  cycles (unscaled), sec (scaled)"));
    QCOMPARE(count_text, QString::number(static_cast<int>(listed_at_list_shot.size())));
    // Each reading was in the file when its line was shown, and file and list agree
    // with what the instrument sent: its counter, rising, times the scale.
    CheckRecordsMatchTheList(records_at_list_shot, listed_at_list_shot);
    if (QTest::currentTestFailed()) return;
    for (std::size_t i = 1; i < listed_at_list_shot.size(); ++i)
        QVERIFY(NumberOf(listed_at_list_shot[i].raw) > NumberOf(listed_at_list_shot[i - 1].raw));
    QCOMPARE(listed_at_list_shot.back().raw,
             std::to_string(static_cast<long>(NumberOf(listed_at_list_shot.back().raw))));
    CheckPlot(phase_seen, false);
    if (QTest::currentTestFailed()) return;

    // After Stop nothing more reaches the file, though the instrument goes on sending.
    const std::string run1_records = testing::ReadFile(data_path);
    CheckRecordsMatchTheList(run1_records, run_readings_);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(static_cast<int>(run_readings_.size()), controller.ReadingCount());
    const auto quiet_until = Clock::now() + std::chrono::milliseconds(1000);  // five periods
    while (Clock::now() < quiet_until) QTest::qWait(50);
    QVERIFY(counting.Running());
    QCOMPARE(testing::ReadFile(data_path), run1_records);

    // COM2: the old port closes, the new one opens.
    auto* ports = qobject_cast<QComboBox*>(dialog.Control(IDC_PORT));
    ports->setFocus();
    QTest::keyClick(ports, Qt::Key_Down);  // COM2, picked as a user does
    QCOMPARE(std::vector<std::string>(status_lines_.end() - 2, status_lines_.end()),
             (std::vector<std::string>{"COM1 Closed", "COM2 Opened"}));
    QVERIFY(indicator->isChecked());

    // Run 2, COM2: the data file exists, so Start asks; Yes appends. The frequency
    // plot from the first reading on.
    run_readings_.clear();
    QString question, question_caption;
    bool cancel_is_default = false;
    PlotSeen freq_seen;
    {
        RunScript script(
            dialog, controller,
            {{"the append question",
              [&] { return OpenMessageBox() != nullptr; },
              [&] {
                  QMessageBox* box = OpenMessageBox();
                  question = box->text();
                  question_caption = box->windowTitle();
                  cancel_is_default = box->defaultButton() == box->button(QMessageBox::Cancel);
                  box->button(QMessageBox::Yes)->click();
              }},
             {"the first reading", [&] { return controller.ReadingCount() >= 1; },
              [&] { QTest::mouseClick(dialog.Control(IDC_PLOT_FREQ), Qt::LeftButton); }},
             {"full histories in frequency-plot mode",
              [&] { return controller.ReadingCount() >= kSize + 3; },
              [&] {
                  freq_seen = SeePlot(dialog, controller);
                  QVERIFY(dialog.grab().save(ShotPath("frequency")));
                  QTest::mouseClick(dialog.Control(IDC_START_STOP), Qt::LeftButton);
              }}});
        QTest::mouseClick(dialog.Control(IDC_START_STOP), Qt::LeftButton);
        QVERIFY2(script.Failure().isEmpty(), qPrintable(script.Failure()));
        QVERIFY(script.Done());
    }
    QCOMPARE(question, QString("A data file with this name already exists.\nDo you want to append "
                               "data to it?\n\nYes:\tAppend data\nNo:\tOverwrite data\nCancel:\t"
                               "Choose another filename"));
    QCOMPARE(question_caption, QString("Ticklog - Append File?"));
    QVERIFY(cancel_is_default);
    QVERIFY(std::find(status_lines_.begin(), status_lines_.end(), "Data file appended") !=
            status_lines_.end());
    CheckPlot(freq_seen, true);
    if (QTest::currentTestFailed()) return;
    // The second run's records follow the first run's directly.
    const std::string all_records = testing::ReadFile(data_path);
    QCOMPARE(all_records.substr(0, run1_records.size()), run1_records);
    CheckRecordsMatchTheList(all_records.substr(run1_records.size()), run_readings_);

    // Close: the port closes and the settings are written; other sections stay.
    QTest::mouseClick(dialog.Control(IDC_CLOSE), Qt::LeftButton);
    QCOMPARE(quit_code, 0);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(Q(status_lines_.back()), QString("COM2 Closed"));
    IniFile saved(settings_path);
    const std::map<std::string, std::string> expected = {
        {"Comm", "2"}, {"Plot", "1"}, {"Freq", "1"}, {"Size", std::to_string(kSize)},
        {"Scale", "1.000000e-07"}, {"File", data_path}};
    for (const auto& [key, value] : expected)
        QCOMPARE(saved.ReadString("Preferences", key, "(missing)"), value);
    QCOMPARE(saved.ReadString("Ports", "COM1", ""), counting.device());
    QCOMPARE(saved.ReadString("Ports", "COM2", ""), oscillator.device());
}

QTEST_MAIN(InstrumentRunTest)
#include "instrument_run_test.moc"
