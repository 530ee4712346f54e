#include "plugin_finder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include <windows.h>

#include "handles.h"

namespace nphost {
namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The machine a PE file was built for (IMAGE_FILE_MACHINE_...), from its
// headers; 0 when the file is missing or no PE file.
WORD MachineOf(const std::string& path) {
    const UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return 0;
    auto readAt = [&](LONG offset, void* into, DWORD size) {
        DWORD read = 0;
        return ::SetFilePointer(file.get(), offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
               ::ReadFile(file.get(), into, size, &read, nullptr) && read == size;
    };
    IMAGE_DOS_HEADER dos = {};
    DWORD signature = 0;
    IMAGE_FILE_HEADER header = {};
    if (!readAt(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0 ||
        !readAt(dos.e_lfanew, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
        !readAt(dos.e_lfanew + static_cast<LONG>(sizeof signature), &header, sizeof header)) {
        return 0;
    }
    return header.Machine;
}

// Whether this program can load the DLL: as browsers do, a plug-in built for
// another machine (a 32-bit DLL in a 64-bit browser, where the user's
// MozillaPlugins key lists both builds) is passed over.
bool LoadableHere(const std::string& dllPath) {
#if defined(_WIN64)
    constexpr WORD kThisMachine = IMAGE_FILE_MACHINE_AMD64;
#else
    constexpr WORD kThisMachine = IMAGE_FILE_MACHINE_I386;
#endif
    return MachineOf(dllPath) == kThisMachine;
}

bool Serves(const std::string& dllPath, const std::string& mimeType) {
    if (!LoadableHere(dllPath)) return false;
    for (const std::string& type : MimeTypesOf(dllPath)) {
        if (EqualNoCase(type, mimeType)) return true;
    }
    return false;
}

// The subkey's "Path" value of any length (REG_SZ, or REG_EXPAND_SZ, which
// RRF_RT_REG_SZ reads with its variables expanded); nothing when it has none.
std::optional<std::string> PathValue(HKEY plugins, const char* subkey) {
    DWORD size = 0;
    if (::RegGetValueA(plugins, subkey, "Path", RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<char> value(size + 1, '\0');
    size = static_cast<DWORD>(value.size());
    if (::RegGetValueA(plugins, subkey, "Path", RRF_RT_REG_SZ, nullptr, value.data(), &size) != ERROR_SUCCESS ||
        !value[0]) {
        return std::nullopt;
    }
    return std::string(value.data());
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::vector<std::string> MimeTypesOf(const std::string& dllPath) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(dllPath.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<char> block(size);
    if (!::GetFileVersionInfoA(dllPath.c_str(), 0, size, block.data())) return {};

    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                          reinterpret_cast<void**>(&translations), &length)) {
        return {};
    }
    std::vector<std::string> types;
    for (UINT i = 0; i < length / sizeof(Translation); ++i) {
        char query[64];
        std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\MIMEType",
                      translations[i].language, translations[i].codePage);
        char* value = nullptr;
        UINT valueLength = 0;
        if (!::VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &valueLength) ||
            !value) {
            continue;
        }
        std::string list(value);
        std::size_t start = 0;
        while (start <= list.size()) {
            const std::size_t bar = list.find('|', start);
            const std::string type = Trimmed(list.substr(start, bar == std::string::npos ? bar : bar - start));
            if (!type.empty()) types.push_back(type);
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
    }
    return types;
}

std::optional<std::string> FindPluginIn(const std::string& directory, const std::string& mimeType) {
    WIN32_FIND_DATAA found = {};
    const UniqueFindHandle search(::FindFirstFileA((directory + "\\*.dll").c_str(), &found));
    if (!search) return std::nullopt;
    std::vector<std::string> names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (::FindNextFileA(search.get(), &found));
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::string path = directory + "\\" + name;
        if (Serves(path, mimeType)) return path;
    }
    return std::nullopt;
}

std::optional<FoundPlugin> FindPluginUnder(HKEY plugins, const std::string& mimeType) {
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        const LSTATUS status = ::RegEnumKeyExA(plugins, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;  // longer than any key name may be
        if (status != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& subkey : names) {
        const std::optional<std::string> path = PathValue(plugins, subkey.c_str());
        if (path && Serves(*path, mimeType)) return FoundPlugin{*path, subkey};
    }
    return std::nullopt;
}

std::optional<FoundPlugin> FindPlugin(const std::string& mimeType, const std::vector<std::string>& directories) {
    const struct {
        HKEY hive;
        const char* name;
    } hives[] = {{HKEY_CURRENT_USER, "HKEY_CURRENT_USER"}, {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"}};
    for (const auto& hive : hives) {
        HKEY opened = nullptr;
        if (::RegOpenKeyExA(hive.hive, kMozillaPluginsKey, 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
        const UniqueKey plugins(opened);
        if (auto found = FindPluginUnder(plugins.get(), mimeType)) {
            found->where = std::string(hive.name) + "\\" + kMozillaPluginsKey + "\\" + found->where;
            return found;
        }
    }
    for (const std::string& directory : directories) {
        if (auto found = FindPluginIn(directory, mimeType)) return FoundPlugin{*found, directory};
    }
    return std::nullopt;
}

std::vector<std::string> PluginDirectories(const std::optional<std::string>& localPagePath) {
    std::vector<std::string> directories;
    if (localPagePath) {
        char full[MAX_PATH] = {};
        const DWORD length = ::GetFullPathNameA(localPagePath->c_str(), MAX_PATH, full, nullptr);
        if (length > 0 && length < MAX_PATH) directories.push_back(DirectoryOf(full) + "\\plugins");
    }
    char program[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    if (length > 0 && length < MAX_PATH) directories.push_back(DirectoryOf(program));
    return directories;
}

}  // namespace nphost
