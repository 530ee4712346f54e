#include "plugin/plugin_app.h"

#include <algorithm>

#include "plugin/control_window.h"
#include "propfile/ocx_info.h"

namespace {

// Constructed with the library's other process-wide objects, before the
// browser calls any entry point.
PluginApp thePluginApp;

}  // namespace

PluginApp& ThePluginApp() { return thePluginApp; }

PluginApp::PluginApp() : fw::CWinApp(nullptr) {}

PluginApp::~PluginApp() { startedControls.clear(); }

BOOL PluginApp::InitInstance() {
    SetRegistryKey("Trevalon");
    SetProfileName("Trevalon");
    char systemDirectory[256] = {};
    const UINT length = ::GetSystemDirectoryA(systemDirectory, sizeof systemDirectory);
    if (length >= sizeof systemDirectory) systemDirectory[0] = '\0';
    ocxStorageDirectory = GetProfileString("Directories", "Ocx Storage", systemDirectory);
    return TRUE;
}

void PluginApp::NotifyStateChanged(ControlWindow* changed, int16_t state) {
    if (!changed || !changed->info) return;
    const std::string name = changed->info->clsidText;
    // A control told of the change may start or stop controls from inside the
    // call: walk a snapshot, and skip windows that have left the list since.
    const std::list<ControlWindow*> snapshot = startedControls;
    for (ControlWindow* window : snapshot) {
        if (std::find(startedControls.begin(), startedControls.end(), window) !=
            startedControls.end()) {
            window->InvokeOnNewControlStateChanged(name, state);
        }
    }
}
