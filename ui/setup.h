// XfmSetup's work: run the plug-in dialog modally.
#pragma once

// 1 when the user closed the dialog with OK, 2 for Cancel, 0 when the
// dialog could not be created.
int RunPluginDialog();
