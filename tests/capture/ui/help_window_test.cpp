// The help: the help file goes to the desktop's viewer when it exists; otherwise the
// built-in help opens in a window of its own, owned by the main window, at its
// contents.
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTest>
#include <QUrl>

#include "ui/help_window.h"

using ticklog::HelpWindow;
using ticklog::ShowHelp;

// Stands in for the desktop's viewer.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class HelpWindowTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher_, "open");
        catcher_.opened.clear();
    }
    void cleanup() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void builtInHelpIsTheCapturePartOfTheManual() {
        const QString text = ticklog::BuiltInHelpText();
        QVERIFY(text.startsWith(QStringLiteral("# Ticklog help")));
        for (const char* section : {"## Capturing a run", "## The data file", "## The settings file",
                                    "### The `[Ports]` section", "## The simulated instrument"})
            QVERIFY2(text.contains(QString::fromUtf8(section)), section);
        QVERIFY(!text.contains(QStringLiteral("## Analysing")));
    }

    void missingHelpFileOpensTheHelpWindowAtItsContents() {
        QWidget main;
        main.show();
        ShowHelp(&main, "/nonexistent-folder/Ticklog.hlp");
        QVERIFY(catcher_.opened.isEmpty());
        auto* help = main.findChild<HelpWindow*>();
        QVERIFY(help);
        QVERIFY(help->isWindow());
        QCOMPARE(help->parentWidget(), &main);
        QVERIFY(QTest::qWaitForWindowExposed(help));
        QTextBrowser* browser = help->Browser();
        QVERIFY(browser->document()->toPlainText().startsWith(QStringLiteral("Ticklog help")));
        QScrollBar* bar = browser->verticalScrollBar();
        QVERIFY2(bar->maximum() > 0, "the help is longer than its window");
        QCOMPARE(bar->value(), bar->minimum());

        // Read further down, close, ask again: the same window, back at the contents.
        bar->setValue(bar->maximum());
        help->close();
        QVERIFY(!help->isVisible());
        ShowHelp(&main, "");
        QCOMPARE(main.findChildren<HelpWindow*>().size(), 1);
        QVERIFY(help->isVisible());
        QCOMPARE(bar->value(), bar->minimum());
        QCOMPARE(browser->textCursor().position(), 0);
    }

    void existingHelpFileGoesToTheDesktopViewer() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Ticklog.hlp"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("help");
        file.close();
        QWidget main;
        ShowHelp(&main, path.toStdString());
        QCOMPARE(catcher_.opened.size(), 1);
        QCOMPARE(catcher_.opened.first(), QUrl::fromLocalFile(path));
        QVERIFY(!main.findChild<HelpWindow*>());

        // A folder of that name is no help file.
        ShowHelp(&main, dir.path().toStdString());
        QCOMPARE(catcher_.opened.size(), 1);
        QVERIFY(main.findChild<HelpWindow*>());
    }

private:
    UrlCatcher catcher_;
};

QTEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
