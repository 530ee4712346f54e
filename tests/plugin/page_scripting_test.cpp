// Page scripts drive a running test control through the plug-in's scriptable
// object: the page's script engine (nphost's) runs against a control that is
// safe for scripting and one that is not; the instance may end while scripts
// or listeners still hold the object.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "control_page_fixture.h"
#include "framework/unique_resource.h"
#include "plugin/control_window.h"
#include "plugin/plugin_window.h"
#include "script_engine.h"

using namespace plugin;  // the plug-in's own classes under test

using test_controls::ControlState;
using test_controls::Variant;

namespace {

struct ScriptCase {
    const char* name;
    const char* body;  // a function body that returns true when the case holds
};

// Against `c`: the safe control, its embed carrying param-Caption and
// param-Nothing (no such property) and an unprefixed Caption attribute.
constexpr ScriptCase kSafeControlCases[] = {
    {"param-NAME set before the script", "return c.Caption === 'from the page';"},
    {"property set and get", "c.Caption = 'set by script'; return c.Caption === 'set by script';"},
    {"int32", "return c.Echo(42) === 42 && c.Echo(-7) === -7;"},
    {"double", "return c.Echo(1.5) === 1.5 && c.Echo(2147483648) === 2147483648;"},
    {"string", "return c.Echo('h\\u00e9 <x>') === 'h\\u00e9 <x>' && c.Echo('') === '';"},
    {"bool", "return c.Echo(true) === true && c.Echo(false) === false;"},
    {"null and void", "return c.Echo(null) === null && c.Echo(undefined) === undefined;"},
    {"script object round trip", "var o = {k: 1}; return c.Echo(o) === o;"},
    {"members", "return 'Caption' in c && 'Echo' in c && !('Nothing' in c);"},
    {"event with arguments reaches its listener",
     "var got = null;"
     "c.addEventListener('GetUrlAsFile', function (u, n) { got = [u, n]; });"
     "c.FireRequestArgs('late.txt', 7, 2);"
     "return got !== null && got[0] === 'late.txt' && got[1] === 7;"},
    {"removed listener hears nothing",
     "var heard = 0; function f() { heard++; }"
     "c.addEventListener('Clicked', f); c.FireOther();"
     "c.removeEventListener('Clicked', f); c.FireOther(); return heard === 1;"},
    {"failing call is a script exception",
     "try { c.Echo(1, 2); return false; } catch (e) { return true; }"},
    {"refused value is a script exception",
     "try { c.Caption = {valueOf: 1, toString: 2}; return false; } catch (e) { return true; }"},
};

class PageScripting : public ControlPageTest {
protected:
    void SetUp() override {
        ControlPageTest::SetUp();
        scripts_ = std::make_unique<nphost::ScriptEngine>(browser);
    }
    void TearDown() override {
        scripts_.reset();
        ControlPageTest::TearDown();
    }

    // A page with one embed id="c" of `variant` (saved caption "saved") and
    // `extra` attributes.
    nphost::Instance& OpenScriptedPage(Variant variant,
                                       std::vector<std::pair<std::string, std::string>> extra) {
        const auto& control = Use(variant);
        std::vector<std::pair<std::string, std::string>> attributes = {{"id", "c"}};
        attributes.insert(attributes.end(), extra.begin(), extra.end());
        nphost::Instance& instance =
            OpenPage(WriteProperties(control, ControlState{L"saved", L"", 0}), attributes);
        scripts_->AddElement(instance, attributes);
        return instance;
    }

    // Runs `script` as a page script; returns the console lines it wrote.
    std::vector<std::string> Run(const std::string& script) {
        browser.ClearLog();
        scripts_->Run(script, "page");
        std::vector<std::string> lines;
        const std::string mark = "console.log ";
        for (const std::string& line : browser.log()) {
            const std::size_t at = line.find(mark);
            if (at != std::string::npos) lines.push_back(line.substr(at + mark.size()));
        }
        return lines;
    }

    // The scriptable object as the browser asks for it (a new reference), or
    // null.
    NPObject* ScriptableObject(nphost::Instance& instance) {
        NPObject* object = nullptr;
        const auto getValue = reinterpret_cast<NPP_GetValueProcPtr>(browser.pluginFuncs().getvalue);
        if (getValue(instance.npp(), NPPVpluginScriptableNPObject, &object) != NPERR_NO_ERROR) {
            return nullptr;
        }
        return object;
    }

    std::wstring Caption(nphost::Instance& instance) {
        IUnknown* control = Record(instance)->window->GetControlWindow()->GetControlUnknown();
        Microsoft::WRL::ComPtr<IDispatch> dispatch;
        if (!control || FAILED(control->QueryInterface(IID_PPV_ARGS(&dispatch)))) return L"?";
        DISPPARAMS none = {};
        fw::UniqueVariant value;
        if (FAILED(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.get(),
                                    nullptr, nullptr)) ||
            value->vt != VT_BSTR) {
            return L"?";
        }
        return value->bstrVal ? value->bstrVal : L"";
    }

    std::unique_ptr<nphost::ScriptEngine> scripts_;
};

TEST_F(PageScripting, SafeControlIsDrivenByThePage) {
    OpenScriptedPage(Variant::safe_for_scripting, {{"param-Caption", "from the page"},
                                                   {"PARAM-Nothing", "1"},
                                                   {"Echo", "not a parameter"}});
    std::string script = "var c = document.getElementById('c');\n";
    for (const ScriptCase& test : kSafeControlCases) {
        const std::string fail = std::string("'FAIL ") + test.name;
        script += std::string("try { console.log((function () {") + test.body + "})() === true ? 'ok' : " +
                  fail + "'); } catch (e) { console.log(" + fail + ": ' + e); }\n";
    }
    const std::vector<std::string> lines = Run(script);
    ASSERT_EQ(std::size(kSafeControlCases), lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ("ok", lines[i]) << kSafeControlCases[i].name;
    }
}

// A control not safe for scripting gets no object and no parameters; one
// not safe for initialization is scripted, but neither the page's parameters
// nor its saved state reach it (it starts as new, and the status says so).
// Either runs as without scripts.
TEST_F(PageScripting, ControlNotSafeGetsNoObjectOrNoPageData) {
    const struct {
        Variant variant;
        bool scripted;
        const wchar_t* caption;
        std::size_t statusLines;
    } cases[] = {
        {Variant::basic, false, L"saved", 0},
        {Variant::scripting_not_init, true, L"Test control", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(test_controls::Info(c.variant).name);
        const std::size_t statusBefore = browser.statusLines().size();
        nphost::Instance& instance =
            OpenScriptedPage(c.variant, {{"param-Caption", "from the page"}});
        EXPECT_EQ(std::vector<std::string>{c.scripted ? "false" : "true"},
                  Run("console.log(document.getElementById('c') === null)"));
        NPObject* object = ScriptableObject(instance);
        EXPECT_EQ(c.scripted, object != nullptr);
        if (object) browser.browserFuncs().releaseobject(object);
        EXPECT_EQ(c.caption, Caption(instance));
        EXPECT_EQ(statusBefore + c.statusLines, browser.statusLines().size());
        EXPECT_TRUE(Record(instance)->window->GetControlWindow()->IsStarted());
        scripts_ = std::make_unique<nphost::ScriptEngine>(browser);
        EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
    }
}

// A browser table too small for the scripting calls, or with one of them
// null: no scriptable object is handed out, and the control still runs.
TEST_F(PageScripting, ABrowserTableWithoutTheScriptingCallsLeavesTheBridgeOff) {
    const struct {
        const char* name;
        void (*spoil)(NPNetscapeFuncs&);
    } cases[] = {
        {"too small", [](NPNetscapeFuncs& t) { t.size = kNetscapeFuncsScriptingSize - 1; }},
        {"no invoke", [](NPNetscapeFuncs& t) { t.invoke = nullptr; }},
        {"no setexception", [](NPNetscapeFuncs& t) { t.setexception = nullptr; }},
    };
    NPNetscapeFuncs& table = browser.browserFuncs();
    const NPNetscapeFuncs whole = table;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.spoil(table);
        ASSERT_EQ(NPERR_NO_ERROR, NP_Initialize(&table));
        nphost::Instance& instance = OpenScriptedPage(Variant::safe_for_scripting, {});
        EXPECT_EQ(nullptr, ScriptableObject(instance));
        EXPECT_TRUE(Record(instance)->window->GetControlWindow()->IsStarted());
        EXPECT_EQ(L"saved", Caption(instance));
        scripts_ = std::make_unique<nphost::ScriptEngine>(browser);
        EXPECT_EQ(NPERR_NO_ERROR, instance.Destroy());
        table = whole;
        ASSERT_EQ(NPERR_NO_ERROR, NP_Initialize(&table));
    }
}

// A listener that ends its instance from inside the event, as a page that
// closes itself does.
nphost::Instance* instanceToEnd = nullptr;
bool EndInstance(NPObject*, const NPVariant*, uint32_t, NPVariant* result) {
    VOID_TO_NPVARIANT(*result);
    if (instanceToEnd) instanceToEnd->Destroy();
    return true;
}
NPClass endingListenerClass = {NP_CLASS_STRUCT_VERSION, nullptr, nullptr, nullptr, nullptr,
                               nullptr, EndInstance};

// A reference kept past the instance answers with an exception and touches
// nothing freed; a listener may end the instance from inside the event.
TEST_F(PageScripting, InstanceEndsWhileScriptsHoldItsObject) {
    nphost::Instance& instance = OpenScriptedPage(Variant::safe_for_scripting, {});
    NPObject* kept = ScriptableObject(instance);
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ(std::vector<std::string>{"true"},
              Run("var c = document.getElementById('c');"
                  "c.addEventListener('Clicked', function () {});"
                  "console.log(c.Caption === 'saved')"));
    scripts_.reset();

    NPNetscapeFuncs& funcs = browser.browserFuncs();
    NPObject* listener = funcs.createobject(instance.npp(), &endingListenerClass);
    NPVariant arguments[2];
    STRINGN_TO_NPVARIANT("Clicked", 7, arguments[0]);
    OBJECT_TO_NPVARIANT(listener, arguments[1]);
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    EXPECT_TRUE(funcs.invoke(instance.npp(), kept, funcs.getstringidentifier("addEventListener"),
                             arguments, 2, &result));
    funcs.releasevariantvalue(&result);
    funcs.releaseobject(listener);

    instanceToEnd = &instance;
    const NPIdentifier fire = funcs.getstringidentifier("FireOther");
    funcs.invoke(instance.npp(), kept, fire, nullptr, 0, &result);
    instanceToEnd = nullptr;
    funcs.releasevariantvalue(&result);
    ASSERT_FALSE(instance.alive());

    EXPECT_FALSE(funcs.getproperty(nullptr, kept, funcs.getstringidentifier("Caption"), &result));
    EXPECT_FALSE(funcs.invoke(nullptr, kept, fire, nullptr, 0, &result));
    funcs.releaseobject(kept);
}

}  // namespace
