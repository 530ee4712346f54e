// The scripting bridge against a browser played in the test: values both
// ways, a control's members through its scriptable object, listeners, failed
// and disconnected calls, script objects handed to the control, and the
// safe-for-scripting rule.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wrl/client.h>

#include "framework/unique_resource.h"
#include "scripting/dispatch_object.h"
#include "scripting/embed_parameters.h"
#include "scripting/script_dispatch.h"
#include "scripting/scripting_safety.h"
#include "scripting/variant_conversion.h"
#include "test_control_support.h"

using Microsoft::WRL::ComPtr;
using namespace scripting;

// Allocation failure on demand, for the whole program: with a count n >= 0,
// the allocation after n more fails (operator new throws, the nothrow forms
// answer null) and the count goes back to -1 (never).
namespace {
int allocationsBeforeFailure = -1;
bool FailThisAllocation() {
    return allocationsBeforeFailure >= 0 && allocationsBeforeFailure-- == 0;
}
}  // namespace
void* operator new(std::size_t size) {
    void* block = FailThisAllocation() ? nullptr : std::malloc(size ? size : 1);
    if (!block) throw std::bad_alloc();
    return block;
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return FailThisAllocation() ? nullptr : std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return ::operator new(size, tag);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace {

// A browser: objects through their class, interned identifiers, the last
// exception, and calls of script functions recorded as text.
class FakeBrowser final : public BrowserCalls {
public:
    FakeBrowser() { exception.reserve(4096); }  // set without allocating
    std::string exception;
    int liveBlocks = 0;
    int liveObjects = 0;

    void* MemAlloc(uint32_t size) override {
        ++liveBlocks;
        return std::malloc(size ? size : 1);
    }
    void MemFree(void* block) override {
        if (block) --liveBlocks;
        std::free(block);
    }
    NPObject* CreateObject(NPP npp, NPClass* c) override {
        NPObject* o = c->allocate ? c->allocate(npp, c) : new NPObject{};
        o->_class = c;
        o->referenceCount = 1;
        ++liveObjects;
        return o;
    }
    NPObject* RetainObject(NPObject* o) override {
        ++o->referenceCount;
        return o;
    }
    void ReleaseObject(NPObject* o) override {
        if (--o->referenceCount) return;
        --liveObjects;
        if (o->_class->deallocate) o->_class->deallocate(o); else delete o;
    }
    NPIdentifier GetStringIdentifier(const char* name) override {
        return const_cast<std::string*>(&*names_.insert(name).first);
    }
    std::string NameOf(NPIdentifier id) override { return *static_cast<std::string*>(id); }
    bool Invoke(NPP, NPObject* o, NPIdentifier n, const NPVariant* a, uint32_t c, NPVariant* r) override {
        return o->_class->invoke(o, n, a, c, r);
    }
    bool InvokeDefault(NPP, NPObject* o, const NPVariant* a, uint32_t c, NPVariant* r) override {
        return o->_class->invokeDefault(o, a, c, r);
    }
    bool GetProperty(NPP, NPObject* o, NPIdentifier n, NPVariant* r) override {
        return o->_class->getProperty(o, n, r);
    }
    bool SetProperty(NPP, NPObject* o, NPIdentifier n, const NPVariant* v) override {
        return o->_class->setProperty(o, n, v);
    }
    void ReleaseVariantValue(NPVariant* v) override {
        if (v->type == NPVariantType_String) MemFree(const_cast<char*>(v->value.stringValue.UTF8Characters));
        if (v->type == NPVariantType_Object) ReleaseObject(v->value.objectValue);
        VOID_TO_NPVARIANT(*v);
    }
    void SetException(NPObject*, const char* message) override {
        exception.assign(message, std::min<std::size_t>(std::strlen(message), exception.capacity()));
    }

private:
    std::set<std::string> names_;
};

std::string Text(const NPVariant& v) {
    switch (v.type) {
    case NPVariantType_Void: return "void";
    case NPVariantType_Null: return "null";
    case NPVariantType_Bool: return v.value.boolValue ? "true" : "false";
    case NPVariantType_Int32: return "int " + std::to_string(v.value.intValue);
    case NPVariantType_Double: return "double " + std::to_string(v.value.doubleValue);
    case NPVariantType_String:
        return "\"" + std::string(v.value.stringValue.UTF8Characters, v.value.stringValue.UTF8Length) + "\"";
    case NPVariantType_Object: return "object";
    }
    return "?";
}

// A script function: records each call's arguments; answers 1.
struct ScriptFunction : NPObject {
    std::vector<std::string> calls;
};
NPClass scriptFunctionClass = {
    NP_CLASS_STRUCT_VERSION, [](NPP, NPClass*) -> NPObject* { return new ScriptFunction; },
    [](NPObject* o) { delete static_cast<ScriptFunction*>(o); }, nullptr, nullptr, nullptr,
    [](NPObject* o, const NPVariant* args, uint32_t count, NPVariant* result) {
        std::string call;
        for (uint32_t i = 0; i < count; ++i) call += (i ? ", " : "") + Text(args[i]);
        static_cast<ScriptFunction*>(o)->calls.push_back(call);
        INT32_TO_NPVARIANT(1, *result);
        return true;
    },
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// A script function that allocates nothing of its own: counts its calls,
// runs `during` (if set) and answers a string from the browser's memory.
struct AnsweringFunction : NPObject {
    int calls = 0;
    std::function<void()> during;
    BrowserCalls* browser = nullptr;
};
NPClass answeringFunctionClass = {
    NP_CLASS_STRUCT_VERSION, [](NPP, NPClass*) -> NPObject* { return new AnsweringFunction; },
    [](NPObject* o) { delete static_cast<AnsweringFunction*>(o); }, nullptr, nullptr, nullptr,
    [](NPObject* o, const NPVariant*, uint32_t, NPVariant* result) {
        auto* self = static_cast<AnsweringFunction*>(o);
        ++self->calls;
        if (self->during) self->during();
        auto* text = static_cast<char*>(self->browser->MemAlloc(7));
        if (!text) return false;
        std::memcpy(text, "answer", 7);
        STRINGN_TO_NPVARIANT(text, 6, *result);
        return true;
    },
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

NPVariant Str(const char* s) {
    NPVariant v;
    STRINGN_TO_NPVARIANT(s, static_cast<uint32_t>(std::strlen(s)), v);
    return v;
}

class ScriptBridgeTest : public testing::Test {
protected:
    std::shared_ptr<FakeBrowser> browserCalls = std::make_shared<FakeBrowser>();
    FakeBrowser& browser = *browserCalls;
    NPP_t npp{};
    std::shared_ptr<ScriptSession> session = std::make_shared<ScriptSession>(browserCalls, &npp);
};

TEST_F(ScriptBridgeTest, AutomationValuesBecomeScriptValuesAndBack) {
    fw::UniqueBstr text(::SysAllocString(L"h\u00e9 \u20ac"));
    LONG referenced = 42;
    struct Case {
        const char* what;
        VARIANT value;
        const char* script;  // Text() of the script value
        VARTYPE back;        // the type it comes back as
    };
    auto v = [](VARTYPE type, auto set) {
        VARIANT x;
        ::VariantInit(&x);
        x.vt = type;
        set(x);
        return x;
    };
    const Case cases[] = {
        {"empty", v(VT_EMPTY, [](VARIANT&) {}), "void", VT_EMPTY},
        {"null", v(VT_NULL, [](VARIANT&) {}), "null", VT_NULL},
        {"bool", v(VT_BOOL, [](VARIANT& x) { x.boolVal = VARIANT_TRUE; }), "true", VT_BOOL},
        {"short", v(VT_I2, [](VARIANT& x) { x.iVal = -3; }), "int -3", VT_I4},
        {"long", v(VT_I4, [](VARIANT& x) { x.lVal = 2000000000; }), "int 2000000000", VT_I4},
        {"unsigned above int32", v(VT_UI4, [](VARIANT& x) { x.ulVal = 3000000000u; }),
         "double 3000000000.000000", VT_R8},
        {"double", v(VT_R8, [](VARIANT& x) { x.dblVal = 0.25; }), "double 0.250000", VT_R8},
        {"date as its double", v(VT_DATE, [](VARIANT& x) { x.date = 45000.5; }), "double 45000.500000", VT_R8},
        {"currency", v(VT_CY, [](VARIANT& x) { x.cyVal.int64 = 12345; }), "double 1.234500", VT_R8},
        {"string as UTF-8", v(VT_BSTR, [&](VARIANT& x) { x.bstrVal = text.get(); }),
         "\"h\xC3\xA9 \xE2\x82\xAC\"", VT_BSTR},
        {"null string is empty", v(VT_BSTR, [](VARIANT& x) { x.bstrVal = nullptr; }), "\"\"", VT_BSTR},
        {"by reference", v(VT_I4 | VT_BYREF, [&](VARIANT& x) { x.plVal = &referenced; }), "int 42", VT_I4},
        {"omitted argument", v(VT_ERROR, [](VARIANT& x) { x.scode = DISP_E_PARAMNOTFOUND; }), "void", VT_EMPTY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UniqueNPVariant script(session);
        ASSERT_TRUE(FromVariant(session, c.value, *script.get()));
        EXPECT_EQ(c.script, Text(*script));
        fw::UniqueVariant back;
        ASSERT_EQ(S_OK, ToVariant(session, *script, back.get()));
        EXPECT_EQ(c.back, back->vt);
        if (c.back == VT_BSTR && c.value.bstrVal) {
            EXPECT_STREQ(c.value.bstrVal, back->bstrVal);
        }
    }
    EXPECT_EQ(0, browser.liveBlocks);

    SAFEARRAY* array = ::SafeArrayCreateVector(VT_I4, 0, 1);
    VARIANT arrayValue;
    arrayValue.vt = VT_ARRAY | VT_I4;
    arrayValue.parray = array;
    NPVariant none;
    EXPECT_FALSE(FromVariant(session, arrayValue, none)) << "arrays do not cross";
    EXPECT_EQ(NPVariantType_Void, none.type);
    ::SafeArrayDestroy(array);

    std::string tooLong(kMaxStringLength + 1, 'x');
    fw::UniqueVariant refused;
    EXPECT_EQ(E_INVALIDARG, ToVariant(session, Str(tooLong.c_str()), refused.get()));
}

// The control's members through its scriptable object, then the object
// once the session is closed.
TEST_F(ScriptBridgeTest, ScriptableObjectCallsTheControl) {
    using test_controls::Variant;
    const auto& safe = test_controls::Info(Variant::safe_for_scripting);
    test_controls::ScopedControlRegistration registration(safe.dllPath);
    ASSERT_EQ(S_OK, registration.result());
    ComPtr<IDispatch> control;
    ASSERT_EQ(S_OK, ::CoCreateInstance(safe.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control)));
    NPObject* object = DispatchObject::Create(session, control.Get());
    ASSERT_NE(nullptr, object);
    NPClass& c = *object->_class;
    auto id = [&](const char* name) { return browser.GetStringIdentifier(name); };

    EXPECT_TRUE(c.hasProperty(object, id("Caption")));
    EXPECT_FALSE(c.hasMethod(object, id("Caption")));
    EXPECT_TRUE(c.hasMethod(object, id("Echo")));
    EXPECT_FALSE(c.hasProperty(object, id("Echo")));
    EXPECT_FALSE(c.hasMethod(object, id("NoSuchMember")));
    EXPECT_TRUE(c.hasMethod(object, id("addEventListener")));

    // "param-NAME" attributes set existing properties and skip the rest.
    const char* attributeNames[] = {"Caption", "PARAM-Caption", "param-NoSuchProperty", "param-", "param-Caption"};
    const char* attributeValues[] = {"plain", "first", "x", "y", "from the page"};
    EXPECT_EQ((std::vector<std::string>{"Caption", "Caption"}),
              ApplyEmbedParameters(control.Get(), 5, attributeNames, attributeValues));
    UniqueNPVariant parameter(session);
    ASSERT_TRUE(c.getProperty(object, id("Caption"), parameter.get()));
    EXPECT_EQ("\"from the page\"", Text(*parameter));

    const NPVariant caption = Str("sc\xC3\xA9ne");
    ASSERT_TRUE(c.setProperty(object, id("Caption"), &caption));
    UniqueNPVariant read(session);
    ASSERT_TRUE(c.getProperty(object, id("Caption"), read.get()));
    EXPECT_EQ("\"sc\xC3\xA9ne\"", Text(*read));

    NPObject* function = browser.CreateObject(&npp, &scriptFunctionClass);
    NPVariant values[6];
    INT32_TO_NPVARIANT(-5, values[0]);
    DOUBLE_TO_NPVARIANT(1.5, values[1]);
    BOOLEAN_TO_NPVARIANT(true, values[2]);
    values[3] = Str("text");
    NULL_TO_NPVARIANT(values[4]);
    OBJECT_TO_NPVARIANT(function, values[5]);
    const char* echoed[] = {"int -5", "double 1.500000", "true", "\"text\"", "null", "object"};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(echoed[i]);
        UniqueNPVariant answer(session);
        ASSERT_TRUE(c.invoke(object, id("Echo"), &values[i], 1, answer.get()));
        EXPECT_EQ(echoed[i], Text(*answer));
        if (i == 5) {
            EXPECT_EQ(function, answer.get()->value.objectValue)
                << "a script object comes back as itself";
        }
    }
    UniqueNPVariant self(session);
    NPVariant objectArgument;
    OBJECT_TO_NPVARIANT(object, objectArgument);
    ASSERT_TRUE(c.invoke(object, id("Echo"), &objectArgument, 1, self.get()));
    EXPECT_NE(nullptr, self.get()->value.objectValue);

    // Listeners hear the event of their name with its arguments.
    NPVariant listen[2] = {Str("GetUrlAsFile"), {}};
    OBJECT_TO_NPVARIANT(function, listen[1]);
    NPVariant ignored;
    ASSERT_TRUE(c.invoke(object, id("addEventListener"), listen, 2, &ignored));
    VARIANT eventArgs[2];
    eventArgs[1].vt = VT_BSTR;
    fw::UniqueBstr url(::SysAllocString(L"file.txt"));
    eventArgs[1].bstrVal = url.get();
    eventArgs[0].vt = VT_I4;
    eventArgs[0].lVal = 7;
    const DISPPARAMS params = {eventArgs, nullptr, 2, 0};
    DispatchObject::From(object)->FireEvent("GetUrlAsFile", params);
    DispatchObject::From(object)->FireEvent("Clicked", params);
    ASSERT_TRUE(c.invoke(object, id("removeEventListener"), listen, 2, &ignored));
    DispatchObject::From(object)->FireEvent("GetUrlAsFile", params);
    EXPECT_EQ(std::vector<std::string>{"\"file.txt\", int 7"}, static_cast<ScriptFunction*>(function)->calls);

    // A failed call is a script exception; so is every call once the
    // session is closed, and nothing of the control is reached.
    UniqueNPVariant failed(session);
    EXPECT_FALSE(c.invoke(object, id("Echo"), values, 0, failed.get()));
    EXPECT_NE("", browser.exception);
    browser.exception.clear();
    self.reset();
    session->Close();
    control.Reset();
    EXPECT_FALSE(c.invoke(object, id("Echo"), values, 1, failed.get()));
    EXPECT_FALSE(c.hasMethod(object, id("Echo")));
    browser.ReleaseObject(function);
    browser.ReleaseObject(object);
    EXPECT_EQ(0, browser.liveObjects);
}

TEST_F(ScriptBridgeTest, ScriptObjectAnswersTheControlUntilTheSessionCloses) {
    NPObject* function = browser.CreateObject(&npp, &scriptFunctionClass);
    ComPtr<IDispatch> dispatch = ScriptDispatch::Create(session, function);
    ASSERT_TRUE(dispatch);
    EXPECT_EQ(function, ScriptDispatch::ObjectOf(dispatch.Get()));
    VARIANT argument;
    argument.vt = VT_I4;
    argument.lVal = 3;
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    fw::UniqueVariant result;
    ASSERT_EQ(S_OK, dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params, result.get(),
                                     nullptr, nullptr));
    EXPECT_EQ(VT_I4, result->vt);
    EXPECT_EQ(std::vector<std::string>{"int 3"}, static_cast<ScriptFunction*>(function)->calls);
    browser.ReleaseObject(function);
    session->Close();
    EXPECT_EQ(0, browser.liveObjects) << "closing lets go of the script object";
    EXPECT_EQ(E_UNEXPECTED, dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params,
                                             result.get(), nullptr, nullptr));
}

AnsweringFunction* NewAnsweringFunction(FakeBrowser& browser, NPP npp) {
    auto* function = static_cast<AnsweringFunction*>(browser.CreateObject(npp, &answeringFunctionClass));
    function->browser = &browser;
    return function;
}

// The instance ends (its session closes) inside a call that the bridge made
// holding listeners, converted arguments and the answer: each is given back
// once all the same, and nothing more is called.
TEST_F(ScriptBridgeTest, WhatACallHoldsIsGivenBackWhenTheSessionClosesInsideIt) {
    using test_controls::Variant;
    const auto& safe = test_controls::Info(Variant::safe_for_scripting);
    test_controls::ScopedControlRegistration registration(safe.dllPath);
    ASSERT_EQ(S_OK, registration.result());
    fw::UniqueBstr text(::SysAllocString(L"an argument"));
    VARIANT argument;
    argument.vt = VT_BSTR;
    argument.bstrVal = text.get();
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    const struct {
        const char* name;
        bool throughEvent;  // else the control calls a script object
    } cases[] = {{"a listener of an event", true}, {"a script object the control calls", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto ownSession = std::make_shared<ScriptSession>(browserCalls, &npp);
        AnsweringFunction* closing = NewAnsweringFunction(browser, &npp);
        AnsweringFunction* next = NewAnsweringFunction(browser, &npp);
        closing->during = [&] { ownSession->Close(); };
        if (c.throughEvent) {
            ComPtr<IDispatch> control;
            ASSERT_EQ(S_OK, ::CoCreateInstance(safe.clsid, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_PPV_ARGS(&control)));
            NPObject* object = DispatchObject::Create(ownSession, control.Get());
            ASSERT_NE(nullptr, object);
            for (NPObject* listener : {static_cast<NPObject*>(closing), static_cast<NPObject*>(next)}) {
                NPVariant listen[2] = {Str("Clicked"), {}};
                OBJECT_TO_NPVARIANT(listener, listen[1]);
                NPVariant ignored;
                ASSERT_TRUE(object->_class->invoke(object, browser.GetStringIdentifier("addEventListener"),
                                                   listen, 2, &ignored));
            }
            DispatchObject::From(object)->FireEvent("Clicked", params);
            browser.ReleaseObject(object);
        } else {
            ComPtr<IDispatch> dispatch = ScriptDispatch::Create(ownSession, closing);
            ASSERT_TRUE(dispatch);
            fw::UniqueVariant result;
            EXPECT_EQ(S_OK, dispatch->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params,
                                             result.get(), nullptr, nullptr));
            EXPECT_EQ(VT_BSTR, result->vt);
        }
        EXPECT_EQ(1, closing->calls);
        EXPECT_EQ(0, next->calls) << "nothing is called once the session closed";
        browser.ReleaseObject(closing);
        browser.ReleaseObject(next);
        EXPECT_EQ(0, browser.liveObjects);
        EXPECT_EQ(0, browser.liveBlocks) << "argument and answer strings";
    }
}

// Each bridge call with its n-th allocation failing, for every n until the
// call runs through: never an exception out of the bridge, a failed call
// sets a script exception (an automation call answers a failure), and
// nothing is left held.
TEST_F(ScriptBridgeTest, CallsAnswerFailureWhenMemoryRunsOut) {
    using test_controls::Variant;
    const auto& safe = test_controls::Info(Variant::safe_for_scripting);
    test_controls::ScopedControlRegistration registration(safe.dllPath);
    ASSERT_EQ(S_OK, registration.result());
    ComPtr<IDispatch> control;
    ASSERT_EQ(S_OK, ::CoCreateInstance(safe.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control)));
    NPObject* object = DispatchObject::Create(session, control.Get());
    ASSERT_NE(nullptr, object);
    NPClass& c = *object->_class;
    AnsweringFunction* function = NewAnsweringFunction(browser, &npp);
    ComPtr<IDispatch> scriptObject = ScriptDispatch::Create(session, function);
    ASSERT_TRUE(scriptObject);
    const NPIdentifier echo = browser.GetStringIdentifier("Echo");
    const NPIdentifier caption = browser.GetStringIdentifier("Caption");
    const NPIdentifier add = browser.GetStringIdentifier("addEventListener");
    const NPIdentifier remove = browser.GetStringIdentifier("removeEventListener");
    NPVariant listen[2] = {Str("Clicked"), {}};
    OBJECT_TO_NPVARIANT(function, listen[1]);
    NPVariant ignored;
    fw::UniqueBstr text(::SysAllocString(L"an argument"));
    VARIANT argument;
    argument.vt = VT_BSTR;
    argument.bstrVal = text.get();
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    const NPVariant value = Str("a value");

    const struct {
        const char* name;
        std::function<bool()> call;  // false: failed
        bool scriptCall;             // a failure sets a script exception
    } cases[] = {
        {"method with a string", [&] {
             UniqueNPVariant result(session);
             return c.invoke(object, echo, &value, 1, result.get());
         }, true},
        {"property get", [&] {
             UniqueNPVariant result(session);
             return c.getProperty(object, caption, result.get());
         }, true},
        {"property set", [&] { return c.setProperty(object, caption, &value); }, true},
        {"method lookup", [&] { return c.hasMethod(object, echo); }, false},
        {"listener added and removed", [&] {
             if (!c.invoke(object, add, listen, 2, &ignored)) return false;
             const int before = allocationsBeforeFailure;
             allocationsBeforeFailure = -1;
             EXPECT_TRUE(c.invoke(object, remove, listen, 2, &ignored));
             allocationsBeforeFailure = before;
             return true;
         }, true},
        {"members enumerated", [&] {
             NPIdentifier* names = nullptr;
             uint32_t count = 0;
             const bool ok = c.enumerate(object, &names, &count);
             browser.MemFree(names);
             return ok;
         }, true},
        {"script object called by the control", [&] {
             fw::UniqueVariant result;
             return SUCCEEDED(scriptObject->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_METHOD, &params,
                                                   result.get(), nullptr, nullptr));
         }, false},
        {"script member named by the control", [&] {
             LPOLESTR name = const_cast<LPOLESTR>(L"someMember");
             DISPID id = 0;
             return SUCCEEDED(scriptObject->GetIDsOfNames(IID_NULL, &name, 1, 0, &id));
         }, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        bool ranThrough = false;
        for (int n = 0; n < 500 && !ranThrough; ++n) {
            SCOPED_TRACE(n);
            browser.exception.clear();
            allocationsBeforeFailure = n;
            bool ok = false;
            try {
                ok = test.call();
            } catch (...) {
                allocationsBeforeFailure = -1;
                ADD_FAILURE() << "an exception left the bridge";
                break;
            }
            ranThrough = allocationsBeforeFailure >= 0;
            allocationsBeforeFailure = -1;
            if (ranThrough) {
                EXPECT_TRUE(ok) << "without a failure the call succeeds";
            } else if (!ok && test.scriptCall) {
                EXPECT_NE("", browser.exception);
            }
        }
        EXPECT_TRUE(ranThrough);
    }
    // An event for a listener, each allocation failing in turn.
    ASSERT_TRUE(c.invoke(object, add, listen, 2, &ignored));
    for (int n = 0; n < 500; ++n) {
        allocationsBeforeFailure = n;
        DispatchObject::From(object)->FireEvent("Clicked", params);
        const bool ranThrough = allocationsBeforeFailure >= 0;
        allocationsBeforeFailure = -1;
        if (ranThrough) break;
    }
    EXPECT_LT(0, function->calls);
    scriptObject.Reset();
    browser.ReleaseObject(object);
    browser.ReleaseObject(function);
    EXPECT_EQ(0, browser.liveObjects);
    EXPECT_EQ(0, browser.liveBlocks);
}

TEST(ScriptingSafetyTest, OnlyAControlThatDeclaresItselfSafeIsScriptableOrInitialized) {
    using test_controls::Variant;
    constexpr wchar_t kScripting[] = L"{7DD95801-9882-11CF-9FA9-00AA006C42C4}";
    constexpr wchar_t kInitializing[] = L"{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
    const struct {
        Variant variant;
        const wchar_t* category;  // the class is registered in it
        bool scriptable;
        bool initializable;
    } cases[] = {
        {Variant::safe_for_scripting, nullptr, true, true},
        {Variant::basic, nullptr, false, true},
        {Variant::basic, kScripting, true, true},
        {Variant::scripting_not_init, nullptr, true, false},
        {Variant::scripting_not_init, kInitializing, true, true},
    };
    for (const auto& c : cases) {
        const auto& info = test_controls::Info(c.variant);
        SCOPED_TRACE(std::string(info.name) + (c.category ? " in a category" : ""));
        test_controls::ScopedControlRegistration registration(info.dllPath);
        ASSERT_EQ(S_OK, registration.result());
        const std::string text = info.clsidText;
        const std::wstring categories =
            L"CLSID\\" + std::wstring(text.begin(), text.end()) + L"\\Implemented Categories";
        fw::UniqueHKey key;
        if (c.category) {
            ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CLASSES_ROOT,
                                                       (categories + L"\\" + c.category).c_str(),
                                                       0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr));
        }
        ComPtr<IUnknown> control;
        ASSERT_EQ(S_OK, ::CoCreateInstance(info.clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&control)));
        EXPECT_EQ(c.scriptable, IsSafeForScripting(control.Get(), info.clsid, info.clsid));
        EXPECT_EQ(c.initializable, IsSafeForInitializing(control.Get(), info.clsid, info.clsid));
        key.reset();
        if (c.category) ::RegDeleteTreeW(HKEY_CLASSES_ROOT, categories.c_str());
    }
}

}  // namespace
