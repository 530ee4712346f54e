#include "install/control_placement.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>

#include <windows.h>
#include <lzexpand.h>

#include "framework/unique_resource.h"

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

}  // namespace install
