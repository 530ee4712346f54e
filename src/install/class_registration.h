// A class's registration as a placement may change it: a control file
// registers itself machine-wide or, redirected, for the current user only;
// what its class key held before can be put back.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

namespace install {

enum class RegistrationScope {
    Machine,  // the control writes HKEY_CLASSES_ROOT as it is
    User,     // HKEY_CLASSES_ROOT redirected to HKEY_CURRENT_USER\Software\Classes
};

// Whether this process may create class keys under
// HKEY_LOCAL_MACHINE\Software\Classes\CLSID (in its own registry view).
bool CanWriteMachineClasses();

// Loads the control file `path` and calls its DllRegisterServer (or
// DllUnregisterServer) with COM initialised for the call; for the User
// scope HKEY_CLASSES_ROOT is redirected to HKEY_CURRENT_USER\Software\Classes
// in this process for the duration of the call. True when the call returned
// a success code.
bool RunSelfRegistration(const std::wstring& path, bool registerIt, RegistrationScope scope);

// Whether HKEY_CURRENT_USER\Software\Classes\CLSID\{clsid} exists.
bool HasUserClassKey(const CLSID& clsid);

// The class key HKEY_CLASSES_ROOT\CLSID\{clsid} as it was when taken, in
// both halves the platform merges (the machine's Software\Classes and the
// user's), with all values and subkeys.
class ClassKeySnapshot {
public:
    explicit ClassKeySnapshot(const CLSID& clsid);

    // Writes back each half that differs from the snapshot (deleting what a
    // registration added, recreating what it removed). False when a half
    // could not be put back.
    bool Restore() const;

    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        bool operator==(const Value&) const = default;
    };
    struct Tree {
        std::vector<Value> values;
        std::vector<std::pair<std::wstring, Tree>> subkeys;
        bool operator==(const Tree&) const = default;
    };

private:
    struct Half {
        HKEY root;
        std::wstring path;
        std::optional<Tree> tree;  // nothing: no key there
    };
    std::vector<Half> halves_;
};

}  // namespace install
