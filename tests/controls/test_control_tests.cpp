// Tests of the test controls themselves: registration, creation,
// persistence, events and the type information that hosts read.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include "event_recorder.h"
#include "fake_site.h"
#include "install/control_registry_entry.h"
#include "test_control_support.h"

namespace test_controls {
namespace {

using Microsoft::WRL::ComPtr;

std::wstring Wide(const char* text) { return std::wstring(text, text + std::strlen(text)); }

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::wstring LibraryIdText(const VariantInfo& info) {
    std::wstring text = Wide(info.clsidText);
    text.replace(1, 8, L"7E1C0A01");
    return text;
}

bool KeyExists(const std::wstring& path) {
    fw::UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::wstring DefaultValue(const std::wstring& path) {
    wchar_t text[1024] = {};
    DWORD size = sizeof text;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                       &size) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

// A stream holding `bytes`, positioned at its start.
ComPtr<IStream> StreamWith(const std::string& bytes) {
    ComPtr<IStream> stream;
    EXPECT_EQ(S_OK, ::CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ULONG written = 0;
    stream->Write(bytes.data(), ULONG(bytes.size()), &written);
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    return stream;
}

std::string StreamBytes(IStream* stream) {
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string bytes(size_t(stat.cbSize.QuadPart), '\0');
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), ULONG(bytes.size()), &read);
    return bytes;
}

DISPID IdOf(IDispatch* dispatch, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// Calls the method `name` with `args` given in automation order (last first).
HRESULT CallMethod(IDispatch* dispatch, const wchar_t* name, std::vector<VARIANT> args = {},
                   EXCEPINFO* exception = nullptr) {
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, UINT(args.size()), 0};
    return dispatch->Invoke(IdOf(dispatch, name), IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                            &params, nullptr, exception, nullptr);
}

VARIANT Long(LONG value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT Text(BSTR value) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = value;
    return v;
}

// A registered control variant and one object of it.
class ControlTest : public testing::Test {
protected:
    void Create(Variant variant) {
        info_ = &Info(variant);
        registration_ = std::make_unique<ScopedControlRegistration>(info_->dllPath);
        ASSERT_EQ(S_OK, registration_->result());
        ClearControlLog(info_->dllPath);
        ASSERT_EQ(S_OK, ::CoCreateInstance(info_->clsid, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&dispatch_)));
        auto log = ReadControlLog(info_->dllPath);
        ASSERT_FALSE(log.empty());
        serialPrefix_ = log[0].substr(0, log[0].find(' ') + 1);
        ASSERT_EQ(serialPrefix_ + "Created", log[0]);
    }
    void TearDown() override {
        connection_.Reset();
        dispatch_.Reset();
        ::CoFreeUnusedLibraries();
    }
    // The name and memid of every function of the control's default source
    // interface, found as hosts find it.
    std::vector<std::pair<std::wstring, MEMBERID>> DefaultSourceFunctions() {
        ComPtr<IProvideClassInfo> provider;
        ComPtr<ITypeInfo> classInfo, source;
        EXPECT_EQ(S_OK, dispatch_.As(&provider));
        if (!provider) return {};
        EXPECT_EQ(S_OK, provider->GetClassInfo(&classInfo));
        TYPEATTR* attributes = nullptr;
        classInfo->GetTypeAttr(&attributes);
        for (UINT i = 0; i < attributes->cImplTypes; ++i) {
            INT flags = 0;
            HREFTYPE reference = 0;
            if (SUCCEEDED(classInfo->GetImplTypeFlags(i, &flags)) &&
                (flags & 7) == (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE) &&
                SUCCEEDED(classInfo->GetRefTypeOfImplType(i, &reference)))
                classInfo->GetRefTypeInfo(reference, &source);
        }
        classInfo->ReleaseTypeAttr(attributes);
        return source ? Members(source.Get()).second : std::vector<std::pair<std::wstring, MEMBERID>>{};
    }
    // The (variables, functions) of a type, as names with their memids.
    using MemberList = std::vector<std::pair<std::wstring, MEMBERID>>;
    static std::pair<MemberList, MemberList> Members(ITypeInfo* type) {
        MemberList variables, functions;
        TYPEATTR* attributes = nullptr;
        if (FAILED(type->GetTypeAttr(&attributes))) return {};
        for (UINT i = 0; i < attributes->cVars; ++i) {
            VARDESC* var = nullptr;
            type->GetVarDesc(i, &var);
            fw::UniqueBstr name;
            UINT count = 0;
            type->GetNames(var->memid, name.put(), 1, &count);
            if (var->varkind == VAR_DISPATCH) variables.emplace_back(name.get(), var->memid);
            type->ReleaseVarDesc(var);
        }
        for (UINT i = 0; i < attributes->cFuncs; ++i) {
            FUNCDESC* func = nullptr;
            type->GetFuncDesc(i, &func);
            fw::UniqueBstr name;
            UINT count = 0;
            type->GetNames(func->memid, name.put(), 1, &count);
            if (func->funckind == FUNC_DISPATCH) functions.emplace_back(name.get(), func->memid);
            type->ReleaseFuncDesc(func);
        }
        type->ReleaseTypeAttr(attributes);
        return {variables, functions};
    }
    // Advises sink_ on the default source interface's connection point.
    DWORD AdviseEvents() {
        IDispatch* sink = &sink_;
        ComPtr<IConnectionPointContainer> container;
        EXPECT_EQ(S_OK, dispatch_.As(&container));
        ComPtr<IConnectionPoint> point;
        GUID events = info_->clsid;
        events.Data1 = 0x7E1C0A03;
        EXPECT_EQ(S_OK, container->FindConnectionPoint(events, &point));
        DWORD cookie = 0;
        if (point) {
            EXPECT_EQ(S_OK, point->Advise(sink, &cookie));
        }
        connection_ = point;
        return cookie;
    }
    void LoadState(const ControlState& state) {
        ComPtr<IPersistStreamInit> persist;
        ASSERT_EQ(S_OK, dispatch_.As(&persist));
        ASSERT_EQ(S_OK, persist->Load(StreamWith(EncodeControlState(state)).Get()));
    }
    // This object's log lines after "Created", without the serial.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (const auto& line : ReadControlLog(info_->dllPath))
            if (line.starts_with(serialPrefix_) && line != serialPrefix_ + "Created")
                calls.push_back(line.substr(serialPrefix_.size()));
        return calls;
    }

    EventRecorder sink_;  // outlives the control, which may hold it to the end
    const VariantInfo* info_ = nullptr;
    std::unique_ptr<ScopedControlRegistration> registration_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IConnectionPoint> connection_;
    std::string serialPrefix_;
};

// ---- Registration over every variant --------------------------------------

class RegistrationTest : public testing::TestWithParam<VariantInfo> {};

TEST_P(RegistrationTest, RegistersCreatesAndLeavesNoTrace) {
    const VariantInfo& info = GetParam();
    const std::wstring classKey = L"CLSID\\" + Wide(info.clsidText);
    const std::wstring libraryKey = L"TypeLib\\" + LibraryIdText(info);
    std::wstring interfaceKey = L"Interface\\" + Wide(info.clsidText);
    interfaceKey.replace(11, 8, L"7E1C0A02");  // the dispatch interface
    {
        ScopedControlRegistration registration(info.dllPath);
        ASSERT_EQ(S_OK, registration.result());
        EXPECT_EQ(info.dllPath, DefaultValue(classKey + L"\\InprocServer32"));
        EXPECT_TRUE(KeyExists(classKey + L"\\Control"));
        EXPECT_EQ(LibraryIdText(info), DefaultValue(classKey + L"\\TypeLib"));
        EXPECT_TRUE(KeyExists(libraryKey));

        EXPECT_EQ(info.productVersion,
                  install::ControlRegistryEntry::GetProductVersion(Narrow(info.dllPath)));
        EXPECT_TRUE(install::ControlRegistryEntry().IsInstalled(info.clsid, info.productVersion));

        ComPtr<IUnknown> object;
        HRESULT created = ::CoCreateInstance(info.clsid, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_PPV_ARGS(&object));
        EXPECT_EQ(info.variant == Variant::creation_fails ? E_FAIL : S_OK, created);
    }
    EXPECT_FALSE(KeyExists(classKey));
    EXPECT_FALSE(KeyExists(libraryKey));
    EXPECT_FALSE(KeyExists(interfaceKey));
    ::CoFreeUnusedLibraries();
}

INSTANTIATE_TEST_SUITE_P(EveryVariant, RegistrationTest, testing::ValuesIn(AllVariants()),
                         [](const auto& param) { return std::string(param.param.name); });

// ---- Persistence ----------------------------------------------------------

TEST_F(ControlTest, SavedStateLoadsBackUnchanged) {
    Create(Variant::basic);
    const ControlState state{L"Hello", L"data/first.txt", 7};
    LoadState(state);
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, dispatch_.As(&persist));
    ComPtr<IStream> saved = StreamWith("");
    ASSERT_EQ(S_OK, persist->Save(saved.Get(), TRUE));
    EXPECT_EQ(EncodeControlState(state), StreamBytes(saved.Get()));
    EXPECT_EQ((std::vector<std::string>{"Load Caption=Hello", "Save Caption=Hello"}), Calls());
}

TEST_F(ControlTest, DamagedStateIsRefused) {
    Create(Variant::basic);
    const std::string good = EncodeControlState({L"Hello", L"u", 1});
    std::string overlong = good;
    overlong[4] = overlong[5] = overlong[6] = char(0x7F);  // caption length far beyond the limit
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"mark only", "TCS1"},
        {"wrong mark", "XCS1" + good.substr(4)},
        {"cut in the caption", good.substr(0, 10)},
        {"cut before the id", good.substr(0, good.size() - 1)},
        {"overlong string", overlong},
    };
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(S_OK, dispatch_.As(&persist));
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(FAILED(persist->Load(StreamWith(bytes).Get())));
    }
    EXPECT_EQ(S_OK, persist->InitNew());
    EXPECT_EQ(S_OK, persist->Load(StreamWith(good).Get()));
}

// ---- Events ----------------------------------------------------------------

struct EventCase {
    Variant variant;
    const wchar_t* requestEvent;  // the name the host looks for
    std::vector<std::wstring> sourceNames;
};

class EventTest : public ControlTest, public testing::WithParamInterface<EventCase> {};

// FireRequest reaches an advised sink as the request event of the default
// source interface, with the URL and number in automation order.
TEST_P(EventTest, FireRequestReachesTheSinkAsTheRequestEvent) {
    Create(GetParam().variant);
    auto functions = DefaultSourceFunctions();
    std::vector<std::wstring> names;
    for (const auto& [name, memid] : functions) names.push_back(name);
    EXPECT_EQ(GetParam().sourceNames, names);
    auto request = std::find_if(functions.begin(), functions.end(),
                                [](const auto& f) { return f.first == GetParam().requestEvent; });
    ASSERT_NE(functions.end(), request);

    EventRecorder& sink = sink_;
    DWORD cookie = AdviseEvents();
    fw::UniqueBstr url(::SysAllocString(L"img/a.gif"));
    ASSERT_EQ(S_OK, CallMethod(dispatch_.Get(), L"FireRequest", {Long(42), Text(url.get())}));
    ASSERT_EQ(1u, sink.events().size());
    const RecordedEvent& event = sink.events()[0];
    EXPECT_EQ(request->second, event.dispid);
    ASSERT_EQ(2u, event.args.size());
    EXPECT_EQ(VT_BSTR, event.args[1].vt);
    EXPECT_STREQ(L"img/a.gif", event.args[1].bstrVal);
    EXPECT_EQ(VT_I4, event.args[0].vt);
    EXPECT_EQ(42, event.args[0].lVal);
    EXPECT_EQ(S_OK, connection_->Unadvise(cookie));
    EXPECT_EQ(0u, sink.references());
}

INSTANTIATE_TEST_SUITE_P(
    RequestEvents, EventTest,
    testing::Values(EventCase{Variant::basic, L"GetUrlAsFile", {L"GetUrlAsFile", L"Clicked"}},
                    EventCase{Variant::read_file, L"ReadFile", {L"ReadFile", L"Clicked"}},
                    EventCase{Variant::both_events, L"GetUrlAsFile",
                              {L"ReadFile", L"GetUrlAsFile", L"Clicked"}}));

TEST_F(ControlTest, StartFiresTheSavedRequestFromInsideStart) {
    Create(Variant::basic);
    LoadState({L"Hello", L"first.txt", 7});
    EventRecorder& sink = sink_;
    AdviseEvents();
    ASSERT_EQ(S_OK, CallMethod(dispatch_.Get(), L"Start"));
    ASSERT_EQ(1u, sink.events().size());
    EXPECT_STREQ(L"first.txt", sink.events()[0].args[1].bstrVal);
    EXPECT_EQ(7, sink.events()[0].args[0].lVal);
    auto calls = Calls();
    std::vector<std::string> tail(calls.end() - 2, calls.end());
    EXPECT_EQ((std::vector<std::string>{"Start", "Fire GetUrlAsFile first.txt 7"}), tail);
}

TEST_F(ControlTest, FireRequestArgsSendsTheGivenCountInAutomationOrder) {
    Create(Variant::basic);
    EventRecorder& sink = sink_;
    AdviseEvents();
    for (LONG count : {0, 1, 2})
        ASSERT_EQ(S_OK, CallMethod(dispatch_.Get(), L"FireRequestArgs",
                                   {Long(count), Long(20), Long(10)}));
    ASSERT_EQ(3u, sink.events().size());
    EXPECT_TRUE(sink.events()[0].args.empty());
    ASSERT_EQ(1u, sink.events()[1].args.size());
    EXPECT_EQ(10, sink.events()[1].args[0].lVal);
    ASSERT_EQ(2u, sink.events()[2].args.size());
    EXPECT_EQ(20, sink.events()[2].args[0].lVal);
    EXPECT_EQ(10, sink.events()[2].args[1].lVal);
}

// ---- In-place activation -------------------------------------------------

void DestroyWindowHandle(HWND window) { ::DestroyWindow(window); }
using UniqueWindow = fw::UniqueResource<HWND, DestroyWindowHandle>;

class ActivationTest : public ControlTest, public testing::WithParamInterface<bool> {};

// The activation and teardown that containers perform, against a site that
// offers IOleInPlaceSiteEx or only IOleInPlaceSite.
TEST_P(ActivationTest, ActivatesInPlaceInItsOwnChildWindowAndGoesAgain) {
    const bool offerEx = GetParam();
    Create(Variant::basic);
    UniqueWindow parent(::CreateWindowExW(0, L"STATIC", L"page", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                          0, 640, 480, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(parent);
    FakeSite site(parent.get(), offerEx);
    ComPtr<IOleObject> object;
    ComPtr<IPersistStreamInit> persist;
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(S_OK, dispatch_.As(&object));
    ASSERT_EQ(S_OK, dispatch_.As(&persist));
    ASSERT_EQ(S_OK, dispatch_.As(&inPlace));

    ASSERT_EQ(S_OK, object->SetClientSite(&site));
    ASSERT_EQ(S_OK, persist->InitNew());
    SIZEL extent{2540, 2540};
    ASSERT_EQ(S_OK, object->SetExtent(DVASPECT_CONTENT, &extent));
    RECT position{0, 0, 320, 240};
    ASSERT_EQ(S_OK, object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, &site, 0, parent.get(), &position));

    HWND window = nullptr;
    ASSERT_EQ(S_OK, inPlace->GetWindow(&window));
    EXPECT_EQ(parent.get(), ::GetParent(window));
    EXPECT_TRUE(::IsWindowVisible(window));
    RECT client{};
    ::GetClientRect(window, &client);
    EXPECT_EQ(320, client.right);
    EXPECT_EQ(240, client.bottom);
    ::UpdateWindow(window);  // paints through the control

    EXPECT_EQ(S_OK, inPlace->InPlaceDeactivate());
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(S_OK, object->Close(OLECLOSE_NOSAVE));
    EXPECT_EQ(S_OK, object->SetClientSite(nullptr));

    EXPECT_EQ((std::vector<std::string>{"CanInPlaceActivate",
                                        offerEx ? "OnInPlaceActivateEx" : "OnInPlaceActivate",
                                        "GetWindowContext", "OnInPlaceDeactivate"}),
              site.calls());
    EXPECT_EQ((std::vector<std::string>{"SetClientSite", "Ambient UserMode=-1", "InitNew",
                                        "SetExtent 2540x2540", "DoVerb -5 0,0,320,240",
                                        "InPlaceDeactivate", "Close 1", "SetClientSite null"}),
              Calls());
    EXPECT_EQ(0u, site.references());
}

INSTANTIATE_TEST_SUITE_P(SiteKinds, ActivationTest, testing::Bool(),
                         [](const auto& param) { return param.param ? "SiteEx" : "Site"; });

TEST_F(ControlTest, OnGetUrlAsFileLogsItsArgumentsWithNullMarked) {
    Create(Variant::basic);
    fw::UniqueBstr file(::SysAllocString(L"Z:\\no\\such\\file.txt"));
    VARIANT reserved;
    reserved.vt = VT_I2;
    reserved.iVal = 0;
    ASSERT_EQ(S_OK, CallMethod(dispatch_.Get(), L"OnGetUrlAsFile",
                               {reserved, Long(7), Text(nullptr), Text(file.get())}));
    EXPECT_EQ(std::vector<std::string>{"OnGetUrlAsFile Z:\\no\\such\\file.txt|<null>|7|0"}, Calls());
}

// ---- Type information as hosts read it -------------------------------------

struct MemberCase {
    Variant variant;
    std::vector<std::wstring> properties;  // dispatch variables, in order
    std::vector<std::wstring> firstMethods;
};

class MemberTest : public ControlTest, public testing::WithParamInterface<MemberCase> {};

TEST_P(MemberTest, DispatchTypeListsTheVariantsMembers) {
    Create(GetParam().variant);
    UINT count = 0;
    ASSERT_EQ(S_OK, dispatch_->GetTypeInfoCount(&count));
    ASSERT_EQ(1u, count);
    ComPtr<ITypeInfo> type;
    ASSERT_EQ(S_OK, dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &type));
    auto [variables, functions] = Members(type.Get());
    std::vector<std::wstring> properties, methods;
    for (const auto& v : variables) properties.push_back(v.first);
    for (size_t i = 0; i < std::min(functions.size(), GetParam().firstMethods.size()); ++i)
        methods.push_back(functions[i].first);
    EXPECT_EQ(GetParam().properties, properties);
    EXPECT_EQ(GetParam().firstMethods, methods);
}

const std::wstring kLongName =
    L"MethodWithAVeryLongNameThatKeepsGoingPastEightyCharactersSoThatTablesMustCutItShortAtSomePointReally";

INSTANTIATE_TEST_SUITE_P(
    Variants, MemberTest,
    testing::Values(
        MemberCase{Variant::basic, {L"Caption"}, {L"Start", L"Stop", L"OnGetUrlAsFile"}},
        MemberCase{Variant::lowercase_start, {L"Caption"}, {L"start", L"Stop"}},
        MemberCase{Variant::property_start, {L"Start", L"Caption"}, {L"Start", L"Stop"}},
        MemberCase{Variant::no_stop, {L"Caption"}, {L"Start", L"OnGetUrlAsFile"}}));

TEST_F(ControlTest, LongNameIsAHundredCharactersAndCallable) {
    Create(Variant::long_name);
    ASSERT_EQ(100u, kLongName.size());
    EXPECT_EQ(S_OK, CallMethod(dispatch_.Get(), kLongName.c_str()));
    EXPECT_EQ(std::vector<std::string>{"LongName"}, Calls());
}

TEST_F(ControlTest, NoTypeinfoVariantHidesItsTypesButAnswersNames) {
    Create(Variant::no_typeinfo);
    UINT count = 1;
    ASSERT_EQ(S_OK, dispatch_->GetTypeInfoCount(&count));
    EXPECT_EQ(0u, count);
    ComPtr<ITypeInfo> type;
    EXPECT_TRUE(FAILED(dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, &type)));
    ComPtr<IProvideClassInfo> provider;
    EXPECT_EQ(E_NOINTERFACE, dispatch_.As(&provider));
    EXPECT_EQ(S_OK, CallMethod(dispatch_.Get(), L"Start"));
}

TEST_F(ControlTest, FailingInvokeVariantReportsItsFailures) {
    Create(Variant::failing_invoke);
    EXCEPINFO exception{};
    EXPECT_EQ(DISP_E_EXCEPTION, CallMethod(dispatch_.Get(), L"Start", {}, &exception));
    fw::UniqueBstr source(exception.bstrSource), description(exception.bstrDescription);
    EXPECT_TRUE(source && description);
    EXPECT_EQ(E_FAIL, CallMethod(dispatch_.Get(), L"Stop"));
    EXPECT_EQ((std::vector<std::string>{"Start", "Stop"}), Calls());
}

}  // namespace
}  // namespace test_controls
