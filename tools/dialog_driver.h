// Plays a planned setup session on the plug-in's dialog as a user would,
// reading the dialog's controls where the next move depends on them, and
// shows every message box of the plug-in on standard error, answering it
// with its default button.
#pragma once

#include <cstdio>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/event_source.h"
#include "tools/setup_plan.h"

namespace tovana {

class DialogDriver : public platform::EventSource {
public:
    explicit DialogDriver(std::vector<SetupStep> steps, std::FILE* messages = stderr);

    std::optional<platform::Action> NextAction(platform::WindowHandle dialog, const std::string& title) override;
    int AnswerMessageBox(const platform::MessageBoxInfo& box) override;

    // Why the session could not be played to its end; empty when it could.
    const std::string& error() const { return error_; }
    int messageBoxCount() const { return boxes_; }

private:
    // Turns the next step into actions; false when a step cannot be done.
    bool Expand(platform::WindowHandle dialog, const SetupStep& step);
    void Fail(const std::string& why);

    std::vector<SetupStep> steps_;
    std::size_t next_ = 0;
    std::deque<platform::Action> pending_;
    std::map<int, int> remembered_;  // check box states before an Enable
    std::FILE* messages_;
    std::string error_;
    platform::WindowHandle dialog_ = nullptr;
    bool done_ = false;
    int boxes_ = 0;
};

// Installs a source for the lifetime of the object.
class ScopedEventSource {
public:
    explicit ScopedEventSource(platform::EventSource* source) { platform::SetEventSource(source); }
    ~ScopedEventSource() { platform::SetEventSource(nullptr); }
    ScopedEventSource(const ScopedEventSource&) = delete;
    ScopedEventSource& operator=(const ScopedEventSource&) = delete;
};

}  // namespace tovana
