// Drives the real dialog under the offscreen platform with a scripted instrument:
// a run in list, phase-plot and frequency-plot mode, Stop, and Close. Saves a
// picture of the window in each mode next to the programs of the build.
#include "ui/comm_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>
#include <cmath>
#include <functional>
#include <map>

#include "core/control_ids.h"
#include "core/window_controller.h"
#include "scripted_platform.h"

using namespace ticklog;

namespace {

// An instrument that answers every read with the next reading of a slow drift
// plus a wobble, and calls `on_read` with the number of reads so far.
class ScriptedPort : public SerialPort {
public:
    std::function<void(int)> on_read;
    int reads = 0;
    bool open = false;
    bool Open(const std::string& device) override { return open = device == "/dev/ttyS0"; }
    bool Close() override { return !(open = !open); }
    std::size_t ReadBurst(std::span<unsigned char, kBurstBytes> buffer) override {
        ++reads;
        const double cycles = 1000.0 + 0.5 * reads + 3.0 * std::sin(reads * 0.7);
        const std::string text = std::to_string(cycles) + "\r\n";
        std::copy(text.begin(), text.end(), buffer.begin());
        if (on_read) on_read(reads);
        return text.size();
    }
};

class MemoryFile : public DataFile {
public:
    std::string content;
    bool open = false;
    int writes_after_release = 0;
    bool CreateNew(const std::string&) override { return open = true; }
    bool Overwrite(const std::string&) override { return open = true; }
    bool Append(const std::string&) override { return open = true; }
    bool IsOpen() const override { return open; }
    bool Write(std::string_view record) override {
        if (!open) return ++writes_after_release, false;
        content += record;
        return true;
    }
    void Release() override { open = false; }
};

QString TextOf(const CommDialog& dialog, int id) {
    return QString::fromStdString(dialog.Text(id));
}

QString ShotPath(const char* mode) {
    return QString(TICKLOG_BIN_DIR) + "/ticklog_window_" + mode + ".png";
}

int ColouredPixels(const QLabel* plot, QRgb colour) {
    const QImage image = plot->pixmap().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += image.pixel(x, y) == colour;
    return count;
}

}  // namespace

class CommDialogTest : public QObject {
    Q_OBJECT

private slots:
    void layoutFollowsTheTemplate();
    void runInEveryModeThenClose();

private:
    ScriptedPort port_;
    MemoryFile file_;
    AnyFolder folders_;
    MemoryProfile profile_;
    NoStart start_;
    NoMemory memory_;
};

void CommDialogTest::layoutFollowsTheTemplate() {
    CommDialog dialog;
    const QRect r = dialog.DialogUnitsToPixels(124, 20, 50, 13);
    QCOMPARE(dialog.Control(IDC_CLOSE)->geometry(), r);
    QVERIFY(r.width() > 40);
    // The plot area lies where the status list is.
    QCOMPARE(dialog.Control(IDC_PLOT)->geometry().topLeft(),
             dialog.Control(IDC_STATUS_LIST)->geometry().topLeft());
    QCOMPARE(dialog.windowTitle(), QString(kWindowCaption));
    QVERIFY(!dialog.windowIcon().isNull());
    // Tab order: Close, Start, port list, file name, scale, status list, Help, Vantor32.
    const int order[] = {IDC_CLOSE, IDC_START_STOP,  IDC_PORT, IDC_FILENAME,
                         IDC_SCALE, IDC_STATUS_LIST, IDC_HELP, IDC_ANALYZE};
    QWidget* w = dialog.Control(order[0]);
    for (int id : order) {
        while (!(w->focusPolicy() & Qt::TabFocus)) w = w->nextInFocusChain();
        QCOMPARE(w, dialog.Control(id));
        w = w->nextInFocusChain();
    }
    auto* start = qobject_cast<QPushButton*>(dialog.Control(IDC_START_STOP));
    QCOMPARE(start->text(), QString("&Start"));
}

void CommDialogTest::runInEveryModeThenClose() {
    profile_.values["Size"] = "48";
    CommDialog dialog;
    WindowController controller(dialog,
                                WindowPlatform{port_, file_, folders_, profile_, start_, memory_},
                                WindowOptions{"/tmp/", {}, {}});
    dialog.Attach(&controller);
    int quit_code = -1;
    connect(&dialog, &CommDialog::quitRequested, [&](int code) { quit_code = code; });
    dialog.show();
    controller.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    auto* list = qobject_cast<QListWidget*>(dialog.Control(IDC_STATUS_LIST));
    auto* plot = qobject_cast<QLabel*>(dialog.Control(IDC_PLOT));
    QCOMPARE(list->item(1)->text(), QString("COM1 Opened"));

    QString phase_axis, freq_axis, stats;
    int red_phase = 0, red_freq = 0, green_freq = 0;
    // Every step reaches the window through the run loop's event pump.
    port_.on_read = [&](int reads) {
        auto later = [&](std::function<void()> f) { QTimer::singleShot(0, &dialog, f); };
        if (reads == 60)
            later([&] {
                QVERIFY(dialog.grab().save(ShotPath("list")));
                QTest::mouseClick(dialog.Control(IDC_PLOT_PHASE), Qt::LeftButton);
            });
        if (reads == 62)
            later([&] {
                phase_axis = TextOf(dialog, IDC_AXIS_TEXT);
                red_phase = ColouredPixels(plot, qRgb(255, 0, 0));
                QVERIFY(dialog.grab().save(ShotPath("phase")));
                QTest::mouseClick(dialog.Control(IDC_PLOT_FREQ), Qt::LeftButton);
            });
        if (reads == 64)
            later([&] {
                freq_axis = TextOf(dialog, IDC_AXIS_TEXT);
                stats = TextOf(dialog, IDC_STATS_TEXT);
                red_freq = ColouredPixels(plot, qRgb(255, 0, 0));
                green_freq = ColouredPixels(plot, qRgb(0, 255, 0));
                QVERIFY(dialog.grab().save(ShotPath("frequency")));
                QTest::keyClick(&dialog, Qt::Key_Escape);  // ignored while running
                QTest::mouseClick(dialog.Control(IDC_START_STOP), Qt::LeftButton);
            });
    };
    QTest::mouseClick(dialog.Control(IDC_START_STOP), Qt::LeftButton);

    QVERIFY(!controller.Running());
    QCOMPARE(quit_code, -1);
    QVERIFY(port_.reads >= 64);
    QVERIFY(phase_axis.startsWith("X-Axis: 6 sec/div, Y-Axis: "));
    QVERIFY(freq_axis.contains(" = ") && freq_axis.endsWith("/div"));
    QVERIFY(stats.startsWith("Last Freq= ") && stats.endsWith(" (scaled)"));
    QVERIFY(red_phase > 50);
    QVERIFY(red_freq > 50);
    QVERIFY(green_freq > 20);
    QCOMPARE(list->count(), 48);
    // One record per reading, none after Stop.
    QCOMPARE(static_cast<int>(std::count(file_.content.begin(), file_.content.end(), '\n')),
             controller.ReadingCount());
    QCOMPARE(file_.writes_after_release, 0);
    QCOMPARE(dialog.Control(IDC_CLOSE)->isEnabled(), true);

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(quit_code, 0);
    QCOMPARE(profile_.values["Plot"], std::string("1"));
    QCOMPARE(profile_.values["Freq"], std::string("1"));
    QCOMPARE(profile_.values["Size"], std::string("48"));
}

QTEST_MAIN(CommDialogTest)
#include "comm_dialog_test.moc"
