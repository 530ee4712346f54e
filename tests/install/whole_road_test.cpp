// The whole road with real test controls: a page names a control that is not
// installed, the user says Yes, the compressed control file arrives, is
// expanded byte for byte, registers itself, and the control is created and
// started in the page.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install/control_registry_entry.h"
#include "install_fixture.h"
#include "opftool/szdd_writer.h"
#include "plugin/control_window.h"
#include "propfile/ansi_text.h"
#include "propfile/ocx_info.h"
#include "registry_test_support.h"
#include "test_control_support.h"

using namespace plugin;  // the plug-in's own classes under test

namespace test {
namespace {

using test_controls::Info;
using test_controls::Variant;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::string CompressedByOpftool(const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::vector<std::uint8_t> packed = opftool::CompressSzdd({data, bytes.size()}, 'x');
    return {packed.begin(), packed.end()};
}

class WholeRoad : public InstallTest {
protected:
    void TearDown() override {
        // The placed control unregisters itself; the guard removes any rest.
        if (!placed_.empty()) {
            test_controls::CallRegistrationEntry(std::wstring(placed_.begin(), placed_.end()),
                                                 "DllUnregisterServer");
        }
        InstallTest::TearDown();
    }
    std::string placed_;
};

TEST_F(WholeRoad, ACompressedControlIsFetchedExpandedRegisteredCreatedAndStarted) {
    const auto& basic = Info(Variant::basic);
    const std::string original = ReadWholeFile(Narrow(basic.dllPath));
    ASSERT_FALSE(original.empty());
    // Each under its own name: the first placed control stays loaded.
    const struct {
        const char* compressor;
        std::string delivered;
        std::string name;
    } cases[] = {
        {"opftool compress", CompressedByOpftool(original), "clock"},
        {"mscompress", ReadWholeFile(FixturePath("basic_ms.ocx_")), "watch"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.compressor);
        const ScopedClassesKey guard("CLSID\\" + std::string(basic.clsidText));
        ASSERT_GT(c.delivered.size(), 14u);
        browser.Serve("http://host/pages/" + c.name + ".oc_",
                      WriteScratchFile(c.name + ".oc_", c.delivered));
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        nphost::Instance& page = OpenPage({{"Filename Url", c.name + ".oc_"},
                                           {"IsCompressed", "TRUE"},
                                           {"Product Version", basic.productVersion}},
                                          basic.clsid);
        ASSERT_EQ(1, browser.RunPending());
        placed_ = storage_ + "\\" + c.name + ".ocx";

        EXPECT_EQ(1, responder->timesShown);
        EXPECT_TRUE(ReadWholeFile(placed_) == original);
        install::ControlRegistryEntry lookup;
        EXPECT_TRUE(lookup.IsInstalled(basic.clsid, basic.productVersion));
        EXPECT_EQ(placed_, lookup.serverPath);
        ControlWindow* window = WindowOf(page);
        ASSERT_NE(nullptr, window);
        EXPECT_TRUE(window->IsStarted());
        EXPECT_NE(nullptr, window->Control().Unknown());

        EXPECT_EQ(NPERR_NO_ERROR, page.Destroy());
        test_controls::CallRegistrationEntry(std::wstring(placed_.begin(), placed_.end()),
                                             "DllUnregisterServer");
    }
}

// A control file that installs another product version than the page's is
// taken out again: the page stays without a control, is told so once, and
// is not offered the download a second time.
TEST_F(WholeRoad, APlacedControlOfAnotherVersionIsTakenOutAgain) {
    const auto& other = Info(Variant::version_two);
    const ScopedClassesKey guard("CLSID\\" + std::string(other.clsidText));
    browser.Serve("http://host/pages/clock.oc_",
                  WriteScratchFile("clock.oc_",
                                   CompressedByOpftool(ReadWholeFile(Narrow(other.dllPath)))));
    responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
    responder->laterAnswer = UserAnswer::No;
    nphost::Instance& page = OpenPage({{"Filename Url", "clock.oc_"},
                                       {"IsCompressed", "TRUE"},
                                       {"Product Version", "9, 9, 9, 9"}},
                                      other.clsid);
    ASSERT_EQ(1, browser.RunPending());

    EXPECT_EQ(1, responder->timesShown);
    EXPECT_EQ(1u, browser.statusLines().size());
    EXPECT_EQ(std::vector<std::string>{}, StoredFiles());
    install::ControlRegistryEntry lookup;
    EXPECT_FALSE(lookup.IsInstalled(other.clsid, ""));
    ControlWindow* window = WindowOf(page);
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(window->IsStarted());
    EXPECT_EQ(std::vector<std::string>{"http://host/pages/clock.oc_"}, browser.requestedUrls());
}

}  // namespace
}  // namespace test
