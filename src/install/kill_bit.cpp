#include "install/kill_bit.h"

#include <algorithm>
#include <string>
#include <vector>

#include <objbase.h>

#include "framework/class_id_text.h"
#include "framework/effective_class.h"
#include "framework/unique_resource.h"

namespace install {

namespace {

constexpr wchar_t kCompatibilityKey[] =
    L"SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\";
constexpr DWORD kKillBit = 0x400;

bool IsThisClassKilled(const CLSID& clsid) {
    const std::wstring path = kCompatibilityKey + fw::ClassIdText(clsid);
    fw::UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD type = 0;
    DWORD flags = 0;
    DWORD size = sizeof flags;
    if (::RegQueryValueExW(key.get(), L"Compatibility Flags", nullptr, &type,
                           reinterpret_cast<BYTE*>(&flags), &size) != ERROR_SUCCESS) {
        return false;
    }
    return type == REG_DWORD && size == sizeof flags && (flags & kKillBit) != 0;
}

}  // namespace

bool IsClassKilled(const CLSID& clsid) {
    const std::vector<CLSID> chain = fw::TreatAsChain(clsid);
    return std::any_of(chain.begin(), chain.end(), IsThisClassKilled);
}

}  // namespace install
