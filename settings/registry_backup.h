// A copy of the plug-in's registry tree in the registry export format, made
// before the tree is deleted, so that the user's presets can be imported
// again with the registry editor.
#pragma once

#include <string>

// Writes the tree below Software\Kestrum\Zentrix CoolEdit Plugin Tovana to a
// new file in the platform's backup folder and puts its path into `path`.
// False when there is no tree or the file cannot be written.
bool BackupStoreTree(std::string* path);

// The export text of the tree below `rootPath` (a key below
// HKEY_CURRENT_USER), every key with the values of the names the plug-in
// uses; false when the key cannot be opened.
bool ExportStoreTree(const std::string& rootPath, std::string* text);
