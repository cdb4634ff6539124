// The plug-in's dialog in real windows, under an X server: the server of
// DISPLAY when one answers, else an Xvfb started here. Input comes from
// xdotool, as a person's would; without an X server or xdotool the tests
// are skipped. TOVANA_GUI_SHOTS=DIR keeps a PNG of every page in DIR.
#include <gtest/gtest.h>

// Before X11's headers, which define None as a macro.
#include "settings/setting_tables.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "platform/event_source.h"
#include "platform/window_model.h"
#include "settings/resource_ids.h"
#include "tests/skip_or_fail.h"
#include "tests/store_fixture.h"
#include "tools/gui/gui.h"
#include "ui/setup.h"

using platform::Action;
using platform::Rect;
using platform::Scope;
using platform::WindowHandle;

namespace {

pid_t g_xvfb = 0;

bool DisplayAnswers() {
    if (std::getenv("DISPLAY") == nullptr) return false;
    // Kept open: a server resets when its last client leaves.
    static Display* display = nullptr;
    if (display == nullptr) display = XOpenDisplay(nullptr);
    return display != nullptr;
}

// Starts Xvfb on a display number nobody uses. (Low numbers are avoided:
// a server of another session may hold one without a lock file here.)
std::string StartXvfb() {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int number = 100 + (getpid() * 7 + attempt * 37) % 800;
        if (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) continue;
        const std::string display = ":" + std::to_string(number);
        g_xvfb = fork();
        if (g_xvfb == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset",
                   nullptr);
            _exit(127);
        }
        if (g_xvfb < 0) break;
        setenv("DISPLAY", display.c_str(), 1);
        for (int wait = 0; wait < 100; ++wait) {
            if (DisplayAnswers()) return "";
            if (waitpid(g_xvfb, nullptr, WNOHANG) == g_xvfb) {
                g_xvfb = 0;
                break;  // it could not take the number (or is not installed)
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (g_xvfb > 0) {
            kill(g_xvfb, SIGTERM);
            waitpid(g_xvfb, nullptr, 0);
            g_xvfb = 0;
        }
    }
    return "Xvfb could not be started (apt install xvfb)";
}

ztgui::WindowRenderer* g_renderer = nullptr;
std::string g_skip;

class Environment : public ::testing::Environment {
public:
    void SetUp() override {
        if (std::system("command -v xdotool >/dev/null 2>&1") != 0) {
            g_skip = "xdotool is not installed";
            return;
        }
        if (!DisplayAnswers()) g_skip = StartXvfb();
        if (!g_skip.empty()) return;
        std::string error;
        renderer_ = ztgui::WindowRenderer::Open(&error);
        if (!renderer_) g_skip = error;
        g_renderer = renderer_.get();
    }
    void TearDown() override {
        g_renderer = nullptr;
        renderer_.reset();
        if (g_xvfb > 0) {
            kill(g_xvfb, SIGTERM);
            waitpid(g_xvfb, nullptr, 0);
        }
    }

private:
    std::unique_ptr<ztgui::WindowRenderer> renderer_;
};

const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new Environment);

int MulDiv(int a, int b, int c) { return (a * b + c / 2) / c; }

// A rectangle in dialog units as pixels of the layout's font cell.
Rect Pixels(int x, int y, int cx, int cy) {
    const int left = MulDiv(x, 6, 4), top = MulDiv(y, 13, 8);
    return {left, top, left + MulDiv(cx, 6, 4), top + MulDiv(cy, 13, 8)};
}

Rect Offset(Rect r, int dx, int dy) { return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

void ExpectRect(const Rect& actual, const Rect& expected, const char* what) {
    EXPECT_EQ(actual.left, expected.left) << what;
    EXPECT_EQ(actual.top, expected.top) << what;
    EXPECT_EQ(actual.right, expected.right) << what;
    EXPECT_EQ(actual.bottom, expected.bottom) << what;
}

void Xdo(const std::string& arguments) {
    const std::string command = "xdotool " + arguments;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

std::string Text(WindowHandle dialog, int id, Scope scope = Scope::Auto) {
    return CWnd(platform::FindControl(dialog, id, scope)).GetWindowText();
}

struct Pixel {
    int r, g, b;
};

struct Shot {
    std::vector<unsigned char> rgb;
    int width = 0, height = 0;
    Pixel At(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    void SavePng(const std::string& path) const {
        const std::string ppm = path + ".ppm";
        std::ofstream out(ppm, std::ios::binary);
        out << "P6\n" << width << " " << height << "\n255\n";
        out.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
        out.close();
        const std::string command = "convert '" + ppm + "' '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        std::remove(ppm.c_str());
    }
};

bool Dark(Pixel p) { return p.r < 80 && p.g < 80 && p.b < 80; }
bool White(Pixel p) { return p.r > 240 && p.g > 240 && p.b > 240; }

class GuiTest : public StoreFixture {
protected:
    void SetUp() override {
        if (!g_skip.empty()) TOVANA_SKIP_OR_FAIL("no X server for the window tests: " << g_skip);
        StoreFixture::SetUp();
        platform::SetEventSource(g_renderer);
        // Whatever happens, no test waits for ever: after 30 s the dialog
        // is closed as by its close button.
        Fl::add_timeout(30.0, Watchdog, this);
    }
    void TearDown() override {
        if (!g_skip.empty()) return;
        Fl::remove_timeout(Watchdog, this);
        g_renderer->SetOnWait(nullptr);
        g_renderer->SetOnMessageBox(nullptr);
        platform::SetEventSource(nullptr);
        StoreFixture::TearDown();
    }
    static void Watchdog(void* self) {
        ADD_FAILURE() << "the dialog was still open after 30 s";
        static_cast<GuiTest*>(self)->timedOut = true;
        for (Fl_Window* window = Fl::first_window(); window != nullptr; window = Fl::next_window(window)) {
            if (window->modal()) window->hide();  // a message box
        }
        for (WindowHandle dialog : platform::portable::ModalDialogs()) g_renderer->Inject(dialog, Action::Close());
    }

    // Runs the plug-in dialog; `step` is called at every wait with its
    // number and returns false once it is done with the dialog.
    int RunDialog(std::function<void(int step, WindowHandle dialog)> step) {
        int count = 0;
        g_renderer->SetOnWait([&](WindowHandle dialog) {
            if (!timedOut) step(count++, dialog);
        });
        return RunPluginDialog();
    }

    Rect WidgetRect(WindowHandle dialog, int id, Scope scope) {
        Rect rect;
        EXPECT_TRUE(g_renderer->WidgetRect(platform::FindControl(dialog, id, scope), &rect)) << id;
        return rect;
    }

    std::string Xid(WindowHandle dialog) { return std::to_string(g_renderer->NativeWindow(dialog)); }

    bool timedOut = false;
};

// The dialog's own controls and a page's controls stand where the templates
// put them, and the screen shows them there.
TEST_F(GuiTest, ControlsStandWhereTheTemplatesPutThem) {
    std::vector<Shot> pages(kEffectCount);
    const char* shots = std::getenv("TOVANA_GUI_SHOTS");
    const int result = RunDialog([&](int step, WindowHandle dialog) {
        if (step == 0) {
            // The font's own cell, measured as Windows measures a dialog
            // font, is the one the layout was made for (or a little less).
            EXPECT_GE(g_renderer->averageCharWidth(), 5);
            EXPECT_LE(g_renderer->averageCharWidth(), 6);
            EXPECT_GE(g_renderer->charHeight(), 11);
            EXPECT_LE(g_renderer->charHeight(), 13);
            Rect window;
            ASSERT_TRUE(g_renderer->WidgetRect(dialog, &window));
            ExpectRect(window, Pixels(0, 0, 370, 242), "dialog");
            ExpectRect(WidgetRect(dialog, platform::kIdOk, Scope::Dialog), Pixels(313, 7, 50, 14), "OK");
            ExpectRect(WidgetRect(dialog, platform::kIdCancel, Scope::Dialog), Pixels(313, 24, 50, 14), "Cancel");
            ExpectRect(WidgetRect(dialog, IDC_PRESET_LIST, Scope::Dialog), Pixels(211, 18, 86, 210), "preset list");
            ExpectRect(WidgetRect(dialog, IDC_DELETE_PRESET, Scope::Dialog), Pixels(313, 221, 50, 14), "Delete Preset");
            ExpectRect(WidgetRect(dialog, IDC_WET_SLIDER, Scope::Dialog), Pixels(31, 204, 80, 10), "Wet slider");
            ExpectRect(WidgetRect(dialog, IDC_WET_EDIT, Scope::Dialog), Pixels(115, 203, 23, 12), "Wet edit");
            ExpectRect(WidgetRect(dialog, IDC_LINKED, Scope::Dialog), Pixels(155, 211, 37, 10), "Linked");
            // The sheet lies on the hidden frame; the page below its row of tabs.
            const Rect frame = Pixels(7, 7, 190, 183);
            Rect carrier = WidgetRect(dialog, IDC_ALIENATOR_CARRIER_FREQ, Scope::Page);
            ExpectRect(carrier, Offset(Pixels(53, 17, 80, 10), frame.left + 3, frame.top + 24), "Carrier slider");

            // Greyed where the model has the control disabled: the hopping
            // controls while hopping is off.
            EXPECT_FALSE(g_renderer->WidgetOf(platform::FindControl(dialog, IDC_ALIENATOR_HOP_FREQ_DEV, Scope::Page))->active());
            EXPECT_TRUE(g_renderer->WidgetOf(platform::FindControl(dialog, IDC_ALIENATOR_CARRIER_FREQ, Scope::Page))->active());

            Shot shot;
            ASSERT_TRUE(g_renderer->Capture(dialog, &shot.rgb, &shot.width, &shot.height));
            ASSERT_EQ(shot.width, window.Width());
            const Rect ok = WidgetRect(dialog, platform::kIdOk, Scope::Dialog);
            const Rect list = WidgetRect(dialog, IDC_PRESET_LIST, Scope::Dialog);
            // The default button's outline, the list's white inside and the
            // grey face just left of the list.
            EXPECT_TRUE(Dark(shot.At(ok.left, (ok.top + ok.bottom) / 2)));
            EXPECT_TRUE(Dark(shot.At((ok.left + ok.right) / 2, ok.top)));
            EXPECT_FALSE(Dark(shot.At(ok.left - 2, (ok.top + ok.bottom) / 2)));
            EXPECT_TRUE(White(shot.At(list.left + 10, list.bottom - 10)));
            EXPECT_FALSE(White(shot.At(list.left - 3, list.bottom - 10)));
        }
        if (step >= 1 && step <= kEffectCount) {
            ASSERT_TRUE(g_renderer->Capture(dialog, &pages[step - 1].rgb, &pages[step - 1].width,
                                            &pages[step - 1].height));
            if (shots != nullptr) {
                std::string name = TableOf(step - 1).name;
                for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                pages[step - 1].SavePng(std::string(shots) + "/setup-" + name + ".png");
            }
        }
        if (step < kEffectCount) {
            g_renderer->Inject(dialog, Action::SelectTab(step));
        } else {
            g_renderer->Inject(dialog, Action::Click(platform::kIdCancel));
        }
    });
    EXPECT_EQ(result, platform::kIdCancel);
    for (int i = 1; i < kEffectCount; ++i) EXPECT_NE(pages[i].rgb, pages[0].rgb) << "page " << i;
}

// A click on the Wet slider moves it and its edit shows the position; the
// Right arrow moves it by one; Enter presses OK, which stores the mix.
TEST_F(GuiTest, SliderMovedByMouseAndKeyChangesItsEditAndOkStores) {
    int clicked = -1;
    const int result = RunDialog([&](int step, WindowHandle dialog) {
        CSliderCtrl wet = CWnd(dialog).Item<CSliderCtrl>(IDC_WET_SLIDER);
        if (step == 0) {
            ASSERT_EQ(wet.GetPos(), 100);
            const Rect r = WidgetRect(dialog, IDC_WET_SLIDER, Scope::Dialog);
            Xdo("mousemove --window " + Xid(dialog) + " " + std::to_string(r.left + r.Width() / 4) + " " +
                std::to_string((r.top + r.bottom) / 2) + " click 1");
            return;
        }
        if (clicked < 0) {
            clicked = wet.GetPos();
            EXPECT_GT(clicked, 5);
            EXPECT_LT(clicked, 50);
            EXPECT_EQ(Text(dialog, IDC_WET_EDIT), std::to_string(clicked));
            Xdo("windowfocus --sync " + Xid(dialog) + " key Right");
            return;
        }
        if (wet.GetPos() == clicked + 1) {
            EXPECT_EQ(Text(dialog, IDC_WET_EDIT), std::to_string(clicked + 1));
            Xdo("key Return");
        }
    });
    EXPECT_EQ(result, platform::kIdOk);
    EXPECT_EQ(Stored(Root() + "\\Init\\Last Alienator Settings", "Wet Mix"), clicked + 1.0);
}

// Tab walks the controls and the shown focus follows; Escape cancels.
TEST_F(GuiTest, TabMovesTheShownFocusAndEscapeCancels) {
    WindowHandle first = nullptr;
    const int result = RunDialog([&](int step, WindowHandle dialog) {
        const WindowHandle focus = platform::portable::FocusedWindow();
        ASSERT_NE(g_renderer->WidgetOf(focus), nullptr) << "step " << step;
        EXPECT_EQ(Fl::focus(), g_renderer->WidgetOf(focus)) << "step " << step;
        if (step == 0) {
            first = focus;
            Xdo("windowfocus --sync " + Xid(dialog) + " key Tab");
        } else if (step == 1) {
            EXPECT_NE(focus, first);
            Xdo("key Escape");
        }
    });
    EXPECT_EQ(result, platform::kIdCancel);
}

// Save Preset opens the name dialog over the plug-in dialog; typed text and
// Enter store the preset, which the list then shows. Delete Preset on a
// built-in preset brings a message box that Enter answers.
TEST_F(GuiTest, PresetNameDialogAndMessageBoxTakeRealInput) {
    int boxes = 0;
    std::string boxText;
    g_renderer->SetOnMessageBox([&](const platform::MessageBoxInfo& box, Fl_Window* window) {
        ++boxes;
        boxText = box.text;
        EXPECT_EQ(box.caption, AfxGetApp()->title());
        Fl::flush();
        Xdo("windowfocus --sync " + std::to_string(fl_xid(window)) + " key Return");
    });
    bool named = false, listed = false, deleted = false;
    WindowHandle main = nullptr;
    const int result = RunDialog([&](int, WindowHandle dialog) {
        if (main == nullptr) main = dialog;
        if (dialog != main) {
            // The preset name dialog, a window of its own over the first.
            EXPECT_NE(g_renderer->NativeWindow(dialog), g_renderer->NativeWindow(main));
            if (!named) {
                named = true;
                Xdo("windowfocus --sync " + Xid(dialog) + " type 'Robot Voice'");
            } else if (Text(dialog, IDC_PRESET_NAME) == "Robot Voice") {
                Xdo("key Return");
            }
            return;
        }
        if (!named) {
            g_renderer->Inject(dialog, Action::Click(IDC_SAVE_PRESET));
        } else if (!listed) {
            listed = true;
            CListBox list = CWnd(dialog).Item<CListBox>(IDC_PRESET_LIST);
            EXPECT_GE(list.FindStringExact(-1, "Robot Voice"), 0);
            g_renderer->Inject(dialog, Action::SelectListText(IDC_PRESET_LIST, "Computer"));
        } else if (!deleted) {
            deleted = true;
            g_renderer->Inject(dialog, Action::Click(IDC_DELETE_PRESET));
        } else {
            g_renderer->Inject(dialog, Action::Click(platform::kIdCancel));
        }
    });
    EXPECT_EQ(result, platform::kIdCancel);
    EXPECT_TRUE(KeyExists(Root() + "\\Alienator Presets\\Robot Voice"));
    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(boxText.empty());
}

}  // namespace

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

Outcome RunTovana(const std::string& environment, const std::string& arguments) {
    Outcome outcome;
    const std::string command = environment + " '" + TOVANA_EXE + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) outcome.output += buffer;
    const int status = pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

// Without a display, setup says so and fails with 2 before touching the
// store; the commands that need no window keep working.
TEST(SetupWithoutDisplay, SaysSoAndExitsTwo) {
    const std::string store = "TOVANA_REGISTRY=/nonexistent-tovana-store/registry.reg";
    Outcome unset = RunTovana("env -u DISPLAY " + store, "setup");
    EXPECT_EQ(unset.status, 2) << unset.output;
    EXPECT_NE(unset.output.find("DISPLAY is not set"), std::string::npos) << unset.output;

    Outcome unusable = RunTovana("env DISPLAY=:7919 " + store, "setup");
    EXPECT_EQ(unusable.status, 2) << unusable.output;
    EXPECT_NE(unusable.output.find("cannot open display \":7919\""), std::string::npos) << unusable.output;

    Outcome info = RunTovana("env -u DISPLAY " + store, "info");
    EXPECT_EQ(info.status, 0) << info.output;
}

}  // namespace
