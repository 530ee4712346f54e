#include "plugin/plugin_module.h"

#include "framework/win_app.h"
#include "plugin/plugin_app.h"

namespace plugin {

BOOL PluginModuleStartup(HINSTANCE module) {
    fw::AfxSetResourceHandle(module);
    try {
        return ThePluginApp().InitInstance();
    } catch (...) {
        return FALSE;
    }
}

void PluginModuleShutdown() {
    try {
        ThePluginApp().ExitInstance();
    } catch (...) {
    }
}

}  // namespace plugin
