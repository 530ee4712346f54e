#include "framework/win_app.h"

#include <vector>

#include "framework/unique_resource.h"

namespace fw {
namespace {

CWinApp* theApp = nullptr;
HINSTANCE resourceModule = nullptr;

}  // namespace

CWinApp::CWinApp(const char* appName) : appName_(appName ? appName : "") { theApp = this; }

CWinApp::~CWinApp() {
    if (theApp == this) theApp = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::ExitInstance() { return 0; }

void CWinApp::SetRegistryKey(const char* key) { registryKey_ = key ? key : ""; }

void CWinApp::SetProfileName(const char* name) { profileName_ = name ? name : ""; }

std::string CWinApp::GetProfileString(const char* section, const char* entry,
                                      const char* defaultValue) const {
    const std::string fallback = defaultValue ? defaultValue : "";
    if (registryKey_.empty() || !section || !entry) return fallback;

    const std::string path =
        "Software\\" + registryKey_ + "\\" + profileName_ + "\\" + section;
    UniqueHKey key;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return fallback;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return fallback;
    }
    std::vector<char> buffer(size + 1, '\0');
    if (::RegQueryValueExA(key.get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                           &size) != ERROR_SUCCESS) {
        return fallback;
    }
    return std::string(buffer.data());  // up to the first zero, never past the buffer
}

namespace {

std::wstring WidenAnsi(const std::string& text) {
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (chars <= 1) return {};
    std::wstring wide(std::size_t(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), chars);
    wide.resize(std::size_t(chars - 1));
    return wide;
}

}  // namespace

std::wstring CWinApp::GetProfileString(const wchar_t* section, const wchar_t* entry,
                                       const std::wstring& defaultValue) const {
    if (registryKey_.empty() || !section || !entry) return defaultValue;
    const std::wstring path = L"Software\\" + WidenAnsi(registryKey_) + L"\\" +
                              WidenAnsi(profileName_) + L"\\" + section;
    UniqueHKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_READ | KEY_WRITE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return defaultValue;
    }
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return defaultValue;
    }
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    size = DWORD(buffer.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), entry, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                           &size) != ERROR_SUCCESS) {
        return defaultValue;
    }
    buffer.back() = L'\0';
    return std::wstring(buffer.data());  // up to the first zero, never past the buffer
}

CWinApp* AfxGetApp() { return theApp; }

HINSTANCE AfxGetResourceHandle() {
    return resourceModule ? resourceModule : ::GetModuleHandleW(nullptr);
}

void AfxSetResourceHandle(HINSTANCE module) { resourceModule = module; }

}  // namespace fw
