// Every place where a control or a page script runs inside a call of the
// plug-in, with the instance destroyed right there: by a listener of a
// control event, or by the browser answering the control's request to end
// its page (the test control's TEST_CONTROL_END_PAGE_IN). Nothing may crash
// or touch freed memory (the heap-checked run of this program sees to the
// latter), and everything handed across is given back: listeners and other
// script objects, the browser's memory, the control itself.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "control_page_fixture.h"
#include "npruntime_host.h"
#include "plugin/control_window.h"
#include "plugin/plugin_window.h"

using test_controls::ControlState;
using test_controls::Variant;

namespace {

// The browser's side of "end this page": instances marked to end, found by
// their plug-in window, whose browser procedure (beneath the plug-in's own)
// destroys them when the control's message arrives.
std::map<HWND, nphost::Instance*> instancesToEnd;
WNDPROC browserProcedure = nullptr;
UINT EndPageMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"NptrvTestControlEndPage");
    return message;
}
LRESULT CALLBACK EndingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == EndPageMessage()) {
        auto found = instancesToEnd.find(window);
        if (found != instancesToEnd.end()) {
            nphost::Instance* instance = found->second;
            instancesToEnd.erase(found);
            if (instance->alive()) instance->Destroy();
        }
        return 0;
    }
    return ::CallWindowProcW(browserProcedure, window, message, wParam, lParam);
}

// A listener that ends the instance marked for it.
nphost::Instance* listenerEnds = nullptr;
bool EndFromListener(NPObject*, const NPVariant*, uint32_t, NPVariant* result) {
    VOID_TO_NPVARIANT(*result);
    if (nphost::Instance* instance = std::exchange(listenerEnds, nullptr)) instance->Destroy();
    return true;
}
NPClass endingListenerClass = {NP_CLASS_STRUCT_VERSION, nullptr, nullptr, nullptr, nullptr,
                               nullptr, EndFromListener};

class Reentrancy : public ControlPageTest {
protected:
    void TearDown() override {
        ::SetEnvironmentVariableW(L"TEST_CONTROL_END_PAGE_IN", nullptr);
        instancesToEnd.clear();
        listenerEnds = nullptr;
        ControlPageTest::TearDown();
    }

    // An instance whose browser window answers the end-page message, given
    // its window and then the property file.
    nphost::Instance& OpenEndablePage(const std::string& propertyFile) {
        nphost::Instance& instance = browser.NewInstance(300, 200);
        EXPECT_EQ(NPERR_NO_ERROR, instance.New({}));
        browserProcedure = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
            instance.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EndingProcedure)));
        instancesToEnd[instance.window()] = &instance;
        EXPECT_EQ(NPERR_NO_ERROR, instance.SetWindow());
        instance.Deliver("http://host/page/control.opf", propertyFile);
        return instance;
    }

    // Adds a listener of "Clicked" that ends `instance`; the plug-in holds
    // the only reference to it afterwards.
    void ListenToClicked(NPObject* scriptable, nphost::Instance& instance) {
        NPNetscapeFuncs& funcs = browser.browserFuncs();
        NPObject* listener = funcs.createobject(instance.npp(), &endingListenerClass);
        NPVariant arguments[2];
        STRINGN_TO_NPVARIANT("Clicked", 7, arguments[0]);
        OBJECT_TO_NPVARIANT(listener, arguments[1]);
        NPVariant result;
        VOID_TO_NPVARIANT(result);
        EXPECT_TRUE(funcs.invoke(instance.npp(), scriptable,
                                 funcs.getstringidentifier("addEventListener"), arguments, 2, &result));
        funcs.releasevariantvalue(&result);
        funcs.releaseobject(listener);
        listenerEnds = &instance;
    }

    NPObject* ScriptableObject(nphost::Instance& instance) {
        NPObject* object = nullptr;
        const auto getValue = reinterpret_cast<NPP_GetValueProcPtr>(browser.pluginFuncs().getvalue);
        return getValue(instance.npp(), NPPVpluginScriptableNPObject, &object) == NPERR_NO_ERROR
                   ? object
                   : nullptr;
    }
};

enum class Trigger {
    open,         // the control ends its page while the page is opened
    scriptCall,   // a page script calls the control, which fires "Clicked"
    click,        // the control fires "Clicked" from its window's message
    runPending,   // the browser delivers the files asked for
    pageMessage,  // the browser's window gets the end-page message itself
};

TEST_F(Reentrancy, TheInstanceEndsInsideEachCallOutOfThePlugin) {
    const struct {
        const char* name;
        const char* endIn;  // TEST_CONTROL_END_PAGE_IN, or a listener ends the page
        Trigger trigger;
        nphost::Delivery delivery;
        bool startRequest;  // the control asks for a file from inside "Start"
    } cases[] = {
        {"the control's in-place activation", "DoVerb", Trigger::open, nphost::Delivery::Later,
         false},
        {"Start", "Start", Trigger::open, nphost::Delivery::Later, false},
        {"the started-control notice", "OnNewControlStateChanged", Trigger::open,
         nphost::Delivery::Later, false},
        {"a file delivered from inside the request", "OnGetUrlAsFile", Trigger::open,
         nphost::Delivery::Immediate, true},
        {"a file delivered later", "OnGetUrlAsFile", Trigger::runPending, nphost::Delivery::Later,
         true},
        {"an event from a script's call", nullptr, Trigger::scriptCall, nphost::Delivery::Later,
         false},
        {"an event from the control's window message", nullptr, Trigger::click,
         nphost::Delivery::Later, false},
        {"the control's window message", "Clicked", Trigger::click, nphost::Delivery::Later, false},
        {"the plug-in window's message", nullptr, Trigger::pageMessage, nphost::Delivery::Later,
         false},
    };
    const auto& control = Use(Variant::safe_for_scripting);
    const std::string data = TempPath("reentrancy.txt");
    ::CloseHandle(::CreateFileA(data.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    browser.resolver = [&](const std::string& url) -> std::optional<nphost::Answer> {
        return nphost::Answer{url, data};
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test_controls::ClearControlLog(control.dllPath);
        browser.delivery = c.delivery;
        ::SetEnvironmentVariableA("TEST_CONTROL_END_PAGE_IN", c.endIn);
        const int allocationsBefore = browser.liveAllocations();
        const ControlState state{L"x", c.startRequest ? L"start.txt" : L"", 7};
        nphost::Instance& instance = OpenEndablePage(WriteProperties(control, state));
        NPObject* scriptable = instance.alive() ? ScriptableObject(instance) : nullptr;
        if (!c.endIn && scriptable) ListenToClicked(scriptable, instance);
        switch (c.trigger) {
        case Trigger::open: break;
        case Trigger::scriptCall: {
            ASSERT_NE(nullptr, scriptable);
            NPNetscapeFuncs& funcs = browser.browserFuncs();
            NPVariant result;
            VOID_TO_NPVARIANT(result);
            funcs.invoke(instance.npp(), scriptable, funcs.getstringidentifier("FireOther"), nullptr,
                         0, &result);
            funcs.releasevariantvalue(&result);
            break;
        }
        case Trigger::click: {
            ASSERT_TRUE(instance.alive());
            HWND window = Record(instance)->window->GetControlWindow()->m_hWnd;
            ASSERT_NE(nullptr, window);
            ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
            browser.PumpMessages(0);
            break;
        }
        case Trigger::runPending: browser.RunPending(); break;
        case Trigger::pageMessage: ::SendMessageW(instance.window(), EndPageMessage(), 0, 0); break;
        }
        EXPECT_FALSE(instance.alive()) << "the page ended where it was asked to";
        if (scriptable) {
            NPVariant result;
            VOID_TO_NPVARIANT(result);
            EXPECT_FALSE(scriptable->_class->getProperty(
                scriptable, browser.browserFuncs().getstringidentifier("Caption"), &result))
                << "a kept object answers an error";
            browser.browserFuncs().releaseobject(scriptable);
        }
        EXPECT_EQ(0, nphost::LiveObjects()) << "listeners and the scriptable object given back";
        EXPECT_EQ(allocationsBefore, browser.liveAllocations()) << "NPN_MemAlloc balanced";
        EXPECT_EQ(1, Count(Calls(control), "Destroyed")) << "the control released";
        browser.RunPending();
    }
    ::DeleteFileA(data.c_str());
}

}  // namespace
