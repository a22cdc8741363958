// F1 and the Help button in the capture window open the built-in help at its contents
// when there is no help file beside the program.
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTest>

#include <map>

#include "core/control_ids.h"
#include "core/window_controller.h"
#include "ui/comm_dialog.h"
#include "ui/help_window.h"
#include "scripted_platform.h"

using namespace ticklog;

class HelpKeyTest : public QObject {
    Q_OBJECT
private slots:
    void f1AndTheHelpButtonOpenTheHelpAtItsContents() {
        QTemporaryDir folder;  // the program's folder, without a help file
        QVERIFY(folder.isValid());
        SilentPort port;
        NoFile file;
        AnyFolder folders;
        MemoryProfile profile;
        NoStart start;
        NoMemory memory;
        CommDialog dialog;
        WindowController controller(
            dialog, WindowPlatform{port, file, folders, profile, start, memory},
            WindowOptions{(folder.path() + "/").toStdString(), {}, {}});
        dialog.Attach(&controller);
        dialog.show();
        controller.Start();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!dialog.findChild<HelpWindow*>());

        QTest::keyClick(&dialog, Qt::Key_F1);
        auto* help = dialog.findChild<HelpWindow*>();
        QVERIFY2(help, "F1 opens the help window");
        QVERIFY(help->isWindow());
        QCOMPARE(help->parentWidget(), static_cast<QWidget*>(&dialog));
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QScrollBar* bar = help->Browser()->verticalScrollBar();
        QCOMPARE(bar->value(), bar->minimum());
        QVERIFY(help->Browser()->document()->toPlainText().startsWith("Ticklog help"));

        // Read on, close it; the Help button brings the same window back at its contents.
        bar->setValue(bar->maximum());
        help->close();
        auto* button = qobject_cast<QPushButton*>(dialog.Control(IDC_HELP));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(dialog.findChildren<HelpWindow*>().size(), 1);
        QVERIFY(help->isVisible());
        QCOMPARE(bar->value(), bar->minimum());
    }
};

QTEST_MAIN(HelpKeyTest)
#include "help_key_test.moc"
