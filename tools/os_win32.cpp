// tovana on Windows.
#include "tools/os.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/clock.h"
#include "tools/command_line.h"
#include "tools/store_view.h"

namespace tovana::os {
namespace {

void (*g_handler)() = nullptr;
// Workers started and not yet collected.
std::map<ProcessId, HANDLE> g_processes;

std::string SystemText(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text != nullptr ? std::string(text, length) : "error " + std::to_string(code);
    if (text != nullptr) LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.')) {
        message.pop_back();
    }
    return message;
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
            if (g_handler != nullptr) g_handler();
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void* LoadModule(const std::string& path, std::string* error) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) *error = SystemText(GetLastError());
    return reinterpret_cast<void*>(module);
}

void* FindSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

std::string SelfPath() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return "";
        if (length < path.size()) return std::string(path.data(), length);
        path.resize(path.size() * 2);
    }
}

const char kSeparator = '\\';

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("\\/"); }

std::string Join(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    return directory + (IsSeparator(directory.back()) ? "" : "\\") + name;
}

FileKind KindOf(const std::string& path, std::string* reason) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (reason != nullptr) *reason = SystemText(GetLastError());
        return FileKind::Missing;
    }
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Directory : FileKind::File;
}

bool IsReadable(const std::string& path) { return _access(path.c_str(), 4) == 0; }

bool MakeDirectory(const std::string& path, std::string* reason) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return true;
    *reason = SystemText(GetLastError());
    return false;
}

// Windows files carry no permission bits to copy. An open file cannot be
// deleted (the C runtime does not share it for deletion), which keeps a
// live run's file from RemoveStaleTemporaries.
std::FILE* CreateTemporaryBeside(const std::string& path, std::string* name, std::string* reason) {
    const std::string prefix = TemporaryPrefix(path, GetCurrentProcessId());
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned state = static_cast<unsigned>(GetTickCount()) ^ (GetCurrentProcessId() << 16);
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate = prefix;
        for (int i = 0; i < 6; ++i) {
            state = state * 1103515245u + 12345u;
            candidate += kLetters[(state >> 16) % 36];
        }
        const int fd = _open(candidate.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            *reason = std::strerror(errno);
            return nullptr;
        }
        std::FILE* file = _fdopen(fd, "wb+");
        if (file == nullptr) {
            *reason = std::strerror(errno);
            _close(fd);
            DeleteFileA(candidate.c_str());
            return nullptr;
        }
        *name = candidate;
        return file;
    }
    *reason = "no free temporary name";
    return nullptr;
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::size_t slash = LastSeparator(path);
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    WIN32_FIND_DATAA found{};
    HANDLE search = FindFirstFileA((folder + ".*.tovana-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::int64_t writer = TemporaryWriter(found.cFileName);
        if (writer <= 0 || writer > 0xFFFFFFFFll || writer == GetCurrentProcessId()) continue;
        if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) continue;
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(writer));
        if (process != nullptr) {
            DWORD code = 0;
            const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
            CloseHandle(process);
            if (running) continue;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            continue;  // there, but not ours to look at
        }
        DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string* reason) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    *reason = SystemText(GetLastError());
    return false;
}

void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }

std::string MakeTemporaryDirectory() {
    char base[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof base, base);
    if (length == 0 || length > MAX_PATH) return "";
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "tovana-%08lx", GetTickCount() + attempt * 7919ul);
        const std::string path = Join(base, name);
        if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    }
    return "";
}

void RemoveEmptyDirectory(const std::string& path) { RemoveDirectoryA(path.c_str()); }

bool Seek(std::FILE* file, std::int64_t offset) { return _fseeki64(file, offset, SEEK_SET) == 0; }

std::int64_t Length(std::FILE* file) { return _filelengthi64(_fileno(file)); }

bool IsTerminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void UseForAudio(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

int ProcessorCount() {
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

ProcessId StartProcess(const std::string& program, const std::vector<std::string>& args) {
    // WaitForMultipleObjects waits for at most this many.
    if (g_processes.size() >= MAXIMUM_WAIT_OBJECTS) return -1;
    std::string line = QuoteWindowsArgument(program);
    for (const std::string& arg : args) line += " " + QuoteWindowsArgument(arg);
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        return -1;
    }
    CloseHandle(info.hThread);
    g_processes[info.dwProcessId] = info.hProcess;
    return info.dwProcessId;
}

bool WaitForAnyProcess(ProcessId* process, int* exitStatus) {
    if (g_processes.empty()) return false;
    std::vector<HANDLE> handles;
    std::vector<ProcessId> ids;
    for (const auto& entry : g_processes) {
        ids.push_back(entry.first);
        handles.push_back(entry.second);
    }
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    if (result >= WAIT_OBJECT_0 + handles.size()) return false;
    const std::size_t index = result - WAIT_OBJECT_0;
    DWORD code = 2;
    GetExitCodeProcess(handles[index], &code);
    CloseHandle(handles[index]);
    g_processes.erase(ids[index]);
    *process = ids[index];
    *exitStatus = static_cast<int>(code);
    return true;
}

// The workers share the console, which hands them Ctrl-C itself.
void InterruptProcess(ProcessId) {}

void InstallInterruptHandler(void (*handler)()) {
    g_handler = handler;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

// The plug-in carries a platform layer of its own; it takes a fixed seed
// from the environment, which it shares with this program.
void FixPluginSeed(std::optional<std::uint32_t> seed) {
    platform::FixRunSeed(seed);
    const std::string text = seed ? std::to_string(*seed) : std::string();
    _putenv((std::string(platform::kSeedEnvironmentVariable) + "=" + text).c_str());
    SetEnvironmentVariableA(platform::kSeedEnvironmentVariable, seed ? text.c_str() : nullptr);
}

std::string StoreLocation() { return "HKEY_CURRENT_USER\\" + RootKeyPath(); }

// The registry reports its own failures call by call.
std::string TakeStoreProblem() { return ""; }
std::string StoreReadProblem() { return ""; }

bool UseStoreIn(const std::string&) { return false; }

void RestoreStore() {}

}  // namespace tovana::os
