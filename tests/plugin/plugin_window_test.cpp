// The instance's window: attachment, size, painting and teardown.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "host_fixture.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_window.h"

using namespace plugin;  // the plug-in's own classes under test

namespace {

SIZE WindowSize(HWND window) {
    RECT r = {};
    ::GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

WNDPROC ProcedureOf(HWND window) {
    return reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window, GWLP_WNDPROC));
}

LRESULT CALLBACK LaterProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(window, message, wParam, lParam);
}

using PluginWindowTest = HostTest;

// Whoever lets go of a subclassed window object, the window gets its own
// procedure back, unless someone else subclassed it since.
TEST_F(PluginWindowTest, AWindowObjectThatGoesPutsBackTheProcedureIfStillItsOwn) {
    for (const bool subclassedLater : {false, true}) {
        SCOPED_TRACE(subclassedLater ? "subclassed later" : "still ours");
        const HWND handle = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr,
                                              nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, handle);
        const WNDPROC original = ProcedureOf(handle);
        auto window = std::make_unique<fw::CWnd>();
        ASSERT_TRUE(window->SubclassWindow(handle));
        if (subclassedLater) {
            ::SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LaterProcedure));
        }
        window.reset();
        EXPECT_EQ(subclassedLater ? &LaterProcedure : original, ProcedureOf(handle));
        EXPECT_EQ(nullptr, fw::CWnd::FromHandlePermanent(handle));
        ::DestroyWindow(handle);
    }
}

TEST_F(PluginWindowTest, SetWindowTwiceMakesOneWindowSizedFromTheEmbed) {
    nphost::Instance& instance = browser.NewInstance(500, 400);
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({{"width", "320"}, {"height", "240"}}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    PluginWindow* first = Record(instance)->window.get();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(instance.window(), first->m_hWnd);
    EXPECT_EQ(instance.npp(), first->instance);
    EXPECT_EQ(Record(instance), first->instanceData);
    ASSERT_NE(nullptr, first->GetControlWindow());
    EXPECT_NE(nullptr, first->m_pCtrlCont);
    EXPECT_EQ(nullptr, first->GetControlWindow()->m_hWnd);
    EXPECT_EQ(first, first->GetControlWindow()->ParentWindow());
    SIZE size = WindowSize(instance.window());
    EXPECT_EQ(320, size.cx);
    EXPECT_EQ(240, size.cy);

    ::SetWindowPos(instance.window(), nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    EXPECT_EQ(first, Record(instance)->window.get());
    size = WindowSize(instance.window());
    EXPECT_EQ(320, size.cx);
    EXPECT_EQ(240, size.cy);

    // Another handle while attached only resizes the window we have.
    nphost::Instance& other = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow(other.window()));
    EXPECT_EQ(instance.window(), Record(instance)->window->m_hWnd);
    EXPECT_EQ(nphost::Instance::BrowserWindowProcedure(), ProcedureOf(other.window()));
}

TEST_F(PluginWindowTest, NullWindowTearsDownAndGivesTheBrowserItsProcedureBack) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    EXPECT_EQ(NPERR_NO_ERROR, instance.SetWindow(nullptr));  // nothing attached yet
    EXPECT_EQ(nullptr, Record(instance)->window);

    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    EXPECT_NE(nphost::Instance::BrowserWindowProcedure(), ProcedureOf(instance.window()));
    EXPECT_EQ(NPERR_NO_ERROR, instance.SetWindow(nullptr));
    EXPECT_EQ(nullptr, Record(instance)->window);
    EXPECT_TRUE(::IsWindow(instance.window()));
    EXPECT_EQ(nphost::Instance::BrowserWindowProcedure(), ProcedureOf(instance.window()));
    EXPECT_EQ(nullptr, fw::CWnd::FromHandlePermanent(instance.window()));

    const int before = instance.browserProcedureMessages();
    ::SendMessageW(instance.window(), WM_USER + 5, 0, 0);
    EXPECT_EQ(before + 1, instance.browserProcedureMessages());

    // A new attachment starts afresh; destroying the instance detaches too.
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    EXPECT_NE(nullptr, Record(instance)->window);
    EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
    EXPECT_TRUE(::IsWindow(instance.window()));
    EXPECT_EQ(nphost::Instance::BrowserWindowProcedure(), ProcedureOf(instance.window()));
    EXPECT_EQ(0, browser.liveAllocations());
}

TEST_F(PluginWindowTest, MessagesThePluginDoesNotHandleReachTheBrowser) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    const int before = instance.browserProcedureMessages();
    ::SendMessageW(instance.window(), WM_USER + 1, 0, 0);
    ::SendMessageW(instance.window(), WM_MOVE, 0, 0);
    EXPECT_EQ(before + 2, instance.browserProcedureMessages());
}

TEST_F(PluginWindowTest, PaintingDrawsNothingAndErasingReportsDone) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    HWND window = instance.window();
    const int before = instance.browserProcedureMessages();

    HDC dc = ::GetDC(window);
    EXPECT_NE(0, ::SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0));
    ::ReleaseDC(window, dc);

    ::InvalidateRect(window, nullptr, FALSE);
    RECT dirty = {};
    EXPECT_TRUE(::GetUpdateRect(window, &dirty, FALSE));
    ::SendMessageW(window, WM_PAINT, 0, 0);
    EXPECT_FALSE(::GetUpdateRect(window, &dirty, FALSE));  // validated
    EXPECT_EQ(before, instance.browserProcedureMessages());  // neither reached the browser
}

TEST_F(PluginWindowTest, TeardownWithoutAPropertyFileTellsNobody) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    EXPECT_FALSE(Record(instance)->window->GetControlWindow()->IsStarted());
    EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
    EXPECT_TRUE(ThePluginApp().startedControls.Snapshot().empty());
}

TEST_F(PluginWindowTest, BrowserDestroyingItsWindowFirstIsSurvived) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    ::DestroyWindow(instance.window());
    EXPECT_EQ(nullptr, Record(instance)->window->m_hWnd);
    EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
}

// Dismisses the message box with `caption` once it shows, and keeps its text.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(const wchar_t* caption)
        : thread_([this, caption] {
              for (int i = 0; i < 500 && !found_; ++i) {
                  if (HWND box = ::FindWindowW(nullptr, caption)) {
                      wchar_t text[256] = {};
                      ::GetDlgItemTextW(box, 0xFFFF, text, 256);
                      text_ = text;
                      found_ = true;
                      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                  } else {
                      ::Sleep(10);
                  }
              }
          }) {}
    ~MessageBoxWatcher() {
        if (thread_.joinable()) thread_.join();
    }
    std::wstring Text() {
        thread_.join();
        return text_;
    }

private:
    std::atomic<bool> found_{false};
    std::wstring text_;
    std::thread thread_;
};

TEST_F(PluginWindowTest, FailedSubclassingSaysSoAndLeavesTheWindowUnattached) {
    nphost::Instance& instance = browser.NewInstance();
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({}));
    HWND gone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  nullptr, nullptr);
    ::DestroyWindow(gone);

    MessageBoxWatcher watcher(L"Plug-in-test");
    EXPECT_EQ(NPERR_GENERIC_ERROR, instance.SetWindow(gone));
    EXPECT_EQ(L"SubclassWindow Failed", watcher.Text());
    PluginWindow* unattached = Record(instance)->window.get();
    ASSERT_NE(nullptr, unattached);
    EXPECT_EQ(nullptr, unattached->m_hWnd);
    EXPECT_EQ(nullptr, unattached->GetControlWindow());

    // Later calls only try to resize it; a file finds nobody to receive it.
    EXPECT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    EXPECT_EQ(unattached, Record(instance)->window.get());
    instance.Deliver("http://h/x.opf", "C:\\nowhere.opf");
    EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
    EXPECT_EQ(0, browser.liveAllocations());
}

}  // namespace
