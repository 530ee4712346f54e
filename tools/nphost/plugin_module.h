// A plug-in as a browser binds to it: its three exports, called in the
// browser's order. The plug-in is either a DLL loaded by path or code linked
// into this program (for tests that look inside).
#pragma once

#include <string>

#include "npapi/npapi.h"

namespace nphost {

struct PluginExports {
    NP_GetEntryPointsFunc getEntryPoints = nullptr;
    NP_InitializeFunc initialize = nullptr;
    NP_ShutdownFunc shutdown = nullptr;
};

class PluginModule {
public:
    // Loads the DLL; valid() tells whether it loaded and has the exports.
    explicit PluginModule(const std::wstring& path);
    explicit PluginModule(const PluginExports& exports);
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;
    ~PluginModule();

    bool valid() const;
    const PluginExports& exports() const { return exports_; }
    HMODULE handle() const { return module_; }

private:
    HMODULE module_ = nullptr;
    PluginExports exports_;
};

}  // namespace nphost
