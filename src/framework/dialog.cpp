#include "framework/dialog.h"

#include <vector>

#include "framework/win_app.h"

namespace fw {

void DDX_Text(CDataExchange* exchange, int controlId, std::string& value) {
    if (!exchange || !exchange->m_pDlgWnd) return;
    HWND control = ::GetDlgItem(exchange->m_pDlgWnd->m_hWnd, controlId);
    if (!control) return;
    if (!exchange->m_bSaveAndValidate) {
        ::SetWindowTextA(control, value.c_str());
        return;
    }
    // The whole text, however long: never cut to a fixed buffer.
    const int length = ::GetWindowTextLengthA(control);
    std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = ::GetWindowTextA(control, text.data(), length + 1);
    value.assign(text.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() = default;

HWND CDialog::ChooseOwner() const {
    if (parent_ && parent_->m_hWnd) return ::GetAncestor(parent_->m_hWnd, GA_ROOT);
    HWND active = ::GetActiveWindow();
    return active ? ::GetAncestor(active, GA_ROOT) : nullptr;
}

INT_PTR CDialog::DoModal() {
    const INT_PTR result =
        ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId_), ChooseOwner(),
                          &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (m_hWnd) Detach();
    // The dialog manager answers 0 for an owner that is no window.
    return result == 0 ? -1 : result;
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    try {
        CDataExchange exchange(*this, saveAndValidate != FALSE);
        DoDataExchange(&exchange);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

void CDialog::EndDialog(int result) {
    if (m_hWnd) ::EndDialog(m_hWnd, result);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    if (UpdateData(TRUE)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        if (!dialog || !dialog->Attach(hWnd)) {
            ::EndDialog(hWnd, -1);
            return FALSE;
        }
    }
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (!dialog) return FALSE;
    try {
        return dialog->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return FALSE;  // nothing leaves a dialog procedure
    }
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    case WM_NCDESTROY:
        Detach();
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace fw
