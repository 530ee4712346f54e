// The warning before a download, through the test host: what it shows, and
// that only Yes makes the browser fetch the control file.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/dialog.h"
#include "install/address_elision.h"
#include "install_fixture.h"
#include "opftool/compound_file_writer.h"
#include "opftool/property_file_builder.h"
#include "plugin/control_window.h"
#include "registry_test_support.h"
#include "resources/download_warning_ids.h"

using namespace plugin;  // the plug-in's own classes under test

namespace test {
namespace {

using Strings = std::vector<std::string>;

class DownloadOffer : public InstallTest {};

const Headers kAllHeaders = {
    {"Product Name", "Clock"},          {"Company Name", "Example Works"},
    {"File Description", "A clock"},    {"Product Version", "1, 0, 0, 2"},
    {"Legal Copyright", "(c) Example"}, {"Legal Trademarks", "Clock(tm)"},
    {"IsCompressed", "TRUE"},
};

Headers With(Headers headers, const std::string& filenameUrl) {
    headers.emplace_back("Filename Url", filenameUrl);
    return headers;
}

// The address box keeps the scheme and the host whole: only the middle of
// the rest gives way when the address is wider than the box.
TEST_F(DownloadOffer, ShowsTheHeaderValuesAndTheAddressItWouldFetch) {
    const std::string longPath = "/" + std::string(200, 'd') + "/clock.oc_";
    const std::string lookalike = "http://good.example.com.evil.test";
    const std::string longHost = "http://" + std::string(90, 'h') + ".example";
    const struct {
        Headers headers;
        std::string filenameUrl;
        Strings shown;  // boxes 1022 to 1027
        std::string site;     // what the address box shows, or starts with when elided
        bool elided = false;  // then it also ends with the file's name, as far as it fits
    } cases[] = {
        {kAllHeaders, "clock.oc_",
         {"Clock", "Example Works", "A clock", "1, 0, 0, 2", "(c) Example", "Clock(tm)"},
         "http://host/pages/clock.oc_"},
        {kAllHeaders, "../bin/clock.oc_",
         {"Clock", "Example Works", "A clock", "1, 0, 0, 2", "(c) Example", "Clock(tm)"},
         "http://host/bin/clock.oc_"},
        {{}, "http://other/x/clock.oc_", {"", "", "", "", "", ""}, "http://other/x/clock.oc_"},
        {{}, "http://host" + longPath, {"", "", "", "", "", ""}, "http://host/d", true},
        {{}, lookalike + longPath, {"", "", "", "", "", ""}, lookalike + "/", true},
        // A host wider than the box: whole, on more lines, and only then the ellipsis.
        {{}, longHost + longPath, {"", "", "", "", "", ""}, longHost + "\xE2\x80\xA6"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filenameUrl);
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::No);
        OpenPage(With(c.headers, c.filenameUrl));
        ASSERT_EQ(1, responder->timesShown);
        Strings shown;
        for (int id = IDC_PRODUCT_NAME; id < IDC_SITE; ++id) shown.push_back(responder->boxes[id]);
        EXPECT_EQ(c.shown, shown);
        const std::string& site = responder->boxes[IDC_SITE];
        if (c.elided) {
            EXPECT_TRUE(site.starts_with(c.site) && site.ends_with("oc_")) << site;
            EXPECT_NE(std::string::npos, site.find("\xE2\x80\xA6")) << site;  // the ellipsis
        } else {
            EXPECT_EQ(c.site, site);
        }
        EXPECT_TRUE(responder->iconShown);
        EXPECT_EQ(Strings{}, responder->cutTexts);
    }
    EXPECT_EQ(Strings{}, browser.requestedUrls());
}

// Enter and Space at once answer No: No is the default and has the focus,
// and Yes waits until the dialog has been up for a moment.
TEST_F(DownloadOffer, OnlyYesFetchesTheAddressShown) {
    const struct {
        UserAnswer answer;
        Strings fetched;
    } cases[] = {
        {UserAnswer::Yes, {"http://host/pages/clock.oc_"}},
        {UserAnswer::Enter, {}},
        {UserAnswer::Space, {}},
        {UserAnswer::No, {}},
        {UserAnswer::Escape, {}},
        {UserAnswer::CloseBox, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToString(c.answer));
        const std::size_t before = browser.requestedUrls().size();
        responder = std::make_unique<WarningDialogResponder>(c.answer);
        OpenPage(With(kAllHeaders, "clock.oc_"));
        EXPECT_EQ(1, responder->timesShown);
        const Strings& all = browser.requestedUrls();
        EXPECT_EQ(c.fetched, Strings(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()));
        if (c.answer == UserAnswer::Yes) {
            ASSERT_TRUE(responder->yesEnabledAfterMs);
            EXPECT_GE(*responder->yesEnabledAfterMs, 900u);
        }
    }
}

TEST_F(DownloadOffer, AnAddressThatCannotBeFetchedShowsNothing) {
    for (const char* filenameUrl :
         {"", "C:\\controls\\clock.oc_", "c:clock.oc_", "C:/controls/clock.oc_", "mailto:clock",
          "http:clock.oc_", "http://host\\clock.oc_"}) {
        SCOPED_TRACE(filenameUrl);
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        OpenPage(With(kAllHeaders, filenameUrl));
        EXPECT_EQ(0, responder->timesShown);
    }
    EXPECT_EQ(Strings{}, browser.requestedUrls());
}

// A property file that cannot be read ends activation: its class was never
// read, so nothing is created or offered, whatever its headers say.
TEST_F(DownloadOffer, APropertyFileThatCannotBeReadOffersNothing) {
    opftool::PropertyFileContent content;
    content.clsid = NewClassId();
    content.headers = With(kAllHeaders, "clock.oc_");
    opftool::StorageNode withoutObject = opftool::BuildPropertyFile(content);
    std::erase_if(withoutObject.storages, [](const opftool::StorageNode& storage) {
        return storage.name == "Object Property Section";
    });
    const std::string damaged = scratch_ + "damaged.opf";
    ASSERT_EQ(S_OK, opftool::WriteCompoundFile(damaged, withoutObject));
    for (const std::string& file : {damaged, scratch_ + "missing.opf"}) {
        SCOPED_TRACE(file);
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes);
        nphost::Instance& page = NewPage();
        page.Deliver(kPageUrl, file);
        EXPECT_EQ(0, responder->timesShown);
        ASSERT_NE(nullptr, WindowOf(page));
        EXPECT_NE(nullptr, WindowOf(page)->Record());
        EXPECT_FALSE(WindowOf(page)->IsStarted());
    }
    EXPECT_EQ(Strings{}, browser.requestedUrls());
}

// The browser may tear the instance down from inside the warning's message
// loop; the answer that follows must touch nothing of the instance. Another
// embed of the same control that joined the offer meanwhile stays empty, and
// no later embed of it is offered it again while that one lives.
TEST_F(DownloadOffer, TeardownWhileTheWarningIsUpDropsTheAnswer) {
    const struct {
        const char* name;
        std::function<void(nphost::Instance&)> teardown;
    } cases[] = {
        {"NPP_Destroy", [](nphost::Instance& page) { EXPECT_EQ(NPERR_NO_ERROR, page.Destroy()); }},
        {"NPP_SetWindow without a window",
         [](nphost::Instance& page) { EXPECT_EQ(NPERR_NO_ERROR, page.SetWindow(nullptr)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CLSID clsid = NewClassId();
        nphost::Instance& page = NewPage();
        nphost::Instance* joined = nullptr;
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes, [&] {
            joined = &OpenPage(With(kAllHeaders, "clock.oc_"), clsid);
            c.teardown(page);
        });
        ShowPage(page, With(kAllHeaders, "clock.oc_"), clsid);
        EXPECT_EQ(1, responder->timesShown);
        EXPECT_EQ(nullptr, WindowOf(page));
        ASSERT_NE(nullptr, joined);
        nphost::Instance& later = OpenPage(With(kAllHeaders, "clock.oc_"), clsid);
        EXPECT_EQ(1, responder->timesShown);
        for (nphost::Instance* other : {joined, &later}) {
            ASSERT_NE(nullptr, WindowOf(*other));
            EXPECT_FALSE(WindowOf(*other)->IsStarted());
            EXPECT_EQ(NPERR_NO_ERROR, other->Destroy());
        }
    }
    EXPECT_EQ(Strings{}, browser.requestedUrls());
}

// One pixel a character: the kept part and both ends of the rest are seen.
TEST(AddressElision, KeepsTheSchemeAndHostWholeAndElidesTheMiddleOfTheRest) {
    const struct {
        std::wstring address;
        int room;
        std::wstring shown;
    } cases[] = {
        {L"http://host/a/b/clock.oc_", 25, L"http://host/a/b/clock.oc_"},
        {L"http://host/abcdefgh/clock.oc_", 25, L"http://host/abcde\x2026ock.oc_"},
        {L"http://good.example.com.evil.test/abc", 20, L"http://good.example.com.evil.test\x2026"},
        {L"http://good.example.com@evil.test/a/clock", 36, L"http://good.example.com@evil.test/\x2026k"},
        {L"http://host:8080?query=long", 20, L"http://host:8080?\x2026ng"},
        {L"file:///C:/controls/clock.oc_", 16, L"file:///C:/\x2026.oc_"},
        {L"relative/path/clock.oc_", 10, L"rela\x2026k.oc_"},
    };
    const auto width = [](std::wstring_view text) { return static_cast<int>(text.size()); };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.address.begin(), c.address.end()));
        EXPECT_EQ(c.shown, install::ElideAddress(c.address, c.room, width));
    }
}

TEST(WarningDialog, ATemplateThatCannotBeLoadedGivesMinusOne) {
    fw::CDialog missing(4321);
    EXPECT_EQ(-1, missing.DoModal());
}

}  // namespace
}  // namespace test
