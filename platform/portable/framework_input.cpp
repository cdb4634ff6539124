// User actions on a waiting dialog, carried out as the Windows controls and
// the dialog manager carry out the mouse and keyboard input they stand for.
#include <algorithm>
#include <cctype>

#include "platform/portable/framework_internal.h"

using platform::Action;
using platform::Key;
using platform::WindowHandle;
using namespace platform::portable;

namespace platform {

WindowHandle FindControl(WindowHandle dialog, int control, Scope scope) {
    if (scope != Scope::Dialog) {
        WindowHandle page = ActivePageWindow(FindSheet(dialog));
        if (WindowHandle found = FindChild(page, control)) return found;
        if (scope == Scope::Page) return nullptr;
    }
    return FindChild(dialog, control);
}

WindowHandle ActiveModalDialog() {
    const std::vector<WindowHandle>& modal = ModalStack();
    return modal.empty() ? nullptr : modal.back();
}

}  // namespace platform

namespace {

// The list box shows this many entries at once (13 pixels per entry).
constexpr int kListEntryHeight = 13;

bool Usable(WindowHandle handle) { return IsVisibleOnScreen(handle) && IsEnabledWithAncestors(handle); }

CDialog* DialogObject(WindowHandle dialog) {
    Window* window = Get(dialog);
    return window != nullptr ? static_cast<CDialog*>(window->object) : nullptr;
}

void ClickButton(Window& button) {
    unsigned type = button.style & kBsTypeMask;
    if (type == kBsGroupBox) return;
    WindowHandle handle = button.handle;
    SetFocusWindow(handle);
    if (type == kBsAutoCheckBox) {
        button.check = button.check == 0 ? 1 : 0;
    } else if (type == kBsAuto3State) {
        button.check = (button.check + 1) % 3;
    } else if (type == kBsAutoRadioButton) {
        button.check = 1;
    }
    Touch();
    SendCommand(handle, platform::kBnClicked);
}

// A trackbar moved by the keyboard reports the step, and the key's release
// reports the end of the move. A key that cannot move the thumb any further
// reports only the end.
void TrackbarKey(WindowHandle handle, Key key) {
    Window* bar = Get(handle);
    int target = bar->position;
    int code = -1;
    switch (key) {
        case Key::Left:
        case Key::Up:
            target = bar->position - bar->lineSize;
            code = platform::kTbLineUp;
            break;
        case Key::Right:
        case Key::Down:
            target = bar->position + bar->lineSize;
            code = platform::kTbLineDown;
            break;
        case Key::PageUp:
            target = bar->position - bar->pageSize;
            code = platform::kTbPageUp;
            break;
        case Key::PageDown:
            target = bar->position + bar->pageSize;
            code = platform::kTbPageDown;
            break;
        case Key::Home:
            target = bar->rangeMin;
            code = platform::kTbTop;
            break;
        case Key::End:
            target = bar->rangeMax;
            code = platform::kTbBottom;
            break;
        default:
            return;
    }
    target = std::max(bar->rangeMin, std::min(target, bar->rangeMax));
    if (target != bar->position) {
        bar->position = target;
        Touch();
        SendHScroll(handle, code, 0);
    }
    if (Get(handle) != nullptr) SendHScroll(handle, platform::kTbEndTrack, 0);
}

void SelectListEntry(WindowHandle handle, int index) {
    Window* list = Get(handle);
    list->selection = index;
    Touch();
    if (list->style & kLbsNotify) SendCommand(handle, platform::kLbnSelChange);
}

void ListKey(WindowHandle handle, Key key) {
    Window* list = Get(handle);
    int count = static_cast<int>(list->entries.size());
    if (count == 0) return;
    int page = std::max(1, list->rect.Height() / kListEntryHeight - 1);
    int current = list->selection;
    int target = current;
    switch (key) {
        case Key::Up: target = current < 0 ? 0 : current - 1; break;
        case Key::Down: target = current + 1; break;
        case Key::Left: target = current < 0 ? 0 : current - 1; break;
        case Key::Right: target = current + 1; break;
        case Key::Home: target = 0; break;
        case Key::End: target = count - 1; break;
        case Key::PageUp: target = current < 0 ? 0 : current - page; break;
        case Key::PageDown: target = current + page; break;
        default: return;
    }
    target = std::max(0, std::min(target, count - 1));
    if (target != current) SelectListEntry(handle, target);
}

void TabKey(WindowHandle handle, Key key) {
    Window* tab = Get(handle);
    Window* sheet = Get(tab->parent);
    if (sheet == nullptr || sheet->object == nullptr) return;
    int target = tab->currentTab;
    if (key == Key::Left) --target;
    if (key == Key::Right) ++target;
    if (key == Key::Home) target = 0;
    if (key == Key::End) target = static_cast<int>(tab->tabs.size()) - 1;
    if (target == tab->currentTab || target < 0 || target >= static_cast<int>(tab->tabs.size())) return;
    FrameworkAccess::SelectTab(static_cast<CPropertySheet*>(sheet->object), target);
}

// Enter presses the focused push button, otherwise the dialog's default
// button (OK when it has none); a disabled default button ignores it.
void PressEnter(WindowHandle dialog) {
    Window* focus = Get(FocusedWindow());
    if (focus != nullptr && IsPushButton(*focus) && Usable(focus->handle)) {
        SendCommand(focus->handle, platform::kBnClicked);
        return;
    }
    const Window* window = Get(dialog);
    for (WindowHandle child : window->children) {
        const Window* control = Get(child);
        if (control != nullptr && control->kind == WindowKind::Button &&
            (control->style & kBsTypeMask) == kBsDefPushButton) {
            if (control->enabled()) SendCommand(child, platform::kBnClicked);
            return;
        }
    }
    if (CDialog* object = DialogObject(dialog)) object->OnCommand(platform::kIdOk, platform::kBnClicked);
}

// Escape and the close button both ask the dialog to cancel, unless its
// Cancel button is disabled.
void Cancel(WindowHandle dialog) {
    const Window* cancel = Get(FindChild(dialog, platform::kIdCancel));
    if (cancel != nullptr && !cancel->enabled()) return;
    if (CDialog* object = DialogObject(dialog)) object->OnCommand(platform::kIdCancel, platform::kBnClicked);
}

void PressKey(WindowHandle dialog, Key key) {
    if (key == Key::Enter) return PressEnter(dialog);
    if (key == Key::Escape) return Cancel(dialog);
    if (key == Key::Tab || key == Key::ShiftTab) {
        WindowHandle next = NextTabStop(dialog, FocusedWindow(), key == Key::ShiftTab);
        if (next != nullptr) SetFocusWindow(next);
        return;
    }
    WindowHandle focus = FocusedWindow();
    const Window* window = Get(focus);
    if (window == nullptr || !Usable(focus)) return;
    if (window->kind == WindowKind::Trackbar) TrackbarKey(focus, key);
    if (window->kind == WindowKind::ListBox) ListKey(focus, key);
    if (window->kind == WindowKind::Tab) TabKey(focus, key);
}

// What a user can type into a single-line edit: one line, digits only in a
// digits-only edit, and no more than the edit's limit.
std::string Typed(const Window& edit, const std::string& text) {
    std::string result = text;
    if (!(edit.style & kEsMultiline)) result = result.substr(0, result.find_first_of("\r\n"));
    if (edit.style & kEsNumber) {
        result.erase(std::remove_if(result.begin(), result.end(),
                                    [](char c) { return !std::isdigit(static_cast<unsigned char>(c)); }),
                     result.end());
    }
    if (result.size() > kEditTextLimit) result.resize(kEditTextLimit);
    return result;
}

std::string Describe(int control) { return "control " + std::to_string(control); }

}  // namespace

namespace platform::portable {

void CloseDialog(WindowHandle dialog) { Cancel(dialog); }

std::string ApplyAction(WindowHandle dialog, const Action& action) {
    using Kind = Action::Kind;
    switch (action.kind) {
        case Kind::Press:
            PressKey(dialog, action.key);
            return {};
        case Kind::Close:
            CloseDialog(dialog);
            return {};
        case Kind::Answer:
            return "an answer, but no message box is shown";
        case Kind::Inspect:
            if (action.inspect) action.inspect(dialog);
            return {};
        case Kind::SelectTab: {
            Window* sheet = Get(FindSheet(dialog));
            if (sheet == nullptr || sheet->object == nullptr) return "the dialog has no property sheet";
            WindowHandle tab = FindChild(sheet->handle, kTabControlId);
            const Window* tabWindow = Get(tab);
            if (tabWindow == nullptr || action.value < 0 || action.value >= static_cast<int>(tabWindow->tabs.size())) {
                return "the sheet has no tab " + std::to_string(action.value);
            }
            if (!Usable(tab)) return {};
            SetFocusWindow(tab);
            FrameworkAccess::SelectTab(static_cast<CPropertySheet*>(sheet->object), action.value);
            return {};
        }
        default:
            break;
    }

    WindowHandle handle = FindControl(dialog, action.control, action.scope);
    Window* control = Get(handle);
    if (control == nullptr) return "no " + Describe(action.control);
    auto wrongKind = [&](const char* wanted) { return Describe(action.control) + " is no " + wanted; };

    switch (action.kind) {
        case Kind::Click:
            if (!Usable(handle)) return {};
            if (control->kind == WindowKind::Button) {
                ClickButton(*control);
            } else if (control->kind != WindowKind::Static) {
                SetFocusWindow(handle);
            }
            return {};
        case Kind::Focus:
            if (Usable(handle)) SetFocusWindow(handle);
            return {};
        case Kind::MoveSlider: {
            if (control->kind != WindowKind::Trackbar) return wrongKind("trackbar");
            if (!Usable(handle)) return {};
            SetFocusWindow(handle);
            int position = std::max(control->rangeMin, std::min(action.value, control->rangeMax));
            control->position = position;
            Touch();
            SendHScroll(handle, kTbThumbTrack, position);
            if (Get(handle) != nullptr) SendHScroll(handle, kTbThumbPosition, Get(handle)->position);
            if (Get(handle) != nullptr) SendHScroll(handle, kTbEndTrack, 0);
            return {};
        }
        case Kind::SelectListIndex:
        case Kind::SelectListText: {
            if (control->kind != WindowKind::ListBox) return wrongKind("list box");
            int index = action.value;
            if (action.kind == Kind::SelectListText) {
                auto& entries = control->entries;
                auto it = std::find_if(entries.begin(), entries.end(),
                                       [&](const ListEntry& entry) { return entry.text == action.text; });
                if (it == entries.end()) return "list " + std::to_string(action.control) + " has no entry \"" + action.text + "\"";
                index = static_cast<int>(it - entries.begin());
            }
            if (index < 0 || index >= static_cast<int>(control->entries.size())) {
                return "list " + std::to_string(action.control) + " has no entry " + std::to_string(index);
            }
            if (!Usable(handle)) return {};
            SetFocusWindow(handle);
            SelectListEntry(handle, index);
            return {};
        }
        case Kind::Type:
            if (control->kind != WindowKind::Edit) return wrongKind("edit");
            if (!Usable(handle) || (control->style & kEsReadOnly)) return {};
            SetFocusWindow(handle);
            control->text = Typed(*control, action.text);
            Touch();
            return {};
        default:
            return "an action of unknown kind";
    }
}

}  // namespace platform::portable
