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

}  // namespace platform
