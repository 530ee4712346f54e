#include "test_control.h"

#include <new>

#include "control_module.h"
#include "control_variant.h"
#include "framework/unique_resource.h"

namespace test_control {

using Microsoft::WRL::ComPtr;

TestControl::TestControl()
    : serial_(NextSerial()),
      events_(this, [this](const char* change) { Log(change); }) {
    ObjectCreated();
    Log("Created");
}

TestControl::~TestControl() {
    if (window_) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
    Log("Destroyed");
    ObjectDestroyed();
}

HRESULT TestControl::Create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    auto* control = new (std::nothrow) TestControl();
    if (!control) return E_OUTOFMEMORY;
    HRESULT hr = control->LoadTypeInformation();
    if (SUCCEEDED(hr)) hr = control->QueryInterface(riid, ppv);
    control->Release();
    return hr;
}

// The library is read from the module's own resources, never from the
// registry, so an unregistered control still describes itself.
HRESULT TestControl::LoadTypeInformation() {
    ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    hr = library->GetTypeInfoOfGuid(kDispatchIid, &dispatchInfo_);
    if (FAILED(hr)) return hr;
    return library->GetTypeInfoOfGuid(kClassId, &classInfo_);
}

void TestControl::Log(std::string_view call, std::string_view args) const {
    test_control::Log(serial_, call, args);
}

STDMETHODIMP TestControl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kDispatchIid)
        *ppv = static_cast<IDispatch*>(this);
    else if (riid == IID_IProvideClassInfo && !kHidesTypeInfo)
        *ppv = static_cast<IProvideClassInfo*>(this);
    else if (riid == IID_IConnectionPointContainer)
        *ppv = static_cast<IConnectionPointContainer*>(this);
    else if (riid == IID_IPersistStreamInit || riid == IID_IPersistStream || riid == IID_IPersist)
        *ppv = static_cast<IPersistStreamInit*>(this);
    else if (riid == IID_IOleObject)
        *ppv = static_cast<IOleObject*>(this);
    else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceObject)
        *ppv = static_cast<IOleInPlaceObject*>(this);
    else if (riid == IID_IOleInPlaceActiveObject)
        *ppv = static_cast<IOleInPlaceActiveObject*>(this);
    else if (riid == IID_IOleControl)
        *ppv = static_cast<IOleControl*>(this);
    else if (riid == IID_IObjectSafety)
        *ppv = static_cast<IObjectSafety*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) TestControl::AddRef() { return ULONG(::InterlockedIncrement(&references_)); }

STDMETHODIMP_(ULONG) TestControl::Release() {
    LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return ULONG(left);
}

// ---- IDispatch ------------------------------------------------------------

STDMETHODIMP TestControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = kHidesTypeInfo ? 0 : 1;
    return S_OK;
}

STDMETHODIMP TestControl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (kHidesTypeInfo || index != 0) return DISP_E_BADINDEX;
    return dispatchInfo_.CopyTo(info);
}

STDMETHODIMP TestControl::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                        DISPID* ids) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    return ::DispGetIDsOfNames(dispatchInfo_.Get(), names, count, ids);
}

STDMETHODIMP TestControl::Invoke(DISPID dispid, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                 VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    if (argError) *argError = 0;
    return InvokeMember(dispid, flags, params, result, exception);
}

STDMETHODIMP TestControl::GetClassInfo(ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return classInfo_.CopyTo(info);
}

// ---- Connection points ----------------------------------------------------

STDMETHODIMP TestControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points) *points = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestControl::FindConnectionPoint(REFIID riid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (riid != kEventsIid) return CONNECT_E_NOCONNECTION;
    *point = &events_;
    events_.AddRef();
    return S_OK;
}

// ---- Persistence ----------------------------------------------------------

STDMETHODIMP TestControl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = kClassId;
    return S_OK;
}

STDMETHODIMP TestControl::IsDirty() { return dirty_ ? S_OK : S_FALSE; }

namespace {

// Reads exactly `count` bytes from the stream onto the end of `bytes`.
bool ReadExactly(IStream* stream, std::string& bytes, size_t count) {
    size_t old = bytes.size();
    bytes.resize(old + count);
    ULONG read = 0;
    if (count == 0) return true;
    HRESULT hr = stream->Read(bytes.data() + old, ULONG(count), &read);
    return SUCCEEDED(hr) && read == count;
}

// Reads one string field (length, then UTF-16 units) onto `bytes`.
bool ReadStringField(IStream* stream, std::string& bytes) {
    if (!ReadExactly(stream, bytes, 4)) return false;
    const auto* tail = reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size() - 4);
    uint32_t length = tail[0] | (tail[1] << 8) | (tail[2] << 16) | (uint32_t(tail[3]) << 24);
    if (length > test_controls::kMaxStateStringLength) return false;
    return ReadExactly(stream, bytes, size_t(length) * 2);
}

}  // namespace

// Reads the fields of the format in test_control_state.h one by one, so that
// the stream is left just after the state.
STDMETHODIMP TestControl::Load(LPSTREAM stream) {
    if (!stream) return E_POINTER;
    std::string bytes;
    bool complete = ReadExactly(stream, bytes, 4) && ReadStringField(stream, bytes) &&
                    ReadStringField(stream, bytes) && ReadExactly(stream, bytes, 4);
    auto decoded = complete ? test_controls::DecodeControlState(bytes) : std::nullopt;
    if (!decoded) {
        Log("Load failed");
        return E_FAIL;
    }
    state_ = std::move(decoded->state);
    dirty_ = false;
    Log("Load", "Caption=" + Narrow(state_.caption));
    Invalidate();
    return S_OK;
}

STDMETHODIMP TestControl::Save(LPSTREAM stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    std::string bytes = test_controls::EncodeControlState(state_);
    ULONG written = 0;
    HRESULT hr = stream->Write(bytes.data(), ULONG(bytes.size()), &written);
    if (FAILED(hr)) return hr;
    if (written != bytes.size()) return STG_E_MEDIUMFULL;
    if (clearDirty) dirty_ = false;
    Log("Save", "Caption=" + Narrow(state_.caption));
    return S_OK;
}

STDMETHODIMP TestControl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = test_controls::EncodeControlState(state_).size();
    return S_OK;
}

STDMETHODIMP TestControl::InitNew() {
    state_ = {L"Test control", {}, 0};
    dirty_ = false;
    Log("InitNew");
    Invalidate();
    return S_OK;
}

// ---- IOleObject -----------------------------------------------------------

STDMETHODIMP TestControl::SetClientSite(IOleClientSite* site) {
    clientSite_ = site;
    if (!site) {
        Log("SetClientSite", "null");
        return S_OK;
    }
    Log("SetClientSite");
    if (kKeepsSite) {
        keptSite_ = site;
        keptContainer_.Reset();
        site->GetContainer(&keptContainer_);
    }
    LogAmbientUserMode();
    return S_OK;
}

void TestControl::LogAmbientUserMode() {
    ComPtr<IDispatch> ambient;
    fw::UniqueVariant value;
    DISPPARAMS none{};
    bool read = SUCCEEDED(clientSite_.As(&ambient)) &&
                SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                          DISPATCH_PROPERTYGET, &none, value.get(), nullptr,
                                          nullptr)) &&
                SUCCEEDED(::VariantChangeType(value.get(), value.get(), 0, VT_BOOL));
    Log("Ambient", read ? "UserMode=" + std::to_string(value->boolVal) : "UserMode=unavailable");
}

STDMETHODIMP TestControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = nullptr;
    return clientSite_ ? clientSite_.CopyTo(site) : S_OK;
}

STDMETHODIMP TestControl::SetHostNames(LPCOLESTR, LPCOLESTR) { return S_OK; }

STDMETHODIMP TestControl::Close(DWORD saveOption) {
    Log("Close", std::to_string(saveOption));
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

STDMETHODIMP TestControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

STDMETHODIMP TestControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

STDMETHODIMP TestControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TestControl::EnumVerbs(IEnumOLEVERB** verbs) {
    if (verbs) *verbs = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP TestControl::Update() { return S_OK; }
STDMETHODIMP TestControl::IsUpToDate() { return S_OK; }

STDMETHODIMP TestControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

STDMETHODIMP TestControl::GetUserType(DWORD, LPOLESTR* type) {
    if (type) *type = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP TestControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    extent_ = *size;
    Log("SetExtent", std::to_string(size->cx) + "x" + std::to_string(size->cy));
    return S_OK;
}

STDMETHODIMP TestControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP TestControl::Advise(IAdviseSink* sink, DWORD* connection) {
    if (!connection) return E_POINTER;
    *connection = 0;
    if (!adviseHolder_) {
        HRESULT hr = ::CreateOleAdviseHolder(&adviseHolder_);
        if (FAILED(hr)) return hr;
    }
    return adviseHolder_->Advise(sink, connection);
}

STDMETHODIMP TestControl::Unadvise(DWORD connection) {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

STDMETHODIMP TestControl::EnumAdvise(IEnumSTATDATA** advise) {
    if (!advise) return E_POINTER;
    *advise = nullptr;
    return adviseHolder_ ? adviseHolder_->EnumAdvise(advise) : S_OK;
}

STDMETHODIMP TestControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

STDMETHODIMP TestControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- In-place objects and IOleControl ------------------------------------

STDMETHODIMP TestControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP TestControl::UIDeactivate() { return S_OK; }
STDMETHODIMP TestControl::ReactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP TestControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP TestControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP TestControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP TestControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP TestControl::EnableModeless(BOOL) { return S_OK; }

STDMETHODIMP TestControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    return E_NOTIMPL;
}

STDMETHODIMP TestControl::OnMnemonic(MSG*) { return E_NOTIMPL; }
STDMETHODIMP TestControl::OnAmbientPropertyChange(DISPID) { return S_OK; }
STDMETHODIMP TestControl::FreezeEvents(BOOL) { return S_OK; }


// ---- IObjectSafety ----------------------------------------------------------

namespace {
// Untrusted callers through IDispatch (safe for scripting), untrusted data
// through the persistence interfaces (safe for initialization).
DWORD SafetySupported(REFIID riid) {
    if (riid == IID_IDispatch) return kSafeForScripting ? INTERFACESAFE_FOR_UNTRUSTED_CALLER : 0;
    if (riid == IID_IPersistStreamInit || riid == IID_IPersistStream) {
        return kSafeForInitializing ? INTERFACESAFE_FOR_UNTRUSTED_DATA : 0;
    }
    return 0;
}
}  // namespace

STDMETHODIMP TestControl::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_POINTER;
    *supported = *enabled = 0;
    if (riid != IID_IDispatch && riid != IID_IPersistStreamInit && riid != IID_IPersistStream) {
        return E_NOINTERFACE;
    }
    *supported = SafetySupported(riid);
    *enabled = safetyOptions_ & *supported;
    return S_OK;
}

STDMETHODIMP TestControl::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) {
    if (riid != IID_IDispatch && riid != IID_IPersistStreamInit && riid != IID_IPersistStream) {
        return E_NOINTERFACE;
    }
    if (mask & ~SafetySupported(riid)) return E_FAIL;
    safetyOptions_ = (safetyOptions_ & ~mask) | (enabled & mask);
    Log("SetInterfaceSafetyOptions", std::to_string(safetyOptions_));
    return S_OK;
}

}  // namespace test_control
