// The warning before a download, through the test host: what it shows, and
// that only Yes makes the browser fetch the control file.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/dialog.h"
#include "install_fixture.h"
#include "plugin/control_window.h"
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

TEST_F(DownloadOffer, ShowsTheHeaderValuesAndTheAddressItWouldFetch) {
    // Far wider than its box, within the 256 bytes a header value holds.
    const std::string longUrl = "http://host/" + std::string(200, 'd') + "/clock.oc_";
    const struct {
        Headers headers;
        std::string filenameUrl;
        Strings shown;  // boxes 1022 to 1028
    } cases[] = {
        {kAllHeaders, "clock.oc_",
         {"Clock", "Example Works", "A clock", "1, 0, 0, 2", "(c) Example", "Clock(tm)",
          "http://host/pages/clock.oc_"}},
        {kAllHeaders, "../bin/clock.oc_",
         {"Clock", "Example Works", "A clock", "1, 0, 0, 2", "(c) Example", "Clock(tm)",
          "http://host/bin/clock.oc_"}},
        {{}, "http://other/x/clock.oc_", {"", "", "", "", "", "", "http://other/x/clock.oc_"}},
        {{}, longUrl, {"", "", "", "", "", "", longUrl}},  // shown whole, never cut
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filenameUrl);
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::No);
        OpenPage(With(c.headers, c.filenameUrl));
        ASSERT_EQ(1, responder->timesShown);
        Strings shown;
        for (int id = IDC_PRODUCT_NAME; id <= IDC_SITE; ++id) shown.push_back(responder->boxes[id]);
        EXPECT_EQ(c.shown, shown);
        EXPECT_TRUE(responder->iconShown);
    }
    EXPECT_EQ(Strings{}, browser.requestedUrls());
}

TEST_F(DownloadOffer, OnlyYesFetchesTheAddressShown) {
    const struct {
        UserAnswer answer;
        Strings fetched;
    } cases[] = {
        {UserAnswer::Yes, {"http://host/pages/clock.oc_"}},
        {UserAnswer::Enter, {"http://host/pages/clock.oc_"}},
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

// The browser may tear the instance down from inside the warning's message
// loop; the answer that follows must touch nothing of the instance.
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
        nphost::Instance& page = NewPage();
        responder = std::make_unique<WarningDialogResponder>(UserAnswer::Yes,
                                                             [&] { c.teardown(page); });
        ShowPage(page, With(kAllHeaders, "clock.oc_"));
        EXPECT_EQ(1, responder->timesShown);
        EXPECT_EQ(nullptr, WindowOf(page));
    }
    EXPECT_EQ(Strings{}, browser.requestedUrls());
}

TEST(WarningDialog, ATemplateThatCannotBeLoadedGivesMinusOne) {
    fw::CDialog missing(4321);
    EXPECT_EQ(-1, missing.DoModal());
}

}  // namespace
}  // namespace test
