// The control container of one PluginWindow. Its container interface lets a
// control enumerate every started control of the process, on any page.
#pragma once

#include "framework/ole_control_container.h"

namespace plugin {

class PluginControlContainer : public fw::COleControlContainer {
public:
    explicit PluginControlContainer(fw::CWnd* window);

protected:
    // Flags with OLECONTF_EMBEDDINGS: the controls of startedControls, head to
    // tail, skipping entries without a control. Otherwise empty.
    // E_OUTOFMEMORY leaves no reference behind.
    HRESULT EnumObjects(DWORD flags, IEnumUnknown** enumerator) override;
};

}  // namespace plugin
