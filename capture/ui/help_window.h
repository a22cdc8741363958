// Ticklog's help: the help file in the desktop's viewer when there is one, otherwise
// the capture part of the manual, built into the program, in a window of its own.
#pragma once

#include <QString>
#include <QWidget>

#include <string>

class QTextBrowser;

namespace ticklog {

// A top-level window owned by the main window; it shows the built-in help.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* owner);

    // Shows the window at the help's contents (its beginning) and brings it forward.
    void ShowContents();

    QTextBrowser* Browser() const { return browser_; }

private:
    void FollowLink(const QUrl& url);

    QTextBrowser* browser_;
};

// The built-in help text (Markdown).
QString BuiltInHelpText();

// Opens `help_path` with the desktop's viewer when the file exists; otherwise shows
// the owner's help window (made on first use) at its contents.
void ShowHelp(QWidget* owner, const std::string& help_path);

}  // namespace ticklog
