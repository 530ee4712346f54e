// Helpers of the lookup and self-registration tests: fresh class ids, class
// registrations in HKEY_CLASSES_ROOT that are removed again when the guard
// goes (also after a failed assertion), and the fixture servers' paths.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <source_location>
#include <string>
#include <utility>

#include <windows.h>

#include "class_id_text.h"
#include "framework/unique_resource.h"

namespace test {

// A fixture file next to the test program.
std::string FixturePath(const std::string& fileName);

CLSID NewClassId();
std::string Lowercase(std::string text);

// What to write under HKEY_CLASSES_ROOT\CLSID\<key name>.
struct ClassRegistration {
    bool control = true;
    std::optional<std::string> server;  // the "InprocServer32" default value
    bool serverTerminated = true;       // written without its zero byte when false
    bool serverExpands = false;         // written as REG_EXPAND_SZ when true
    std::optional<std::wstring> wideServer;  // written as UTF-16 instead of `server`
    std::optional<std::string> progId;
    std::optional<std::string> typeLib;
};

// Deletes the key tree at `path` under HKEY_CLASSES_ROOT when it goes.
class ScopedClassesKey {
public:
    explicit ScopedClassesKey(std::string path) : path_(std::move(path)) {}
    ScopedClassesKey(ScopedClassesKey&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    ScopedClassesKey(const ScopedClassesKey&) = delete;
    ScopedClassesKey& operator=(const ScopedClassesKey&) = delete;
    ~ScopedClassesKey();

private:
    std::string path_;
};

// Writes the class registration; a failure to write is reported at the
// caller's line.
[[nodiscard]] ScopedClassesKey RegisterClassKey(
    const std::string& keyName, const ClassRegistration& registration,
    std::source_location where = std::source_location::current());

// A ProgID key "<progId>\CLSID" whose default value is `clsidText`.
[[nodiscard]] ScopedClassesKey RegisterProgId(
    const std::string& progId, const std::string& clsidText,
    std::source_location where = std::source_location::current());

}  // namespace test
