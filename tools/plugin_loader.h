// Loads ZentrixTvn.xfm the way the editor does and resolves its exports.
#pragma once

#include <string>

#include "host/exports.h"

class PluginLoader {
public:
    PluginLoader() = default;
    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;
    ~PluginLoader();

    // False with a readable reason in error() when the file cannot be
    // loaded or lacks one of the five exports.
    bool Load(const std::string& path);
    const std::string& error() const { return error_; }

    decltype(&QueryXfm) query = nullptr;
    decltype(&XfmInit) init = nullptr;
    decltype(&XfmSetup) setup = nullptr;
    decltype(&XfmDo) process = nullptr;
    decltype(&XfmDestroy) destroy = nullptr;

private:
    void* handle_ = nullptr;
    std::string error_;
};

// The plug-in beside the running executable.
std::string DefaultPluginPath();
// The running executable.
std::string SelfPath();
