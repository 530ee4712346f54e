#include <windows.h>

#include "plugin/plugin_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(module);
        return PluginModuleStartup(module);
    case DLL_PROCESS_DETACH:
        PluginModuleShutdown();
        return TRUE;
    default:
        return TRUE;
    }
}
