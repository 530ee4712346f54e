#include "plugin/plugin_control_container.h"

#include <new>
#include <vector>

#include <wrl/client.h>

#include "framework/enum_unknown.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"
#include "propfile/ocx_info.h"

using Microsoft::WRL::ComPtr;

PluginControlContainer::PluginControlContainer(fw::CWnd* window) : fw::COleControlContainer(window) {}

IOleContainer* PluginControlContainer::GetOleContainer() { return &oleContainer_; }

HRESULT PluginControlContainer::XOleContainer::QueryInterface(REFIID iid, void** object) {
    return outer_.InternalQueryInterface(iid, object);
}
ULONG PluginControlContainer::XOleContainer::AddRef() { return outer_.InternalAddRef(); }
ULONG PluginControlContainer::XOleContainer::Release() { return outer_.InternalRelease(); }

HRESULT PluginControlContainer::XOleContainer::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*,
                                                                IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT PluginControlContainer::XOleContainer::EnumObjects(DWORD flags, IEnumUnknown** enumerator) {
    if (!enumerator) return E_POINTER;
    *enumerator = nullptr;
    try {
        std::vector<ComPtr<IUnknown>> controls;
        if (flags & OLECONTF_EMBEDDINGS) {
            for (ControlWindow* window : ThePluginApp().startedControls) {
                if (window->info && window->info->controlUnknown) {
                    controls.emplace_back(window->info->controlUnknown);
                }
            }
        }
        return fw::CEnumUnknown::Create(std::move(controls), enumerator);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;  // the snapshot's references went with it
    }
}

HRESULT PluginControlContainer::XOleContainer::LockContainer(BOOL) { return E_NOTIMPL; }
