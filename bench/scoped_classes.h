// Extra class keys for the benchmarks: written under one "CLSID" key (the
// user's own classes where Windows merges them into HKEY_CLASSES_ROOT) and
// all deleted when the object goes, on every way out of the benchmark.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "class_id_text.h"
#include "framework/unique_resource.h"

namespace bench {

// A fresh class id whose first field is `first`, so that its key sorts where
// the benchmark wants it.
inline CLSID ClassIdAt(DWORD first, WORD second = 0) {
    CLSID clsid{};
    ::CoCreateGuid(&clsid);
    clsid.Data1 = first;
    if (second != 0) clsid.Data2 = second;
    return clsid;
}

class ScopedClasses {
public:
    explicit ScopedClasses(fw::UniqueHKey root) : root_(std::move(root)) {}
    ScopedClasses(const ScopedClasses&) = delete;
    ScopedClasses& operator=(const ScopedClasses&) = delete;
    ~ScopedClasses() { Clear(); }

    // Registers `clsid`: a bare key, or a control served by `server`.
    bool Add(const CLSID& clsid, const std::string* server) {
        const std::string name = test::ClassIdText(clsid);
        HKEY raw = nullptr;
        if (::RegCreateKeyA(root_.get(), name.c_str(), &raw) != ERROR_SUCCESS) return false;
        names_.push_back(name);
        const fw::UniqueHKey key(raw);
        if (server == nullptr) return true;
        HKEY control = nullptr;
        if (::RegCreateKeyA(key.get(), "Control", &control) != ERROR_SUCCESS) return false;
        const fw::UniqueHKey controlKey(control);
        return ::RegSetValueA(key.get(), "InprocServer32", REG_SZ, server->c_str(),
                              DWORD(server->size())) == ERROR_SUCCESS;
    }

    // `count` bare keys whose names sort first (their first fields are 0, 1, ...).
    bool AddDecoys(int count) {
        for (int i = 0; i < count; ++i) {
            if (!Add(ClassIdAt(DWORD(i)), nullptr)) return false;
        }
        return true;
    }

    void Clear() {
        for (const std::string& name : names_) ::RegDeleteTreeA(root_.get(), name.c_str());
        names_.clear();
    }

    // Opens the "CLSID" key that HKEY_CLASSES_ROOT shows: the user's own
    // when Windows merges it in, else HKEY_CLASSES_ROOT's. `where` names it.
    static fw::UniqueHKey OpenClassList(const char*& where) {
        const bool merged = UserClassesAreMerged();
        where = merged ? "HKCU\\Software\\Classes\\CLSID" : "HKCR\\CLSID";
        HKEY raw = nullptr;
        if (::RegCreateKeyA(merged ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT,
                            merged ? "Software\\Classes\\CLSID" : "CLSID", &raw) != ERROR_SUCCESS) {
            return {};
        }
        return fw::UniqueHKey(raw);
    }

private:
    // Whether classes written under HKCU\Software\Classes are seen through
    // HKEY_CLASSES_ROOT (Windows merges them; some hosts do not).
    static bool UserClassesAreMerged() {
        HKEY raw = nullptr;
        if (::RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID", &raw) != ERROR_SUCCESS) {
            return false;
        }
        ScopedClasses probe{fw::UniqueHKey(raw)};
        const CLSID clsid = ClassIdAt(0x12345678);
        if (!probe.Add(clsid, nullptr)) return false;
        HKEY seen = nullptr;
        const bool merged = ::RegOpenKeyA(HKEY_CLASSES_ROOT, ("CLSID\\" + test::ClassIdText(clsid)).c_str(),
                                          &seen) == ERROR_SUCCESS;
        const fw::UniqueHKey seenKey(seen);
        return merged;
    }

    fw::UniqueHKey root_;
    std::vector<std::string> names_;
};

}  // namespace bench
