#include "tools/dialog_driver.h"

#include "platform/framework.h"
#include "tools/commands.h"

namespace tovana {

using platform::Action;
using platform::Scope;

DialogDriver::DialogDriver(std::vector<SetupStep> steps, std::FILE* messages)
    : steps_(std::move(steps)), messages_(messages) {}

void DialogDriver::Fail(const std::string& why) {
    if (error_.empty()) error_ = why;
    pending_.clear();
    next_ = steps_.size();
}

std::optional<Action> DialogDriver::NextAction(platform::WindowHandle dialog, const std::string& title) {
    if (dialog_ == nullptr) dialog_ = dialog;
    if (dialog != dialog_) {
        // Only the plug-in dialog itself is driven; anything else it opens
        // is closed as the caption's close button would.
        Fail("the plug-in opened a dialog that was not expected: \"" + title + "\"");
        return std::nullopt;
    }
    while (pending_.empty() && next_ < steps_.size()) {
        const SetupStep& step = steps_[next_++];
        if (!Expand(dialog, step)) break;
    }
    if (pending_.empty()) {
        if (error_.empty() && done_) error_ = "the plug-in dialog stayed open after OK";
        if (error_.empty()) error_ = "the plug-in dialog is still waiting after every option was set";
        return std::nullopt;
    }
    Action action = pending_.front();
    pending_.pop_front();
    if (action.kind == Action::Kind::Click && action.control == kOkButton && action.scope == Scope::Dialog) {
        done_ = true;
    }
    return action;
}

bool DialogDriver::Expand(platform::WindowHandle dialog, const SetupStep& step) {
    using Kind = SetupStep::Kind;
    auto checkState = [&](int control) -> int {
        CButton box(platform::FindControl(dialog, control, Scope::Page));
        if (box.GetSafeHwnd() == nullptr) return -1;
        return box.GetCheck() != 0 ? 1 : 0;
    };
    auto setCheck = [&](int control, int state) {
        const int shown = checkState(control);
        if (shown < 0) {
            Fail("the plug-in dialog has no check box " + std::to_string(control));
            return false;
        }
        if (shown != state) pending_.push_back(Action::Click(control, Scope::Page));
        return true;
    };
    switch (step.kind) {
        case Kind::SelectTab:
            pending_.push_back(Action::SelectTab(step.value));
            return true;
        case Kind::SelectPreset: {
            CListBox list(platform::FindControl(dialog, kPresetList, Scope::Dialog));
            bool listed = false;
            for (int i = 0; list.GetSafeHwnd() != nullptr && i < list.GetCount(); ++i) {
                listed = listed || list.GetText(i) == step.text;
            }
            if (!listed) {
                Fail("the preset \"" + step.text + "\" is not in the plug-in's list");
                return false;
            }
            pending_.push_back(Action::SelectListText(kPresetList, step.text));
            return true;
        }
        case Kind::Enable: {
            const int shown = checkState(step.control);
            remembered_[step.control] = shown;
            return setCheck(step.control, step.value);
        }
        case Kind::Restore:
            return setCheck(step.control, remembered_.count(step.control) ? remembered_[step.control] : 0);
        case Kind::SetCheck:
            return setCheck(step.control, step.value);
        case Kind::MoveSlider:
            pending_.push_back(Action::MoveSlider(step.control, step.value, Scope::Page));
            return true;
        case Kind::MovePair: {
            CSliderCtrl upper(platform::FindControl(dialog, step.control, Scope::Page));
            CSliderCtrl lower(platform::FindControl(dialog, step.control2, Scope::Page));
            if (upper.GetSafeHwnd() == nullptr || lower.GetSafeHwnd() == nullptr) {
                Fail("the plug-in dialog has no sliders " + std::to_string(step.control) + " and " +
                     std::to_string(step.control2));
                return false;
            }
            const int u = upper.GetPos();
            const int l = lower.GetPos();
            for (const SliderMove& move : OrderPairMoves(step.control, u, step.hasValue ? step.value : u,
                                                         step.control2, l, step.hasValue2 ? step.value2 : l)) {
                pending_.push_back(Action::MoveSlider(move.control, move.position, Scope::Page));
            }
            return true;
        }
        case Kind::SetMix: {
            CButton linked(platform::FindControl(dialog, kLinkedCheck, Scope::Dialog));
            const bool checked = linked.GetSafeHwnd() != nullptr && linked.GetCheck() != 0;
            const std::optional<int> wet = step.hasValue ? std::optional<int>(step.value) : std::nullopt;
            const std::optional<int> dry = step.hasValue2 ? std::optional<int>(step.value2) : std::nullopt;
            for (const MixAction& mix : MixActions(checked, wet, dry)) {
                pending_.push_back(mix.click ? Action::Click(mix.control, Scope::Dialog)
                                             : Action::MoveSlider(mix.control, mix.position, Scope::Dialog));
            }
            return true;
        }
        case Kind::PressOk:
            pending_.push_back(Action::Click(kOkButton, Scope::Dialog));
            return true;
        case Kind::PressCancel:
            pending_.push_back(Action::Click(platform::kIdCancel, Scope::Dialog));
            done_ = true;
            return true;
    }
    return false;
}

int DialogDriver::AnswerMessageBox(const platform::MessageBoxInfo& box) {
    ++boxes_;
    if (messages_ != nullptr) {
        std::fprintf(messages_, "tovana: message from the plug-in: [%s] %s\n", Printable(box.caption).c_str(),
                     Printable(box.text).c_str());
        std::fflush(messages_);
    }
    return box.DefaultButton();
}

}  // namespace tovana
