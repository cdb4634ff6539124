// Where the plug-in keeps copies of user data it is about to discard: on
// Windows the user's application-data folder, elsewhere the folder of the
// file that stands in for the registry.
#pragma once

#include <string>

namespace platform {

// The folder for backup files; it may not exist yet.
std::string BackupDirectory();

}  // namespace platform
