#include "install/consent_dialog.h"

#include <vector>

#include "framework/dialog_layout.h"
#include "install/address_elision.h"

namespace install {

namespace {

constexpr UINT_PTR kYesTimer = 1;
constexpr UINT kYesTimerMs = 100;

std::wstring FromCodePage(const std::string& text) {
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                             nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                              length);
    }
    return wide;
}

}  // namespace

ConsentDialog::ConsentDialog(UINT templateId, fw::CWnd* parent) : fw::CDialog(templateId, parent) {}

ConsentDialog::~ConsentDialog() = default;

BOOL ConsentDialog::OnInitDialog() {
    fw::CDialog::OnInitDialog();
    fw::FitTextsToFont(m_hWnd);
    DisableYes();
    ::SendMessageW(m_hWnd, DM_SETDEFID, IDCANCEL, 0);
    if (HWND no = ::GetDlgItem(m_hWnd, IDCANCEL)) {
        ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(no), TRUE);
    }
    ::SetTimer(m_hWnd, kYesTimer, kYesTimerMs, nullptr);
    return FALSE;  // the focus is set
}

void ConsentDialog::OnOK() {
    HWND yes = ::GetDlgItem(m_hWnd, IDOK);
    if (yes && ::IsWindowEnabled(yes)) EndDialog(IDOK);
}

INT_PTR ConsentDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam != kYesTimer) break;
        UpdateYes();
        return TRUE;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) DisableYes();
        break;
    case WM_DESTROY:
        ::KillTimer(m_hWnd, kYesTimer);
        break;
    default:
        break;
    }
    return fw::CDialog::HandleMessage(message, wParam, lParam);
}

void ConsentDialog::UpdateYes() {
    const bool foreground = ::GetForegroundWindow() == m_hWnd && ::IsWindowVisible(m_hWnd) &&
                            !::IsIconic(m_hWnd);
    if (!foreground) {
        DisableYes();
        return;
    }
    const std::uint64_t now = ::GetTickCount64();
    if (!foregroundSince_) foregroundSince_ = now;
    HWND yes = ::GetDlgItem(m_hWnd, IDOK);
    if (yes && now - *foregroundSince_ >= kYesDelayMs && !::IsWindowEnabled(yes)) {
        ::EnableWindow(yes, TRUE);
    }
}

void ConsentDialog::DisableYes() {
    foregroundSince_.reset();
    HWND yes = ::GetDlgItem(m_hWnd, IDOK);
    if (!yes || !::IsWindowEnabled(yes)) return;
    // A disabled button keeps no focus: it goes to No, the default.
    if (::GetFocus() == yes) {
        if (HWND no = ::GetDlgItem(m_hWnd, IDCANCEL)) {
            ::SendMessageW(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(no), TRUE);
        }
    }
    ::EnableWindow(yes, FALSE);
    ::SendMessageW(m_hWnd, DM_SETDEFID, IDCANCEL, 0);
}

void ConsentDialog::ShowAddress(int controlId, const std::string& address) {
    HWND box = ::GetDlgItem(m_hWnd, controlId);
    if (!box) return;
    RECT format = {};
    ::SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const fw::WindowTextMeasure measure(box);
    const std::wstring shown =
        ElideAddress(FromCodePage(address), format.right - format.left,
                     [&](std::wstring_view text) { return measure.Width(text); });
    ::SetWindowTextW(box, shown.c_str());
}

}  // namespace install
