#include <cstdlib>

#include <windows.h>

#include "plugin/plugin_module.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        ::DisableThreadLibraryCalls(module);
        return plugin::PluginModuleStartup(module);
    case DLL_PROCESS_DETACH:
        plugin::PluginModuleShutdown();
        return TRUE;
    default:
        return TRUE;
    }
}

// The DLL's terminate handler. The runtime's own one prints the exception's
// demangled type on stderr, which no browser shows, and brings the demangler
// into the DLL; ending the process is all that is left to do either way.
namespace __gnu_cxx {
[[noreturn]] void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
