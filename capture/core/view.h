// What the capture window's rules need from the window itself. The Qt dialog
// implements it; tests implement it with a scripted fake. Controls are named by
// their IDC_ identifiers (control_ids.h).
#pragma once

#include <string>
#include <vector>

namespace ticklog {

enum class Buttons { Ok, YesNo, YesNoCancel };
enum class Icon { None, Information, Warning, Question };
enum class Answer { Ok, Yes, No, Cancel };

struct MessageBoxRequest {
    std::string text;
    std::string caption;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    Answer default_answer = Answer::Ok;  // the button that Enter presses
    bool owned = true;                   // false: the box has no owner window
};

class View {
public:
    virtual ~View() = default;

    // Shows a modal message box and returns the button the user pressed.
    virtual Answer MessageBox(const MessageBoxRequest& request) = 0;

    // Texts of edit fields, static texts, buttons; the window's caption.
    virtual void SetText(int control, const std::string& text) = 0;
    virtual std::string Text(int control) const = 0;
    virtual void SetCaption(const std::string& caption) = 0;

    // A static text shown as a warning (or as an ordinary text again).
    virtual void SetWarning(int control, bool warning) = 0;

    virtual void SetEnabled(int control, bool enabled) = 0;
    virtual void SetChecked(int control, bool checked) = 0;
    virtual void SetVisible(int control, bool visible) = 0;
    virtual void SetFocus(int control) = 0;
    virtual bool IsMinimized() const = 0;

    // The status list (IDC_STATUS_LIST).
    virtual void AppendStatusLine(const std::string& line) = 0;
    virtual void RemoveFirstStatusLine() = 0;
    virtual int StatusLineCount() const = 0;
    virtual void SelectStatusLine(int index) = 0;  // -1 selects none

    // The port list (IDC_PORT).
    virtual void SetPortEntries(const std::vector<std::string>& entries) = 0;
    virtual void SelectPortEntry(int index) = 0;        // out of range selects none
    virtual std::string SelectedPortEntry() const = 0;  // empty when none is selected

    // Opens the help file at its contents in the platform's viewer.
    virtual void OpenHelp(const std::string& path) = 0;

    // Dispatches every pending event (Stop, the plot buttons, ...) and returns when
    // none is left. Commands reach the controller re-entrantly from inside this call.
    virtual void PumpEvents() = 0;
};

}  // namespace ticklog
