// The site's lifetime: creating and loading the control, connecting its
// events, activating it in place, and the teardown.
#include "framework/adopt_com_ptr.h"
#include "framework/ole_control_site.h"

#include "framework/default_source.h"
#include "framework/device_units.h"
#include "framework/ole_control_container.h"
#include "framework/ole_stream_file.h"
#include "framework/type_info_parts.h"
#include "framework/wnd.h"

using Microsoft::WRL::ComPtr;

namespace fw {

COleControlSite::COleControlSite(COleControlContainer* container) : m_pCtrlCont(container) {}

COleControlSite::~COleControlSite() = default;

HRESULT COleControlSite::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
        *object = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite ||
               iid == IID_IOleInPlaceSiteEx) {
        *object = static_cast<IOleInPlaceSiteEx*>(this);
    } else if (iid == IID_IOleControlSite) {
        *object = static_cast<IOleControlSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
        *object = static_cast<IOleInPlaceFrame*>(this);
    } else if (iid == IID_IDispatch) {
        *object = static_cast<IDispatch*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG COleControlSite::AddRef() { return ++references_; }

ULONG COleControlSite::Release() {
    const ULONG remaining = --references_;
    if (remaining == 0) delete this;
    return remaining;
}

// The control's code runs in each step, and a control may end its page
// from there (the container disconnects, this site is destroyed): the site
// holds itself, and a step that finds it destroyed stops at once.
HRESULT COleControlSite::CreateOrLoad(REFCLSID clsid, CWnd* wndCtrl, const RECT& rect, DWORD style,
                                      UINT id, COleStreamFile* persist, const StateGate& mayLoad) {
    const ComPtr<COleControlSite> self(this);
    const auto destroyed = [this] { return m_pCtrlCont == nullptr; };
    // Known to the window object from the start: destroyed meanwhile, it
    // destroys this site with it.
    m_pWndCtrl = wndCtrl;
    if (m_pWndCtrl) m_pWndCtrl->m_pCtrlSite = this;
    m_nID = id;
    position_ = rect;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&m_pObject));
    if (SUCCEEDED(hr)) hr = m_pObject.As(&oleObject_);
    if (FAILED(hr)) {
        m_pObject.Reset();
        return hr;
    }

    DWORD miscStatus = 0;
    if (FAILED(oleObject_->GetMiscStatus(DVASPECT_CONTENT, &miscStatus))) miscStatus = 0;
    const bool siteFirst = (miscStatus & OLEMISC_SETCLIENTSITEFIRST) != 0;
    if (siteFirst) hr = oleObject_->SetClientSite(this);
    clientSiteSet_ = siteFirst;
    if (destroyed()) return E_ABORT;
    // Whether the saved state may be given is asked of the control too.
    const bool load = SUCCEEDED(hr) && (!mayLoad || mayLoad(m_pObject.Get()));
    if (destroyed()) return E_ABORT;
    if (SUCCEEDED(hr)) hr = LoadState(load ? persist : nullptr);
    if (destroyed()) return E_ABORT;
    if (SUCCEEDED(hr) && !siteFirst) {
        hr = oleObject_->SetClientSite(this);
        clientSiteSet_ = true;
    }
    if (destroyed()) return E_ABORT;
    // A control without events is still a control.
    if (SUCCEEDED(hr)) ConnectEvents();
    if (destroyed()) return E_ABORT;
    if (SUCCEEDED(hr)) hr = ActivateInPlace(style);
    if (destroyed()) return E_ABORT;
    if (FAILED(hr)) Teardown();
    return hr;
}

// Controls that keep no state (no persistence interface at all) are created
// as they are. Like mature containers, a control whose InitNew fails is still
// activated (some controls start fine without it); a control that refuses
// saved state is a failure.
HRESULT COleControlSite::LoadState(COleStreamFile* persist) {
    IStream* stream = persist ? persist->GetStream() : nullptr;
    bool hasState = false;
    if (stream) {
        STATSTG stat = {};
        if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) hasState = stat.cbSize.QuadPart != 0;
        const LARGE_INTEGER start = {};
        if (hasState && FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr))) return E_FAIL;
    }

    ComPtr<IPersistStreamInit> persistInit;
    if (SUCCEEDED(m_pObject.As(&persistInit))) {
        if (hasState) return persistInit->Load(stream);
        persistInit->InitNew();
        return S_OK;
    }
    ComPtr<IPersistStream> persistStream;
    if (hasState && SUCCEEDED(m_pObject.As(&persistStream))) return persistStream->Load(stream);
    return S_OK;
}

namespace {

// The control's default source interface: asked directly where the control
// can tell it, else found in its class information (default and source, not
// restricted).
bool FindDefaultSource(IUnknown* control, IID& iid) {
    ComPtr<IProvideClassInfo2> info2;
    if (SUCCEEDED(control->QueryInterface(IID_PPV_ARGS(&info2))) &&
        SUCCEEDED(info2->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &iid))) {
        return true;
    }
    ComPtr<IProvideClassInfo> info;
    ComPtr<ITypeInfo> classInfo;
    if (FAILED(control->QueryInterface(IID_PPV_ARGS(&info))) ||
        FAILED(info->GetClassInfo(&classInfo)) || !classInfo) {
        return false;
    }
    const ComPtr<ITypeInfo> sourceInfo = DefaultSourceTypeInfo(classInfo.Get());
    UniqueTypeAttr attributes;
    if (!sourceInfo || FAILED(sourceInfo->GetTypeAttr(attributes.Receive(sourceInfo.Get()))) ||
        !attributes) {
        return false;
    }
    iid = attributes->guid;
    return true;
}

}  // namespace

HRESULT COleControlSite::ConnectEvents() {
    IID source = IID_NULL;
    if (!FindDefaultSource(m_pObject.Get(), source)) return S_FALSE;
    ComPtr<IConnectionPointContainer> points;
    ComPtr<IConnectionPoint> point;
    HRESULT hr = m_pObject.As(&points);
    if (SUCCEEDED(hr)) hr = points->FindConnectionPoint(source, &point);
    if (SUCCEEDED(hr) && !point) hr = E_POINTER;
    eventSink_.eventIid = source;
    DWORD cookie = 0;
    if (SUCCEEDED(hr)) hr = point->Advise(&eventSink_, &cookie);
    if (FAILED(hr)) return hr;
    eventPoint_ = point;
    eventCookie_ = cookie;
    return S_OK;
}

void COleControlSite::DisconnectEvents() {
    if (eventPoint_) eventPoint_->Unadvise(eventCookie_);
    eventPoint_.Reset();
    eventCookie_ = 0;
}

HRESULT COleControlSite::ActivateInPlace(DWORD style) {
    const SIZE pixels = {position_.right - position_.left, position_.bottom - position_.top};
    SIZEL extent = PixelsToHimetric(pixels);
    oleObject_->SetExtent(DVASPECT_CONTENT, &extent);  // a fixed-size control may refuse
    const HRESULT hr = oleObject_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0,
                                          ContainerWindow(), &position_);
    if (FAILED(hr) || !m_pCtrlCont) return hr;  // failed, or the page ended inside

    ComPtr<IOleInPlaceObject> inPlace;
    HWND window = nullptr;
    if (SUCCEEDED(m_pObject.As(&inPlace)) && SUCCEEDED(inPlace->GetWindow(&window)) &&
        ::IsWindow(window)) {
        m_hWnd = window;
        if (m_pWndCtrl) m_pWndCtrl->Attach(window);
        ::SetWindowLongPtrW(window, GWLP_ID, static_cast<LONG_PTR>(m_nID));
        if ((style & WS_VISIBLE) && !::IsWindowVisible(window)) ::ShowWindow(window, SW_SHOWNA);
    }
    if (m_pWndCtrl) m_pWndCtrl->m_pCtrlSite = this;
    return S_OK;
}

BOOL COleControlSite::DestroyControl() {
    // The container's reference, dropped when this call ends.
    const ComPtr<COleControlSite> containerReference = AdoptComPtr(this);
    Teardown();
    if (m_pWndCtrl) {
        m_pWndCtrl->Detach();
        m_pWndCtrl->m_pCtrlSite = nullptr;
    }
    m_pWndCtrl = nullptr;
    if (COleControlContainer* container = m_pCtrlCont) {
        m_pCtrlCont = nullptr;
        container->RemoveSite(this);
    }
    return TRUE;
}

// Some controls drop references to themselves while they deactivate: the
// object stays held until the end.
void COleControlSite::Teardown() {
    ComPtr<IUnknown> control = m_pObject;
    if (!control) return;
    ComPtr<IOleInPlaceObject> inPlace;
    if (inPlaceActive_ && SUCCEEDED(control.As(&inPlace))) inPlace->InPlaceDeactivate();
    inPlaceActive_ = false;
    if (oleObject_) {
        oleObject_->Close(OLECLOSE_NOSAVE);
        if (clientSiteSet_) oleObject_->SetClientSite(nullptr);
    }
    clientSiteSet_ = false;
    DisconnectEvents();
    // The control's window belongs to the control; one it left behind would
    // otherwise stay in the container's window after its code is gone.
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    inPlace.Reset();
    oleObject_.Reset();
    m_pObject.Reset();
}

HWND COleControlSite::ContainerWindow() const {
    if (!m_pCtrlCont || !m_pCtrlCont->m_pWnd) return nullptr;
    return m_pCtrlCont->m_pWnd->m_hWnd;
}

// The receiver may end the control's page from inside the event (a page
// script's listener, a pumped message): the site and the control are held
// until the event has been delivered, and neither is touched afterwards.
HRESULT COleControlSite::RouteEvent(DISPID id, DISPPARAMS* params, EXCEPINFO* exception,
                                    UINT* argumentError) {
    if (!m_pWndCtrl) return S_OK;  // disconnected: the event has no receiver any more
    const ComPtr<COleControlSite> self(this);
    const ComPtr<IUnknown> control = m_pObject;
    AFX_EVENT event;
    event.m_eventKind = AFX_EVENT::event;
    event.m_dispid = id;
    event.m_pDispParams = params;
    event.m_pExcepInfo = exception;
    event.m_puArgError = argumentError;
    try {
        m_pWndCtrl->OnCmdMsg(m_nID, CN_EVENT, &event, nullptr);
    } catch (...) {
        return S_OK;  // nothing unwinds into the control
    }
    return event.m_hResult;
}

HRESULT COleControlSite::EventSink::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != eventIid) return E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG COleControlSite::EventSink::AddRef() { return site_.AddRef(); }

ULONG COleControlSite::EventSink::Release() { return site_.Release(); }

HRESULT COleControlSite::EventSink::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT COleControlSite::EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControlSite::EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
    if (ids) {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    }
    return E_NOTIMPL;
}

HRESULT COleControlSite::EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                           VARIANT* result, EXCEPINFO* exception,
                                           UINT* argumentError) {
    if (result) ::VariantInit(result);
    DISPPARAMS none = {};
    return site_.RouteEvent(id, params ? params : &none, exception, argumentError);
}

}  // namespace fw
