#include "help_window.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

// Resources of a static library are registered by name, outside any namespace.
static void InitHelpResource() { Q_INIT_RESOURCE(help); }

namespace ticklog {

QString BuiltInHelpText() {
    InitHelpResource();
    QFile file(QStringLiteral(":/help/capture.md"));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window), browser_(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Ticklog Help"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    browser_->setOpenLinks(false);
    browser_->setMarkdown(BuiltInHelpText());
    connect(browser_, &QTextBrowser::anchorClicked, this, &HelpWindow::FollowLink);
    resize(640, 560);
}

void HelpWindow::ShowContents() {
    browser_->moveCursor(QTextCursor::Start);
    browser_->verticalScrollBar()->setValue(browser_->verticalScrollBar()->minimum());
    browser_->horizontalScrollBar()->setValue(browser_->horizontalScrollBar()->minimum());
    show();
    raise();
    activateWindow();
}

void HelpWindow::FollowLink(const QUrl& url) {
    // Links within the help are not followed; others go to the desktop.
    if (!url.isRelative() || !url.path().isEmpty()) QDesktopServices::openUrl(url);
}

void ShowHelp(QWidget* owner, const std::string& help_path) {
    const QString path = QString::fromStdString(help_path);
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        return;
    }
    auto* window = owner ? owner->findChild<HelpWindow*>(QString(), Qt::FindDirectChildrenOnly)
                         : nullptr;
    if (!window) {
        window = new HelpWindow(owner);
        if (!owner) window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->ShowContents();
}

}  // namespace ticklog
