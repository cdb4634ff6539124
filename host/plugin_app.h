// The plug-in's application object. It adds nothing to CWinApp; its
// presence gives the framework the module's title ("ZentrixTvn") for
// message box captions.
#pragma once

#include "platform/framework.h"

class PluginApp : public CWinApp {
public:
    PluginApp() = default;
};

extern PluginApp theApp;
