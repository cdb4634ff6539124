// Event sources on Windows. A real dialog takes its input from the message
// queue, and its modal loop may run in another module (the plug-in carries
// its own copy of this layer), so nothing here can wait inside that loop.
// Instead, while a source is installed, a player thread watches this
// process's windows: whenever a dialog accepts input it asks the source for
// the next action and carries it out with the window messages a user's
// mouse and keyboard would produce; whenever a message box shows, it reads
// it and presses the button the source answers.
#include <windows.h>
#include <commctrl.h>

#include "platform/event_source.h"

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/win32/user_input.h"

namespace platform {
namespace {

using namespace platform::win32::input;

constexpr DWORD kPollMs = 15;

// Closes every dialog at once and presses each box's default button.
class DefaultEventSource : public EventSource {
public:
    std::optional<Action> NextAction(WindowHandle, const std::string&) override { return std::nullopt; }
    int AnswerMessageBox(const MessageBoxInfo& box) override { return box.DefaultButton(); }
};

// The dialog the player served last.
std::atomic<HWND> g_active{nullptr};

HWND H(WindowHandle handle) { return static_cast<HWND>(handle); }

bool Usable(HWND window) { return IsWindowVisible(window) && IsWindowEnabled(window); }

bool IsButtonId(int id) { return (id >= IDOK && id <= IDNO) || id == IDTRYAGAIN || id == IDCONTINUE; }

struct ChildSurvey {
    bool onlyTextAndButtons = true;
    bool anyAnswer = false;
};

BOOL CALLBACK SurveyChild(HWND child, LPARAM data) {
    auto* survey = reinterpret_cast<ChildSurvey*>(data);
    if (IsClass(child, "Button")) {
        if (IsButtonId(GetDlgCtrlID(child))) survey->anyAnswer = true;
    } else if (!IsClass(child, "Static")) {
        survey->onlyTextAndButtons = false;
    }
    return TRUE;
}

// A message box is a dialog of static texts and answer buttons only; the
// plug-in's own dialogs all hold other controls too.
bool IsMessageBox(HWND window) {
    ChildSurvey survey;
    EnumChildWindows(window, SurveyChild, reinterpret_cast<LPARAM>(&survey));
    return survey.onlyTextAndButtons && survey.anyAnswer;
}

BOOL CALLBACK LongestText(HWND child, LPARAM data) {
    auto* text = reinterpret_cast<std::string*>(data);
    if (IsClass(child, "Static")) {
        std::string here = TextOf(child);
        if (here.size() > text->size()) *text = here;
    }
    return TRUE;
}

MessageBoxInfo ReadMessageBox(HWND box) {
    MessageBoxInfo info;
    info.caption = TextOf(box);
    EnumChildWindows(box, LongestText, reinterpret_cast<LPARAM>(&info.text));
    info.owner = GetWindow(box, GW_OWNER);
    auto has = [&](int id) { return GetDlgItem(box, id) != nullptr; };
    // The buttons in the order MessageBox shows them for each type.
    std::vector<int> buttons;
    if (has(IDYES) && has(IDNO)) {
        info.type = has(IDCANCEL) ? 0x3 : kMbYesNo;
        buttons = has(IDCANCEL) ? std::vector<int>{IDYES, IDNO, IDCANCEL} : std::vector<int>{IDYES, IDNO};
    } else if (has(IDABORT)) {
        info.type = 0x2;
        buttons = {IDABORT, IDRETRY, IDIGNORE};
    } else if (has(IDRETRY)) {
        info.type = 0x5;
        buttons = {IDRETRY, IDCANCEL};
    } else if (has(IDCANCEL)) {
        info.type = kMbOkCancel;
        buttons = {IDOK, IDCANCEL};
    } else {
        info.type = kMbOk;
        buttons = {IDOK};
    }
    const LRESULT defaultId = SendMessageA(box, DM_GETDEFID, 0, 0);
    if (HIWORD(defaultId) == DC_HASDEFID) {
        for (std::size_t i = 0; i < buttons.size(); ++i) {
            if (buttons[i] == LOWORD(defaultId)) info.type |= static_cast<unsigned>(i) << 8;
        }
    }
    return info;
}

// The page a property sheet in `dialog` shows: a dialog window inside the
// sheet that holds the tab control.
HWND ActivePage(HWND dialog) {
    HWND tab = FindChildOfClass(dialog, "SysTabControl32");
    if (tab == nullptr) return nullptr;
    HWND sheet = GetParent(tab);
    for (HWND child = GetWindow(sheet, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (child != tab && IsClass(child, "#32770") && IsWindowVisible(child)) return child;
    }
    return nullptr;
}

std::string Describe(int control) { return "control " + std::to_string(control); }

void PressEnter(HWND dialog) {
    HWND focus = GetFocus();
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info)) focus = info.hwndFocus;
    // A focused push button is pressed; otherwise the default button.
    if (focus != nullptr && IsClass(focus, "Button") && IsChild(dialog, focus)) {
        const LONG type = GetWindowLongA(focus, GWL_STYLE) & BS_TYPEMASK;
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            if (Usable(focus)) ClickButton(focus);
            return;
        }
    }
    const LRESULT defaultId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    const int id = HIWORD(defaultId) == DC_HASDEFID ? LOWORD(defaultId) : IDOK;
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr) {
        if (IsWindowEnabled(button)) ClickButton(button);
        return;
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0, SMTO_NORMAL, 1000, &result);
}

// Escape, unless the dialog's Cancel button is disabled.
void Cancel(HWND dialog) {
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    if (cancel != nullptr && !IsWindowEnabled(cancel)) return;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel),
                        SMTO_NORMAL, 1000, &result);
}

void PressKey(HWND dialog, Key key) {
    switch (key) {
        case Key::Enter:
            return PressEnter(dialog);
        case Key::Escape:
            return Cancel(dialog);
        case Key::Tab:
        case Key::ShiftTab:
            SendMessageA(dialog, WM_NEXTDLGCTL, key == Key::ShiftTab ? 1 : 0, FALSE);
            return;
        default:
            break;
    }
    static const std::map<Key, WPARAM> kVirtualKeys = {
        {Key::Left, VK_LEFT}, {Key::Right, VK_RIGHT}, {Key::Up, VK_UP},           {Key::Down, VK_DOWN},
        {Key::Home, VK_HOME}, {Key::End, VK_END},     {Key::PageUp, VK_PRIOR}, {Key::PageDown, VK_NEXT}};
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) || info.hwndFocus == nullptr) return;
    const WPARAM code = kVirtualKeys.at(key);
    PostMessageA(info.hwndFocus, WM_KEYDOWN, code, 1);
    PostMessageA(info.hwndFocus, WM_KEYUP, code, 0xC0000001);
}

// Carries out `action` on `dialog`; what went wrong, empty when nothing did.
// An action on a disabled or hidden control does nothing, as a click there
// would.
std::string Apply(HWND dialog, const Action& action) {
    using Kind = Action::Kind;
    switch (action.kind) {
        case Kind::Press:
            PressKey(dialog, action.key);
            return {};
        case Kind::Close: {
            DWORD_PTR result = 0;
            SendMessageTimeoutA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, 1000, &result);
            return {};
        }
        case Kind::Answer:
            return "an answer, but no message box is shown";
        case Kind::Inspect:
            if (action.inspect) action.inspect(dialog);
            return {};
        case Kind::SelectTab: {
            HWND tab = FindChildOfClass(dialog, "SysTabControl32");
            if (tab == nullptr) return "the dialog has no property sheet";
            const int count = static_cast<int>(SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0));
            if (action.value < 0 || action.value >= count) return "the sheet has no tab " + std::to_string(action.value);
            if (Usable(tab)) ClickTab(tab, action.value);
            return {};
        }
        default:
            break;
    }

    HWND control = H(FindControl(dialog, action.control, action.scope));
    if (control == nullptr) return "no " + Describe(action.control);
    auto wrongKind = [&](const char* wanted) { return Describe(action.control) + " is no " + wanted; };
    switch (action.kind) {
        case Kind::Click:
            if (!Usable(control)) return {};
            if (IsClass(control, "Button")) {
                ClickButton(control);
            } else if (!IsClass(control, "Static")) {
                SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
            }
            return {};
        case Kind::Focus:
            if (Usable(control)) SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
            return {};
        case Kind::MoveSlider: {
            if (!IsClass(control, TRACKBAR_CLASSA)) return wrongKind("trackbar");
            if (!Usable(control)) return {};
            const int low = static_cast<int>(SendMessageA(control, TBM_GETRANGEMIN, 0, 0));
            const int high = static_cast<int>(SendMessageA(control, TBM_GETRANGEMAX, 0, 0));
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
            DragSlider(control, action.value < low ? low : action.value > high ? high : action.value);
            return {};
        }
        case Kind::SelectListIndex:
        case Kind::SelectListText: {
            if (!IsClass(control, "ListBox")) return wrongKind("list box");
            const int count = static_cast<int>(SendMessageA(control, LB_GETCOUNT, 0, 0));
            int index = action.value;
            if (action.kind == Kind::SelectListText) {
                index = -1;
                for (int i = 0; i < count && index < 0; ++i) {
                    const LRESULT length = SendMessageA(control, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
                    if (length < 0) continue;
                    std::vector<char> text(static_cast<std::size_t>(length) + 1);
                    SendMessageA(control, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
                    if (action.text == text.data()) index = i;
                }
                if (index < 0) {
                    return "list " + std::to_string(action.control) + " has no entry \"" + action.text + "\"";
                }
            }
            if (index < 0 || index >= count) {
                return "list " + std::to_string(action.control) + " has no entry " + std::to_string(index);
            }
            if (!Usable(control)) return {};
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
            ClickListEntry(control, index);
            return {};
        }
        case Kind::Type:
            if (!IsClass(control, "Edit")) return wrongKind("edit");
            if (!Usable(control) || (GetWindowLongA(control, GWL_STYLE) & ES_READONLY) != 0) return {};
            SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
            SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(action.text.c_str()));
            return {};
        default:
            return "an action of unknown kind";
    }
}

// The thread that plays the source's part while it is installed.
class Player {
public:
    explicit Player(EventSource* source) : source_(source), thread_([this] { Run(); }) {}
    ~Player() {
        stop_ = true;
        thread_.join();
    }
private:
    struct Found {
        std::vector<HWND> boxes;
        std::vector<HWND> dialogs;
    };

    static BOOL CALLBACK Visit(HWND window, LPARAM data) {
        auto* found = reinterpret_cast<Found*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !Usable(window) || !IsClass(window, "#32770")) return TRUE;
        (IsMessageBox(window) ? found->boxes : found->dialogs).push_back(window);
        return TRUE;
    }

    void Run() {
        while (!stop_) {
            Found found;
            EnumWindows(Visit, reinterpret_cast<LPARAM>(&found));
            // Windows that are gone may come back under the same handle.
            for (auto it = answered_.begin(); it != answered_.end();) {
                it = IsWindow(*it) ? std::next(it) : answered_.erase(it);
            }
            bool acted = false;
            for (HWND box : found.boxes) {
                if (answered_.count(box) != 0) continue;
                answered_.insert(box);
                const int answer = source_->AnswerMessageBox(ReadMessageBox(box));
                PostButtonPress(box, answer);
                acted = true;
            }
            if (!acted && !found.dialogs.empty()) Serve(found.dialogs.front());
            Sleep(kPollMs);
        }
    }

    // One action on a dialog that waits for input. When the source has
    // none left the dialog is closed as its close button would; one that
    // refuses is cancelled, and one that refuses that too is ended.
    void Serve(HWND dialog) {
        g_active = dialog;
        const std::string title = TextOf(dialog);
        std::optional<Action> action = source_->NextAction(dialog, title);
        if (!IsWindow(dialog)) return;
        if (!action) {
            const int closes = ++closes_[dialog];
            DWORD_PTR result = 0;
            if (closes == 1) {
                SendMessageTimeoutA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_NORMAL, 1000, &result);
            } else if (closes == 2) {
                SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, SMTO_NORMAL, 1000,
                                    &result);
            } else {
                EndDialog(dialog, IDCANCEL);
            }
            return;
        }
        const std::string failure = Apply(dialog, *action);
        if (!failure.empty()) source_->ActionFailed(*action, title, failure);
        WaitUntilAnswering(dialog);
    }

    // A click whose handler outlasts ClickButton's wait (storing the
    // settings on a slow disk) is still running; the dialog is asked again
    // only once its thread takes messages again, in its own loop or in that
    // of a box or dialog the handler opened.
    static void WaitUntilAnswering(HWND dialog) {
        for (int attempt = 0; attempt < 600 && IsWindow(dialog); ++attempt) {
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 100, &result) != 0) return;
        }
    }

    EventSource* source_;
    std::atomic<bool> stop_{false};
    std::set<HWND> answered_;
    std::map<HWND, int> closes_;
    std::thread thread_;
};

std::mutex g_mutex;
EventSource* g_source = nullptr;
Player* g_player = nullptr;

}  // namespace

void SetEventSource(EventSource* source) {
    std::lock_guard<std::mutex> lock(g_mutex);
    delete g_player;
    g_player = nullptr;
    g_source = source;
    if (source != nullptr) g_player = new Player(source);
}

EventSource* CurrentEventSource() {
    static DefaultEventSource defaultSource;
    return g_source != nullptr ? g_source : &defaultSource;
}

WindowHandle FindControl(WindowHandle dialog, int control, Scope scope) {
    if (scope != Scope::Dialog) {
        HWND page = ActivePage(H(dialog));
        if (page != nullptr) {
            if (HWND found = GetDlgItem(page, control)) return found;
        }
        if (scope == Scope::Page) return nullptr;
    }
    return GetDlgItem(H(dialog), control);
}

WindowHandle ActiveModalDialog() {
    HWND dialog = g_active;
    return dialog != nullptr && IsWindow(dialog) && IsWindowVisible(dialog) ? dialog : nullptr;
}

}  // namespace platform
