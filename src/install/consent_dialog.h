// The base of the dialogs that ask the user before code from the web is
// installed: one keystroke meant for the page cannot answer them Yes.
//
// No (IDCANCEL) is the default button and has the focus. Yes (IDOK) is
// enabled only once the dialog has been the foreground window for
// kYesDelayMs without a break, and is disabled again whenever it loses the
// foreground (the delay then starts over). Enter, Space on No, Escape and
// the close box answer No; a Yes command while Yes is disabled is ignored.
// The template's texts are fitted to the dialog's font (fw::FitTextsToFont).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/dialog.h"

namespace install {

class ConsentDialog : public fw::CDialog {
public:
    static constexpr std::uint32_t kYesDelayMs = 1000;

protected:
    ConsentDialog(UINT templateId, fw::CWnd* parent);
    ~ConsentDialog() override;

    // Fills the controls (UpdateData(FALSE)), fits the layout, disables Yes,
    // puts the focus on No and starts the delay's timer.
    BOOL OnInitDialog() override;
    // Ends the dialog with IDOK only while Yes is enabled; the dialog's
    // boxes are read-only, so nothing is read back.
    void OnOK() override;
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Shows `address` (text of the system code page) in the box `controlId`
    // as it fits the box: the scheme and the host whole (see ElideAddress).
    void ShowAddress(int controlId, const std::string& address);

private:
    void UpdateYes();
    void DisableYes();

    // When the dialog last became the foreground window; none while it is not.
    std::optional<std::uint64_t> foregroundSince_;
};

}  // namespace install
