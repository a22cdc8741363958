// Picking the port that is already selected closes and reopens it: after the
// simulated instrument hung up and another one came on the same device name, the
// window captures from it without a detour through another port.
#include <QAbstractItemView>
#include <QComboBox>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "../faults_window.h"
#include "../instrument_sim.h"
#include "core/control_ids.h"
#include "core/window_controller.h"
#include "scripted_platform.h"
#include "ui/comm_dialog.h"

using namespace ticklog;

class PortReopenTest : public QObject {
    Q_OBJECT

private slots:
    void pickingTheSelectedPortAgainReopensItAfterAHangUp();
};

void PortReopenTest::pickingTheSelectedPortAgainReopensItAfterAHangUp() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string folder = dir.path().toStdString() + "/";
    const std::string link = folder + "instrument";
    auto first = std::make_unique<testing::InstrumentSim>(std::vector<std::string>{
        "--period", "0.1", "--counting", "--hangup-after", "3", "--link", link});
    QVERIFY(!first->device().empty());
    testing::WriteFile(folder + "Ticklog.ini", "[Ports]\nCOM1=" + link + "\n");

    PosixSerialPort port;
    MemoryFile file;
    AnyFolder folders;
    IniFile profile(folder + "Ticklog.ini");
    NoStart start;
    NoMemory memory;
    CommDialog dialog;
    WindowController controller(dialog,
                                WindowPlatform{port, file, folders, profile, start, memory},
                                WindowOptions{folder, {}, {}});
    dialog.Attach(&controller);
    dialog.show();
    controller.Start();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* list = qobject_cast<QListWidget*>(dialog.Control(IDC_STATUS_LIST));
    auto last_line = [&] { return list->item(list->count() - 1)->text(); };
    QCOMPARE(last_line(), QString("COM1 Opened"));

    // The instrument hangs up; another one comes on the same device name.
    QTRY_VERIFY_WITH_TIMEOUT(!first->Running(), 10000);
    first.reset();
    testing::InstrumentSim second({"--period", "0.1", "--counting", "--link", link});
    QVERIFY(!second.device().empty());

    // COM1 again, picked from the open list as a user does.
    auto* ports = qobject_cast<QComboBox*>(dialog.Control(IDC_PORT));
    ports->showPopup();
    QTRY_VERIFY(ports->view()->isVisible());
    QTest::keyClick(ports->view(), Qt::Key_Return);
    QCOMPARE(list->item(list->count() - 2)->text(), QString("COM1 Closed"));
    QCOMPARE(last_line(), QString("COM1 Opened"));

    // And the reopened port delivers the new instrument's readings.
    QTimer stop;
    connect(&stop, &QTimer::timeout, [&] {
        if (controller.ReadingCount() >= 2)
            QTest::mouseClick(dialog.Control(IDC_START_STOP), Qt::LeftButton);
    });
    stop.start(0);
    QTest::mouseClick(dialog.Control(IDC_START_STOP), Qt::LeftButton);
    QCOMPARE(controller.ReadingCount(), 2);
    QCOMPARE(std::count(file.text.begin(), file.text.end(), '\n'), 2);
}

QTEST_MAIN(PortReopenTest)
#include "port_reopen_test.moc"
