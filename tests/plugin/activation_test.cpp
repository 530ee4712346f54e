// From a delivered property file to a running test control, and back: what
// the control receives, in which order, and what is left when the page goes.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "control_page_fixture.h"
#include "framework/ole_control_site.h"
#include "framework/unique_resource.h"
#include "opftool/commands.h"
#include "opftool/compound_file_writer.h"
#include "opftool/property_file_builder.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "plugin/plugin_window.h"
#include "propfile/ocx_info.h"

using namespace plugin;  // the plug-in's own classes under test

using Microsoft::WRL::ComPtr;
using test_controls::ControlState;
using test_controls::Variant;

namespace {

class Activation : public ControlPageTest {
protected:
    ControlWindow* ControlOf(nphost::Instance& instance) {
        return Record(instance)->window->GetControlWindow();
    }
    static RECT RectInParent(HWND window) {
        RECT rect{};
        ::GetWindowRect(window, &rect);
        ::MapWindowPoints(nullptr, ::GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
};

TEST_F(Activation, InstalledControlIsCreatedFromItsStateStartedAndAnnounced) {
    const auto& control = Use(Variant::basic);
    nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"Hello"}),
                                          {{"width", "320"}, {"height", "240"}});
    ControlWindow* window = ControlOf(instance);

    ASSERT_NE(nullptr, window->GetControlUnknown());
    EXPECT_EQ(window->GetControlUnknown(), window->Control().Unknown());
    EXPECT_TRUE(InOrder(Calls(control),
                        {"Created", "SetClientSite", "Load Caption=Hello", "Advise",
                         "SetExtent 8467x6350", "DoVerb -5 0,0,320,240", "Start",
                         std::string("OnNewControlStateChanged ") + control.clsidText + " 0"}));
    EXPECT_EQ(1, Count(Calls(control), "Ambient UserMode=-1"));
    ASSERT_NE(nullptr, window->m_hWnd);
    EXPECT_EQ(instance.window(), ::GetParent(window->m_hWnd));
    const RECT rect = RectInParent(window->m_hWnd);
    EXPECT_EQ((RECT{0, 0, 320, 240}), rect);
    EXPECT_TRUE(::IsWindowVisible(window->m_hWnd));
    EXPECT_TRUE(window->IsStarted());
    EXPECT_EQ(window, ThePluginApp().startedControls.Snapshot().back());
}

TEST_F(Activation, TeardownStopsDeactivatesClosesAndReleasesTheControl) {
    const auto& control = Use(Variant::basic);
    nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"Bye"}));
    const HWND browserWindow = instance.window();
    test_controls::ClearControlLog(control.dllPath);

    ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
    EXPECT_EQ((std::vector<std::string>{"Stop", "InPlaceDeactivate", "Close 1", "SetClientSite null",
                                        "Unadvise", "Destroyed"}),
              Calls(control));
    EXPECT_TRUE(::IsWindow(browserWindow));
    EXPECT_EQ(nullptr, ::GetWindow(browserWindow, GW_CHILD));
    EXPECT_TRUE(ThePluginApp().startedControls.Snapshot().empty());
}

TEST_F(Activation, ASiteKeptPastTeardownIsDisconnectedNotDangling) {
    const auto& control = Use(Variant::basic);
    nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"x"}));
    ComPtr<fw::COleControlSite> site = ControlOf(instance)->m_pCtrlSite;
    ASSERT_NE(nullptr, site.Get());
    ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());

    EXPECT_EQ(1u, site->ReferenceCount()) << "only the test's reference is left";
    ComPtr<IOleContainer> container;
    EXPECT_EQ(E_UNEXPECTED, site->GetContainer(&container));
    EXPECT_EQ(nullptr, container.Get());
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(E_UNEXPECTED, site->GetWindow(&window));
    EXPECT_EQ(S_FALSE, site->CanInPlaceActivate());
}

// A control may keep what its container handed out (site, container, the
// frame of the window context) after its page is gone, and call it later:
// each call is answered with an error or nothing, and the control's last
// release frees the rest.
TEST_F(Activation, AControlThatKeepsItsContainerAndSitePastItsPageGetsErrorAnswers) {
    const struct {
        const char* name;
        NPError (*teardown)(nphost::Instance&);
    } cases[] = {
        {"NPP_Destroy", [](nphost::Instance& page) { return page.Destroy(); }},
        {"NPP_SetWindow without a window",
         [](nphost::Instance& page) { return page.SetWindow(nullptr); }},
    };
    const auto& control = Use(Variant::keeps_site);
    const std::string unexpected = " 8000FFFF";  // E_UNEXPECTED
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        nphost::Instance& page = OpenPage(WriteProperties(control, std::nullopt));
        ComPtr<IDispatch> kept;
        ASSERT_NE(nullptr, ControlOf(page)->GetControlUnknown());
        ASSERT_EQ(S_OK, ControlOf(page)->GetControlUnknown()->QueryInterface(IID_PPV_ARGS(&kept)));
        ASSERT_EQ(NPERR_NO_ERROR, c.teardown(page));
        EXPECT_TRUE(ThePluginApp().startedControls.Snapshot().empty());

        test_controls::ClearControlLog(control.dllPath);
        LPOLESTR name = const_cast<LPOLESTR>(L"CallKeptObjects");
        DISPID id = 0;
        ASSERT_EQ(S_OK, kept->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
        DISPPARAMS none{};
        EXPECT_EQ(S_OK, kept->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr,
                                     nullptr));
        kept.Reset();
        EXPECT_EQ((std::vector<std::string>{
                      "Kept EnumObjects 00000000 0", "Kept LockContainer" + unexpected,
                      "Kept ParseDisplayName" + unexpected, "Kept GetContainer" + unexpected,
                      "Kept GetWindow" + unexpected, "Kept OnInPlaceActivate" + unexpected,
                      "Kept GetWindowContext" + unexpected, "Kept OnPosRectChange" + unexpected,
                      "Kept Frame GetWindow" + unexpected, "Destroyed"}),
                  Calls(control));
    }
}

TEST_F(Activation, APropertyFileCapturedFromTheInstalledControlBringsItUp) {
    const auto& control = Use(Variant::basic);
    const std::string path = TempPath("captured.opf");
    std::ostringstream out, err;
    ASSERT_EQ(opftool::kExitOk,
              opftool::RunOpftool({"capture", path, "--clsid", control.clsidText}, out, err))
        << err.str();
    EXPECT_EQ("", err.str());
    EXPECT_TRUE(InOrder(Calls(control), {"InitNew", "Save Caption=Test control", "Destroyed"}));

    test_controls::ClearControlLog(control.dllPath);
    nphost::Instance& instance = OpenPage(path);
    ::DeleteFileA(path.c_str());
    EXPECT_NE(nullptr, ControlOf(instance)->GetControlUnknown()) << "its own product version was written";
    EXPECT_TRUE(InOrder(Calls(control), {"Load Caption=Test control", "Start"}));
}

TEST_F(Activation, CapturingAControlThatCannotBeCreatedFails) {
    const auto& control = Use(Variant::creation_fails);
    const std::string path = TempPath("never.opf");
    std::ostringstream out, err;
    EXPECT_EQ(opftool::kExitFailure,
              opftool::RunOpftool({"capture", path, "--clsid", control.clsidText}, out, err));
    EXPECT_NE(std::string::npos, err.str().find("cannot be created"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(path.c_str()));

    // With an empty state the control is never created: only its version is read.
    test_controls::ClearControlLog(control.dllPath);
    EXPECT_EQ(opftool::kExitOk, opftool::RunOpftool({"capture", path, "--clsid", control.clsidText,
                                                     "--state", "empty"}, out, err)) << err.str();
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(path.c_str()));
    ::DeleteFileA(path.c_str());
    EXPECT_TRUE(Calls(control).empty());
}

TEST_F(Activation, ThePagesSizeWinsOverTheFilesAndDefaultsTo100By100) {
    const auto& control = Use(Variant::basic);
    nphost::Instance& instance = OpenPage(
        WriteProperties(control, ControlState{L"x"}, {{"Width", "500"}, {"Height", "400"}}));
    ASSERT_NE(nullptr, ControlOf(instance)->m_hWnd);
    EXPECT_EQ((RECT{0, 0, 100, 100}), RectInParent(ControlOf(instance)->m_hWnd));
}

TEST_F(Activation, LoadingOrder) {
    const struct {
        Variant variant;
        std::optional<ControlState> state;
        std::vector<std::string> order;
    } cases[] = {
        {Variant::basic, std::nullopt, {"SetClientSite", "InitNew", "DoVerb -5 0,0,100,100"}},
        {Variant::no_client_site_first, ControlState{L"Late"}, {"Load Caption=Late", "SetClientSite"}},
    };
    for (const auto& c : cases) {
        const auto& control = Use(c.variant);
        SCOPED_TRACE(control.name);
        nphost::Instance& instance = OpenPage(WriteProperties(control, c.state));
        EXPECT_TRUE(InOrder(Calls(control), c.order));
        EXPECT_NE(nullptr, ControlOf(instance)->GetControlUnknown());
        EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
    }
}

TEST_F(Activation, StateTheControlRefusesLeavesNoControl) {
    const auto& control = Use(Variant::basic);
    // Garbage where the state belongs: Load fails, nothing is left running.
    const std::string path = TempPath("garbage.opf");
    opftool::PropertyFileContent garbage;
    garbage.clsid = control.clsid;
    garbage.headers = {{"Product Version", control.productVersion}};
    garbage.contents = "not a state";
    ASSERT_EQ(S_OK, opftool::WriteCompoundFile(path, opftool::BuildPropertyFile(garbage)));
    nphost::Instance& second = OpenPage(path);
    ::DeleteFileA(path.c_str());
    EXPECT_EQ(nullptr, ControlOf(second)->GetControlUnknown());
    EXPECT_EQ(nullptr, ::GetWindow(second.window(), GW_CHILD));
    EXPECT_TRUE(InOrder(Calls(control), {"Load failed", "SetClientSite null", "Destroyed"}));
}

TEST_F(Activation, AControlThatCannotBeCreatedIsStillListedButNothingIsCalled) {
    const auto& control = Use(Variant::creation_fails);
    nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"x"}));
    ControlWindow* window = ControlOf(instance);
    EXPECT_EQ(nullptr, window->GetControlUnknown());
    EXPECT_EQ(nullptr, window->Control().Unknown());
    EXPECT_TRUE(window->IsStarted());
    EXPECT_EQ(nullptr, ::GetWindow(instance.window(), GW_CHILD));
    ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
    EXPECT_TRUE(ThePluginApp().startedControls.Snapshot().empty());
}

TEST_F(Activation, AControlOfAnotherVersionIsNotCreated) {
    const auto& control = Use(Variant::basic);
    nphost::Instance& instance =
        OpenPage(WriteProperties(control, ControlState{L"x"}, {{"Product Version", "9, 9, 9, 9"}}));
    EXPECT_EQ(nullptr, ControlOf(instance)->GetControlUnknown());
    EXPECT_FALSE(ControlOf(instance)->IsStarted());
    EXPECT_EQ(0, Count(Calls(control), "Created"));
}

TEST_F(Activation, MethodsAreFoundByExactNameOnly) {
    const struct {
        Variant variant;
        int starts;  // "Start" reaching the control
        int stops;
    } cases[] = {
        {Variant::basic, 1, 1},
        {Variant::lowercase_start, 0, 1},
        {Variant::no_stop, 1, 0},
        {Variant::failing_invoke, 1, 1},
    };
    for (const auto& c : cases) {
        const auto& control = Use(c.variant);
        SCOPED_TRACE(control.name);
        nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"x"}));
        ASSERT_EQ(NPERR_NO_ERROR, instance.Destroy());
        const auto calls = Calls(control);
        EXPECT_EQ(c.starts, Count(calls, "Start"));
        EXPECT_EQ(c.stops, Count(calls, "Stop"));
        EXPECT_EQ(1, Count(calls, "Destroyed"));
        EXPECT_TRUE(ThePluginApp().startedControls.Snapshot().empty());
    }
}

TEST_F(Activation, MemberTablesOfTheRunningControl) {
    const auto& property = Use(Variant::property_start);
    nphost::Instance& first = OpenPage(WriteProperties(property, ControlState{L"x"}));
    const scripting::MemberEntry* start = ControlOf(first)->Control().FindMember("Start");
    ASSERT_NE(nullptr, start);
    EXPECT_EQ(2, start->dispid) << "the property comes before the method";
    EXPECT_EQ(nullptr, ControlOf(first)->Control().FindMember("start"));

    const auto& longName = Use(Variant::long_name);
    nphost::Instance& second = OpenPage(WriteProperties(longName, ControlState{L"x"}));
    const std::string full =
        "MethodWithAVeryLongNameThatKeepsGoingPastEightyCharactersSoThatTablesMustCutItShortAtSomePointReally";
    EXPECT_NE(nullptr, ControlOf(second)->Control().FindMember(full.substr(0, 80)));
    EXPECT_EQ(nullptr, ControlOf(second)->Control().FindMember(full));

    const auto& hidden = Use(Variant::no_typeinfo);
    nphost::Instance& third = OpenPage(WriteProperties(hidden, ControlState{L"x"}));
    ASSERT_NE(nullptr, ControlOf(third)->GetControlUnknown());
    EXPECT_EQ(0u, ControlOf(third)->Control().Members().methods.size());
    EXPECT_EQ(scripting::kNoEventDispid, ControlOf(third)->Control().eventDispid);
    EXPECT_EQ(0, Count(Calls(hidden), "Start"));
}

TEST_F(Activation, StartsAndStopsAreAnnouncedToEveryStartedControl) {
    const auto& control = Use(Variant::basic);
    nphost::Instance& a = OpenPage(WriteProperties(control, ControlState{L"A"}));
    nphost::Instance& b = OpenPage(WriteProperties(control, ControlState{L"B"}));
    const std::string started = std::string("OnNewControlStateChanged ") + control.clsidText + " 0";
    const std::string stopped = std::string("OnNewControlStateChanged ") + control.clsidText + " 1";
    // A hears its own start and B's; B hears its own.
    const auto serials = Serials(Lines(control));
    ASSERT_EQ(2u, serials.size());
    const std::string objectA = serials[0] + " ", objectB = serials[1] + " ";
    EXPECT_EQ(2, Count(Lines(control), objectA + started));
    EXPECT_EQ(1, Count(Lines(control), objectB + started));

    ComPtr<IUnknown> controlOfA = ControlOf(a)->GetControlUnknown();
    ASSERT_EQ(NPERR_NO_ERROR, b.Destroy());
    EXPECT_EQ(1, Count(Lines(control), objectA + stopped));
    EXPECT_EQ(0, Count(Lines(control), objectB + stopped));
    ASSERT_EQ(1u, ThePluginApp().startedControls.Snapshot().size());
    EXPECT_EQ(ControlOf(a), ThePluginApp().startedControls.Snapshot().front());

    ComPtr<IOleContainer> container;
    ComPtr<IEnumUnknown> objects;
    ASSERT_EQ(S_OK, ControlOf(a)->m_pCtrlSite->GetContainer(&container));
    ASSERT_EQ(S_OK, container->EnumObjects(OLECONTF_EMBEDDINGS, &objects));
    IUnknown* element = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, objects->Next(1, &element, &fetched));
    EXPECT_EQ(controlOfA.Get(), element);
    element->Release();
    EXPECT_EQ(S_FALSE, objects->Next(1, &element, &fetched));
}

TEST_F(Activation, AnsweringTheAmbientProperties) {
    const auto& control = Use(Variant::basic);
    nphost::Instance& instance = OpenPage(WriteProperties(control, ControlState{L"x"}));
    fw::COleControlSite* site = ControlOf(instance)->m_pCtrlSite;
    ASSERT_NE(nullptr, site);
    const struct {
        DISPID id;
        VARTYPE type;
        HRESULT result;
    } cases[] = {
        {DISPID_AMBIENT_USERMODE, VT_BOOL, S_OK},     {DISPID_AMBIENT_UIDEAD, VT_BOOL, S_OK},
        {DISPID_AMBIENT_DISPLAYNAME, VT_BSTR, S_OK},  {DISPID_AMBIENT_BACKCOLOR, VT_I4, S_OK},
        {DISPID_AMBIENT_FORECOLOR, VT_I4, S_OK},      {DISPID_AMBIENT_FONT, VT_DISPATCH, S_OK},
        {DISPID_AMBIENT_LOCALEID, VT_I4, S_OK},       {DISPID_AMBIENT_PALETTE, VT_EMPTY, DISP_E_MEMBERNOTFOUND},
        {12345, VT_EMPTY, DISP_E_MEMBERNOTFOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        fw::UniqueVariant value;
        DISPPARAMS none = {};
        EXPECT_EQ(c.result, site->Invoke(c.id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                         value.get(), nullptr, nullptr));
        EXPECT_EQ(c.type, value->vt);
    }
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(E_NOINTERFACE, site->QueryInterface(IID_IPersist, reinterpret_cast<void**>(unknown.GetAddressOf())));
    EXPECT_EQ(nullptr, unknown.Get());
}

}  // namespace
