// The ActiveX kill-bit: a killed class is never created, never offered for
// download and never installed, also when the downloaded control's own
// registration kills it, and neither is a class treated as a killed one
// (the platform would create that one). Nothing is shown and the page stays
// empty.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/effective_class.h"
#include "framework/unique_resource.h"
#include "install/control_installer.h"
#include "install/control_registry_entry.h"
#include "install/kill_bit.h"
#include "install_fixture.h"
#include "opftool/szdd_writer.h"
#include "plugin/control_window.h"
#include "registry_test_support.h"
#include "test_control_support.h"

using namespace plugin;  // the plug-in's own classes under test

namespace test {
namespace {

using Strings = std::vector<std::string>;

constexpr char kCompatibility[] =
    "SOFTWARE\\Microsoft\\Internet Explorer\\ActiveX Compatibility\\";

// The class's compatibility key, written with `flags` when given, removed
// when the guard goes.
class ScopedCompatibilityFlags {
public:
    ScopedCompatibilityFlags(const CLSID& clsid, std::optional<DWORD> flags)
        : path_(kCompatibility + ClassIdText(clsid)) {
        if (!flags) return;
        fw::UniqueHKey key;
        EXPECT_EQ(ERROR_SUCCESS, ::RegCreateKeyA(HKEY_LOCAL_MACHINE, path_.c_str(), key.put()));
        EXPECT_EQ(ERROR_SUCCESS, ::RegSetValueExA(key.get(), "Compatibility Flags", 0, REG_DWORD,
                                                  reinterpret_cast<const BYTE*>(&*flags),
                                                  sizeof *flags));
    }
    ScopedCompatibilityFlags(const ScopedCompatibilityFlags&) = delete;
    ScopedCompatibilityFlags& operator=(const ScopedCompatibilityFlags&) = delete;
    ~ScopedCompatibilityFlags() { ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, path_.c_str()); }

private:
    std::string path_;
};

std::string Compressed(const std::string& bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::vector<std::uint8_t> packed = opftool::CompressSzdd({data, bytes.size()}, 'x');
    return {packed.begin(), packed.end()};
}

class KillBit : public InstallTest {};

TEST_F(KillBit, OnlyFlag0x400Kills) {
    const CLSID clsid = NewClassId();
    EXPECT_FALSE(install::IsClassKilled(clsid));  // no key
    for (const DWORD flags : {0x0u, 0x1u, 0x800u, 0x400u, 0xFFFFFFFFu}) {
        const ScopedCompatibilityFlags written(clsid, flags);
        EXPECT_EQ((flags & 0x400) != 0, install::IsClassKilled(clsid)) << std::hex << flags;
    }
}

TEST_F(KillBit, AKilledClassIsNeitherCreatedNorOfferedNorInstalled) {
    using Result = install::ControlInstaller::Result;
    const auto& basic = test_controls::Info(test_controls::Variant::basic);
    const struct {
        const char* name;
        bool installed;         // the basic test control, registered in its version
        bool killedBefore;      // the kill-bit is set before the page comes
        bool treatedAsKilled;   // the class is treated as a killed one before the page comes
        const char* delivered;  // the control file served after Yes
        int offers;
        Result direct;          // a Yes given to the installer itself
    } cases[] = {
        {"an installed control", true, true, false, "fixture_register_ok.dll", 0, Result::Killed},
        {"a missing control", false, true, false, "fixture_register_ok.dll", 0, Result::Killed},
        {"a control whose own registration kills it", false, false, false,
         "fixture_register_killed.dll", 1, Result::Killed},
        {"an installed control treated as a killed class", true, false, true,
         "fixture_register_ok.dll", 0, Result::Killed},
        // Its registration (with the TreatAs) is removed again each time.
        {"a control whose own registration treats it as a killed class", false, false, false,
         "fixture_register_treat_as.dll", 1, Result::NotRegistered},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CLSID clsid = c.installed ? basic.clsid : NewClassId();
        const std::string text = ClassIdText(clsid);
        std::optional<test_controls::ScopedControlRegistration> registration;
        if (c.installed) {
            registration.emplace(basic.dllPath);
            ASSERT_EQ(S_OK, registration->result());
        }
        const ScopedClassesKey guard("CLSID\\" + text);
        const ScopedCompatibilityFlags killBit(
            clsid, c.killedBefore ? std::optional<DWORD>(0x400) : std::nullopt);
        const CLSID killed = NewClassId();
        const ScopedCompatibilityFlags killedTarget(killed, 0x400);
        if (c.treatedAsKilled) {
            ASSERT_EQ(S_OK, ::CoTreatAsClass(clsid, killed));
            ASSERT_EQ(killed, fw::EffectiveClassOf(clsid));
        }
        ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_CLSID", text.c_str()));
        ASSERT_TRUE(::SetEnvironmentVariableA("FIXTURE_TREAT_AS", ClassIdText(killed).c_str()));
        const std::string file =
            WriteScratchFile("clock.oc_", Compressed(ReadWholeFile(FixturePath(c.delivered))));
        browser.Serve("http://host/pages/clock.oc_", file);
        const std::size_t fetchedBefore = browser.requestedUrls().size();
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);

        nphost::Instance& page = OpenPage({{"Filename Url", "clock.oc_"},
                                           {"IsCompressed", "TRUE"},
                                           {"Product Version", basic.productVersion}},
                                          clsid);
        browser.RunPending();
        EXPECT_EQ(c.offers, responder->timesShown);
        EXPECT_EQ(fetchedBefore + c.offers, browser.requestedUrls().size());
        // Not even a Yes given to the installer itself places a killed class.
        ControlWindow* window = WindowOf(page);
        ASSERT_NE(nullptr, window);
        struct : install::UrlRequester {
            std::uintptr_t NewRequestToken() override { return 0; }
            bool RequestUrl(const std::string&, std::uintptr_t) override { return true; }
            void ShowStatus(const std::string&) override {}
        } nowhere;
        install::ControlOffer offer;
        offer.filenameUrl = "clock.oc_";
        offer.baseUrl = "http://host/pages/";
        offer.isCompressed = true;
        offer.clsid = clsid;
        install::ControlInstaller installer(offer, Storage(), nowhere);
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        ASSERT_EQ(install::ControlInstaller::Result::Requested, installer.OfferDownload());
        EXPECT_EQ(c.direct, installer.InstallControlFile("http://host/pages/clock.oc_", file));

        EXPECT_FALSE(window->IsStarted());
        EXPECT_EQ(nullptr, window->GetControlUnknown());
        EXPECT_EQ(Strings{}, StoredFiles());
        install::ControlRegistryEntry lookup;
        EXPECT_EQ(c.installed, lookup.IsInstalled(clsid, ""));
        EXPECT_EQ(NPERR_NO_ERROR, page.Destroy());
    }
}

}  // namespace
}  // namespace test
