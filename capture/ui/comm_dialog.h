#pragma once
// The capture window: the controls of the CommBox template laid out in dialog
// units, implementing the window controller's view. The template is the smallest
// layout; a larger window gives its extra room to the status list and the plot, and
// the lines below them move down with the bottom edge.
#include <QDialog>
#include <QMap>
#include <QRect>

#include <vector>

#include "core/window_controller.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;

namespace ticklog {

class CommDialog : public QDialog, public WindowView {
    Q_OBJECT

public:
    // The template's size in dialog units, with the run line below the plot's lines.
    static constexpr int kTemplateWidth = 233;
    static constexpr int kTemplateHeight = 163;

    explicit CommDialog(QWidget* parent = nullptr);
    ~CommDialog() override;

    // The controller that receives this window's commands (set before Start).
    void Attach(WindowController* controller);

    // The widget of a control id, or nullptr.
    QWidget* Control(int id) const { return controls_.value(id, nullptr); }

    // Dialog units to pixels with the dialog font's metrics.
    QRect DialogUnitsToPixels(int x, int y, int w, int h) const;

    // View.
    Answer MessageBox(const MessageBoxRequest& request) override;
    void SetText(int control, const std::string& text) override;
    std::string Text(int control) const override;
    void SetCaption(const std::string& caption) override;
    void SetWarning(int control, bool warning) override;
    void SetEnabled(int control, bool enabled) override;
    void SetChecked(int control, bool checked) override;
    void SetVisible(int control, bool visible) override;
    void SetFocus(int control) override;
    bool IsMinimized() const override;
    void AppendStatusLine(const std::string& line) override;
    void RemoveFirstStatusLine() override;
    int StatusLineCount() const override;
    void SelectStatusLine(int index) override;
    void SetPortEntries(const std::vector<std::string>& entries) override;
    void SelectPortEntry(int index) override;
    std::string SelectedPortEntry() const override;
    void OpenHelp(const std::string& path) override;
    void PumpEvents() override;
    // WindowView.
    int FocusedControl() const override;
    PlotArea PlotAreaSize() const override;
    void ShowPlot(const PlotPicture& picture) override;
    void CloseWindow(int exit_code) override;

signals:
    void quitRequested(int exit_code);

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    // Places the controls that follow the window's size for its present size.
    void LayOut();
    void Send(int id);
    // Sets a static text, shrunk to fit its box where the window's font is too wide.
    void SetLabelText(QLabel& label, const QString& text);
    int IdOf(const QWidget* widget) const;
    void OnFocusChanged(QWidget* old_widget, QWidget* now_widget);

    WindowController* controller_ = nullptr;
    QMap<int, QWidget*> controls_;
    QComboBox* port_ = nullptr;
    QLineEdit* file_name_ = nullptr;
    QLineEdit* scale_ = nullptr;
    QListWidget* status_ = nullptr;
    QLabel* plot_ = nullptr;
    // Controls that take the window's extra width; the list and the plot also its
    // extra height, the lines below them move down by it. Positions in dialog units.
    struct Stretched {
        QWidget* widget;
        QRect units;
        bool takes_height;
    };
    std::vector<Stretched> stretched_;
    int base_x_ = 0;
    int base_y_ = 0;
    bool closing_ = false;
};

}  // namespace ticklog
