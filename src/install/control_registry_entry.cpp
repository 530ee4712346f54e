// Installed-control lookup: the class's own key under HKEY_CLASSES_ROOT\CLSID,
// opened by name, and the product version of its server file.
#include "install/control_registry_entry.h"

#include <cstring>
#include <cwchar>
#include <optional>
#include <vector>

#include <objbase.h>
#include <winver.h>

#include "framework/class_id_text.h"
#include "framework/unique_resource.h"

namespace install {

namespace {

constexpr DWORD kValueChars = 520;  // registry text values are read into this many characters
// Under HKEY_CURRENT_USER: the user's own classes, which take precedence
// over the machine's.
constexpr char kUserClasses[] = "Software\\Classes\\CLSID";

fw::UniqueHKey OpenKey(HKEY parent, const char* name, LONG* error = nullptr) {
    HKEY key = nullptr;
    const LONG status = ::RegOpenKeyA(parent, name, &key);
    if (error != nullptr) *error = status;
    if (status != ERROR_SUCCESS) return {};
    return fw::UniqueHKey(key);
}

// The default value of `subkey` as UTF-16 text, with its registry type. A
// value that is no text (REG_SZ or REG_EXPAND_SZ) or that fills the buffer
// without a terminating zero is not readable.
std::optional<std::wstring> ReadDefaultValue(HKEY key, const wchar_t* subkey, DWORD* type = nullptr) {
    HKEY raw = nullptr;
    if (::RegOpenKeyW(key, subkey, &raw) != ERROR_SUCCESS) return std::nullopt;
    const fw::UniqueHKey valueKey(raw);
    wchar_t buffer[kValueChars] = {};
    DWORD bytes = sizeof buffer;
    DWORD valueType = REG_NONE;
    if (::RegQueryValueExW(valueKey.get(), nullptr, nullptr, &valueType,
                           reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
        (valueType != REG_SZ && valueType != REG_EXPAND_SZ)) {
        return std::nullopt;
    }
    const wchar_t* end = std::wmemchr(buffer, L'\0', kValueChars);
    if (end == nullptr) return std::nullopt;
    if (type != nullptr) *type = valueType;
    return std::wstring(buffer, size_t(end - buffer));
}

std::string Narrow(const std::wstring& text) {
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string narrow(size_t(bytes), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(size_t(bytes - 1));
    return narrow;
}

std::wstring Widen(const std::string& text) {
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (chars <= 1) return {};
    std::wstring wide(size_t(chars), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), chars);
    wide.resize(size_t(chars - 1));
    return wide;
}

std::wstring ExpandEnvironment(const std::wstring& text) {
    const DWORD chars = ::ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (chars == 0) return text;
    std::wstring expanded(chars, L'\0');
    const DWORD written = ::ExpandEnvironmentStringsW(text.c_str(), expanded.data(), chars);
    if (written == 0 || written > chars) return text;
    expanded.resize(written - 1);
    return expanded;
}

// A bare file name is found where the loader would find it; anything with a
// directory part is taken as it is.
std::wstring LocateBareName(const std::wstring& name) {
    if (name.find_first_of(L"\\/:") != std::wstring::npos) return name;
    wchar_t found[MAX_PATH];
    const DWORD chars = ::SearchPathW(nullptr, name.c_str(), nullptr, MAX_PATH, found, nullptr);
    return chars == 0 || chars >= MAX_PATH ? name : std::wstring(found, chars);
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The key's own name as the registry spells it (the case it was created
// with); `fallback` when the registry does not say.
std::string KeyNameAsWritten(HKEY key, const std::string& fallback) {
    struct BasicInformation {
        LARGE_INTEGER lastWriteTime;
        ULONG titleIndex;
        ULONG nameBytes;
        WCHAR name[kValueChars];
    } information{};
    using QueryKey = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    constexpr int kKeyBasicInformation = 0;
    // Looked up on each call: a function-local static would bring the thread
    // library's guarded initialisation into the DLL.
    const auto query = reinterpret_cast<QueryKey>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
    ULONG written = 0;
    if (query == nullptr ||
        query(key, kKeyBasicInformation, &information, sizeof information, &written) != 0 ||
        information.nameBytes / sizeof(WCHAR) > kValueChars) {
        return fallback;
    }
    std::wstring name(information.name, information.nameBytes / sizeof(WCHAR));
    const size_t slash = name.rfind(L'\\');
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const std::string narrow = Narrow(name);
    return narrow.empty() ? fallback : narrow;
}

// The "CLSID" key to look `name` up in: the user's own classes when they
// hold it (a per-user installation, which the platform's merged view of the
// classes prefers), else HKEY_CLASSES_ROOT's.
fw::UniqueHKey ClassesHolding(const std::string& name) {
    fw::UniqueHKey user = OpenKey(HKEY_CURRENT_USER, kUserClasses);
    if (user && OpenKey(user.get(), name.c_str())) return user;
    return OpenKey(HKEY_CLASSES_ROOT, "CLSID");
}

std::string CanonicalClassIdText(const CLSID& clsid) { return Narrow(fw::ClassIdText(clsid)); }

// Whether the `length` bytes at `at` lie inside `block`.
bool Inside(std::span<const BYTE> block, const void* at, size_t length) {
    const BYTE* first = static_cast<const BYTE*>(at);
    const BYTE* end = block.data() + block.size();
    return first >= block.data() && first <= end && length <= size_t(end - first);
}

std::string ProductVersionOf(const std::wstring& filePath) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(filePath.c_str(), &ignored);
    if (size == 0) return {};
    std::vector<BYTE> block(size);
    if (!::GetFileVersionInfoW(filePath.c_str(), 0, size, block.data())) return {};
    return ProductVersionInBlock(block);
}

}  // namespace

std::optional<std::wstring> ServerFileOf(HKEY classKey) {
    DWORD type = REG_NONE;
    std::optional<std::wstring> value = ReadDefaultValue(classKey, L"InprocServer32", &type);
    if (!value) return std::nullopt;
    std::wstring path = std::move(*value);
    if (path.size() >= 2 && path.front() == L'"') {
        const size_t close = path.find(L'"', 1);
        if (close != std::wstring::npos) path = path.substr(1, close - 1);
    }
    if (type == REG_EXPAND_SZ) path = ExpandEnvironment(path);
    return LocateBareName(path);
}

std::optional<std::wstring> RegisteredServerFile(const CLSID& clsid) {
    const std::string name = CanonicalClassIdText(clsid);
    const fw::UniqueHKey classes = ClassesHolding(name);
    const fw::UniqueHKey classKey = classes ? OpenKey(classes.get(), name.c_str()) : fw::UniqueHKey();
    if (!classKey) return std::nullopt;
    return ServerFileOf(classKey.get());
}

bool ControlRegistryEntry::IsInstalled(CLSID clsid, std::string requiredVersion) {
    outcome_ = Outcome::NotRegistered;
    const std::string name = CanonicalClassIdText(clsid);
    const fw::UniqueHKey classes = ClassesHolding(name);
    if (!classes) return false;
    CheckClass(classes.get(), name, requiredVersion);
    return outcome_ == Outcome::Installed;
}

// Examines the key of the wanted class, opened by its name (the registry
// compares key names without regard to case).
void ControlRegistryEntry::CheckClass(HKEY classes, const std::string& keyName,
                                      const std::string& requiredVersion) {
    LONG status = ERROR_SUCCESS;
    const fw::UniqueHKey classKey = OpenKey(classes, keyName.c_str(), &status);
    if (!classKey) {
        outcome_ = status == ERROR_FILE_NOT_FOUND ? Outcome::NotRegistered : Outcome::NotAControl;
        return;
    }
    outcome_ = Outcome::NotAControl;
    const fw::UniqueHKey control = OpenKey(classKey.get(), "Control");
    if (!control) return;
    const std::optional<std::wstring> server = ServerFileOf(classKey.get());
    if (!server) {
        outcome_ = Outcome::NoServer;
        return;
    }
    serverPath = Narrow(*server);
    if (!FileExists(*server)) {
        RecordMissingServer(classKey.get(), KeyNameAsWritten(classKey.get(), keyName));
        outcome_ = Outcome::ServerMissing;
    } else if (requiredVersion.empty() || ProductVersionOf(*server) == requiredVersion) {
        outcome_ = Outcome::Installed;
    } else {
        outcome_ = Outcome::OtherVersion;
    }
}

void ControlRegistryEntry::RecordMissingServer(HKEY classKey, const std::string& keyName) {
    clsidText = keyName;
    if (std::optional<std::wstring> value = ReadDefaultValue(classKey, L"ProgID")) progId = Narrow(*value);
    if (std::optional<std::wstring> value = ReadDefaultValue(classKey, L"TypeLib")) typeLib = Narrow(*value);
}

std::string ControlRegistryEntry::GetProductVersion(const std::string& filePath) {
    return ProductVersionOf(Widen(filePath));
}

std::string ProductVersionInBlock(std::span<BYTE> block) {
    void* table = nullptr;
    UINT tableBytes = 0;
    if (!::VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &table, &tableBytes)) return {};
    DWORD first = 0;
    if (tableBytes < sizeof first || !Inside(block, table, sizeof first)) return {};
    std::memcpy(&first, table, sizeof first);

    char query[64];
    // The platform's formatting (the C library's would bring its whole printf
    // machinery into the DLL); the text always fits.
    ::wsprintfA(query, "\\StringFileInfo\\%04X%04X\\ProductVersion", unsigned(LOWORD(first)),
                unsigned(HIWORD(first)));
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
