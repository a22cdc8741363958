#include "comm_dialog.h"
#include "help_window.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QUrl>

#include "comm_icon.h"
#include "text_fit.h"
#include "core/control_ids.h"

namespace ticklog {
namespace {

// A radio button that only shows a state: clicking it changes nothing.
class IndicatorButton : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override {}
};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QMessageBox::StandardButton ToButton(Answer answer) {
    switch (answer) {
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
        case Answer::Cancel:
            return QMessageBox::Cancel;
        case Answer::Ok:
            break;
    }
    return QMessageBox::Ok;
}

}  // namespace

CommDialog::CommDialog(QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(kWindowCaption);
    setWindowIcon(CommIcon());
    QFont font("MS Sans Serif", 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    // Dialog base units: the average width of the alphabet and the line height.
    const QFontMetrics metrics(font);
    const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    base_x_ = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    base_y_ = metrics.height();

    BuildControls();
    // The template's layout is the smallest; more room goes to the list and the plot.
    setMinimumSize(DialogUnitsToPixels(0, 0, kTemplateWidth, kTemplateHeight).size());
    resize(minimumSize());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    new QShortcut(QKeySequence(Qt::Key_F1), this, [this] { Send(IDC_HELP); });
    connect(qApp, &QApplication::focusChanged, this, &CommDialog::OnFocusChanged);
}

CommDialog::~CommDialog() {
    // QDialog's destructor hides the window, which moves the focus: that must not
    // reach this half-destroyed window, nor its controller, which may be gone.
    disconnect(qApp, &QApplication::focusChanged, this, &CommDialog::OnFocusChanged);
}

void CommDialog::Attach(WindowController* controller) {
    controller_ = controller;
}

QRect CommDialog::DialogUnitsToPixels(int x, int y, int w, int h) const {
    return QRect(x * base_x_ / 4, y * base_y_ / 8, w * base_x_ / 4, h * base_y_ / 8);
}

void CommDialog::BuildControls() {
    // Created in template order, which is also the tab order.
    auto place = [this](QWidget* widget, int id, int x, int y, int w, int h) {
        widget->setGeometry(DialogUnitsToPixels(x, y, w, h));
        if (id) controls_.insert(id, widget);
        return widget;
    };
    auto button = [&](int id, const char* label, int x, int y, int w, int h) {
        auto* b = new QPushButton(label, this);
        b->setAutoDefault(false);
        place(b, id, x, y, w, h);
        connect(b, &QPushButton::clicked, this, [this, id] { Send(id); });
        return b;
    };
    auto label = [&](int id, const char* text, int x, int y, int w, int h) {
        auto* l = new QLabel(text, this);
        place(l, id, x, y, w, h);
        return l;
    };

    button(IDC_CLOSE, "&Close", 124, 20, 50, 13);
    button(IDC_START_STOP, "&Start", 124, 4, 50, 13);
    QLabel* line = label(IDC_LINE_SETTINGS, "9600,8,1,N", 83, 4, 37, 12);
    line->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    line->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* indicator = new IndicatorButton("Open", this);
    indicator->setAutoExclusive(false);
    indicator->setFocusPolicy(Qt::ClickFocus);
    place(indicator, IDC_PORT_OPEN, 50, 5, 31, 10);

    port_ = new QComboBox(this);
    // The drop-down's height in the template includes its list; the field is one line.
    place(port_, IDC_PORT, 4, 3, 42, 12);
    // Every pick counts, also of the entry already selected: that closes and reopens
    // the port, as after the instrument hung up.
    connect(port_, &QComboBox::activated, this, [this] {
        if (controller_) controller_->PortSelectionChanged();
    });

    QLabel* name_label = label(0, "File&name:", 5, 22, 42, 10);
    file_name_ = new QLineEdit(this);
    place(file_name_, IDC_FILENAME, 49, 20, 71, 12);
    name_label->setBuddy(file_name_);
    connect(file_name_, &QLineEdit::textChanged, this, [this] {
        if (controller_) controller_->FileNameEdited();
    });

    QLabel* scale_label = label(0, "Scale F&actor:", 5, 38, 42, 10);
    scale_ = new QLineEdit(this);
    place(scale_, IDC_SCALE, 49, 37, 71, 12);
    scale_label->setBuddy(scale_);

    for (auto [id, text, x, w] :
         {std::tuple{IDC_LIST, "&List", 4, 26}, std::tuple{IDC_PLOT_PHASE, "&Plot Phase", 32, 46},
          std::tuple{IDC_PLOT_FREQ, "Plot &Freq", 80, 43}}) {
        auto* radio = new QRadioButton(text, this);
        radio->setFocusPolicy(Qt::ClickFocus);
        place(radio, id, x, 55, w, 10);
        const int command = id;
        connect(radio, &QRadioButton::clicked, this, [this, command] {
            Send(command);
            // During a run events are taken only between the slices of a read's wait
            // and between reads: the new mode is painted now, not at the next pump.
            repaint();
        });
    }

    status_ = new QListWidget(this);
    status_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    status_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    place(status_, IDC_STATUS_LIST, 5, 71, 223, 63);
    stretched_.push_back({status_, {5, 71, 223, 63}, true});

    stretched_.push_back({label(IDC_AXIS_TEXT, "", 8, 133, 220, 8), {8, 133, 220, 8}, false});
    stretched_.push_back({label(IDC_STATS_TEXT, "", 8, 141, 220, 10), {8, 141, 220, 10}, false});
    // Four units taller than the template's two lines, down to the frame's edge: the
    // prompt after a cancelled Start needs three lines in a desktop font.
    QLabel* prompt = label(IDC_PROMPT, "Press Start to capture data.", 183, 29, 42, 20);
    prompt->setWordWrap(true);

    auto* picture = new QLabel(this);
    picture->setPixmap(CommIconPixmap(32));
    place(picture, 0, 192, 8, 20, 20);
    picture->resize(32, 32);
    auto* frame = new QGroupBox(this);
    place(frame, 0, 178, 0, 50, 50);
    frame->lower();

    QLabel* count = label(IDC_COUNT, "#:", 125, 54, 48, 12);
    count->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    count->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    button(IDC_HELP, "&Help", 124, 37, 50, 13);

    plot_ = label(IDC_PLOT, "Plot", 5, 71, 223, 58);
    stretched_.push_back({plot_, {5, 71, 223, 58}, true});
    plot_->setFrameStyle(QFrame::Box | QFrame::Plain);
    plot_->setLineWidth(1);
    plot_->setAlignment(Qt::AlignCenter);
    plot_->setAutoFillBackground(true);

    button(IDC_ANALYZE, "V&antor32", 180, 53, 46, 14);

    // Below the template's controls: one line on the run, in every display mode.
    stretched_.push_back({label(IDC_RUN_LINE, "", 8, 151, 220, 10), {8, 151, 220, 10}, false});

    for (QLabel* l : findChildren<QLabel*>())
        if (l != plot_ && l->pixmap().isNull()) FitTextToBox(*l, font());
}

void CommDialog::SetLabelText(QLabel& label, const QString& text) {
    label.setText(text);
    // The plot area shows pictures and a short notice; every other static text keeps
    // to its box, and one cut off all the same shows in full as a tool tip.
    if (&label == plot_) return;
    FitTextToBox(label, font());
    label.setToolTip(TextFits(label, label.font()) ? QString() : text);
}

void CommDialog::LayOut() {
    const QSize extra = size() - minimumSize();
    for (const Stretched& s : stretched_) {
        QRect r = DialogUnitsToPixels(s.units.x(), s.units.y(), s.units.width(), s.units.height());
        r.setWidth(r.width() + std::max(0, extra.width()));
        if (s.takes_height)
            r.setHeight(r.height() + std::max(0, extra.height()));
        else
            r.translate(0, std::max(0, extra.height()));
        s.widget->setGeometry(r);
        // A text shrunk for a narrow box gets its size back where it fits.
        if (auto* label = qobject_cast<QLabel*>(s.widget); label && label != plot_)
            SetLabelText(*label, label->text());
    }
    // The plot is drawn at the size it is shown.
    if (controller_ && plot_->isVisible() && !plot_->pixmap().isNull()) Send(CMD_DRAW_PLOT);
}

void CommDialog::Send(int id) {
    if (controller_) controller_->Command(id);
}

int CommDialog::IdOf(const QWidget* widget) const {
    for (auto it = controls_.begin(); it != controls_.end(); ++it)
        if (it.value() == widget) return it.key();
    return 0;
}

void CommDialog::OnFocusChanged(QWidget* old_widget, QWidget* now_widget) {
    if (!controller_ || !old_widget) return;
    const int old_id = IdOf(old_widget);
    if (old_id == IDC_FILENAME || old_id == IDC_SCALE)
        controller_->FocusLost(old_id, IdOf(now_widget));
}

Answer CommDialog::MessageBox(const MessageBoxRequest& request) {
    QMessageBox box(request.owned ? this : nullptr);
    box.setWindowTitle(Q(request.caption));
    box.setText(Q(request.text));
    switch (request.icon) {
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case Icon::None:
            break;
    }
    switch (request.buttons) {
        case Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    box.setDefaultButton(ToButton(request.default_answer));
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        case QMessageBox::Cancel:
            return Answer::Cancel;
        case QMessageBox::Ok:
            return Answer::Ok;
        default:
            break;
    }
    // Escape or the box's close button: Cancel where there is one, else the default.
    return request.buttons == Buttons::YesNoCancel ? Answer::Cancel
           : request.buttons == Buttons::Ok        ? Answer::Ok
                                                   : Answer::No;
}

void CommDialog::SetText(int control, const std::string& text) {
    QWidget* w = Control(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(Q(text));
    else if (auto* label = qobject_cast<QLabel*>(w))
        SetLabelText(*label, Q(text));
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(Q(text));
}

std::string CommDialog::Text(int control) const {
    QWidget* w = Control(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text().toStdString();
    return {};
}

void CommDialog::SetCaption(const std::string& caption) {
    setWindowTitle(Q(caption));
}

void CommDialog::SetWarning(int control, bool warning) {
    QWidget* w = Control(control);
    if (!w) return;
    QPalette colours = palette();
    if (warning) colours.setColor(QPalette::WindowText, QColor(200, 0, 0));
    w->setPalette(colours);
}

void CommDialog::SetEnabled(int control, bool enabled) {
    if (QWidget* w = Control(control)) w->setEnabled(enabled);
}

void CommDialog::SetChecked(int control, bool checked) {
    if (auto* b = qobject_cast<QAbstractButton*>(Control(control))) b->setChecked(checked);
}

void CommDialog::SetVisible(int control, bool visible) {
    if (QWidget* w = Control(control)) w->setVisible(visible);
}

void CommDialog::SetFocus(int control) {
    if (QWidget* w = Control(control)) w->setFocus(Qt::OtherFocusReason);
}

bool CommDialog::IsMinimized() const {
    return isMinimized();
}

void CommDialog::AppendStatusLine(const std::string& line) {
    status_->addItem(Q(line));
}

void CommDialog::RemoveFirstStatusLine() {
    delete status_->takeItem(0);
}

int CommDialog::StatusLineCount() const {
    return status_->count();
}

void CommDialog::SelectStatusLine(int index) {
    if (index < 0) {
        status_->clearSelection();
        status_->setCurrentRow(-1);
        return;
    }
    status_->setCurrentRow(index);
    status_->scrollToItem(status_->item(index));
}

void CommDialog::SetPortEntries(const std::vector<std::string>& entries) {
    const QSignalBlocker block(port_);
    port_->clear();
    for (const std::string& e : entries) port_->addItem(Q(e));
}

void CommDialog::SelectPortEntry(int index) {
    const QSignalBlocker block(port_);
    port_->setCurrentIndex(index >= 0 && index < port_->count() ? index : -1);
}

std::string CommDialog::SelectedPortEntry() const {
    return port_->currentIndex() < 0 ? std::string() : port_->currentText().toStdString();
}

void CommDialog::OpenHelp(const std::string& path) {
    // The help file with the desktop's viewer when there is one, else the built-in
    // manual in a help window of its own.
    ShowHelp(this, path);
}

void CommDialog::PumpEvents() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int CommDialog::FocusedControl() const {
    return IdOf(QApplication::focusWidget());
}

PlotArea CommDialog::PlotAreaSize() const {
    const QRect inside = plot_->contentsRect();
    return {inside.width(), inside.height()};
}

void CommDialog::ShowPlot(const PlotPicture& picture) {
    const PlotArea area = PlotAreaSize();
    QImage image(area.width, area.height, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (const PlotSegment& segment : picture.segments) {
        const QRgb colour = segment.pen == PlotPen::Grid   ? qRgb(0, 0, 0)
                            : segment.pen == PlotPen::Data ? qRgb(255, 0, 0)
                                                           : qRgb(0, 255, 0);
        for (const PlotPixel& p : RasterizeSegment(segment))
            if (p.x >= 0 && p.y >= 0 && p.x < area.width && p.y < area.height)
                image.setPixel(p.x, p.y, colour);
    }
    // The finished image reaches the plot area in one step.
    plot_->setPixmap(QPixmap::fromImage(image));
}

void CommDialog::CloseWindow(int exit_code) {
    closing_ = true;
    hide();
    emit quitRequested(exit_code);
}

void CommDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayOut();
}

void CommDialog::reject() {
    Send(IDCANCEL);
}

void CommDialog::closeEvent(QCloseEvent* event) {
    if (closing_) {
        event->accept();
        return;
    }
    event->ignore();
    if (controller_ && controller_->AllowSystemCommand(SystemCommand::Close)) Send(IDCANCEL);
}

void CommDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget* focused = QApplication::focusWidget();
        if (qobject_cast<QPushButton*>(focused)) {
            static_cast<QPushButton*>(focused)->click();
        } else {
            Send(IDOK);
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void CommDialog::changeEvent(QEvent* event) {
    // While a run goes, a maximize does not take its course.
    if (event->type() == QEvent::WindowStateChange && controller_ &&
        (windowState() & Qt::WindowMaximized) &&
        !controller_->AllowSystemCommand(SystemCommand::Maximize))
        setWindowState(windowState() & ~Qt::WindowMaximized);
    QDialog::changeEvent(event);
}

}  // namespace ticklog
