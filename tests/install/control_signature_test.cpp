// The publisher check on control files signed by the build: the platform's
// answer and the signer's chain together, as the plug-in judges a download.
#include <string>

#include <gtest/gtest.h>

#include "install/control_signature.h"
#include "install_fixture.h"
#include "signature_test_support.h"

namespace test {
namespace {

using install::SignatureState;

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

class ControlSignature : public InstallTest {
protected:
    ScopedTrustedTestRoot root_;
};

TEST_F(ControlSignature, JudgesEachFileAsThePluginWould) {
    ASSERT_TRUE(root_.added());
    const std::string trusted = ReadWholeFile(SignedFixturePath("trusted.dll"));
    ASSERT_GT(trusted.size(), 1000u);
    const struct {
        const char* name;
        std::string path;
        SignatureState state;
        const wchar_t* publisher;
        const char* reason;
    } cases[] = {
        {"trusted publisher", SignedFixturePath("trusted.dll"), SignatureState::Trusted,
         L"nptrv32 Test Publisher", ""},
        {"unsigned", SignedFixturePath("unsigned.dll"), SignatureState::Unsigned, L"", "not signed"},
        {"not a program", WriteScratchFile("text.ocx", "MZ only text"), SignatureState::Unsigned, L"",
         "not signed"},
        // The case the platform's own answer gets wrong under Wine.
        {"self-signed", SignedFixturePath("selfsigned.dll"), SignatureState::Untrusted,
         L"nptrv32 Self-Signed", "untrusted root"},
        {"expired publisher", SignedFixturePath("expired.dll"), SignatureState::Untrusted,
         L"nptrv32 Expired Publisher", "expired"},
        {"one byte changed", SignedFixturePath("tampered.dll"), SignatureState::Tampered, L"",
         "bad digest"},
        {"signature cut short", WriteScratchFile("cut.ocx", trusted.substr(0, trusted.size() - 300)),
         SignatureState::Tampered, L"", "bad signature"},
        {"missing", scratch_ + "missing.ocx", SignatureState::Tampered, L"", "unreadable"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const install::SignatureVerdict verdict = install::VerifyControlSignature(Wide(c.path));
        EXPECT_STREQ(install::ToString(c.state), install::ToString(verdict.state))
            << std::hex << verdict.code;
        EXPECT_EQ(std::wstring(c.publisher), verdict.publisher);
        EXPECT_EQ(c.reason, verdict.reason);
    }
}

}  // namespace
}  // namespace test
