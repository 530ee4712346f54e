#include "framework/ole_control_container.h"

#include <algorithm>

#include <wrl/client.h>

#include "framework/enum_unknown.h"
#include "framework/ole_control_site.h"
#include "framework/wnd.h"

namespace fw {

COleControlContainer::COleControlContainer(CWnd* window) : m_pWnd(window) {}

COleControlContainer::~COleControlContainer() {
    while (!sites_.empty()) sites_.back()->DestroyControl();
}

void COleControlContainer::Disconnect() {
    if (!m_pWnd) return;
    while (!sites_.empty()) sites_.back()->DestroyControl();
    m_pWnd = nullptr;
    InternalRelease();  // the window's reference
}

BOOL COleControlContainer::CreateControl(CWnd* wndCtrl, REFCLSID clsid, DWORD style,
                                         const RECT& rect, UINT id, COleStreamFile* persist,
                                         const StateGate& mayLoad) {
    if (!m_pWnd || !wndCtrl || wndCtrl->m_hWnd || wndCtrl->m_pCtrlSite) return FALSE;
    sites_.reserve(sites_.size() + 1);  // a site is never made and then lost
    auto* site = new COleControlSite(this);
    sites_.push_back(site);
    // The control may end its page while it is created (this container is
    // disconnected then, and the site destroyed): both are held until the
    // end, and neither is used once that happened.
    const Microsoft::WRL::ComPtr<IOleContainer> self(GetOleContainer());
    const Microsoft::WRL::ComPtr<COleControlSite> held(site);
    const HRESULT hr = site->CreateOrLoad(clsid, wndCtrl, rect, style, id, persist, mayLoad);
    if (!site->m_pCtrlCont) return FALSE;
    if (SUCCEEDED(hr)) return TRUE;
    site->DestroyControl();
    return FALSE;
}

void COleControlContainer::RemoveSite(COleControlSite* site) {
    sites_.erase(std::remove(sites_.begin(), sites_.end(), site), sites_.end());
}

HRESULT COleControlContainer::EnumObjects(DWORD, IEnumUnknown** enumerator) {
    return CEnumUnknown::Create({}, enumerator);
}

HRESULT COleControlContainer::InternalQueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleContainer || iid == IID_IParseDisplayName) {
        IOleContainer* container = GetOleContainer();
        container->AddRef();
        *object = container;
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG COleControlContainer::InternalAddRef() { return ++references_; }

ULONG COleControlContainer::InternalRelease() {
    const ULONG remaining = --references_;
    if (remaining == 0) delete this;
    return remaining;
}

IOleContainer* COleControlContainer::GetOleContainer() { return &oleContainer_; }

HRESULT COleControlContainer::XOleContainer::QueryInterface(REFIID iid, void** object) {
    return outer_.InternalQueryInterface(iid, object);
}
ULONG COleControlContainer::XOleContainer::AddRef() { return outer_.InternalAddRef(); }
ULONG COleControlContainer::XOleContainer::Release() { return outer_.InternalRelease(); }

HRESULT COleControlContainer::XOleContainer::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*,
                                                              IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return outer_.connected() ? E_NOTIMPL : E_UNEXPECTED;
}

HRESULT COleControlContainer::XOleContainer::EnumObjects(DWORD flags, IEnumUnknown** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    if (!outer_.connected()) return CEnumUnknown::Create({}, enumerator);
    return outer_.EnumObjects(flags, enumerator);
}

HRESULT COleControlContainer::XOleContainer::LockContainer(BOOL) {
    return outer_.connected() ? E_NOTIMPL : E_UNEXPECTED;
}

}  // namespace fw
