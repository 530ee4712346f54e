// The site of one hosted OLE control inside a COleControlContainer.
#pragma once

#include <unknwn.h>
#include <wrl/client.h>

#include "framework/cmd_target.h"

namespace fw {

class COleControlContainer;
class CWnd;

class COleControlSite : public CCmdTarget {
public:
    explicit COleControlSite(COleControlContainer* container);
    ~COleControlSite() override;

    COleControlContainer* m_pCtrlCont;
    // The window object that wraps the control; not owned.
    CWnd* m_pWndCtrl = nullptr;
    // The control; the site holds the one reference that keeps it alive.
    Microsoft::WRL::ComPtr<IUnknown> m_pObject;

    // Deactivates, closes and releases the control, detaches the window
    // object and deletes this site. Returns TRUE.
    BOOL DestroyControl();
};

}  // namespace fw
