// The control files signed by the build (scripts/sign-test-controls) and
// their test root made trusted in this process's prefix.
#pragma once

#include <string>

#include <windows.h>

namespace test {

// The signed test file `name` ("trusted.dll", "expired.dll", ...).
std::string SignedFixturePath(const std::string& name);

// The test root in the machine's Root store while this lives.
class ScopedTrustedTestRoot {
public:
    ScopedTrustedTestRoot();
    ScopedTrustedTestRoot(const ScopedTrustedTestRoot&) = delete;
    ScopedTrustedTestRoot& operator=(const ScopedTrustedTestRoot&) = delete;
    ~ScopedTrustedTestRoot();
    bool added() const { return added_; }

private:
    bool added_ = false;
};

}  // namespace test
