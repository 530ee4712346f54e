// ControlRegistryEntry: is a control installed in the version a property file
// asks for, and self-registration of a placed control file. A caller makes
// one on the stack for one question; nothing is cached between lookups.
#pragma once

#include <optional>
#include <span>
#include <string>

#include <windows.h>

namespace install {

class ControlRegistryEntry {
public:
    // Where the last IsInstalled stopped; only Installed answers true.
    enum class Outcome {
        NotRegistered,  // "CLSID" unreadable, or the class has no key
        NotAControl,    // class key without "Control" (or not openable)
        NoServer,       // no readable "InprocServer32" default value
        ServerMissing,  // the registered server file does not exist
        OtherVersion,   // product version differs (newer ones too)
        Installed,
    };

    ControlRegistryEntry() = default;
    ControlRegistryEntry(const ControlRegistryEntry&) = delete;
    ControlRegistryEntry& operator=(const ControlRegistryEntry&) = delete;
    virtual ~ControlRegistryEntry() = default;

    // True when the class's own key (opened by name, never searched for)
    // under HKEY_CURRENT_USER\Software\Classes\CLSID when the user has one,
    // else under HKEY_CLASSES_ROOT\CLSID (the platform's merged view
    // prefers the user's classes), marks it as a control, its server file (see
    // ServerFileOf) exists and, unless
    // `requiredVersion` is empty, the file's ProductVersion text equals it
    // byte for byte.
    bool IsInstalled(CLSID clsid, std::string requiredVersion);
    Outcome LastOutcome() const { return outcome_; }

    // The "ProductVersion" text of the file's first translation, or "".
    static std::string GetProductVersion(const std::string& filePath);

    // Loads the control file at `path` and calls its DllRegisterServer (or
    // DllUnregisterServer); true when that returned a success code. COM is
    // initialised only for the call.
    bool RegisterServer(bool registerIt, const std::string& path);

    std::string serverPath;  // the server file as checked (ServerFileOf), once read
    std::string clsidText;   // the class key's name, when the server is missing
    std::string progId;      // "ProgID" default value, when the server is missing
    std::string typeLib;     // "TypeLib" default value, when the server is missing

private:
    void CheckClass(HKEY classes, const std::string& keyName, const std::string& requiredVersion);
    void RecordMissingServer(HKEY classKey, const std::string& keyName);

    Outcome outcome_ = Outcome::NotRegistered;
};

// The ProductVersion text of a version-information block as read by
// GetFileVersionInfoA; "" when any part is missing or would lie outside the
// block, whatever lengths the block claims. The query may write converted
// text into the block's spare half.
std::string ProductVersionInBlock(std::span<BYTE> block);

// The server file that the class key `classKey` registers, as a real
// installation writes it: the "InprocServer32" default value without
// enclosing double quotes, environment variables expanded when the value is
// REG_EXPAND_SZ, and a bare file name located where the loader would find it.
// nullopt when the value is missing or unreadable (also one that fills 520
// characters without a terminating zero). Whether the file exists is not
// checked.
std::optional<std::wstring> ServerFileOf(HKEY classKey);

// ServerFileOf for the class key of `clsid` as IsInstalled finds it;
// nullopt also when the class has no key.
std::optional<std::wstring> RegisteredServerFile(const CLSID& clsid);

}  // namespace install
