// A scripted view for the capture rules' tests: records what the rules show and
// answers message boxes from a queue.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "core/view.h"

namespace ticklog::testing {

class FakeView : public View {
public:
    std::deque<Answer> answers;                 // next answers to message boxes
    std::vector<MessageBoxRequest> boxes;       // every box shown
    std::map<int, std::string> texts;
    std::map<int, bool> enabled, checked;
    std::vector<std::string> status;
    std::vector<std::string> port_entries;
    int port_index = -1;

    Answer MessageBox(const MessageBoxRequest& request) override {
        boxes.push_back(request);
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
    void SetEnabled(int control, bool on) override { enabled[control] = on; }
    void SetChecked(int control, bool on) override { checked[control] = on; }
    void SetVisible(int, bool) override {}
    void SetFocus(int) override {}
    bool IsMinimized() const override { return false; }
    void AppendStatusLine(const std::string& line) override { status.push_back(line); }
    void RemoveFirstStatusLine() override { status.erase(status.begin()); }
    int StatusLineCount() const override { return static_cast<int>(status.size()); }
    void SelectStatusLine(int) override {}
    void SetPortEntries(const std::vector<std::string>& entries) override { port_entries = entries; }
    void SelectPortEntry(int index) override { port_index = index; }
    std::string SelectedPortEntry() const override {
        return port_index >= 0 && port_index < static_cast<int>(port_entries.size())
                   ? port_entries[static_cast<std::size_t>(port_index)]
                   : std::string();
    }
    void OpenHelp(const std::string&) override {}
    void PumpEvents() override {}
};

}  // namespace ticklog::testing
