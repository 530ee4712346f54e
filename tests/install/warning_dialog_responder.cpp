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

std::string Utf8(const std::wstring& text) {
    char utf8[1024] = {};
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
    return utf8;
}

std::wstring TextOf(HWND window) {
    std::vector<wchar_t> text(::GetWindowTextLengthW(window) + 1, L'\0');
    ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

// As UTF-8: the address box may show an ellipsis.
std::string BoxText(HWND dialog, int id) {
    HWND box = ::GetDlgItem(dialog, id);
    return box ? Utf8(TextOf(box)) : "<missing>";
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

// Whether the child's text needs more lines than it has room for, measured
// as the child draws it.
bool IsCut(HWND child, const RECT& dialogArea) {
    RECT frame = {}, client = {};
    ::GetWindowRect(child, &frame);
    ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&frame), 2);
    if (frame.bottom > dialogArea.bottom || frame.right > dialogArea.right) return true;
    ::GetClientRect(child, &client);
    char kind[16] = {};
    ::GetClassNameA(child, kind, sizeof kind);
    const LONG style = ::GetWindowLongA(child, GWL_STYLE);
    const std::wstring text = TextOf(child);
    HDC dc = ::GetDC(child);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(child, WM_GETFONT, 0, 0)));
    bool cut = false;
    if (_stricmp(kind, "Static") == 0 && (style & SS_TYPEMASK) <= SS_RIGHT && !text.empty()) {
        RECT need = {0, 0, client.right, 0};
        ::DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
        cut = need.bottom > client.bottom;
    } else if (_stricmp(kind, "Edit") == 0 && (style & ES_MULTILINE)) {
        TEXTMETRICW metrics = {};
        ::GetTextMetricsW(dc, &metrics);
        RECT format = {};
        ::SendMessageA(child, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
        const auto lines = ::SendMessageA(child, EM_GETLINECOUNT, 0, 0);
        cut = lines * metrics.tmHeight > format.bottom - format.top;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(child, dc);
    return cut;
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
    case UserAnswer::Space: return "Space";
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
    if (dialog != current->seen_) {
        current->Respond(dialog);
    } else if (!current->answered_) {
        current->Answer(dialog);
    } else if (++current->ticksSinceAnswer_ > 100) {
        ::EndDialog(dialog, IDABORT);  // the answer was lost: do not hang the test
    }
}

void WarningDialogResponder::Respond(HWND dialog) {
    seen_ = dialog;
    seenAt_ = ::GetTickCount();
    answered_ = false;
    ticksSinceAnswer_ = 0;
    yesEnabledAfterMs.reset();
    isPublisherWarning_ = ::GetDlgItem(dialog, IDC_PUBLISHER_PROBLEM) != nullptr;
    if (isPublisherWarning_) {
        publisherProblems.push_back(BoxText(dialog, IDC_PUBLISHER_PROBLEM));
    } else {
        ++timesShown;
    }
    boxes.clear();
    for (int id = IDC_PRODUCT_NAME; id <= IDC_SITE; ++id) boxes[id] = BoxText(dialog, id);
    iconShown = HasIcon(dialog);
    cutTexts.clear();
    RECT area = {};
    ::GetClientRect(dialog, &area);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (IsCut(child, area)) cutTexts.push_back(Utf8(TextOf(child)));
    }
    if (whileShown_) whileShown_();
    if (::IsWindow(dialog)) Answer(dialog);
}

void WarningDialogResponder::Answer(HWND dialog) {
    const UserAnswer answer = isPublisherWarning_                ? publisherAnswer
                              : timesShown > 1 && laterAnswer ? *laterAnswer
                                                              : answer_;
    if (answer == UserAnswer::Yes) {
        HWND yes = ::GetDlgItem(dialog, IDOK);
        const DWORD waited = ::GetTickCount() - seenAt_;
        if (!yes || !::IsWindowEnabled(yes)) {
            if (waited > 5000) {
                answered_ = true;
                ::EndDialog(dialog, IDABORT);  // Yes never came: do not hang the test
            }
            return;
        }
        yesEnabledAfterMs = waited;
    }
    answered_ = true;
    switch (answer) {
    case UserAnswer::Yes:
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDOK)));
        break;
    case UserAnswer::No:
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, IDCANCEL)));
        break;
    case UserAnswer::Enter: PressKey(dialog, VK_RETURN); break;
    case UserAnswer::Space: PressKey(dialog, VK_SPACE); break;
    case UserAnswer::Escape: PressKey(dialog, VK_ESCAPE); break;
    case UserAnswer::CloseBox: ::PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    }
}

}  // namespace test
