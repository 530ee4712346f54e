// Modal dialogs from dialog templates in the module's resources, with data
// exchange between the dialog object's members and the dialog's controls.
#pragma once

#include <string>

#include <windows.h>

#include "framework/wnd.h"

namespace fw {

class CDialog;

// One direction of data exchange: into the controls when the dialog opens,
// back into the members when the user confirms it.
class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool saveAndValidate)
        : m_pDlgWnd(&dialog), m_bSaveAndValidate(saveAndValidate) {}
    CDialog* const m_pDlgWnd;
    const bool m_bSaveAndValidate;
};

// Copies `value` into the text of the dialog control `controlId`, or, when
// saving, the control's whole text into `value`. A missing control leaves
// `value` as it is.
void DDX_Text(CDataExchange* exchange, int controlId, std::string& value);

class CDialog : public CWnd {
public:
    // `parent` is not owned; null lets DoModal choose the owner.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDialog() override;

    // Shows the dialog of the template (from AfxGetResourceHandle()) and runs
    // its modal loop. Returns what EndDialog was given: IDOK, IDCANCEL (also
    // for Escape and the close box), or -1 when the dialog cannot be created.
    // With no parent the owner is the top-level window of this thread's
    // active window, if any.
    virtual INT_PTR DoModal();

    // Runs DoDataExchange in one direction; FALSE when it threw.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result);

protected:
    // Fills the controls from the members; TRUE lets the dialog manager set
    // the focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* exchange);
    // Members back from the controls, then ends the dialog with IDOK.
    virtual void OnOK();
    // Ends the dialog with IDCANCEL.
    virtual void OnCancel();
    // The dialog procedure's answer to one message: WM_INITDIALOG, the
    // commands IDOK and IDCANCEL and WM_NCDESTROY are handled here, the rest
    // left to the dialog manager (FALSE). Overrides call it for what they do
    // not answer themselves.
    virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND ChooseOwner() const;

    UINT templateId_;
    CWnd* parent_;
};

}  // namespace fw
