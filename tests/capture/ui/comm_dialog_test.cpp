// The capture window's layout under the offscreen platform: the controls of the
// template in dialog units, the caption, the icon and the tab order. Runs against
// an instrument are in instrument_run_test.cpp.
#include "ui/comm_dialog.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include "core/control_ids.h"
#include "core/window_controller.h"
#include "scripted_platform.h"

using namespace ticklog;


class CommDialogTest : public QObject {
    Q_OBJECT

private slots:
    void layoutFollowsTheTemplate();
    void escapeWhileIdleClosesAndSaves();
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

QTEST_MAIN(CommDialogTest)
#include "comm_dialog_test.moc"
