// Helpers for tests that drive dialogs with a script.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "platform/event_source.h"

// Installs a script as the event source for one scope.
class ScriptScope {
public:
    explicit ScriptScope(std::vector<platform::Action> actions, bool answerUnscriptedBoxes = false)
        : source_(std::move(actions), answerUnscriptedBoxes) {
        platform::SetEventSource(&source_);
    }
    ~ScriptScope() { platform::SetEventSource(nullptr); }
    ScriptScope(const ScriptScope&) = delete;
    ScriptScope& operator=(const ScriptScope&) = delete;

    platform::ScriptedEventSource& source() { return source_; }

private:
    platform::ScriptedEventSource source_;
};
