// The application object of a library: one per module, constructed with the
// module's other process-wide objects. Start-up and exit are run by the
// module's load and unload.
#pragma once

#include <string>

#include <windows.h>

#include "framework/cmd_target.h"

namespace fw {

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    // Start-up; FALSE refuses the module's load.
    virtual BOOL InitInstance();
    // Exit; the result is the module's exit code.
    virtual int ExitInstance();

    // From now on the profile lives under HKEY_CURRENT_USER\Software\<key>\<profile name>.
    void SetRegistryKey(const char* key);
    void SetProfileName(const char* name);
    // The string value `entry` of the profile section `section` (a key below the
    // profile key, created when missing); `defaultValue` when the value is
    // missing or not a string.
    std::string GetProfileString(const char* section, const char* entry,
                                 const char* defaultValue) const;
    // The same as UTF-16 text, with no limit on its length.
    std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry,
                                  const std::wstring& defaultValue) const;

    const std::string& RegistryKey() const { return registryKey_; }
    const std::string& ProfileName() const { return profileName_; }

private:
    std::string appName_;
    std::string registryKey_;
    std::string profileName_;
};

// The module's application object, or null outside its life.
CWinApp* AfxGetApp();

// The module whose resources (dialog templates, icons) the framework loads:
// the plug-in DLL, or the program that links the framework directly.
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE module);

}  // namespace fw
