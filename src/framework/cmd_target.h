// The root classes of the framework layer: every framework object derives from
// CObject; objects that receive routed commands and events derive from
// CCmdTarget.
#pragma once

#include <windows.h>
#include <oaidl.h>

namespace fw {

class CObject {
public:
    CObject() = default;
    CObject(const CObject&) = delete;
    CObject& operator=(const CObject&) = delete;
    virtual ~CObject() = default;
};

// Notification code with which a control site routes a control's event to
// the window object that wraps the control (pExtra is an AFX_EVENT*).
constexpr int CN_EVENT = -2;

// What a control site passes with CN_EVENT.
struct AFX_EVENT {
    enum Kind { event = 0, propRequest = 1, propChanged = 2 };
    int m_eventKind = event;
    DISPID m_dispid = DISPID_UNKNOWN;
    DISPPARAMS* m_pDispParams = nullptr;
    EXCEPINFO* m_pExcepInfo = nullptr;
    UINT* m_puArgError = nullptr;
    BOOL m_bPropChanged = FALSE;
    HRESULT m_hResult = S_OK;
};

class CCmdTarget : public CObject {
public:
    // Command routing. Returns TRUE when the command was handled; the base
    // handles nothing.
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, void* pHandlerInfo);
};

}  // namespace fw
