// What every build shares of the event sources: actions, message box
// buttons and the script.
#include "platform/event_source.h"

#include <algorithm>
#include <utility>

namespace platform {
namespace {

// The buttons of each message box type, in the order they are shown.
std::vector<int> Buttons(unsigned type) {
    constexpr int kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5;
    switch (type & kMbButtonsMask) {
        case 0x0: return {kIdOk};
        case 0x1: return {kIdOk, kIdCancel};
        case 0x2: return {kIdAbort, kIdRetry, kIdIgnore};
        case 0x3: return {kIdYes, kIdNo, kIdCancel};
        case 0x4: return {kIdYes, kIdNo};
        case 0x5: return {kIdRetry, kIdCancel};
        default: return {kIdOk};
    }
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

int MessageBoxInfo::DefaultButton() const {
    std::vector<int> buttons = Buttons(type);
    std::size_t index = (type >> 8) & 0xF;  // MB_DEFBUTTON2 is 0x100, ...
    return index < buttons.size() ? buttons[index] : buttons.front();
}

void EventSource::ActionFailed(const Action&, const std::string&, const std::string&) {}

// --- Actions --------------------------------------------------------------------

Action Action::Click(int control, Scope scope) {
    Action action;
    action.kind = Kind::Click;
    action.control = control;
    action.scope = scope;
    return action;
}

Action Action::MoveSlider(int control, int position, Scope scope) {
    Action action;
    action.kind = Kind::MoveSlider;
    action.control = control;
    action.value = position;
    action.scope = scope;
    return action;
}

Action Action::Focus(int control, Scope scope) {
    Action action;
    action.kind = Kind::Focus;
    action.control = control;
    action.scope = scope;
    return action;
}

Action Action::Press(Key key) {
    Action action;
    action.kind = Kind::Press;
    action.key = key;
    return action;
}

Action Action::SelectTab(int index) {
    Action action;
    action.kind = Kind::SelectTab;
    action.value = index;
    return action;
}

Action Action::SelectListIndex(int control, int index) {
    Action action;
    action.kind = Kind::SelectListIndex;
    action.control = control;
    action.value = index;
    return action;
}

Action Action::SelectListText(int control, const std::string& text) {
    Action action;
    action.kind = Kind::SelectListText;
    action.control = control;
    action.text = text;
    return action;
}

Action Action::Type(int control, const std::string& text) {
    Action action;
    action.kind = Kind::Type;
    action.control = control;
    action.text = text;
    return action;
}

Action Action::Close() {
    Action action;
    action.kind = Kind::Close;
    return action;
}

Action Action::Answer(int button) {
    Action action;
    action.kind = Kind::Answer;
    action.value = button;
    return action;
}

Action Action::Inspect(std::function<void(WindowHandle dialog)> look) {
    Action action;
    action.kind = Kind::Inspect;
    action.inspect = std::move(look);
    return action;
}

// --- ScriptedEventSource --------------------------------------------------------

ScriptedEventSource::ScriptedEventSource(std::vector<Action> actions, bool answerUnscriptedBoxes)
    : actions_(std::move(actions)), answerUnscriptedBoxes_(answerUnscriptedBoxes) {}

// Once the script is broken or used up, every dialog that waits is closed;
// each is named in the error.
std::optional<Action> ScriptedEventSource::NextAction(WindowHandle, const std::string& title) {
    auto fail = [&](const std::string& message) {
        error_ += (error_.empty() ? "" : "\n") + message;
        next_ = actions_.size();
        return std::nullopt;
    };
    if (!error_.empty() && next_ == actions_.size()) {
        return fail("dialog " + Quoted(title) + " closed: the script had stopped");
    }
    if (next_ == actions_.size()) {
        return fail("the script ran out while dialog " + Quoted(title) + " waited for input");
    }
    const Action& action = actions_[next_];
    if (action.kind == Action::Kind::Answer) {
        return fail("action " + std::to_string(next_ + 1) + " answers a message box, but dialog " + Quoted(title) +
                    " waits for input");
    }
    ++next_;
    return action;
}

int ScriptedEventSource::AnswerMessageBox(const MessageBoxInfo& box) {
    int answer = box.DefaultButton();
    std::string name = "message box " + Quoted(box.caption) + " (" + Quoted(box.text) + ")";
    auto fail = [&](const std::string& message) {
        error_ += (error_.empty() ? "" : "\n") + message;
        next_ = actions_.size();
    };
    if (next_ < actions_.size() && actions_[next_].kind == Action::Kind::Answer) {
        int scripted = actions_[next_].value;
        std::vector<int> buttons = Buttons(box.type);
        if (std::find(buttons.begin(), buttons.end(), scripted) != buttons.end()) {
            answer = scripted;
            ++next_;
        } else {
            fail("action " + std::to_string(next_ + 1) + " answers " + std::to_string(scripted) + ", which " +
                 name + " does not offer");
        }
    } else if (!answerUnscriptedBoxes_ && error_.empty()) {
        fail("the script did not answer " + name);
    }
    boxes_.push_back({box, answer});
    return answer;
}

void ScriptedEventSource::ActionFailed(const Action&, const std::string& title, const std::string& reason) {
    error_ += (error_.empty() ? "" : "\n") + ("action " + std::to_string(next_) + " failed in dialog " +
                                               Quoted(title) + ": " + reason);
    next_ = actions_.size();
}

}  // namespace platform
