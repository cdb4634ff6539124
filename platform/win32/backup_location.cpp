// Backups of user data go to the user's application-data folder.
#include <windows.h>
#include <shlobj.h>

#include "platform/backup_location.h"

namespace platform {

std::string BackupDirectory() {
    char folder[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK) return ".";
    return std::string(folder) + "\\Zentrix Tovana";
}

std::string WriteNewBackupFile(const std::string& folder, const std::string& stem,
                               const std::string& suffix, const std::string& text) {
    for (int number = 1; number <= kMostBackupFiles; ++number) {
        const std::string path = folder + "\\" + stem + "-" + std::to_string(number) + suffix;
        // CREATE_NEW fails on any existing name, a link's included.
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return std::string();
        }
        bool written = true;
        std::size_t done = 0;
        while (written && done < text.size()) {
            DWORD wrote = 0;
            written = WriteFile(file, text.data() + done, static_cast<DWORD>(text.size() - done), &wrote,
                                nullptr) != 0 && wrote != 0;
            done += wrote;
        }
        written = written && FlushFileBuffers(file) != 0;
        CloseHandle(file);
        if (!written) {
            DeleteFileA(path.c_str());
            return std::string();
        }
        return path;
    }
    return std::string();
}

}  // namespace platform
