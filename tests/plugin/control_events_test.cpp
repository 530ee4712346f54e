// A running test control asks for files by its request event; the browser
// fetches them and the control receives each file with its own number.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "control_page_fixture.h"
#include "framework/unique_resource.h"
#include "plugin/control_window.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"

using namespace plugin;  // the plug-in's own classes under test

using Microsoft::WRL::ComPtr;
using test_controls::ControlState;
using test_controls::Variant;

namespace {

class ControlEvents : public ControlPageTest {
protected:
    void SetUp() override {
        ControlPageTest::SetUp();
        // Every URL is fetched into the same local file.
        data_ = TempPath("data.txt");
        HANDLE file = ::CreateFileA(data_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ::CloseHandle(file);
        browser.resolver = [this](const std::string& url) -> std::optional<nphost::Answer> {
            return nphost::Answer{url, data_};
        };
    }
    void TearDown() override {
        ::DeleteFileA(data_.c_str());
        ControlPageTest::TearDown();
    }

    // Calls a method of the running control by name, as a page script would.
    static void Call(nphost::Instance& instance, const wchar_t* method,
                     std::vector<VARIANT> reversedArguments) {
        IUnknown* control = Record(instance)->window->GetControlWindow()->GetControlUnknown();
        ASSERT_NE(nullptr, control);
        ComPtr<IDispatch> dispatch;
        ASSERT_EQ(S_OK, control->QueryInterface(IID_PPV_ARGS(&dispatch)));
        LPOLESTR name = const_cast<LPOLESTR>(method);
        DISPID id = 0;
        ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
        DISPPARAMS params = {reversedArguments.data(), nullptr,
                             static_cast<UINT>(reversedArguments.size()), 0};
        dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
    // The control fires its request event (or `method`) with `url` and `id`.
    static void Request(nphost::Instance& instance, const wchar_t* url, LONG id,
                        const wchar_t* method = L"FireRequest") {
        fw::UniqueBstr text(::SysAllocString(url));
        VARIANT arguments[2] = {};
        arguments[0].vt = VT_I4;
        arguments[0].lVal = id;
        arguments[1].vt = VT_BSTR;
        arguments[1].bstrVal = text.get();
        Call(instance, method, {arguments[0], arguments[1]});
    }
    std::string Answer(LONG id) const {
        return "OnGetUrlAsFile " + data_ + "|<null>|" + std::to_string(id) + "|0";
    }

    std::string data_;
};

TEST_F(ControlEvents, ARelativeRequestIsFetchedFromTheFilesDirectoryAndAnsweredInBothModes) {
    const auto& control = Use(Variant::basic);
    const std::string opf = WriteProperties(control, ControlState{L"x"});
    for (const nphost::Delivery mode : {nphost::Delivery::Later, nphost::Delivery::Immediate}) {
        SCOPED_TRACE(mode == nphost::Delivery::Later ? "later" : "immediate");
        browser.delivery = mode;
        test_controls::ClearControlLog(control.dllPath);
        nphost::Instance& instance = OpenPage(opf, {}, "http://host/D/page.opf");
        Request(instance, L"img/a.gif", 7);
        EXPECT_EQ("http://host/D/img/a.gif", browser.requestedUrls().back());
        browser.RunPending();
        EXPECT_EQ(1, Count(Calls(control), Answer(7)));
        EXPECT_TRUE(Record(instance)->window->GetControlWindow()->Requests().Pending().empty());
        ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
    }
}

// Each answer goes to the request it answers; without URL notification only
// the URL tells, and the newest request for it is answered first.
TEST_F(ControlEvents, TwoRequestsForOneUrlAreAnsweredEachByItsOwnStreamElseNewestFirst) {
    const auto& control = Use(Variant::basic);
    browser.delivery = nphost::Delivery::Later;
    for (const UrlNotify kind : kUrlNotifyBrowsers) {
        SCOPED_TRACE(Name(kind));
        UseBrowser(kind);
        test_controls::ClearControlLog(control.dllPath);
        nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"x"}));
        Request(instance, L"same.txt", 1);
        Request(instance, L"same.txt", 2);
        browser.RunPending();
        const std::vector<std::string> order = kind == UrlNotify::offered
                                                   ? std::vector{Answer(1), Answer(2)}
                                                   : std::vector{Answer(2), Answer(1)};
        EXPECT_TRUE(InOrder(Calls(control), order));
        ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
    }
}

TEST_F(ControlEvents, RequestEventNamesAndWhichOneIsRecognised) {
    const struct {
        Variant variant;
        const wchar_t* fire;
        bool answered;
    } cases[] = {
        {Variant::read_file, L"FireRequest", true},   // "ReadFile" serves like "GetUrlAsFile"
        {Variant::both_events, L"FireRequest", true},  // the later of the two wins
        {Variant::both_events, L"FireReadFile", false},
        {Variant::basic, L"FireOther", false},
    };
    for (const auto& c : cases) {
        const auto& control = Use(c.variant);
        SCOPED_TRACE(std::string(control.name) + " " + std::to_string(c.answered));
        nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"x"}));
        const std::size_t before = browser.requestedUrls().size();
        if (std::wstring(c.fire) == L"FireOther") {
            Call(instance, c.fire, {});
        } else {
            Request(instance, L"a.txt", 3, c.fire);
        }
        browser.RunPending();
        EXPECT_EQ(c.answered ? before + 1 : before, browser.requestedUrls().size());
        EXPECT_EQ(c.answered ? 1 : 0, Count(Calls(control), Answer(3)));
        ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
    }
}

TEST_F(ControlEvents, ARequestFromInsideStartIsAnsweredWhenDeliveredFromInsideGetUrl) {
    const auto& control = Use(Variant::basic);
    browser.delivery = nphost::Delivery::Immediate;
    OpenPage(WriteProperties(control, ControlState{L"x", L"start.txt", 42}));
    EXPECT_TRUE(InOrder(Calls(control), {"Start", "Fire GetUrlAsFile start.txt 42", Answer(42)}));
}

// A stream that answers a request goes to it whatever its URL: files of the
// plug-in's own kinds, and redirections, included; a failed fetch ends its
// request unanswered. Without URL notification the URL's extension sorts the
// file first, and only the very URL asked for answers.
TEST_F(ControlEvents, AnswersByTheirRequestFailedFetchesDroppedElseByUrl) {
    const auto& control = Use(Variant::basic);
    browser.delivery = nphost::Delivery::Later;
    browser.resolver = [](const std::string&) { return std::nullopt; };  // nothing is fetched
    browser.ServeAs("http://host/page/moved.txt", "http://host/page/elsewhere.txt", data_);
    for (const char* url : {"other.opf", "c.ocx", "c.OC_", "c.z"}) {
        browser.Serve(std::string("http://host/page/") + url, data_);
    }
    const struct {
        const wchar_t* url;
        LONG id;
        bool answeredWithNotify;
    } requests[] = {
        {L"refused.txt", 1, false}, {L"moved.txt", 2, true}, {L"other.opf", 3, true},
        {L"c.ocx", 4, true},        {L"c.OC_", 5, true},     {L"c.z", 6, true},
    };
    for (const UrlNotify kind : kUrlNotifyBrowsers) {
        SCOPED_TRACE(Name(kind));
        UseBrowser(kind);
        test_controls::ClearControlLog(control.dllPath);
        nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"x"}));
        for (const auto& r : requests) Request(instance, r.url, r.id);
        browser.RunPending();
        std::size_t open = 0;
        for (const auto& r : requests) {
            const bool answered = kind == UrlNotify::offered && r.answeredWithNotify;
            EXPECT_EQ(answered ? 1 : 0, Count(Calls(control), Answer(r.id))) << r.id;
            if (kind != UrlNotify::offered) ++open;
        }
        // Ended requests are off the list: nothing waits for their answer.
        EXPECT_EQ(open, Record(instance)->window->GetControlWindow()->Requests().Pending().size());
        ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
    }
}

TEST_F(ControlEvents, EachInstanceIsAnsweredOnlyForItsOwnRequests) {
    const auto& control = Use(Variant::basic);
    browser.delivery = nphost::Delivery::Later;
    nphost::Instance& a = OpenPage(WriteProperties(control, ControlState{L"A"}), {}, "http://host/a/x.opf");
    nphost::Instance& b = OpenPage(WriteProperties(control, ControlState{L"B"}), {}, "http://host/b/x.opf");
    Request(a, L"data.txt", 1);
    Request(b, L"data.txt", 2);
    browser.RunPending();
    const auto serials = Serials(Lines(control));
    ASSERT_EQ(2u, serials.size());
    EXPECT_EQ(1, Count(Lines(control), serials[0] + " " + Answer(1)));
    EXPECT_EQ(1, Count(Lines(control), serials[1] + " " + Answer(2)));
    EXPECT_EQ(0, Count(Lines(control), serials[0] + " " + Answer(2)));
    EXPECT_EQ(0, Count(Lines(control), serials[1] + " " + Answer(1)));
}

TEST_F(ControlEvents, RequestsPendingAtTeardownAreDroppedUnanswered) {
    const auto& control = Use(Variant::basic);
    browser.delivery = nphost::Delivery::Later;
    nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"x"}));
    Request(instance, L"late.txt", 5);
    ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
    browser.RunPending();
    EXPECT_EQ(0, Count(Calls(control), Answer(5)));
    EXPECT_EQ(1, Count(Calls(control), "Destroyed"));
}

}  // namespace
