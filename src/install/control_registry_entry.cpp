// Installed-control lookup in HKEY_CLASSES_ROOT\CLSID and the product version
// of a server file.
#include "install/control_registry_entry.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include <objbase.h>
#include <winver.h>

#include "framework/unique_resource.h"

namespace install {

namespace {

constexpr DWORD kKeyNameChars = 261;  // terminating zero included
constexpr LONG kValueBytes = 520;

fw::UniqueHKey OpenKey(HKEY parent, const char* name) {
    HKEY key = nullptr;
    if (::RegOpenKeyA(parent, name, &key) != ERROR_SUCCESS) return {};
    return fw::UniqueHKey(key);
}

// The default value of `subkey` as text. A value that fills the buffer without
// a terminating zero is not readable.
std::optional<std::string> ReadDefaultValue(HKEY key, const char* subkey) {
    char buffer[kValueBytes] = {};
    LONG size = kValueBytes;
    if (::RegQueryValueA(key, subkey, buffer, &size) != ERROR_SUCCESS) return std::nullopt;
    const void* end = std::memchr(buffer, 0, sizeof buffer);
    if (end == nullptr) return std::nullopt;
    return std::string(buffer, static_cast<size_t>(static_cast<const char*>(end) - buffer));
}

// Whether a key name under "CLSID" is the brace-enclosed text of `wanted`.
// Only GUID text is parsed: anything else (a ProgID among them) never matches.
bool NamesClass(const char* keyName, const CLSID& wanted) {
    constexpr size_t kGuidTextChars = 38;  // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}
    if (std::strlen(keyName) != kGuidTextChars || keyName[0] != '{') return false;
    wchar_t wide[kKeyNameChars];
    if (::MultiByteToWideChar(CP_ACP, 0, keyName, -1, wide, kKeyNameChars) == 0) return false;
    CLSID parsed;
    return SUCCEEDED(::CLSIDFromString(wide, &parsed)) &&
           std::memcmp(&parsed, &wanted, sizeof parsed) == 0;
}

bool FileExists(const std::string& path) {
    OFSTRUCT info{};
    info.cBytes = sizeof info;
    return ::OpenFile(path.c_str(), &info, OF_EXIST) != HFILE_ERROR;
}

// Whether the `length` bytes at `at` lie inside `block`.
bool Inside(std::span<const BYTE> block, const void* at, size_t length) {
    const BYTE* first = static_cast<const BYTE*>(at);
    const BYTE* end = block.data() + block.size();
    return first >= block.data() && first <= end && length <= size_t(end - first);
}

}  // namespace

bool ControlRegistryEntry::IsInstalled(CLSID clsid, std::string requiredVersion) {
    outcome_ = Outcome::NotRegistered;
    const fw::UniqueHKey classes = OpenKey(HKEY_CLASSES_ROOT, "CLSID");
    if (!classes) return false;
    char keyName[kKeyNameChars];
    for (DWORD index = 0; ::RegEnumKeyA(classes.get(), index, keyName, kKeyNameChars) == ERROR_SUCCESS;
         ++index) {
        if (NamesClass(keyName, clsid) && CheckClass(classes.get(), keyName, requiredVersion)) break;
    }
    return outcome_ == Outcome::Installed;
}

// Examines the class key that names the wanted class; true when the scan ends
// here. A class key that fails before its server is known lets the scan go on.
bool ControlRegistryEntry::CheckClass(HKEY classes, const char* keyName,
                                      const std::string& requiredVersion) {
    outcome_ = Outcome::NotAControl;
    const fw::UniqueHKey classKey = OpenKey(classes, keyName);
    if (!classKey) return false;
    const fw::UniqueHKey control = OpenKey(classKey.get(), "Control");
    if (!control) return false;
    const std::optional<std::string> server = ReadDefaultValue(classKey.get(), "InprocServer32");
    if (!server) {
        outcome_ = Outcome::NoServer;
        return false;
    }
    serverPath = *server;
    if (!FileExists(serverPath)) {
        RecordMissingServer(classKey.get(), keyName);
        outcome_ = Outcome::ServerMissing;
    } else if (requiredVersion.empty() || GetProductVersion(serverPath) == requiredVersion) {
        outcome_ = Outcome::Installed;
    } else {
        outcome_ = Outcome::OtherVersion;
    }
    return true;
}

void ControlRegistryEntry::RecordMissingServer(HKEY classKey, const char* keyName) {
    clsidText = keyName;
    if (std::optional<std::string> value = ReadDefaultValue(classKey, "ProgID")) progId = *value;
    if (std::optional<std::string> value = ReadDefaultValue(classKey, "TypeLib")) typeLib = *value;
}

std::string ControlRegistryEntry::GetProductVersion(const std::string& filePath) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(filePath.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoA(filePath.c_str(), 0, size, block.data())) return {};
    return ProductVersionInBlock(block);
}

std::string ProductVersionInBlock(std::span<BYTE> block) {
    void* table = nullptr;
    UINT tableBytes = 0;
    if (!::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &table, &tableBytes)) return {};
    DWORD first = 0;
    if (tableBytes < sizeof first || !Inside(block, table, sizeof first)) return {};
    std::memcpy(&first, table, sizeof first);

    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04hX%04hX\\ProductVersion",
                  LOWORD(first), HIWORD(first));
    void* text = nullptr;
    UINT ignoredLength = 0;
    if (!::VerQueryValueA(block.data(), query, &text, &ignoredLength)) return {};
    if (!Inside(block, text, 0)) return {};
    const size_t room = size_t(block.data() + block.size() - static_cast<const BYTE*>(text));
    const void* end = std::memchr(text, 0, room);
    if (end == nullptr) return {};
    return std::string(static_cast<const char*>(text), static_cast<const char*>(end));
}

}  // namespace install
