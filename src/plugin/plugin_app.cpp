#include "plugin/plugin_app.h"

namespace plugin {

namespace {

// Constructed with the library's other process-wide objects, before the
// browser calls any entry point.
PluginApp thePluginApp;

}  // namespace

PluginApp& ThePluginApp() { return thePluginApp; }

PluginApp::PluginApp() : fw::CWinApp(nullptr) {}

PluginApp::~PluginApp() = default;

BOOL PluginApp::InitInstance() {
    SetRegistryKey("Trevalon");
    SetProfileName("Trevalon");
    char systemDirectory[256] = {};
    const UINT length = ::GetSystemDirectoryA(systemDirectory, sizeof systemDirectory);
    if (length >= sizeof systemDirectory) systemDirectory[0] = '\0';
    ocxStorageDirectory = GetProfileString("Directories", "Ocx Storage", systemDirectory);
    return TRUE;
}

}  // namespace plugin
