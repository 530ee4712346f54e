// A control that the project did not write: one that the platform registered
// itself, captured with opftool and hosted in a page from that file.
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "framework/ole_control_site.h"
#include "host_fixture.h"
#include "install/control_registry_entry.h"
#include "opftool/commands.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"

using namespace plugin;  // the plug-in's own classes under test

namespace {

// The platform's media player control: windowed, with events and in-place
// activation of its own.
constexpr char kPlatformControl[] = "{6BF52A52-394A-11D3-B153-00C04F79FAA6}";

class PlatformControl : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        CLSID clsid{};
        ::CLSIDFromString(L"{6BF52A52-394A-11D3-B153-00C04F79FAA6}", &clsid);
        install::ControlRegistryEntry registry;
        if (!registry.IsInstalled(clsid, "")) GTEST_SKIP() << "the platform has no such control";
        char directory[MAX_PATH] = {};
        ::GetTempPathA(MAX_PATH, directory);
        path_ = std::string(directory) + "platform-" + std::to_string(::GetCurrentProcessId()) + ".opf";
        std::ostringstream out, err;
        ASSERT_EQ(opftool::kExitOk,
                  opftool::RunOpftool({"capture", path_, "--clsid", kPlatformControl}, out, err))
            << err.str();
    }
    void TearDown() override {
        if (!path_.empty()) ::DeleteFileA(path_.c_str());
    }

    std::string path_;
};

TEST_F(PlatformControl, ComesUpInThePageAndGoesAwayCleanly) {
    nphost::Instance& instance = browser.NewInstance(400, 300);
    ASSERT_EQ(NPERR_NO_ERROR, instance.New({{"width", "200"}, {"height", "150"}}));
    ASSERT_EQ(NPERR_NO_ERROR, instance.SetWindow());
    instance.Deliver("http://host/media/player.opf", path_);

    ControlWindow* control = Record(instance)->window->GetControlWindow();
    ASSERT_NE(nullptr, control->GetControlUnknown());
    EXPECT_EQ(control->GetControlUnknown(), control->Control().Unknown());
    EXPECT_TRUE(control->IsStarted());
    ASSERT_NE(nullptr, control->m_hWnd) << "a windowed control is attached to its window object";
    EXPECT_EQ(instance.window(), ::GetParent(control->m_hWnd));
    RECT rect{};
    ::GetWindowRect(control->m_hWnd, &rect);
    ::MapWindowPoints(nullptr, instance.window(), reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(0, rect.left);
    EXPECT_EQ(0, rect.top);
    EXPECT_EQ(200, rect.right);
    EXPECT_EQ(150, rect.bottom);
    EXPECT_TRUE(control->m_pCtrlSite->inPlaceActive());

    const HWND browserWindow = instance.window();
    ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
    EXPECT_TRUE(::IsWindow(browserWindow));
    EXPECT_EQ(nullptr, ::GetWindow(browserWindow, GW_CHILD)) << "nothing of the control is left";
    EXPECT_TRUE(ThePluginApp().startedControls.Snapshot().empty());
}

}  // namespace
