// An editor written from the record tables alone: it loads ZentrixTvn.xfm
// with LoadLibrary, finds the entry points by ordinal and by name, and lays
// out the records byte by byte at the editor's offsets, with callbacks in
// the editor's calling conventions. Nothing here includes the plug-in's own
// record definitions; the dialog's controls are found by the ids of its
// resource script.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/user_input.h"
#include "settings/resource_ids.h"

namespace {

// Offsets of the TransformRecord. The 32-bit layout is the editor's; the
// 64-bit one keeps the fields in order with 8-byte pointers.
struct Layout {
    std::size_t instanceMemory, firstFrame, lastFrame, readBlock, writeBlock, cancelFlag, reportProgress,
        showStatus, endProcessing, requestHandle, releaseHandle, size;
};
#if defined(_WIN64)
constexpr Layout kLayout{16, 24, 28, 48, 56, 64, 72, 80, 88, 144, 200, 208};
#else
constexpr Layout kLayout{12, 16, 20, 36, 40, 44, 48, 52, 56, 84, 112, 116};
#endif
constexpr std::size_t kChannels = 0, kBitsPerSample = 2, kBytesPerFrame = 4, kSampleRate = 8;
constexpr std::size_t kRecordSpace = 256;  // the record and guard bytes after it
constexpr unsigned char kGuard = 0xA7;

using QueryFn = std::uint32_t(WINAPI*)(void*);
using RecordFn = std::int32_t(WINAPI*)(void*);
using SetupFn = std::int32_t(WINAPI*)(std::int32_t, std::int32_t, std::int32_t);

// ---- The editor's side of the callbacks ------------------------------------

struct Call {
    char kind;  // R read, W write, P progress, S status, E end, Q request, L release
    std::uint32_t first, second;
    std::string text;
};

struct Editor {
    std::vector<std::int16_t> audio;
    std::vector<Call> calls;
    std::int32_t cancelFlag = 0;
    int cancelOnRead = 0;
    int reads = 0;
    bool outOfBounds = false;
    void* record = nullptr;
    std::uint32_t requestArgs[6] = {};
    std::uint32_t handleToGive = 0x12345;
};
Editor* g_editor = nullptr;

std::int32_t WINAPI ReadBlock(void* buffer, std::uint32_t position, std::uint32_t count) {
    Editor& e = *g_editor;
    e.calls.push_back({'R', position, count, {}});
    if (++e.reads == e.cancelOnRead) e.cancelFlag = 1;
    if (std::uint64_t{position} + count > e.audio.size() * 2) {
        e.outOfBounds = true;
        return 0;
    }
    std::memcpy(buffer, reinterpret_cast<char*>(e.audio.data()) + position, count);
    return 1;
}
std::int32_t WINAPI WriteBlock(void* buffer, std::uint32_t position, std::uint32_t count) {
    Editor& e = *g_editor;
    e.calls.push_back({'W', position, count, {}});
    if (std::uint64_t{position} + count > e.audio.size() * 2) {
        e.outOfBounds = true;
        return 0;
    }
    std::memcpy(reinterpret_cast<char*>(e.audio.data()) + position, buffer, count);
    return 1;
}
std::int32_t WINAPI ReportProgress(std::uint32_t done, std::uint32_t total) {
    g_editor->calls.push_back({'P', done, total, {}});
    return 1;
}
std::int32_t WINAPI ShowStatus(const char* text, std::int32_t zero) {
    g_editor->calls.push_back({'S', static_cast<std::uint32_t>(zero), 0, text});
    return 1;
}
void __cdecl EndProcessing(void* record) {
    g_editor->calls.push_back({'E', record == g_editor->record ? 1u : 0u, 0, {}});
}
std::uint32_t WINAPI RequestHandle(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                                   std::uint32_t e, std::uint32_t f) {
    const std::uint32_t args[6] = {a, b, c, d, e, f};
    std::memcpy(g_editor->requestArgs, args, sizeof args);
    g_editor->calls.push_back({'Q', 0, 0, {}});
    return g_editor->handleToGive;
}
std::int32_t WINAPI ReleaseHandle(std::uint32_t handle) {
    g_editor->calls.push_back({'L', handle, 0, {}});
    return 1;
}

// ---- The plug-in, loaded as the editor loads it ----------------------------

std::string PluginPath() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, length);
    return self.substr(0, self.find_last_of("\\/") + 1) + "ZentrixTvn.xfm";
}

HMODULE Plugin() {
    static HMODULE module = LoadLibraryA(PluginPath().c_str());
    return module;
}

template <class Fn>
Fn ByOrdinal(int ordinal) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(Plugin(), MAKEINTRESOURCEA(ordinal))));
}

template <class T>
void Put(unsigned char* record, std::size_t offset, T value) {
    std::memcpy(record + offset, &value, sizeof value);
}

template <class T>
T Get(const unsigned char* bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

// A TransformRecord over `editor`'s audio, every byte the plug-in does not
// use set to a guard value.
struct Record {
    alignas(8) unsigned char bytes[kRecordSpace];
    HGLOBAL instance;

    Record(Editor& editor, std::uint16_t channels) {
        std::memset(bytes, kGuard, sizeof bytes);
        const std::uint16_t frameBytes = channels == 1 ? 2 : 4;
        Put<std::uint16_t>(bytes, kChannels, channels);
        Put<std::uint16_t>(bytes, kBitsPerSample, 16);
        Put<std::uint16_t>(bytes, kBytesPerFrame, frameBytes);
        Put<std::int32_t>(bytes, kSampleRate, 44100);
        instance = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 64);
        Put<HGLOBAL>(bytes, kLayout.instanceMemory, instance);
        Select(0, static_cast<std::int32_t>(editor.audio.size() * 2 / frameBytes) - 1);
        Put(bytes, kLayout.readBlock, &ReadBlock);
        Put(bytes, kLayout.writeBlock, &WriteBlock);
        Put(bytes, kLayout.cancelFlag, &editor.cancelFlag);
        Put(bytes, kLayout.reportProgress, &ReportProgress);
        Put(bytes, kLayout.showStatus, &ShowStatus);
        Put(bytes, kLayout.endProcessing, &EndProcessing);
        Put(bytes, kLayout.requestHandle, &RequestHandle);
        Put(bytes, kLayout.releaseHandle, &ReleaseHandle);
        editor.record = bytes;
        g_editor = &editor;
    }
    ~Record() { GlobalFree(instance); }
    void Select(std::int32_t first, std::int32_t last) {
        Put(bytes, kLayout.firstFrame, first);
        Put(bytes, kLayout.lastFrame, last);
    }
    void DropOptionalCallbacks() {
        Put<void*>(bytes, kLayout.reportProgress, nullptr);
        Put<void*>(bytes, kLayout.showStatus, nullptr);
        Put<void*>(bytes, kLayout.endProcessing, nullptr);
    }
    std::uint16_t HandleWord() const {
        auto* memory = static_cast<const unsigned char*>(GlobalLock(instance));
        const std::uint16_t word = static_cast<std::uint16_t>(memory[0] | (memory[1] << 8));
        GlobalUnlock(instance);
        return word;
    }
};

std::string Kinds(const Editor& editor) {
    std::string kinds;
    for (const Call& call : editor.calls) kinds += call.kind;
    return kinds;
}

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(Plugin(), nullptr) << "cannot load " << PluginPath(); }
};

// ---- Exports -----------------------------------------------------------------

TEST_F(PluginHostTest, EntryPointsByOrdinalAndByName) {
    const char* names[] = {"QueryXfm", "XfmInit", "XfmSetup", "XfmDo", "XfmDestroy"};
    for (int i = 0; i < 5; ++i) {
        FARPROC byName = GetProcAddress(Plugin(), names[i]);
        FARPROC byOrdinal = GetProcAddress(Plugin(), MAKEINTRESOURCEA(i + 2));
        EXPECT_NE(byName, nullptr) << names[i];
        EXPECT_EQ(byName, byOrdinal) << names[i] << " is not ordinal " << i + 2;
    }
    EXPECT_EQ(GetProcAddress(Plugin(), MAKEINTRESOURCEA(1)), nullptr);
    EXPECT_EQ(GetProcAddress(Plugin(), MAKEINTRESOURCEA(7)), nullptr);
    for (const char* decorated : {"_QueryXfm@4", "QueryXfm@4", "XfmSetup@12", "_XfmDo@4"}) {
        EXPECT_EQ(GetProcAddress(Plugin(), decorated), nullptr) << decorated;
    }
}

// ---- QueryXfm ------------------------------------------------------------------

TEST_F(PluginHostTest, QueryXfmWritesItsFieldsAndNothingElse) {
    unsigned char info[300];
    std::memset(info, kGuard, sizeof info);
    const std::uint32_t result = ByOrdinal<QueryFn>(2)(info);
    EXPECT_EQ(result & 0xFFFF, 0x0480u);

    std::vector<bool> written(sizeof info, false);
    auto text = [&](std::size_t offset, std::size_t end) {
        const auto* start = reinterpret_cast<const char*>(info + offset);
        const std::size_t length = strnlen(start, end - offset);
        EXPECT_LT(length, end - offset) << "text at " << offset << " runs into the next field";
        for (std::size_t i = offset; i <= offset + length && i < end; ++i) written[i] = true;
        return std::string(start, length);
    };
    EXPECT_EQ(text(0, 40), "Zentrix Tovana");
    EXPECT_FALSE(text(40, 120).empty());
    EXPECT_EQ(text(120, 190), "Add Zentrix Tovana");
    EXPECT_EQ(text(200, 248), "g");
    EXPECT_EQ(text(248, 250), "y");
    EXPECT_EQ(Get<std::uint16_t>(info, 190), 12);
    EXPECT_EQ(Get<std::uint32_t>(info, 192), 29u);
    EXPECT_EQ(Get<std::uint32_t>(info, 196), 2u);
    for (std::size_t i = 190; i < 200; ++i) written[i] = true;
    for (std::size_t i = 0; i < sizeof info; ++i) {
        if (!written[i]) {
            EXPECT_EQ(info[i], kGuard) << "byte " << i << " was changed";
        }
    }
}

// ---- XfmInit and XfmDestroy ------------------------------------------------------

TEST_F(PluginHostTest, InitKeepsTheEditorsHandleAndDestroyGivesItBack) {
    Editor editor;
    editor.audio.assign(8, 0);
    Record record(editor, 1);
    unsigned char before[kRecordSpace];
    std::memcpy(before, record.bytes, sizeof before);

    EXPECT_EQ(ByOrdinal<RecordFn>(3)(record.bytes), 1);
    EXPECT_EQ(Kinds(editor), "Q");
    const std::uint32_t expectedArgs[6] = {0, 16384, 0, 16384, 0, 16384};
    EXPECT_EQ(std::memcmp(editor.requestArgs, expectedArgs, sizeof expectedArgs), 0);
    EXPECT_EQ(record.HandleWord(), 0x2345);

    EXPECT_EQ(ByOrdinal<RecordFn>(6)(record.bytes), 1);
    ASSERT_EQ(Kinds(editor), "QL");
    EXPECT_EQ(editor.calls[1].first, 0x2345u);
    EXPECT_EQ(record.HandleWord(), 0xFFFF);
    EXPECT_EQ(std::memcmp(before, record.bytes, sizeof before), 0) << "the record was written";
}

TEST_F(PluginHostTest, DestroyWithoutHandleAndLockFailures) {
    Editor editor;
    editor.audio.assign(8, 0);
    Record record(editor, 1);
    EXPECT_EQ(ByOrdinal<RecordFn>(6)(record.bytes), 1);
    EXPECT_EQ(Kinds(editor), "");
    EXPECT_EQ(record.HandleWord(), 0);

    // Memory that cannot be locked: both report 0 and call nothing.
    Put<HGLOBAL>(record.bytes, kLayout.instanceMemory, nullptr);
    EXPECT_EQ(ByOrdinal<RecordFn>(3)(record.bytes), 0);
    EXPECT_EQ(ByOrdinal<RecordFn>(6)(record.bytes), 0);
    EXPECT_EQ(Kinds(editor), "");
}

// ---- XfmDo -------------------------------------------------------------------------

const char* const kStatusTexts[] = {"Applying Alienator...", "Applying Communicator...", "Applying Deepenator",
                                    "Applying Cylonator..."};

bool KnownStatus(const std::string& text) {
    for (const char* known : kStatusTexts) {
        if (text == known) return true;
    }
    return false;
}

TEST_F(PluginHostTest, MonoSelectionInBlocksOfAtMost16000Bytes) {
    Editor editor;
    editor.audio.assign(8001 + 10, 100);
    Record record(editor, 1);
    record.Select(5, 5 + 8000);  // 8001 frames from frame 5
    unsigned char before[kRecordSpace];
    std::memcpy(before, record.bytes, sizeof before);

    EXPECT_EQ(ByOrdinal<RecordFn>(5)(record.bytes), 0);
    ASSERT_EQ(Kinds(editor), "SRWPRWPE");
    EXPECT_TRUE(KnownStatus(editor.calls[0].text)) << editor.calls[0].text;
    EXPECT_EQ(editor.calls[0].first, 0u) << "second argument of showStatus";
    EXPECT_EQ(editor.calls[1].first, 10u);
    EXPECT_EQ(editor.calls[1].second, 16000u);
    EXPECT_EQ(editor.calls[4].first, 16010u);
    EXPECT_EQ(editor.calls[4].second, 2u);
    EXPECT_EQ(editor.calls[3].first, 16000u);
    EXPECT_EQ(editor.calls[3].second, 16002u);
    EXPECT_EQ(editor.calls[6].first, 16002u);
    EXPECT_EQ(editor.calls[6].second, 16002u);
    EXPECT_EQ(editor.calls[7].first, 1u) << "endProcessing gets the record";
    EXPECT_FALSE(editor.outOfBounds);
    EXPECT_EQ(std::memcmp(before, record.bytes, sizeof before), 0) << "the record was written";
}

TEST_F(PluginHostTest, StereoSelectionCancelAndMissingCallbacks) {
    {
        Editor editor;
        editor.audio.assign(2 * 8000, 100);
        Record record(editor, 2);
        EXPECT_EQ(ByOrdinal<RecordFn>(5)(record.bytes), 0);
        ASSERT_EQ(Kinds(editor), "SRWPRWPE");
        EXPECT_EQ(editor.calls[3].first, 16000u);
        EXPECT_EQ(editor.calls[3].second, 32000u);
        EXPECT_EQ(editor.calls[6].first, 32000u);
    }
    {
        Editor editor;
        editor.audio.assign(2 * 8000 * 3, 100);
        editor.cancelOnRead = 1;
        Record record(editor, 2);
        EXPECT_EQ(ByOrdinal<RecordFn>(5)(record.bytes), 0);
        EXPECT_EQ(Kinds(editor), "SRWPE");
    }
    {
        Editor editor;
        editor.audio.assign(2 * 8000, 100);
        Record record(editor, 2);
        record.DropOptionalCallbacks();
        EXPECT_EQ(ByOrdinal<RecordFn>(5)(record.bytes), 0);
        EXPECT_EQ(Kinds(editor), "RWRW");
    }
    {
        Editor editor;
        editor.audio.assign(4, 100);
        Record record(editor, 2);
        record.Select(1, 0);  // empty selection
        EXPECT_EQ(ByOrdinal<RecordFn>(5)(record.bytes), 0);
        EXPECT_EQ(Kinds(editor), "SE");
    }
}

// ---- XfmSetup and the registry store ------------------------------------------
//
// A user stand-in on a second thread: it takes its steps in order, each on
// the window with the step's title once that window accepts input (an
// owner is disabled while a dialog it opened runs), and it confirms every
// message box the plug-in shows meanwhile.

const char kDialogTitle[] = "Zentrix CoolEdit Plugin Tovana by Kestrum";

struct Step {
    std::string title;
    std::function<void(HWND)> act;
};

// A button press that returns at once, so that a dialog the button opens
// does not hold up the user.
std::function<void(HWND)> Press(int button) {
    return [button](HWND dialog) { platform::win32::input::PostButtonPress(dialog, button); };
}

class User {
public:
    explicit User(std::vector<Step> steps) : steps_(std::move(steps)), thread_([this] { Run(); }) {}
    ~User() {
        stop_ = true;
        thread_.join();
    }
    int messageBoxes() const { return messageBoxes_; }
    bool finished() const { return next_ == steps_.size(); }

private:
    // A dialog that never shows up, or ignores the buttons, would keep
    // XfmSetup waiting for ever: after a minute the test program ends.
    void Run() {
        const ULONGLONG start = GetTickCount64();
        while (!stop_) {
            EnumWindows(&User::Visit, reinterpret_cast<LPARAM>(this));
            Sleep(20);
            if (GetTickCount64() - start > 60000) {
                std::fprintf(stderr, "the dialog is still open after a minute (step %u of %u)\n",
                             static_cast<unsigned>(next_ + 1), static_cast<unsigned>(steps_.size()));
                std::fflush(stderr);
                ExitProcess(3);
            }
        }
    }
    static BOOL CALLBACK Visit(HWND window, LPARAM self) {
        auto* user = reinterpret_cast<User*>(self);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
        char title[256] = {};
        GetWindowTextA(window, title, sizeof title);
        if (std::strncmp(title, "Zentrix CoolEdit Plugin Tovana:", 31) == 0) {
            for (HWND done : user->boxes_) {
                if (done == window) return TRUE;
            }
            user->boxes_.push_back(window);
            ++user->messageBoxes_;
            Press(IDOK)(window);
            return TRUE;
        }
        if (user->next_ < user->steps_.size() && user->steps_[user->next_].title == title) {
            user->steps_[user->next_].act(window);
            ++user->next_;
            Sleep(50);
            return FALSE;
        }
        return TRUE;
    }

    std::vector<Step> steps_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stop_{false};
    std::atomic<int> messageBoxes_{0};
    std::vector<HWND> boxes_;
    std::thread thread_;
};

const char kStoreParent[] = "Software\\Kestrum";
const char kStoreName[] = "Zentrix CoolEdit Plugin Tovana";
const char kStoreRoot[] = "Software\\Kestrum\\Zentrix CoolEdit Plugin Tovana";

bool StoreExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kStoreRoot, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Type and bytes of a stored value; type -1 when it cannot be read.
struct Stored {
    long type = -1;
    std::vector<unsigned char> bytes;
};

Stored ReadStored(const std::string& key, const char* value) {
    Stored stored;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kStoreRoot) + "\\" + key).c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS) {
        return stored;
    }
    DWORD type = 0;
    DWORD size = 64;
    stored.bytes.resize(size);
    if (RegQueryValueExA(handle, value, nullptr, &type, stored.bytes.data(), &size) == ERROR_SUCCESS) {
        stored.type = static_cast<long>(type);
        stored.bytes.resize(size);
    }
    RegCloseKey(handle);
    return stored;
}

double AsDouble(const Stored& stored) {
    double value = -12345;
    if (stored.bytes.size() == sizeof value) std::memcpy(&value, stored.bytes.data(), sizeof value);
    return value;
}

// What a user does with the mouse, as window messages (the messages the
// platform layer's player sends for tovana.exe).
using platform::win32::input::FindChildOfClass;

void ClickTab(HWND dialog, int index) {
    HWND tab = FindChildOfClass(dialog, "SysTabControl32");
    ASSERT_NE(tab, nullptr);
    platform::win32::input::ClickTab(tab, index);
}

void DragSlider(HWND dialog, int id, int position) {
    HWND slider = GetDlgItem(dialog, id);
    ASSERT_NE(slider, nullptr);
    platform::win32::input::DragSlider(slider, position);
}

void Click(HWND dialog, int id) { platform::win32::input::ClickButton(GetDlgItem(dialog, id)); }

TEST_F(PluginHostTest, SetupCreatesRestoresAndRecoversTheStore) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kStoreParent, 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
        SHDeleteKeyA(parent, kStoreName);
        RegCloseKey(parent);
    }
    const auto setup = ByOrdinal<SetupFn>(4);

    // First opening: the tree is created with every value a REG_NONE double.
    {
        User user({{kDialogTitle, Press(IDCANCEL)}});
        EXPECT_EQ(setup(0, 0, 0), 0) << "Cancel returns 0";
        EXPECT_EQ(user.messageBoxes(), 0);
    }
    ASSERT_TRUE(StoreExists());
    const Stored active = ReadStored("Init", "Last Active Effect");
    EXPECT_EQ(active.type, REG_NONE);
    EXPECT_EQ(active.bytes.size(), 8u);
    EXPECT_EQ(AsDouble(active), 0.0);
    const struct {
        const char* key;
        const char* value;
    } samples[] = {{"Init\\Last Alienator Settings", "Squelch"},
                   {"Init\\Last Communicator Settings", "Aliasing"},
                   {"Init\\Last Deepenator Settings", "Pitch Scale Right"},
                   {"Init\\Last Cylonator Settings", "Noise Right Enabled"}};
    for (const auto& sample : samples) {
        const Stored stored = ReadStored(sample.key, sample.value);
        EXPECT_EQ(stored.type, REG_NONE) << sample.key << "\\" << sample.value;
        EXPECT_EQ(stored.bytes.size(), 8u) << sample.key << "\\" << sample.value;
    }
    for (const char* presets : {"Alienator Presets", "Communicator Presets", "Deepenator Presets",
                                "Cylonator Presets"}) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kStoreRoot) + "\\" + presets).c_str(), 0,
                                KEY_READ, &key),
                  ERROR_SUCCESS)
            << presets;
        if (key != nullptr) RegCloseKey(key);
    }

    // A later opening reads the tree; the user goes to the Deepenator page,
    // drags the Wet slider, unlinks or links the mix and presses OK.
    const Stored squelch = ReadStored("Init\\Last Alienator Settings", "Squelch");
    const double linked = AsDouble(ReadStored("Init\\Last Deepenator Settings", "Mix Linked"));
    {
        User user({{kDialogTitle, [](HWND dialog) {
                        ClickTab(dialog, 2);
                        DragSlider(dialog, IDC_WET_SLIDER, 37);
                        Click(dialog, IDC_LINKED);
                        Press(IDOK)(dialog);
                    }}});
        EXPECT_EQ(setup(0, 0, 0), 1) << "OK returns 1";
    }
    EXPECT_EQ(AsDouble(ReadStored("Init", "Last Active Effect")), 2.0);
    for (const char* key : {"Init\\Last Alienator Settings", "Init\\Last Communicator Settings",
                            "Init\\Last Deepenator Settings", "Init\\Last Cylonator Settings"}) {
        EXPECT_EQ(AsDouble(ReadStored(key, "Wet Mix")), 37.0) << key;
        EXPECT_EQ(AsDouble(ReadStored(key, "Mix Linked")), linked == 0.0 ? 1.0 : 0.0) << key;
    }
    EXPECT_EQ(ReadStored("Init\\Last Alienator Settings", "Squelch").bytes, squelch.bytes);

    // A missing value: the whole tree goes, and the next opening rebuilds it.
    HKEY alienator = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kStoreRoot) + "\\Init\\Last Alienator Settings").c_str(),
                            0, KEY_ALL_ACCESS, &alienator),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueA(alienator, "Squelch"), ERROR_SUCCESS);
    RegCloseKey(alienator);
    {
        User user({});
        EXPECT_EQ(setup(0, 0, 0), 0) << "a damaged store ends the dialog";
        EXPECT_EQ(user.messageBoxes(), 1) << "the user is told";
    }
    EXPECT_FALSE(StoreExists()) << "the damaged tree was not deleted";
    {
        User user({{kDialogTitle, Press(IDCANCEL)}});
        EXPECT_EQ(setup(0, 0, 0), 0);
    }
    EXPECT_TRUE(StoreExists());
    EXPECT_EQ(ReadStored("Init\\Last Alienator Settings", "Squelch").bytes, squelch.bytes);
}

// Save Preset opens the name dialog over the plug-in dialog; the preset is
// stored at once and listed at the next opening.
TEST_F(PluginHostTest, SavePresetThroughTheNameDialog) {
    const auto setup = ByOrdinal<SetupFn>(4);
    {
        User user({{kDialogTitle,
                    [](HWND dialog) {
                        ClickTab(dialog, 1);
                        Press(IDC_SAVE_PRESET)(dialog);  // Save Preset
                    }},
                   {"Preset Name",
                    [](HWND name) {
                        SetDlgItemTextA(name, IDC_PRESET_NAME, "Walkie Talkie");
                        Press(IDOK)(name);
                    }},
                   {kDialogTitle, Press(IDCANCEL)}});
        EXPECT_EQ(setup(0, 0, 0), 0);
        EXPECT_TRUE(user.finished());
    }
    const Stored aliasing = ReadStored("Communicator Presets\\Walkie Talkie", "Aliasing");
    EXPECT_EQ(aliasing.type, REG_NONE);
    EXPECT_EQ(aliasing.bytes.size(), 8u);
    EXPECT_EQ(ReadStored("Communicator Presets\\Walkie Talkie", "Preset Selection").type, -1)
        << "a preset keeps no list selection";

    std::atomic<bool> listed{false};
    {
        User user({{kDialogTitle, [&listed](HWND dialog) {
                        ClickTab(dialog, 1);
                        listed = SendDlgItemMessageA(dialog, IDC_PRESET_LIST, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                     reinterpret_cast<LPARAM>("Walkie Talkie")) != LB_ERR;
                        Press(IDCANCEL)(dialog);
                    }}});
        EXPECT_EQ(setup(0, 0, 0), 0);
    }
    EXPECT_TRUE(listed) << "the stored preset is not in the Communicator's list";
}

// The Tab key walks from the dialog's controls into the active page's and
// back out: the sheet and its pages are control parents.
TEST_F(PluginHostTest, TabKeyReachesThePageControls) {
    const auto setup = ByOrdinal<SetupFn>(4);
    std::atomic<bool> reachedPage{false};
    std::atomic<bool> leftPage{false};
    {
        User user({{kDialogTitle, [&](HWND dialog) {
                        const DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
                        HWND sheet = GetParent(FindChildOfClass(dialog, "SysTabControl32"));
                        bool inPage = false;
                        for (int press = 0; press < 60 && !(reachedPage && leftPage); ++press) {
                            PostMessageA(dialog, WM_KEYDOWN, VK_TAB, 0);
                            PostMessageA(dialog, WM_KEYUP, VK_TAB, 0xC0000001);
                            Sleep(30);
                            GUITHREADINFO info{};
                            info.cbSize = sizeof info;
                            if (!GetGUIThreadInfo(thread, &info) || info.hwndFocus == nullptr) continue;
                            // A page is a dialog window inside the sheet.
                            HWND parent = GetParent(info.hwndFocus);
                            const bool nowInPage = parent != nullptr && GetParent(parent) == sheet && parent != sheet;
                            if (nowInPage) reachedPage = true;
                            if (inPage && !nowInPage) leftPage = true;
                            inPage = nowInPage;
                        }
                        Press(IDCANCEL)(dialog);
                    }}});
        EXPECT_EQ(setup(0, 0, 0), 0);
    }
    EXPECT_TRUE(reachedPage) << "Tab never reached a control of the page";
    EXPECT_TRUE(leftPage) << "Tab never left the page again";
}

// OK makes the active page the effect that XfmDo runs; Cancel leaves the
// effect as it was, whichever page was showing.
TEST_F(PluginHostTest, OkChoosesTheEffectThatRuns) {
    const auto setup = ByOrdinal<SetupFn>(4);
    auto statusOfRun = [] {
        Editor editor;
        editor.audio.assign(2 * 1000, 100);
        Record record(editor, 2);
        EXPECT_EQ(ByOrdinal<RecordFn>(5)(record.bytes), 0);
        return editor.calls.empty() ? std::string() : editor.calls[0].text;
    };
    {
        User user({{kDialogTitle, [](HWND dialog) {
                        ClickTab(dialog, 3);
                        Press(IDOK)(dialog);
                    }}});
        EXPECT_EQ(setup(0, 0, 0), 1);
    }
    EXPECT_EQ(statusOfRun(), "Applying Cylonator...");
    {
        User user({{kDialogTitle, [](HWND dialog) {
                        ClickTab(dialog, 1);
                        Press(IDCANCEL)(dialog);
                    }}});
        EXPECT_EQ(setup(0, 0, 0), 0);
    }
    EXPECT_EQ(statusOfRun(), "Applying Cylonator...");
}

// The plug-in's own message boxes carry the module's base name as title:
// deleting a built-in preset is refused with one.
TEST_F(PluginHostTest, MessageBoxesCarryTheModuleName) {
    const auto setup = ByOrdinal<SetupFn>(4);
    User user({{kDialogTitle,
                [](HWND dialog) {
                    ClickTab(dialog, 3);
                    HWND list = GetDlgItem(dialog, IDC_PRESET_LIST);
                    SendMessageA(list, LB_SETCURSEL, 0, 0);
                    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_PRESET_LIST, LBN_SELCHANGE),
                                 reinterpret_cast<LPARAM>(list));
                    Press(IDC_DELETE_PRESET)(dialog);  // Delete Preset
                }},
               {"ZentrixTvn", Press(IDOK)},
               {kDialogTitle, Press(IDCANCEL)}});
    EXPECT_EQ(setup(0, 0, 0), 0);
    EXPECT_TRUE(user.finished()) << "no message box titled ZentrixTvn";
}

}  // namespace
