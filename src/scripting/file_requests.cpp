// The control's requests for files, and their delivery back to it.
#include "plugin/control_window.h"

BOOL ControlWindow::OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo) {
    return fw::CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

bool ControlWindow::RequestUrlAsFile(const std::string&, int32_t) { return false; }

void ControlWindow::DeliverRequestedFile(std::string, std::string) {}
