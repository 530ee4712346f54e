#include "framework/cmd_target.h"

namespace fw {

BOOL CCmdTarget::OnCmdMsg(UINT, int, void*, void*) { return FALSE; }

}  // namespace fw
