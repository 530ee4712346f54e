// Window objects. A CWnd wraps a window handle it does not own: it either
// subclasses an existing window (its messages then run through WindowProc and
// the object's message table before reaching the saved window procedure) or
// merely wraps the window of a hosted control. A subclassed window gets its
// own window procedure back when the object lets go of it (Detach, the
// window's destruction, the object's destruction), unless someone else has
// subclassed it since.
#pragma once

#include <cstddef>

#include <windows.h>
#include <unknwn.h>

#include "framework/cmd_target.h"
#include "framework/state_gate.h"
#include "framework/life_token.h"

namespace fw {

class CWnd;
class COleControlContainer;
class COleControlSite;
class COleStreamFile;

// One entry of a message table: the handler gets the window object and the
// message's parameters and returns the message's result.
struct MessageEntry {
    UINT message;
    LRESULT (*handler)(CWnd& window, WPARAM wParam, LPARAM lParam);
};

struct MessageMap {
    const MessageMap* base;  // consulted when no entry here matches; may be null
    const MessageEntry* entries;
    std::size_t count;
};

class CWnd : public CCmdTarget {
public:
    CWnd() = default;
    ~CWnd() override;

    HWND m_hWnd = nullptr;
    // The container of the controls this window hosts; owned by the derived
    // class that installs it, not by CWnd.
    COleControlContainer* m_pCtrlCont = nullptr;
    // The site of the control this object wraps; not owned (the container
    // holds it).
    COleControlSite* m_pCtrlSite = nullptr;

    // Routes hWnd's messages through this object. Fails when the handle is
    // not a window or is already wrapped by a window object.
    BOOL SubclassWindow(HWND hWnd);
    // Wraps hWnd without changing its window procedure.
    BOOL Attach(HWND hWnd);
    // Forgets the handle and returns it. A window subclassed by this object
    // gets the saved window procedure back if its procedure is still ours.
    HWND Detach();
    // Destroys the wrapped window, or the hosted control with its site.
    virtual BOOL DestroyWindow();

    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    BOOL UpdateWindow();

    // The slot that holds the window procedure saved by SubclassWindow.
    virtual WNDPROC* GetSuperWndProcAddr();
    virtual const MessageMap* GetMessageMap() const;
    // Dispatches through the message table, else hands the message on.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Hands the message being processed to the saved window procedure (or to
    // the system's default processing when there is none).
    LRESULT Default();

    // Creates the OLE control `clsid` in the control container of `parent`,
    // at `rect` of the parent's client area, with its state read from the
    // open stream of `persist` (none, or an empty stream: a new control), and
    // makes this object wrap it. FALSE when the parent has no container, this
    // object already wraps a window, or the control cannot be created, loaded
    // or activated; nothing of it is left then. `mayLoad`: see
    // COleControlSite::CreateOrLoad.
    BOOL CreateControl(REFCLSID clsid, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                       COleStreamFile* persist, const StateGate& mayLoad = {});

    // The hosted control's IUnknown, without a reference for the caller;
    // null when this object wraps no control.
    IUnknown* GetControlUnknown() const;

    // The window object that wraps hWnd, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Whether this object still exists after a call out of it (life_token.h).
    LifeWatch Watch() const { return life_.Watch(); }

protected:
    WNDPROC m_pfnSuper = nullptr;

private:
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    friend LRESULT CALLBACK FrameworkWindowProc(HWND, UINT, WPARAM, LPARAM);
    BOOL Bind(HWND hWnd);
    CurrentMessage current_{};
    LifeToken life_;
};

LRESULT CALLBACK FrameworkWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace fw
