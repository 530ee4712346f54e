#include "warning_dialog_responder.h"

#include <vector>

#include "resources/download_warning_ids.h"

namespace test {

namespace {

WarningDialogResponder* current = nullptr;

BOOL CALLBACK NoteWarning(HWND window, LPARAM result) {
    char caption[16] = {};
    ::GetWindowTextA(window, caption, sizeof caption);
    if (std::string(caption) != "WARNING" || !::IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(result) = window;
    return FALSE;
}

// The warning of this thread, if one is up.
HWND FindWarning() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &NoteWarning, reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string BoxText(HWND dialog, int id) {
    HWND box = ::GetDlgItem(dialog, id);
    if (!box) return "<missing>";
    std::vector<char> text(::GetWindowTextLengthA(box) + 1, '\0');
    ::GetWindowTextA(box, text.data(), static_cast<int>(text.size()));
    return text.data();
}

bool HasIcon(HWND dialog) {
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if ((::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            ::SendMessageA(child, STM_GETICON, 0, 0)) {
            return true;
        }
    }
    return false;
}

void PressKey(HWND dialog, WPARAM key) {
    HWND focus = ::GetFocus();
    HWND target = focus && ::IsChild(dialog, focus) ? focus : dialog;
    ::PostMessageA(target, WM_KEYDOWN, key, 1);
    ::PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

}  // namespace

const char* ToString(UserAnswer answer) {
    switch (answer) {
    case UserAnswer::Yes: return "Yes";
    case UserAnswer::Enter: return "Enter";
    case UserAnswer::No: return "No";
    case UserAnswer::Escape: return "Escape";
    case UserAnswer::CloseBox: return "close box";
    }
    return "?";
}

WarningDialogResponder::WarningDialogResponder(UserAnswer answer, std::function<void()> whileShown)
    : answer_(answer), whileShown_(std::move(whileShown)) {
    current = this;
    timer_ = ::SetTimer(nullptr, 0, 20, &WarningDialogResponder::OnTimer);
}

WarningDialogResponder::~WarningDialogResponder() {
    if (timer_) ::KillTimer(nullptr, timer_);
    if (current == this) current = nullptr;
}

void CALLBACK WarningDialogResponder::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (!current) return;
    HWND dialog = FindWarning();
    if (!dialog) return;
    if (dialog != current->answered_) {
        current->Respond(dialog);
    } else if (++current->ticksSinceAnswer_ > 100) {
        ::EndDialog(dialog, IDABORT);  // the answer was lost: do not hang the test
    }
}

void WarningDialogResponder::Respond(HWND dialog) {
    answered_ = dialog;
    ticksSinceAnswer_ = 0;
    ++timesShown;
    boxes.clear();
    for (int id = IDC_PRODUCT_NAME; id <= IDC_SITE; ++id) boxes[id] = BoxText(dialog, id);
    iconShown = HasIcon(dialog);
    if (whileShown_) whileShown_();
    switch (timesShown > 1 && laterAnswer ? *laterAnswer : answer_) {
    case UserAnswer::Yes:
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
        break;
    case UserAnswer::No:
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDCANCEL)));
        break;
    case UserAnswer::Enter: PressKey(dialog, VK_RETURN); break;
    case UserAnswer::Escape: PressKey(dialog, VK_ESCAPE); break;
    case UserAnswer::CloseBox: ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    }
}

}  // namespace test
