// Cost of one installed-control lookup with 10,000 classes registered ahead of
// the wanted one: for a control that is installed, one that is missing (the
// whole list is scanned) and one whose key comes last. Prints milliseconds
// per lookup; registers its classes on start and removes them on every way out.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>
#include <objbase.h>

#include "class_id_text.h"
#include "framework/unique_resource.h"
#include "install/control_registry_entry.h"

namespace {

using test::ClassIdText;

constexpr int kDecoys = 10000;
constexpr int kRounds = 20;

// A fresh class id whose first field is `first`, so that its key sorts where
// the benchmark wants it.
CLSID ClassIdAt(DWORD first, WORD second = 0) {
    CLSID clsid{};
    ::CoCreateGuid(&clsid);
    clsid.Data1 = first;
    if (second != 0) clsid.Data2 = second;
    return clsid;
}

// The class keys this run wrote, under one "CLSID" key; all deleted when it
// goes.
class ScopedClasses {
public:
    explicit ScopedClasses(fw::UniqueHKey root) : root_(std::move(root)) {}
    ScopedClasses(const ScopedClasses&) = delete;
    ScopedClasses& operator=(const ScopedClasses&) = delete;
    ~ScopedClasses() {
        for (const std::string& name : names_) ::RegDeleteTreeA(root_.get(), name.c_str());
    }

    bool Add(const CLSID& clsid, const std::string* server) {
        const std::string name = ClassIdText(clsid);
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

private:
    fw::UniqueHKey root_;
    std::vector<std::string> names_;
};

// Whether classes written under HKCU\Software\Classes are seen through
// HKEY_CLASSES_ROOT (Windows merges them; some hosts do not).
bool UserClassesAreMerged() {
    HKEY raw = nullptr;
    if (::RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID", &raw) != ERROR_SUCCESS) return false;
    ScopedClasses probe{fw::UniqueHKey(raw)};
    const CLSID clsid = ClassIdAt(0x12345678);
    if (!probe.Add(clsid, nullptr)) return false;
    HKEY seen = nullptr;
    const bool merged =
        ::RegOpenKeyA(HKEY_CLASSES_ROOT, ("CLSID\\" + ClassIdText(clsid)).c_str(), &seen) == ERROR_SUCCESS;
    const fw::UniqueHKey seenKey(seen);
    return merged;
}

double MillisecondsPerLookup(const CLSID& clsid, bool expected) {
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round) {
        install::ControlRegistryEntry entry;
        if (entry.IsInstalled(clsid, "") != expected) {
            std::fprintf(stderr, "unexpected answer for %s\n", ClassIdText(clsid).c_str());
            return -1;
        }
    }
    const std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / kRounds;
}

std::string OwnPath() {
    char path[MAX_PATH];
    return std::string(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
}

}  // namespace

int main() {
    const fw::ScopedCoInitialize com;
    const bool merged = UserClassesAreMerged();
    const char* rootPath = merged ? "Software\\Classes\\CLSID" : "CLSID";
    HKEY raw = nullptr;
    if (::RegCreateKeyA(merged ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT, rootPath, &raw) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot open the class list\n");
        return 1;
    }
    ScopedClasses classes{fw::UniqueHKey(raw)};
    std::printf("registering %d classes under %s\\%s\n", kDecoys, merged ? "HKCU" : "HKCR", rootPath);

    const std::string server = OwnPath();
    for (int i = 0; i < kDecoys; ++i) {
        if (!classes.Add(ClassIdAt(DWORD(i)), nullptr)) {
            std::fprintf(stderr, "cannot register class %d\n", i);
            return 1;
        }
    }
    const CLSID installed = ClassIdAt(0x7FFFFFFF);
    const CLSID last = ClassIdAt(0xFFFFFFFF, 0xFFFF);
    if (!classes.Add(installed, &server) || !classes.Add(last, &server)) return 1;
    const CLSID missing = ClassIdAt(0x80000000);

    std::printf("%-34s %10s\n", "lookup", "ms/lookup");
    std::printf("%-34s %10.3f\n", "installed, after the classes", MillisecondsPerLookup(installed, true));
    std::printf("%-34s %10.3f\n", "missing (whole list scanned)", MillisecondsPerLookup(missing, false));
    std::printf("%-34s %10.3f\n", "installed, last key of the scan", MillisecondsPerLookup(last, true));
    return 0;
}
