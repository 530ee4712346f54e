#include "install/control_placement.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

#include <windows.h>
#include <lzexpand.h>

#include "framework/unique_resource.h"
#include "install/control_registry_entry.h"
#include "install/kill_bit.h"

namespace install {

namespace {

std::string Upper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

bool IsDeviceName(const std::string& name) {
    // The platform treats "CON.txt" and "con " as the device too.
    std::string_view base(name);
    base = base.substr(0, base.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    const std::string upper = Upper(base);
    static constexpr std::array<std::string_view, 6> kFixed = {"CON", "PRN", "AUX",
                                                              "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kFixed.begin(), kFixed.end(), upper) != kFixed.end()) return true;
    return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
           upper[3] >= '0' && upper[3] <= '9';
}

// The last component of a path, after its last backslash or slash.
std::string_view LastComponent(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

struct FileIdentity {
    DWORD volume;
    DWORD indexHigh;
    DWORD indexLow;
    bool operator==(const FileIdentity&) const = default;
};

constexpr DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Which file `file` is, whatever the spelling of the path it was opened by
// (case, short names, links); nothing for a file that did not open.
std::optional<FileIdentity> IdentityOf(const fw::UniqueHandle& file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !::GetFileInformationByHandle(file.get(), &info)) return std::nullopt;
    return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

// Whether `path` is the file registered as the server of the control
// `clsid`, found as the lookup finds it. The files are opened for no access,
// so a server in use is answered too.
bool IsRegisteredServerOf(const CLSID& clsid, const std::string& path) {
    const std::optional<std::wstring> server = RegisteredServerFile(clsid);
    if (!server) return false;
    const std::optional<FileIdentity> registered = IdentityOf(fw::AdoptFileHandle(::CreateFileW(
        server->c_str(), 0, kAnyShare, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
    return registered && registered == IdentityOf(fw::AdoptFileHandle(::CreateFileA(
                                           path.c_str(), 0, kAnyShare, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
}

// A new, empty file of a unique name in `directory`; its path, or nothing.
std::optional<std::string> NewTemporaryFile(const std::string& directory) {
    char path[MAX_PATH] = {};
    if (::GetTempFileNameA(directory.c_str(), "ocx", 0, path) == 0) return std::nullopt;
    return std::string(path);
}

// The directory part of `path`, without its last separator.
std::string DirectoryOf(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string(".") : path.substr(0, separator);
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.back() == '.' || name.back() == ' ') return false;
    for (const unsigned char c : name) {
        if (c < 0x20 || c == 0x7F || std::strchr("<>:\"/\\|?*", c)) return false;
    }
    return !IsDeviceName(name);
}

std::optional<std::string> PlacedControlPath(const std::string& directory,
                                             const std::string& fileName) {
    if (directory.empty()) return std::nullopt;
    const std::size_t dot = fileName.rfind('.');
    const std::string stem = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    if (stem.empty()) return std::nullopt;
    const std::string placedName = stem + ".ocx";
    if (!IsPlainFileName(placedName)) return std::nullopt;
    const bool hasSeparator = directory.back() == '\\';
    std::string path = directory + (hasSeparator ? "" : "\\") + placedName;
    if (path.size() > kMaxExpansionPath) return std::nullopt;
    return path;
}

bool ExpandLzFile(const std::string& source, const std::string& target) {
    if (source.size() > kMaxExpansionPath || target.size() > kMaxExpansionPath) return false;
    std::string sourceBuffer = source;  // the service takes writable strings
    std::string targetBuffer = target;
    OFSTRUCT sourceInfo{};
    OFSTRUCT targetInfo{};
    fw::UniqueLzFile input(::LZOpenFileA(sourceBuffer.data(), &sourceInfo, OF_READ));
    if (!input) return false;
    fw::UniqueLzFile output(
        ::LZOpenFileA(targetBuffer.data(), &targetInfo, OF_CREATE | OF_WRITE));
    if (!output) return false;
    // When the target cannot be created the service falls back to a name with
    // its last character replaced: that file is not the one asked for.
    const std::string opened(targetInfo.szPathName);
    if (Upper(LastComponent(opened)) != Upper(LastComponent(target))) {
        output.reset();
        ::DeleteFileA(opened.c_str());
        return false;
    }
    const LONG copied = ::LZCopy(input.get(), output.get());
    output.reset();
    if (copied < 0) {
        ::DeleteFileA(target.c_str());
        return false;
    }
    return true;
}

bool PlaceControlFile(const std::string& source, const std::string& target, const CLSID& clsid) {
    DWORD moveFlags = MOVEFILE_WRITE_THROUGH;
    if (::GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        if (!IsRegisteredServerOf(clsid, target)) return false;
        moveFlags |= MOVEFILE_REPLACE_EXISTING;
    }
    const std::optional<std::string> temporary = NewTemporaryFile(DirectoryOf(target));
    if (!temporary) return false;
    // Without MOVEFILE_REPLACE_EXISTING a file that appeared meanwhile stays;
    // with it, a server that is loaded refuses to be replaced.
    if (ExpandLzFile(source, *temporary) &&
        ::MoveFileExA(temporary->c_str(), target.c_str(), moveFlags)) {
        return true;
    }
    ::DeleteFileA(temporary->c_str());
    return false;
}

bool RegisterPlacedControl(const std::string& path, const CLSID& clsid) {
    ControlRegistryEntry registry;
    if (!registry.RegisterServer(true, path)) return false;
    if (!IsClassKilled(clsid)) return true;
    registry.RegisterServer(false, path);
    ::DeleteFileA(path.c_str());
    return false;
}

}  // namespace install
