// The publisher check between expansion and placement, through the test
// host: control files signed by the build, the second warning and the
// administrator's policy, each outcome with one status line.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/unique_resource.h"
#include "install/placement_record.h"
#include "install/signature_policy.h"
#include "install_fixture.h"
#include "opftool/szdd_writer.h"
#include "registry_test_support.h"
#include "signature_test_support.h"

namespace test {
namespace {

using Strings = std::vector<std::string>;

constexpr char kNotSigned[] = "The control file is not signed";
constexpr char kNotVerified[] = "The publisher of this control file could not be verified";

std::string Compressed(const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::vector<std::uint8_t> packed = opftool::CompressSzdd({data, bytes.size()}, 'x');
    return {packed.begin(), packed.end()};
}

// RequireSignedControls under HKEY_CURRENT_USER while this lives.
class ScopedSignaturePolicy {
public:
    explicit ScopedSignaturePolicy(std::optional<DWORD> value) : set_(value.has_value()) {
        if (!value) return;
        fw::UniqueHKey key;
        ::RegCreateKeyExW(HKEY_CURRENT_USER, install::kPolicyKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          key.put(), nullptr);
        ::RegSetValueExW(key.get(), install::kRequireSignedControls, 0, REG_DWORD,
                         reinterpret_cast<const BYTE*>(&*value), sizeof *value);
    }
    ~ScopedSignaturePolicy() {
        if (set_) ::RegDeleteKeyValueW(HKEY_CURRENT_USER, install::kPolicyKey, install::kRequireSignedControls);
    }

private:
    bool set_;
};

class PublisherCheck : public InstallTest {
protected:
    ScopedTrustedTestRoot root_;
};

TEST_F(PublisherCheck, EachOutcomeAsTheUserAndThePolicyDecide) {
    ASSERT_TRUE(root_.added());
    const struct {
        const char* file;  // made by scripts/sign-test-controls
        std::optional<DWORD> policy;
        UserAnswer answer;  // to the second warning, if it comes
        Strings problems;   // the second warnings shown
        bool installed;
        std::wstring publisher;  // recorded with the placed file
        std::string status;      // the one status line
    } cases[] = {
        {"trusted.dll", std::nullopt, UserAnswer::No, {}, true, L"nptrv32 Test Publisher",
         "The control was installed: its file is signed by nptrv32 Test Publisher."},
        {"unsigned.dll", std::nullopt, UserAnswer::Yes, {kNotSigned}, true, L"",
         "The control was installed: its file is not signed, and you chose to install it."},
        {"unsigned.dll", std::nullopt, UserAnswer::Enter, {kNotSigned}, false, L"",
         "The control file was not installed: it is not signed."},
        {"selfsigned.dll", std::nullopt, UserAnswer::Yes, {kNotVerified}, true, L"",
         "The control was installed: the publisher of its file could not be verified (untrusted "
         "root), and you chose to install it."},
        {"expired.dll", std::nullopt, UserAnswer::No, {kNotVerified}, false, L"",
         "The control file was not installed: its publisher could not be verified (expired)."},
        {"tampered.dll", std::nullopt, UserAnswer::Yes, {}, false, L"",
         "The control file was refused: it does not match its signature (bad digest)."},
        {"unsigned.dll", 1, UserAnswer::Yes, {}, false, L"",
         "The control file was refused: it is not signed, and this computer installs only controls "
         "signed by a trusted publisher."},
        {"selfsigned.dll", 1, UserAnswer::Yes, {}, false, L"",
         "The control file was refused: its publisher could not be verified (untrusted root), and this "
         "computer installs only controls signed by a trusted publisher."},
        {"trusted.dll", 1, UserAnswer::No, {}, true, L"nptrv32 Test Publisher",
         "The control was installed: its file is signed by nptrv32 Test Publisher."},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << row << ": " << c.file);
        const std::string name = "c" + std::to_string(++row);
        const ScopedSignaturePolicy policy(c.policy);
        const CLSID clsid = NewClassId();
        const std::string text = ClassIdText(clsid);
        const ScopedClassesKey guard("CLSID\\" + text);
        ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
        const std::string bytes = ReadWholeFile(SignedFixturePath(c.file));
        ASSERT_FALSE(bytes.empty());
        browser.Serve(kPageFolder + name + ".oc_", WriteScratchFile(name + ".oc_", Compressed(bytes)));
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        responder->publisherAnswer = c.answer;
        const std::size_t statusBefore = browser.statusLines().size();
        const Strings storedBefore = StoredFiles();

        OpenPage({{"Filename Url", name + ".oc_"}, {"IsCompressed", "TRUE"}}, clsid);
        browser.RunPending();

        EXPECT_EQ(c.problems, responder->publisherProblems);
        EXPECT_EQ(Strings{}, responder->cutTexts);  // of the last warning: every line whole
        const std::string placed = storage_ + "\\" + name + ".ocx";
        Strings added;
        for (const std::string& file : StoredFiles()) {
            if (std::find(storedBefore.begin(), storedBefore.end(), file) == storedBefore.end()) {
                added.push_back(file);
            }
        }
        EXPECT_EQ(c.installed ? Strings{name + ".ocx"} : Strings{}, added);
        const Strings status(browser.statusLines().begin() + static_cast<std::ptrdiff_t>(statusBefore),
                             browser.statusLines().end());
        EXPECT_EQ(Strings{c.status}, status);
        if (c.installed) {
            const std::optional<install::PlacedFile> record =
                install::FindPlacedFile(std::wstring(placed.begin(), placed.end()));
            ASSERT_TRUE(record);
            EXPECT_EQ(c.publisher, record->publisher);
        }
    }
}

}  // namespace
}  // namespace test
