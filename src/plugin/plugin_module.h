// Start-up and exit of the plug-in module: run by the DLL's load and unload,
// and by programs that link the plug-in's code directly.
#pragma once

#include <windows.h>

namespace plugin {

// `module` holds the plug-in's resources. FALSE refuses the load.
BOOL PluginModuleStartup(HINSTANCE module);
void PluginModuleShutdown();

}  // namespace plugin
