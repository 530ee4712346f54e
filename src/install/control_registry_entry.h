// ControlRegistryEntry: is a control installed in the version a property file
// asks for, and self-registration of a placed control file. A caller makes
// one on the stack for one question; nothing is cached between lookups.
#pragma once

#include <span>
#include <string>

#include <windows.h>

namespace install {

class ControlRegistryEntry {
public:
    // Where the last IsInstalled stopped; only Installed answers true.
    enum class Outcome {
        NotRegistered,  // "CLSID" unreadable, or no key names the class
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

    // True when the class is registered as a control under
    // HKEY_CLASSES_ROOT\CLSID, its server file exists and, unless
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

    std::string serverPath;  // "InprocServer32" default value, once read
    std::string clsidText;   // the class key's name, when the server is missing
    std::string progId;      // "ProgID" default value, when the server is missing
    std::string typeLib;     // "TypeLib" default value, when the server is missing

private:
    bool CheckClass(HKEY classes, const char* keyName, const std::string& requiredVersion);
    void RecordMissingServer(HKEY classKey, const char* keyName);

    Outcome outcome_ = Outcome::NotRegistered;
};

// The ProductVersion text of a version-information block as read by
// GetFileVersionInfoA; "" when any part is missing or would lie outside the
// block, whatever lengths the block claims. The query may write converted
// text into the block's spare half.
std::string ProductVersionInBlock(std::span<BYTE> block);

}  // namespace install
