#include "framework/ole_control_container.h"

#include "framework/enum_unknown.h"

namespace fw {

COleControlContainer::COleControlContainer(CWnd* window) : m_pWnd(window) {}

COleControlContainer::~COleControlContainer() = default;

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

ULONG COleControlContainer::InternalRelease() { return references_ ? --references_ : 0; }

IOleContainer* COleControlContainer::GetOleContainer() { return &oleContainer_; }

HRESULT COleControlContainer::XOleContainer::QueryInterface(REFIID iid, void** object) {
    return outer_.InternalQueryInterface(iid, object);
}
ULONG COleControlContainer::XOleContainer::AddRef() { return outer_.InternalAddRef(); }
ULONG COleControlContainer::XOleContainer::Release() { return outer_.InternalRelease(); }

HRESULT COleControlContainer::XOleContainer::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*,
                                                              IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT COleControlContainer::XOleContainer::EnumObjects(DWORD, IEnumUnknown** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    return CEnumUnknown::Create({}, enumerator);
}

HRESULT COleControlContainer::XOleContainer::LockContainer(BOOL) { return E_NOTIMPL; }

}  // namespace fw
