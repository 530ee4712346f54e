// The whole road with real test controls: a page names a control that is not
// installed, the user says Yes, the compressed control file arrives, is
// expanded byte for byte, registers itself, and the control is created from
// the page's saved state and started in the page. Embeds of one page share
// the offer; one that ends without the control is not made again.
#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "install/control_registry_entry.h"
#include "install_fixture.h"
#include "opftool/szdd_writer.h"
#include "plugin/control_window.h"
#include "propfile/ansi_text.h"
#include "propfile/ocx_info.h"
#include "framework/unique_resource.h"
#include "registry_test_support.h"
#include "test_control_support.h"

using namespace plugin;  // the plug-in's own classes under test

namespace test {
namespace {

using test_controls::Info;
using test_controls::Variant;

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// The running control's "Caption" property, or "?".
std::wstring CaptionOf(ControlWindow* window) {
    IUnknown* control = window ? window->GetControlUnknown() : nullptr;
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    if (!control || FAILED(control->QueryInterface(IID_PPV_ARGS(&dispatch)))) return L"?";
    DISPPARAMS none = {};
    fw::UniqueVariant value;
    if (FAILED(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.get(), nullptr,
                                nullptr)) ||
        value->vt != VT_BSTR) {
        return L"?";
    }
    return value->bstrVal ? value->bstrVal : L"";
}

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

// The browser deletes its copy of the property file right after delivering
// it: the saved state still reaches the control after the installation.
TEST_F(WholeRoad, ACompressedControlIsFetchedExpandedRegisteredCreatedAndStarted) {
    const auto& basic = Info(Variant::basic);
    const std::string original = ReadWholeFile(Narrow(basic.dllPath));
    ASSERT_FALSE(original.empty());
    pageContents = test_controls::EncodeControlState({L"kept in memory", L"", 0});
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
        ASSERT_TRUE(::DeleteFileA(lastPage.c_str()));
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
        EXPECT_EQ(L"kept in memory", CaptionOf(window));

        EXPECT_EQ(NPERR_NO_ERROR, page.Destroy());
        test_controls::CallRegistrationEntry(std::wstring(placed_.begin(), placed_.end()),
                                             "DllUnregisterServer");
    }
}

// Embeds of one page that need the same missing control: one warning, one
// download, and each runs once it is installed.
TEST_F(WholeRoad, EmbedsOfOneMissingControlShareOneOfferAndAllRun) {
    const auto& basic = Info(Variant::basic);
    const ScopedClassesKey guard("CLSID\\" + std::string(basic.clsidText));
    browser.Serve("http://host/pages/shared.oc_",
                  WriteScratchFile("shared.oc_",
                                   CompressedByOpftool(ReadWholeFile(Narrow(basic.dllPath)))));
    responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
    const Headers headers = {{"Filename Url", "shared.oc_"},
                             {"IsCompressed", "TRUE"},
                             {"Product Version", basic.productVersion}};
    nphost::Instance& first = OpenPage(headers, basic.clsid);
    nphost::Instance& second = OpenPage(headers, basic.clsid);
    ASSERT_EQ(1, browser.RunPending());
    placed_ = storage_ + "\\shared.ocx";

    EXPECT_EQ(1, responder->timesShown);
    EXPECT_EQ(std::vector<std::string>{"http://host/pages/shared.oc_"}, browser.requestedUrls());
    for (nphost::Instance* page : {&first, &second}) {
        ControlWindow* window = WindowOf(*page);
        ASSERT_NE(nullptr, window);
        EXPECT_TRUE(window->IsStarted());
        EXPECT_NE(nullptr, window->GetControlUnknown());
    }
    EXPECT_EQ(NPERR_NO_ERROR, first.Destroy());
    EXPECT_EQ(NPERR_NO_ERROR, second.Destroy());
}

// An offer that ends without the control the page asks for: the instance
// stays empty, says so once, and neither it nor another embed of the same
// control offers it again while it lives (no loop of warnings).
TEST_F(WholeRoad, AnOfferThatEndsWithoutTheControlIsNotMadeAgain) {
    const auto& other = Info(Variant::version_two);
    const auto& basic = Info(Variant::basic);
    const struct {
        const char* name;
        const test_controls::VariantInfo* delivered;  // null: nothing is served
        bool freshClass;       // the page names a class the file does not register
        const char* version;
        std::function<bool(const std::string&)> refuses;
    } cases[] = {
        {"a control of another version", &other, false, "9, 9, 9, 9", nullptr},
        {"a control file that registers another class", &basic, true, basic.productVersion,
         nullptr},
        {"a request the browser refuses", &basic, false, basic.productVersion,
         [](const std::string&) { return true; }},
        {"a file the browser cannot fetch", nullptr, false, basic.productVersion, nullptr},
    };
    int served = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const test_controls::VariantInfo& info = c.delivered ? *c.delivered : basic;
        const ScopedClassesKey guard("CLSID\\" + std::string(info.clsidText));
        const std::string name = "road" + std::to_string(++served);
        const std::string url = std::string(kPageFolder) + name + ".oc_";
        if (c.delivered) {
            browser.Serve(url, WriteScratchFile(name + ".oc_", CompressedByOpftool(ReadWholeFile(
                                                                   Narrow(info.dllPath)))));
        }
        browser.refuses = c.refuses;
        const std::size_t requested = browser.requestedUrls().size();
        const std::size_t status = browser.statusLines().size();
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        const CLSID clsid = c.freshClass ? NewClassId() : info.clsid;
        const Headers headers = {{"Filename Url", name + ".oc_"},
                                 {"IsCompressed", "TRUE"},
                                 {"Product Version", c.version}};
        nphost::Instance& page = OpenPage(headers, clsid);
        browser.RunPending();
        nphost::Instance& again = OpenPage(headers, clsid);
        browser.RunPending();
        browser.refuses = nullptr;

        EXPECT_EQ(1, responder->timesShown);
        EXPECT_EQ(requested + 1, browser.requestedUrls().size());
        EXPECT_EQ(status + 1, browser.statusLines().size());
        EXPECT_EQ(std::vector<std::string>{}, StoredFiles());  // nothing left behind
        for (nphost::Instance* instance : {&page, &again}) {
            ControlWindow* window = WindowOf(*instance);
            ASSERT_NE(nullptr, window);
            EXPECT_FALSE(window->IsStarted());
            EXPECT_EQ(nullptr, window->GetControlUnknown());
        }
        EXPECT_EQ(NPERR_NO_ERROR, page.Destroy());
        EXPECT_EQ(NPERR_NO_ERROR, again.Destroy());
    }
}

// The browser's window ends its page when the placed control's registration
// asks for it (the test control's TEST_CONTROL_END_PAGE_IN).
nphost::Instance* pageToEnd = nullptr;
WNDPROC pluginWindowProcedure = nullptr;
LRESULT CALLBACK EndingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == ::RegisterWindowMessageW(L"NptrvTestControlEndPage")) {
        if (nphost::Instance* page = std::exchange(pageToEnd, nullptr)) page->Destroy();
        return 0;
    }
    return ::CallWindowProcW(pluginWindowProcedure, window, message, wParam, lParam);
}

// The page ends inside the control's own registration: the installation is
// finished without the installer or its window (both gone), and nothing of
// the browser's memory is left held.
TEST_F(WholeRoad, ThePageEndsInsideTheControlsRegistration) {
    const auto& basic = Info(Variant::basic);
    const ScopedClassesKey guard("CLSID\\" + std::string(basic.clsidText));
    browser.Serve("http://host/pages/sundial.oc_",
                  WriteScratchFile("sundial.oc_", CompressedByOpftool(ReadWholeFile(Narrow(basic.dllPath)))));
    responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
    nphost::Instance& page = OpenPage({{"Filename Url", "sundial.oc_"},
                                       {"IsCompressed", "TRUE"},
                                       {"Product Version", basic.productVersion}},
                                      basic.clsid);
    pluginWindowProcedure = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        page.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EndingProcedure)));
    pageToEnd = &page;
    ::SetEnvironmentVariableW(L"TEST_CONTROL_END_PAGE_IN", L"DllRegisterServer");
    EXPECT_EQ(1, browser.RunPending());
    ::SetEnvironmentVariableW(L"TEST_CONTROL_END_PAGE_IN", nullptr);
    placed_ = storage_ + "\\sundial.ocx";
    pageToEnd = nullptr;
    ::SetWindowLongPtrW(page.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pluginWindowProcedure));

    EXPECT_FALSE(page.alive());
    install::ControlRegistryEntry lookup;
    EXPECT_TRUE(lookup.IsInstalled(basic.clsid, basic.productVersion)) << "the installation stands";
    EXPECT_EQ(0, browser.liveAllocations());
}

}  // namespace
}  // namespace test
