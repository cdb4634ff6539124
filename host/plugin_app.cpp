#include "host/plugin_app.h"

PluginApp theApp;
