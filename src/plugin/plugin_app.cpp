#include "plugin/plugin_app.h"

#include <shlobj.h>

#include "framework/unique_resource.h"

namespace plugin {

namespace {

// Constructed with the library's other process-wide objects, before the
// browser calls any entry point.
PluginApp thePluginApp;

std::wstring SystemDirectory() {
    wchar_t directory[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(directory, length);
}

// The user's local application data folder and "Trevalon\Controls" in it;
// "" when the platform names no such folder.
std::wstring PerUserControlsDirectory() {
    fw::UniqueCoTaskString folder;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, folder.put())) ||
        !folder) {
        return {};
    }
    std::wstring directory = folder.get();
    if (!directory.empty() && directory.back() != L'\\') directory += L'\\';
    return directory + L"Trevalon\\Controls";
}

}  // namespace

PluginApp& ThePluginApp() { return thePluginApp; }

PluginApp::PluginApp() : fw::CWinApp(nullptr) {}

PluginApp::~PluginApp() = default;

BOOL PluginApp::InitInstance() {
    SetRegistryKey("Trevalon");
    SetProfileName("Trevalon");
    ocxStorageDirectory = GetProfileString(L"Directories", L"Ocx Storage", SystemDirectory());
    perUserStorageDirectory = PerUserControlsDirectory();
    return TRUE;
}

}  // namespace plugin
