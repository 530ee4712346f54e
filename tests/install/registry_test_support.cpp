#include "registry_test_support.h"

#include <cctype>

#include <objbase.h>

namespace test {
namespace {

fw::UniqueHKey CreateKey(HKEY parent, const std::string& path) {
    HKEY key = nullptr;
    if (::RegCreateKeyA(parent, path.c_str(), &key) != ERROR_SUCCESS) return {};
    return fw::UniqueHKey(key);
}

bool SetDefault(HKEY parent, const std::string& subkey, const std::string& value,
                bool terminated = true, DWORD type = REG_SZ) {
    const fw::UniqueHKey key = CreateKey(parent, subkey);
    // The registry takes a zero byte right after a string as its terminator,
    // so an unterminated value is written from a copy followed by another byte.
    const std::string data = terminated ? value : value + '!';
    const DWORD bytes = DWORD(value.size() + (terminated ? 1 : 0));
    return key && ::RegSetValueExA(key.get(), nullptr, 0, type,
                                   reinterpret_cast<const BYTE*>(data.data()), bytes) == ERROR_SUCCESS;
}

bool SetWideDefault(HKEY parent, const std::string& subkey, const std::wstring& value) {
    const fw::UniqueHKey key = CreateKey(parent, subkey);
    return key && ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(value.c_str()),
                                   DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

std::string FixturePath(const std::string& fileName) {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string directory(path, length);
    return directory.substr(0, directory.find_last_of('\\') + 1) + fileName;
}

CLSID NewClassId() {
    CLSID clsid{};
    EXPECT_EQ(::CoCreateGuid(&clsid), S_OK);
    return clsid;
}

std::string Lowercase(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

ScopedClassesKey::~ScopedClassesKey() {
    if (!path_.empty()) ::RegDeleteTreeA(HKEY_CLASSES_ROOT, path_.c_str());
}

ScopedClassesKey RegisterClassKey(const std::string& keyName, const ClassRegistration& registration,
                                  std::source_location where) {
    const testing::ScopedTrace trace(where.file_name(), int(where.line()), keyName);
    ScopedClassesKey guard("CLSID\\" + keyName);
    const fw::UniqueHKey classKey = CreateKey(HKEY_CLASSES_ROOT, "CLSID\\" + keyName);
    EXPECT_TRUE(classKey) << "cannot create the class key";
    if (!classKey) return guard;
    bool written = !registration.control || CreateKey(classKey.get(), "Control").valid();
    if (registration.server) {
        written &= SetDefault(classKey.get(), "InprocServer32", *registration.server,
                              registration.serverTerminated,
                              registration.serverExpands ? REG_EXPAND_SZ : REG_SZ);
    }
    if (registration.wideServer) {
        written &= SetWideDefault(classKey.get(), "InprocServer32", *registration.wideServer);
    }
    if (registration.progId) written &= SetDefault(classKey.get(), "ProgID", *registration.progId);
    if (registration.typeLib) written &= SetDefault(classKey.get(), "TypeLib", *registration.typeLib);
    EXPECT_TRUE(written) << "cannot write the class registration";
    return guard;
}

ScopedClassesKey RegisterProgId(const std::string& progId, const std::string& clsidText,
                                std::source_location where) {
    const testing::ScopedTrace trace(where.file_name(), int(where.line()), progId);
    ScopedClassesKey guard(progId);
    const fw::UniqueHKey key = CreateKey(HKEY_CLASSES_ROOT, progId);
    EXPECT_TRUE(key && SetDefault(key.get(), "CLSID", clsidText)) << "cannot write the ProgID";
    return guard;
}

}  // namespace test
