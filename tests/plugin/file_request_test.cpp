// Request events as the control site routes them to the ControlWindow: which
// ones make the browser fetch a URL, and which are left to the default
// routing. Answers to a real control are tested with the test controls.
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/unique_resource.h"
#include "host_fixture.h"
#include "plugin/control_window.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"

using namespace plugin;  // the plug-in's own classes under test

namespace {

constexpr DISPID kRequestEvent = 12;

// One event argument as the control passes it.
struct Argument {
    VARTYPE type;
    const wchar_t* text;  // VT_BSTR (null: the null string)
    LONG number;          // VT_I4
};

Argument Text(const wchar_t* text) { return {VT_BSTR, text, 0}; }
Argument Number(LONG number) { return {VT_I4, nullptr, number}; }

class FileRequestTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ASSERT_NO_FATAL_FAILURE(NewAttachedInstance(instance_));
        control_ = Record(*instance_)->window->GetControlWindow();
        auto record = std::make_unique<propfile::COCXInfo>();
        record->baseUrl = "http://host/d/";
        control_->TakeRecord(std::move(record));  // not installed, nothing offered
        control_->Control().eventDispid = kRequestEvent;
    }

    // Fires an event with `arguments` in the order the control declares them.
    BOOL Fire(DISPID id, const std::vector<Argument>& arguments,
              int kind = fw::AFX_EVENT::event) {
        std::vector<fw::UniqueVariant> slots(arguments.size());
        std::vector<VARIANT> rgvarg(arguments.size());
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            VARIANT* slot = slots[arguments.size() - 1 - i].get();  // last argument first
            slot->vt = arguments[i].type;
            if (arguments[i].type == VT_BSTR) {
                slot->bstrVal = arguments[i].text ? ::SysAllocString(arguments[i].text) : nullptr;
            } else {
                slot->lVal = arguments[i].number;
            }
        }
        for (std::size_t i = 0; i < slots.size(); ++i) rgvarg[i] = *slots[i].get();
        DISPPARAMS params = {rgvarg.empty() ? nullptr : rgvarg.data(), nullptr,
                             static_cast<UINT>(rgvarg.size()), 0};
        fw::AFX_EVENT event;
        event.m_eventKind = kind;
        event.m_dispid = id;
        event.m_pDispParams = &params;
        return control_->OnCmdMsg(control_->controlId, fw::CN_EVENT, &event, nullptr);
    }

    nphost::Instance* instance_ = nullptr;
    ControlWindow* control_ = nullptr;
};

TEST_F(FileRequestTest, RequestEventsFetchTheResolvedUrlOrNothing) {
    const std::wstring longName(300, L'a');
    const std::wstring fits = L"http://host/" + std::wstring(255 - 12, L'b');
    const std::wstring tooLong = fits + L"b";
    const struct {
        const char* what;
        std::vector<Argument> arguments;
        std::optional<std::string> fetched;
    } cases[] = {
        {"relative path", {Text(L"img/a.gif"), Number(1)}, "http://host/d/img/a.gif"},
        {"root path", {Text(L"/a.gif"), Number(1)}, "http://host/a.gif"},
        {"lower-case scheme unchanged", {Text(L"http://Other/X.txt"), Number(1)}, "http://Other/X.txt"},
        {"null string is the directory", {Text(nullptr), Number(1)}, "http://host/d/"},
        {"255 bytes fit", {Text(fits.c_str()), Number(1)}, std::string(fits.begin(), fits.end())},
        {"256 bytes are refused", {Text(tooLong.c_str()), Number(1)}, std::nullopt},
        {"drive letter", {Text(L"C:\\x.txt"), Number(1)}, std::nullopt},
        {"unknown scheme", {Text(L"mailto:a@b"), Number(1)}, std::nullopt},
        {"first argument not a string", {Number(5), Number(1)}, std::nullopt},
        {"one argument only", {Text(L"a.txt")}, std::nullopt},
        {"no arguments", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        browser.ClearLog();
        const std::size_t before = browser.requestedUrls().size();
        const BOOL handled = Fire(kRequestEvent, c.arguments);
        EXPECT_EQ(c.fetched.has_value(), handled != FALSE);
        if (c.fetched) {
            ASSERT_EQ(before + 1, browser.requestedUrls().size());
            EXPECT_EQ(*c.fetched, browser.requestedUrls().back());
            EXPECT_EQ(*c.fetched, control_->Requests().Pending().front().url);
        } else {
            EXPECT_EQ(before, browser.requestedUrls().size());
        }
    }
}

TEST_F(FileRequestTest, OtherEventsAndKindsAreLeftToTheDefaultRouting) {
    EXPECT_FALSE(Fire(kRequestEvent + 1, {Text(L"a.txt"), Number(1)}));
    EXPECT_FALSE(Fire(kRequestEvent, {Text(L"a.txt"), Number(1)}, fw::AFX_EVENT::propChanged));
    control_->Control().eventDispid = scripting::kNoEventDispid;
    EXPECT_FALSE(Fire(scripting::kNoEventDispid, {Text(L"a.txt"), Number(1)}));
    EXPECT_TRUE(browser.requestedUrls().empty());
    EXPECT_TRUE(control_->Requests().Pending().empty());
}

// A browser without URL notification: only the URL tells the answer.
TEST_F(FileRequestTest, RequestsAreNotedNewestFirstAndTakenByExactUrl) {
    UseBrowser(UrlNotify::version8);
    ASSERT_TRUE(Fire(kRequestEvent, {Text(L"a.txt"), Number(1)}));
    ASSERT_TRUE(Fire(kRequestEvent, {Text(L"b.txt"), Number(7)}));
    ASSERT_TRUE(Fire(kRequestEvent, {Text(L"a.txt"), Number(2)}));
    ASSERT_EQ(3u, control_->Requests().Pending().size());
    EXPECT_EQ(2, control_->Requests().Pending().front().requestId);

    control_->DeliverRequestedFile("http://host/d/A.txt", "C:\\a");  // case matters
    control_->DeliverRequestedFile("http://host/d/c.txt", "C:\\c");
    EXPECT_EQ(3u, control_->Requests().Pending().size());

    control_->DeliverRequestedFile("http://host/d/a.txt", "C:\\a");
    ASSERT_EQ(2u, control_->Requests().Pending().size());
    EXPECT_EQ(7, control_->Requests().Pending().front().requestId);
    EXPECT_EQ(1, control_->Requests().Pending().back().requestId);
}

TEST_F(FileRequestTest, TheRequestNumberIsTheSecondArgumentsValue) {
    ASSERT_TRUE(Fire(kRequestEvent, {Text(L"a.txt"), Number(-5)}));
    EXPECT_EQ(-5, control_->Requests().Pending().front().requestId);
}

}  // namespace
