#include "framework/ole_control_site.h"

#include "framework/wnd.h"

namespace fw {

COleControlSite::COleControlSite(COleControlContainer* container) : m_pCtrlCont(container) {}

COleControlSite::~COleControlSite() = default;

BOOL COleControlSite::DestroyControl() {
    if (m_pWndCtrl) m_pWndCtrl->Detach();
    m_pObject.Reset();
    delete this;
    return TRUE;
}

}  // namespace fw
