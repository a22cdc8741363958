// Scripted views for the capture rules' tests: they record what the rules show and
// answer message boxes from a queue.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/view.h"

namespace ticklog::testing {

// What every scripted view records: texts, enabled states, the status list, the port
// list and its selection, and the message boxes shown. A box takes the next queued
// answer, or its default answer once the queue is empty. Base is View or one of its
// extensions; the controls a test does not look at are ignored.
template <class Base>
class RecordingView : public Base {
public:
    std::deque<Answer> answers;            // next answers to message boxes
    std::vector<MessageBoxRequest> boxes;  // every box shown
    std::map<int, std::string> texts;
    std::map<int, bool> enabled, checked, warning;
    std::vector<std::string> status;  // the list as it stands
    std::vector<std::string> ports;
    int selected_port = -1;
    // Runs while a box is shown, before it is answered.
    std::function<void(const MessageBoxRequest&)> while_box_shown;

    Answer MessageBox(const MessageBoxRequest& request) override {
        boxes.push_back(request);
        if (while_box_shown) while_box_shown(request);
        if (answers.empty()) return request.default_answer;
        const Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    void SetText(int control, const std::string& text) override { texts[control] = text; }
    std::string Text(int control) const override {
        const auto it = texts.find(control);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetCaption(const std::string&) override {}
    void SetWarning(int control, bool on) override { warning[control] = on; }
    void SetEnabled(int control, bool on) override { enabled[control] = on; }
    void SetChecked(int control, bool on) override { checked[control] = on; }
    void SetVisible(int, bool) override {}
    void SetFocus(int) override {}
    bool IsMinimized() const override { return false; }
    void AppendStatusLine(const std::string& line) override { status.push_back(line); }
    void RemoveFirstStatusLine() override { status.erase(status.begin()); }
    int StatusLineCount() const override { return static_cast<int>(status.size()); }
    void SelectStatusLine(int) override {}
    void SetPortEntries(const std::vector<std::string>& entries) override { ports = entries; }
    // Like a list control: an index outside the list selects nothing.
    void SelectPortEntry(int index) override {
        selected_port = index >= 0 && index < static_cast<int>(ports.size()) ? index : -1;
    }
    std::string SelectedPortEntry() const override {
        return selected_port >= 0 && selected_port < static_cast<int>(ports.size())
                   ? ports[static_cast<std::size_t>(selected_port)]
                   : std::string();
    }
    void OpenHelp(const std::string&) override {}
    void PumpEvents() override {}
};

using FakeView = RecordingView<View>;

}  // namespace ticklog::testing
