#include "plugin/plugin_control_container.h"

#include <new>
#include <vector>

#include <wrl/client.h>

#include "framework/enum_unknown.h"
#include "plugin/control_window.h"
#include "plugin/plugin_app.h"

using Microsoft::WRL::ComPtr;

namespace plugin {

PluginControlContainer::PluginControlContainer(fw::CWnd* window) : fw::COleControlContainer(window) {}

HRESULT PluginControlContainer::EnumObjects(DWORD flags, IEnumUnknown** enumerator) {
    try {
        std::vector<ComPtr<IUnknown>> controls;
        if (flags & OLECONTF_EMBEDDINGS) {
            for (ControlWindow* window : ThePluginApp().startedControls.Snapshot()) {
                if (IUnknown* control = window->Control().Unknown()) controls.emplace_back(control);
            }
        }
        return fw::CEnumUnknown::Create(std::move(controls), enumerator);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;  // the snapshot's references went with it
    }
}

}  // namespace plugin
