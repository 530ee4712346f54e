#include "framework/wnd.h"

#include "framework/ole_control_container.h"
#include "framework/ole_control_site.h"

namespace fw {
namespace {

// The window property through which a handle finds its window object: the
// state stays with the window, not in a process-wide map.
constexpr wchar_t kWindowObjectProperty[] = L"fw.CWnd";

}  // namespace

CWnd::~CWnd() {
    if (m_pCtrlSite) m_pCtrlSite->m_pWndCtrl = nullptr;  // the site never reaches a gone window
    if (m_hWnd) Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    if (!hWnd) return nullptr;
    return static_cast<CWnd*>(::GetPropW(hWnd, kWindowObjectProperty));
}

BOOL CWnd::Bind(HWND hWnd) {
    if (m_hWnd || !::IsWindow(hWnd) || FromHandlePermanent(hWnd)) return FALSE;
    if (!::SetPropW(hWnd, kWindowObjectProperty, this)) return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

BOOL CWnd::Attach(HWND hWnd) { return Bind(hWnd); }

BOOL CWnd::SubclassWindow(HWND hWnd) {
    if (!Bind(hWnd)) return FALSE;
    auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FrameworkWindowProc)));
    if (!previous) {
        Detach();
        return FALSE;
    }
    *GetSuperWndProcAddr() = previous;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hWnd = m_hWnd;
    WNDPROC& super = *GetSuperWndProcAddr();
    if (hWnd && super) {
        const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
        if (current == &FrameworkWindowProc) {
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(super));
        }
        super = nullptr;
    }
    if (hWnd) ::RemovePropW(hWnd, kWindowObjectProperty);
    m_hWnd = nullptr;
    m_pCtrlSite = nullptr;
    return hWnd;
}

BOOL CWnd::DestroyWindow() {
    if (m_pCtrlSite) {
        // The site destroys the control and its window, and detaches us.
        return m_pCtrlSite->DestroyControl();
    }
    if (!m_hWnd) return FALSE;
    return ::DestroyWindow(m_hWnd);
}

BOOL CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
}

BOOL CWnd::UpdateWindow() { return ::UpdateWindow(m_hWnd); }

WNDPROC* CWnd::GetSuperWndProcAddr() { return &m_pfnSuper; }

const MessageMap* CWnd::GetMessageMap() const { return nullptr; }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            if (map->entries[i].message == message) {
                return map->entries[i].handler(*this, wParam, lParam);
            }
        }
    }
    return Default();
}

LRESULT CWnd::Default() {
    WNDPROC super = *GetSuperWndProcAddr();
    if (super) return ::CallWindowProcW(super, m_hWnd, current_.message, current_.wParam, current_.lParam);
    return ::DefWindowProcW(m_hWnd, current_.message, current_.wParam, current_.lParam);
}

BOOL CWnd::CreateControl(REFCLSID clsid, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                         COleStreamFile* persist, const StateGate& mayLoad) {
    if (!parent || !parent->m_pCtrlCont) return FALSE;
    return parent->m_pCtrlCont->CreateControl(this, clsid, style, rect, id, persist, mayLoad);
}

IUnknown* CWnd::GetControlUnknown() const {
    return m_pCtrlSite ? m_pCtrlSite->m_pObject.Get() : nullptr;
}

LRESULT CALLBACK FrameworkWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* window = CWnd::FromHandlePermanent(hWnd);
    if (!window) return ::DefWindowProcW(hWnd, message, wParam, lParam);

    // Messages nest (a handler may send messages to its own window): keep the
    // outer message for Default() once the inner one is done.
    // A handler calls out (to the saved procedure, a control, a script),
    // and the call may end the window object: it is not touched then.
    const CWnd::CurrentMessage outer = window->current_;
    window->current_ = {message, wParam, lParam};
    const LifeWatch alive = window->Watch();
    LRESULT result = 0;
    try {
        result = window->WindowProc(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind into the system's message dispatch.
        result = 0;
    }
    if (!alive) return result;
    if (message == WM_NCDESTROY && window->m_hWnd == hWnd) {
        // The window's owner destroyed it under us: forget the handle so that
        // nothing later touches a window that is gone.
        window->Detach();
    } else {
        window->current_ = outer;
    }
    return result;
}

}  // namespace fw
