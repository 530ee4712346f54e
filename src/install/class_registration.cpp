#include "install/class_registration.h"

#include <objbase.h>

#include "framework/class_id_text.h"
#include "framework/unique_resource.h"

namespace install {

namespace {

void FreeComLibrary(HINSTANCE library) { ::CoFreeLibrary(library); }
using UniqueComLibrary = fw::UniqueResource<HINSTANCE, FreeComLibrary>;
using SelfRegistration = HRESULT(STDAPICALLTYPE*)();

constexpr wchar_t kMachineClasses[] = L"Software\\Classes\\CLSID";
constexpr wchar_t kUserClasses[] = L"Software\\Classes";
constexpr int kMaxDepth = 8;  // deeper keys are not part of a class registration

// While it lives, this process's HKEY_CLASSES_ROOT is the user's
// Software\Classes; `active()` is false when the redirection failed.
class ScopedUserClassesRoot {
public:
    ScopedUserClassesRoot() {
        active_ = ::RegCreateKeyExW(HKEY_CURRENT_USER, kUserClasses, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, classes_.put(), nullptr) == ERROR_SUCCESS &&
                  ::RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_.get()) == ERROR_SUCCESS;
    }
    ScopedUserClassesRoot(const ScopedUserClassesRoot&) = delete;
    ScopedUserClassesRoot& operator=(const ScopedUserClassesRoot&) = delete;
    ~ScopedUserClassesRoot() {
        if (active_) ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }
    bool active() const { return active_; }

private:
    fw::UniqueHKey classes_;
    bool active_ = false;
};

std::optional<ClassKeySnapshot::Tree> ReadTree(HKEY parent, const std::wstring& path, int depth = 0) {
    fw::UniqueHKey key;
    if (::RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                           &values, &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    ClassKeySnapshot::Tree tree;
    for (DWORD i = 0; i < values; ++i) {
        std::wstring name(longestName + 1, L'\0');
        DWORD nameChars = longestName + 1;
        ClassKeySnapshot::Value value;
        value.data.resize(longestData);
        DWORD bytes = longestData;
        if (::RegEnumValueW(key.get(), i, name.data(), &nameChars, nullptr, &value.type,
                            value.data.data(), &bytes) != ERROR_SUCCESS) {
            continue;
        }
        value.name.assign(name.data(), nameChars);
        value.data.resize(bytes);
        tree.values.push_back(std::move(value));
    }
    if (depth >= kMaxDepth) return tree;
    for (DWORD i = 0; i < subkeys; ++i) {
        std::wstring name(longestSubkey + 1, L'\0');
        DWORD nameChars = longestSubkey + 1;
        if (::RegEnumKeyExW(key.get(), i, name.data(), &nameChars, nullptr, nullptr, nullptr,
                            nullptr) != ERROR_SUCCESS) {
            continue;
        }
        name.resize(nameChars);
        if (std::optional<ClassKeySnapshot::Tree> subtree = ReadTree(key.get(), name, depth + 1)) {
            tree.subkeys.emplace_back(std::move(name), std::move(*subtree));
        }
    }
    return tree;
}

bool WriteTree(HKEY parent, const std::wstring& path, const ClassKeySnapshot::Tree& tree) {
    fw::UniqueHKey key;
    if (::RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool written = true;
    for (const ClassKeySnapshot::Value& value : tree.values) {
        written &= ::RegSetValueExW(key.get(), value.name.empty() ? nullptr : value.name.c_str(), 0,
                                    value.type, value.data.data(), DWORD(value.data.size())) ==
                   ERROR_SUCCESS;
    }
    for (const auto& [name, subtree] : tree.subkeys) written &= WriteTree(key.get(), name, subtree);
    return written;
}

}  // namespace

bool CanWriteMachineClasses() {
    fw::UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMachineClasses, 0, KEY_CREATE_SUB_KEY | KEY_SET_VALUE,
                           key.put()) == ERROR_SUCCESS;
}

bool RunSelfRegistration(const std::wstring& path, bool registerIt, RegistrationScope scope) {
    // Declared in this order, so the library is freed before the redirection
    // ends and COM is uninitialised last.
    const fw::ScopedCoInitialize com;
    if (!com.succeeded()) return false;
    std::optional<ScopedUserClassesRoot> userRoot;
    if (scope == RegistrationScope::User && !userRoot.emplace().active()) return false;
    const UniqueComLibrary library(::LoadLibraryW(path.c_str()));
    if (reinterpret_cast<UINT_PTR>(library.get()) <= 32) return false;
    const auto entry = reinterpret_cast<SelfRegistration>(
        ::GetProcAddress(library.get(), registerIt ? "DllRegisterServer" : "DllUnregisterServer"));
    return entry != nullptr && SUCCEEDED(entry());
}

bool HasUserClassKey(const CLSID& clsid) {
    const std::wstring path = std::wstring(kUserClasses) + L"\\CLSID\\" + fw::ClassIdText(clsid);
    fw::UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

ClassKeySnapshot::ClassKeySnapshot(const CLSID& clsid) {
    const std::wstring text = fw::ClassIdText(clsid);
    for (const auto& [root, base] : {std::pair{HKEY_LOCAL_MACHINE, kMachineClasses},
                                     std::pair{HKEY_CURRENT_USER, L"Software\\Classes\\CLSID"}}) {
        const std::wstring path = std::wstring(base) + L"\\" + text;
        halves_.push_back({root, path, ReadTree(root, path)});
    }
}

bool ClassKeySnapshot::Restore() const {
    bool restored = true;
    for (const Half& half : halves_) {
        if (ReadTree(half.root, half.path) == half.tree) continue;
        const LONG deleted = ::RegDeleteTreeW(half.root, half.path.c_str());
        restored &= deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
        if (half.tree) restored &= WriteTree(half.root, half.path, *half.tree);
    }
    return restored;
}

}  // namespace install
