// The control's in-place activation and its window.
#include <string>
#include <utility>

#include "control_module.h"
#include "control_variant.h"
#include "test_control.h"

namespace test_control {

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kWindowClass[] = L"NptrvTestControlWindow";
constexpr COLORREF kBackground = RGB(255, 236, 160);

LRESULT CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(create->lpCreateParams));
    }
    auto* control = reinterpret_cast<TestControl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_PAINT && control) {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(window, &paint);
        RECT client;
        ::GetClientRect(window, &client);
        control->Paint(dc, client);
        ::EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;  // WM_PAINT fills the whole window
    if (message == WM_LBUTTONDOWN && control) {
        control->Click();
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// Registers the window class of this module once; true when it exists.
bool RegisterWindowClass() {
    WNDCLASSW existing;
    if (::GetClassInfoW(ThisModule(), kWindowClass, &existing)) return true;
    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = ControlWindowProc;
    windowClass.hInstance = ThisModule();
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassW(&windowClass) != 0;
}

std::string RectText(const RECT* rect) {
    if (!rect) return "<null>";
    return std::to_string(rect->left) + "," + std::to_string(rect->top) + "," +
           std::to_string(rect->right) + "," + std::to_string(rect->bottom);
}

}  // namespace

void TestControl::Paint(HDC dc, const RECT& client) const {
    HBRUSH brush = ::CreateSolidBrush(kBackground);
    ::FillRect(dc, &client, brush);
    ::DeleteObject(brush);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    RECT line = client;
    line.left += 4;
    line.top += 4;
    ::DrawTextW(dc, state_.caption.c_str(), int(state_.caption.size()), &line,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    TEXTMETRICW metrics;
    ::GetTextMetricsW(dc, &metrics);
    line.top += metrics.tmHeight + 4;
    ::DrawTextW(dc, firstLine_.c_str(), int(firstLine_.size()), &line,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

// A click fires "Clicked" from the window's own message; the control holds
// itself for the event, whose receiver may let go of it.
void TestControl::Click() {
    const ComPtr<IDispatch> self(this);
    Log("Fire", "Clicked");
    DISPPARAMS none{};
    events_.Fire(dispid::kClickedEvent, &none);
    EndPageIfAsked("Clicked");
}

void TestControl::Invalidate() const {
    if (window_) ::InvalidateRect(window_, nullptr, TRUE);
}

STDMETHODIMP TestControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND,
                                 LPCRECT position) {
    Log("DoVerb", std::to_string(verb) + " " + RectText(position));
    EndPageIfAsked("DoVerb");
    switch (verb) {
    case OLEIVERB_PRIMARY:
    case OLEIVERB_SHOW:
    case OLEIVERB_UIACTIVATE:
    case OLEIVERB_INPLACEACTIVATE:
        if (!clientSite_ && site) clientSite_ = site;
        return ActivateInPlace(position);
    case OLEIVERB_HIDE:
        if (window_) ::ShowWindow(window_, SW_HIDE);
        return S_OK;
    default:
        return OLEOBJ_S_INVALIDVERB;
    }
}

// Asks the site for IOleInPlaceSiteEx first and falls back to IOleInPlaceSite;
// on any failure after OnInPlaceActivate the site is told the activation
// ended, so the site's state stays balanced.
HRESULT TestControl::ActivateInPlace(const RECT* position) {
    if (window_) {
        if (position) SetObjectRects(position, position);
        ::ShowWindow(window_, SW_SHOW);
        return S_OK;
    }
    if (!clientSite_) {
        Log("InPlaceActivate", "failed no-site");
        return E_UNEXPECTED;
    }
    ComPtr<IOleInPlaceSiteEx> siteEx;
    ComPtr<IOleInPlaceSite> site;
    if (SUCCEEDED(clientSite_.As(&siteEx)))
        site = siteEx;
    else if (FAILED(clientSite_.As(&site))) {
        Log("InPlaceActivate", "failed no-inplace-site");
        return E_NOINTERFACE;
    }
    if (site->CanInPlaceActivate() != S_OK) {
        Log("InPlaceActivate", "failed refused");
        return E_FAIL;
    }
    BOOL noRedraw = FALSE;
    HRESULT hr = siteEx ? siteEx->OnInPlaceActivateEx(&noRedraw, 0) : site->OnInPlaceActivate();
    if (FAILED(hr)) {
        Log("InPlaceActivate", "failed activate");
        return hr;
    }
    HWND parent = nullptr;
    RECT sitePosition{}, siteClip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    if (FAILED(site->GetWindow(&parent)) || !parent ||
        FAILED(site->GetWindowContext(&frame, &document, &sitePosition, &siteClip, &frameInfo)) ||
        !RegisterWindowClass()) {
        Log("InPlaceActivate", "failed window-context");
        site->OnInPlaceDeactivate();
        return E_FAIL;
    }
    const RECT& rect = position ? *position : sitePosition;
    window_ = ::CreateWindowExW(0, kWindowClass, L"", WS_CHILD | WS_CLIPSIBLINGS, rect.left,
                                rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                                nullptr, ThisModule(), this);
    if (!window_) {
        Log("InPlaceActivate", "failed create-window");
        site->OnInPlaceDeactivate();
        return E_FAIL;
    }
    inPlaceSite_ = site;
    frame_ = frame;
    document_ = document;
    if (kKeepsSite) {
        keptFrame_ = frame;
        keptDocument_ = document;
    }
    ::ShowWindow(window_, SW_SHOW);
    return S_OK;
}

STDMETHODIMP TestControl::InPlaceDeactivate() {
    if (!window_) return S_OK;
    Log("InPlaceDeactivate");
    HWND window = std::exchange(window_, nullptr);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    ::DestroyWindow(window);
    frame_.Reset();
    document_.Reset();
    ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    if (site) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP TestControl::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP TestControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    Log("SetObjectRects", RectText(position));
    if (window_)
        ::MoveWindow(window_, position->left, position->top, position->right - position->left,
                     position->bottom - position->top, TRUE);
    return S_OK;
}

}  // namespace test_control
