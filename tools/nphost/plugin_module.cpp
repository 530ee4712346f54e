#include "plugin_module.h"

namespace nphost {

PluginModule::PluginModule(const std::wstring& path) : module_(::LoadLibraryW(path.c_str())) {
    if (!module_) return;
    exports_.getEntryPoints = reinterpret_cast<NP_GetEntryPointsFunc>(
        ::GetProcAddress(module_, "NP_GetEntryPoints"));
    exports_.initialize =
        reinterpret_cast<NP_InitializeFunc>(::GetProcAddress(module_, "NP_Initialize"));
    exports_.shutdown = reinterpret_cast<NP_ShutdownFunc>(::GetProcAddress(module_, "NP_Shutdown"));
}

PluginModule::PluginModule(const PluginExports& exports) : exports_(exports) {}

PluginModule::~PluginModule() {
    if (module_) ::FreeLibrary(module_);
}

bool PluginModule::valid() const {
    return exports_.getEntryPoints && exports_.initialize && exports_.shutdown;
}

}  // namespace nphost
