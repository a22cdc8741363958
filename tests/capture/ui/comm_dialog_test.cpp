// The capture window under the offscreen platform: the controls of the template in
// dialog units, the caption, the icon and the tab order; the window grown beyond the
// template; the mode buttons on a silent line. Runs against an instrument are in
// instrument_run_test.cpp.
#include "ui/comm_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <thread>

#include "core/control_ids.h"
#include "core/window_controller.h"
#include "scripted_platform.h"

using namespace ticklog;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// COM1 sends the queued bursts, then falls silent: each read of the silent line ends
// 2 s after it began, as on the real port. `before_read` runs as each read begins.
class FallingSilentPort : public SerialPort {
public:
    std::deque<std::string> bursts;
    std::function<void()> before_read;
    bool Open(const std::string& device) override { return device == "/dev/ttyS0"; }
    bool Close() override { return true; }
    std::size_t ReadBurst(std::span<unsigned char, kBurstBytes> buffer) override {
        if (before_read) before_read();
        if (bursts.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2000));
            return 0;
        }
        const std::string burst = bursts.front();
        bursts.pop_front();
        std::copy(burst.begin(), burst.end(), buffer.begin());
        return burst.size();
    }
};

// Pure red pixels (the plot's data) where the plot area lies, in what the window
// shows on the screen.
int RedOnScreen(CommDialog& dialog) {
    const QImage shown = dialog.screen()->grabWindow(dialog.winId()).toImage();
    const QRect area = dialog.Control(IDC_PLOT)->geometry();
    int red = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            red += shown.pixel(x, y) == qRgb(255, 0, 0);
    return red;
}

// The window over that port and a data file in memory, shown and started with
// `settings`. A run is driven from the window's own event pumps (timers).
struct ShownWindow {
    ShownWindow(std::map<std::string, std::string> settings, std::deque<std::string> bursts)
        : controller(dialog, WindowPlatform{port, file, folders, profile, start, memory},
                     WindowOptions{"/tmp/", {}, {}}) {
        profile.values = std::move(settings);
        port.bursts = std::move(bursts);
        dialog.Attach(&controller);
        dialog.show();
        controller.Start();
    }
    void Click(int id) { QTest::mouseClick(dialog.Control(id), Qt::LeftButton); }

    FallingSilentPort port;
    MemoryFile file;
    AnyFolder folders;
    MemoryProfile profile;
    NoStart start;
    NoMemory memory;
    CommDialog dialog;
    WindowController controller;
};

}  // namespace

class CommDialogTest : public QObject {
    Q_OBJECT

private slots:
    void layoutFollowsTheTemplate();
    void escapeWhileIdleClosesAndSaves();
    void modeButtonsShowAtOnceOnASilentLine();
    void aGrownWindowGivesItsRoomToThePlotAndDrawsItAtThatSize();
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

void CommDialogTest::escapeWhileIdleClosesAndSaves() {
    SilentPort port;
    NoFile file;
    AnyFolder folders;
    MemoryProfile profile;
    profile.values["Size"] = "100";
    NoStart start;
    NoMemory memory;
    CommDialog dialog;
    WindowController controller(dialog,
                                WindowPlatform{port, file, folders, profile, start, memory},
                                WindowOptions{"/tmp/", {}, {}});
    dialog.Attach(&controller);
    int quit_code = -1;
    connect(&dialog, &CommDialog::quitRequested, [&](int code) { quit_code = code; });
    dialog.show();
    controller.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QVERIFY(dialog.Control(IDC_START_STOP)->isEnabled());

    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(quit_code, 0);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(profile.values["Size"], std::string("96"));
    QCOMPARE(profile.values["Comm"], std::string("1"));
    QCOMPARE(profile.values["File"], std::string("/tmp/Ticklog.dat"));
}

// The run loop lets the mode buttons in between two reads, and a read of a silent line
// lasts 2 s: what a button changes is on the screen before the next read begins.
void CommDialogTest::modeButtonsShowAtOnceOnASilentLine() {
    ShownWindow w({{"Size", "8"}}, {"1\r\n", "2\r\n", "4\r\n"});
    QVERIFY(QTest::qWaitForWindowExposed(&w.dialog));

    // Plot Phase after the third reading, List after the first silent read, then Stop;
    // each read that follows a click looks at the screen.
    const int clicks[] = {IDC_PLOT_PHASE, IDC_LIST, IDC_START_STOP};
    std::size_t next_click = 0;
    bool looked = true;
    QElapsedTimer since_click;
    std::vector<std::pair<int, qint64>> seen;  // red pixels on the screen, ms after the click
    w.port.before_read = [&] {
        if (looked) return;
        seen.emplace_back(RedOnScreen(w.dialog), since_click.elapsed());
        looked = true;
    };
    QTimer pump_watch;
    connect(&pump_watch, &QTimer::timeout, [&] {
        if (!looked || next_click == std::size(clicks) || w.controller.ReadingCount() < 3) return;
        since_click.start();
        w.Click(clicks[next_click++]);
        looked = false;
    });
    pump_watch.start(0);
    w.Click(IDC_START_STOP);
    QVERIFY(!w.controller.Running());

    QCOMPARE(seen.size(), std::size_t{2});
    QVERIFY2(seen[0].first > 0, "the phase plot is not on the screen");
    QCOMPARE(seen[1].first, 0);  // the list is back in its place
    for (const auto& [red, ms] : seen) QVERIFY2(ms < 300, qPrintable(QString::number(ms)));
}

// The template is the smallest layout. At twice its size the list and the plot take
// the extra room, the plot is drawn at the size it is shown with its grid reaching the
// far edges, the lines below it move down, and a text shrunk for the narrow line gets
// its size back. A picture of the window goes beside the programs of the build.
void CommDialogTest::aGrownWindowGivesItsRoomToThePlotAndDrawsItAtThatSize() {
    std::deque<std::string> bursts;
    for (const char* reading : {"1", "3", "2", "5", "4", "7", "6", "9", "8", "10"})
        bursts.push_back(std::string(reading) + "\r\n");
    ShownWindow window({{"Size", "8"}, {"Plot", "1"}}, bursts);
    CommDialog& dialog = window.dialog;
    WindowController& controller = window.controller;
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QSize smallest = dialog.size();
    QCOMPARE(smallest, dialog.DialogUnitsToPixels(0, 0, 233, 163).size());
    QCOMPARE(dialog.minimumSize(), smallest);
    QVERIFY(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);

    QTimer stop;
    connect(&stop, &QTimer::timeout, [&] {
        if (controller.Running() && controller.ReadingCount() == 10) window.Click(IDC_START_STOP);
    });
    stop.start(0);
    window.Click(IDC_START_STOP);
    QCOMPARE(controller.ReadingCount(), 10);

    auto* stats = qobject_cast<QLabel*>(dialog.Control(IDC_STATS_TEXT));
    const QString wide =
        "Last Freq= -1.23456e-100; Avg Freq= -1.23456e-100 +/- 1.234e-100 (scaled)";
    dialog.SetText(IDC_STATS_TEXT, wide.toStdString());
    QVERIFY(stats->font().pointSizeF() < dialog.font().pointSizeF());

    dialog.resize(2 * smallest);
    QTRY_COMPARE(dialog.size(), 2 * smallest);
    const QSize extra = smallest;
    auto* plot = qobject_cast<QLabel*>(dialog.Control(IDC_PLOT));
    QCOMPARE(plot->geometry(), dialog.DialogUnitsToPixels(5, 71, 223, 58).adjusted(
                                   0, 0, extra.width(), extra.height()));
    QCOMPARE(dialog.Control(IDC_STATUS_LIST)->geometry(),
             dialog.DialogUnitsToPixels(5, 71, 223, 63).adjusted(0, 0, extra.width(),
                                                                 extra.height()));
    for (int id : {IDC_AXIS_TEXT, IDC_STATS_TEXT, IDC_RUN_LINE})
        QVERIFY(dialog.Control(id)->geometry().top() >= plot->geometry().bottom());
    QVERIFY(dialog.Control(IDC_RUN_LINE)->geometry().bottom() < dialog.height());
    QCOMPARE(stats->font().pointSizeF(), dialog.font().pointSizeF());

    // Drawn at the size shown: grid lines at the far eighth and fifth, data to the edge.
    const QImage picture = plot->pixmap().toImage();
    QCOMPARE(picture.size(), plot->contentsRect().size());
    const int w = picture.width() - 1, h = picture.height() - 1;
    QCOMPARE(picture.pixel(static_cast<int>(0.875 * w), h / 2), qRgb(0, 0, 0));
    QCOMPARE(picture.pixel(w / 2 + 1, static_cast<int>(0.8 * h)), qRgb(0, 0, 0));
    int red_in_last_eighth = 0;
    for (int y = 0; y <= h; ++y)
        for (int x = static_cast<int>(0.875 * w) + 1; x < w; ++x)
            red_in_last_eighth += picture.pixel(x, y) == qRgb(255, 0, 0);
    QVERIFY(red_in_last_eighth > w / 16);
    QVERIFY(dialog.grab().save(QString(TICKLOG_BIN_DIR) + "/ticklog_window_resized.png"));

    // The run line stays in view in every display mode.
    QVERIFY(Q(dialog.Text(IDC_RUN_LINE)).startsWith("Stopped: 10 records in "));
    for (int mode : {IDC_LIST, IDC_PLOT_FREQ, IDC_PLOT_PHASE}) {
        window.Click(mode);
        QVERIFY(dialog.Control(IDC_RUN_LINE)->isVisible());
    }
}

QTEST_MAIN(CommDialogTest)
#include "comm_dialog_test.moc"
