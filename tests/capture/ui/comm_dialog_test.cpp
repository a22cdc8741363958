// The capture window under the offscreen platform: the controls of the template in
// dialog units, the caption, the icon and the tab order; the window grown beyond the
// template; the mode buttons on a silent line. Runs against an instrument are in
// instrument_run_test.cpp.
#include "ui/comm_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
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
// 2 s after it began, as on the real port, and waits in slices of 50 ms with the wait
// hook after each. `while_waiting` runs as each slice ends, with the time since the
// read began.
class FallingSilentPort : public SerialPort {
public:
    std::deque<std::string> bursts;
    std::function<void(qint64 ms)> while_waiting;
    bool Open(const std::string& device) override { return device == "/dev/ttyS0"; }
    bool Close() override { return true; }
    std::size_t ReadBurst(std::span<unsigned char, kBurstBytes> buffer,
                          const ReadWaitHook& wait) override {
        if (bursts.empty()) {
            QElapsedTimer read;
            read.start();
            while (read.elapsed() < 2000) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                if (while_waiting) while_waiting(read.elapsed());
                if (!wait()) break;
            }
            return 0;
        }
        const std::string burst = bursts.front();
        bursts.pop_front();
        std::copy(burst.begin(), burst.end(), buffer.begin());
        return burst.size();
    }
};

// A click queued for `widget` as the window system delivers one: it is taken when the
// window next handles its events.
void QueueClick(QWidget* widget) {
    const QPointF at = QRectF(widget->rect()).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            widget, new QMouseEvent(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                                    type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                     : Qt::NoButton,
                                    Qt::NoModifier));
}

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

// A read of a silent line lasts 2 s. A click made 1 s into such a read is taken while
// the read waits: Plot Phase is on the screen, and List back, within 0.3 s of the
// click, and a Stop ends the run as soon.
void CommDialogTest::modeButtonsShowAtOnceOnASilentLine() {
    ShownWindow w({{"Size", "8"}}, {"1\r\n", "2\r\n", "4\r\n"});
    QVERIFY(QTest::qWaitForWindowExposed(&w.dialog));

    // One click 1 s into each silent read; each slice of the wait after a mode click
    // looks at the screen until the new mode shows there.
    const int clicks[] = {IDC_PLOT_PHASE, IDC_LIST, IDC_START_STOP};
    std::size_t next_click = 0;
    bool looking = false;
    QElapsedTimer since_click;
    std::vector<qint64> shown_after;  // ms from each mode click to the screen
    w.port.while_waiting = [&](qint64 ms_into_read) {
        if (looking) {
            const int red = RedOnScreen(w.dialog);
            const bool shown = clicks[next_click - 1] == IDC_PLOT_PHASE ? red > 0 : red == 0;
            if (shown || since_click.elapsed() > 5000) {
                shown_after.push_back(since_click.elapsed());
                looking = false;
            }
        } else if (next_click == std::size(clicks) && since_click.elapsed() > 5000) {
            w.controller.Command(IDC_START_STOP);  // the Stop click was lost
        } else if (ms_into_read >= 1000 && next_click < std::size(clicks)) {
            QueueClick(w.dialog.Control(clicks[next_click]));
            since_click.start();
            looking = clicks[next_click++] != IDC_START_STOP;
        }
    };
    w.Click(IDC_START_STOP);
    const qint64 stopped_after = since_click.elapsed();
    QVERIFY(!w.controller.Running());
    QCOMPARE(next_click, std::size(clicks));
    QCOMPARE(w.controller.ReadingCount(), 3);

    QCOMPARE(shown_after.size(), std::size_t{2});
    for (qint64 ms : shown_after) QVERIFY2(ms < 300, qPrintable(QString::number(ms)));
    QVERIFY2(stopped_after < 300, qPrintable(QString::number(stopped_after)));
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
