// Where the plug-in keeps copies of user data it is about to discard: on
// Windows the user's application-data folder, elsewhere the folder of the
// file that stands in for the registry.
#pragma once

#include <string>

namespace platform {

// The folder for backup files; it may not exist yet.
std::string BackupDirectory();

// How many backups of one kind a folder may collect.
constexpr int kMostBackupFiles = 9999;

// Writes `text` to a new file "<stem>-N<suffix>" in `folder`, N the lowest
// number from 1 whose name is free, readable by the user alone. A name
// that exists, even as a link to nothing, is passed over: nothing is
// written through a link or replaced. Returns the file's path; empty when
// no file could be written.
std::string WriteNewBackupFile(const std::string& folder, const std::string& stem,
                               const std::string& suffix, const std::string& text);

}  // namespace platform
