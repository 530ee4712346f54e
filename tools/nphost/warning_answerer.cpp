#include "warning_answerer.h"

#include "screenshot.h"

namespace nphost {
namespace {

constexpr UINT kPollMs = 100;
WarningAnswerer* current = nullptr;

std::string TextOf(HWND window) {
    char text[512] = {};
    ::GetWindowTextA(window, text, sizeof text);
    return text;
}

// The texts of the dialog's edit boxes (the values it shows), in the
// dialog's order, each in quotes.
std::string ValuesOf(HWND dialog) {
    std::string values;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char kind[16] = {};
        ::GetClassNameA(child, kind, sizeof kind);
        if (_stricmp(kind, "Edit") == 0) values += " \"" + TextOf(child) + "\"";
    }
    return values;
}

}  // namespace

WarningAnswerer::WarningAnswerer(std::optional<WarningAnswer> answer,
                                 std::function<void(const std::string&)> report, std::string pngPath)
    : answer_(answer), report_(std::move(report)), pngPath_(std::move(pngPath)) {
    current = this;
    timer_ = ::SetTimer(nullptr, 0, kPollMs, &WarningAnswerer::OnTimer);
}

WarningAnswerer::~WarningAnswerer() {
    if (timer_) ::KillTimer(nullptr, timer_);
    if (current == this) current = nullptr;
}

void CALLBACK WarningAnswerer::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (current) ::EnumThreadWindows(::GetCurrentThreadId(), &WarningAnswerer::OnWindow,
                                     reinterpret_cast<LPARAM>(current));
}

BOOL CALLBACK WarningAnswerer::OnWindow(HWND window, LPARAM self) {
    if (::IsWindowVisible(window) && TextOf(window) == "WARNING") {
        reinterpret_cast<WarningAnswerer*>(self)->Handle(window);
    }
    return TRUE;
}

// Seen first: captured as shown. Yes is pressed once the dialog enables it
// (it holds Yes back for a moment), No at once.
void WarningAnswerer::Handle(HWND dialog) {
    if (dialog == lastHandled_) return;  // already answered; it is closing or the person answers
    const int id = answer_ == WarningAnswer::Yes ? IDOK : IDCANCEL;
    HWND button = ::GetDlgItem(dialog, id);
    if (answer_ && !button) return;
    if (dialog != lastCaptured_) {
        lastCaptured_ = dialog;
        Capture(dialog);
    }
    if (!answer_) {
        lastHandled_ = dialog;
        return;
    }
    if (!::IsWindowEnabled(button)) return;  // looked at again on the next tick
    lastHandled_ = dialog;
    ++answered_;
    if (report_) report_(std::string("dialog WARNING answered ") + (id == IDOK ? "yes" : "no"));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void WarningAnswerer::Capture(HWND dialog) {
    if (pngPath_.empty()) return;
    if (report_) report_("dialog " + TextOf(dialog) + " shows" + ValuesOf(dialog));
    // The first warning is the download warning: a later one (about the
    // control file's publisher) does not overwrite its image.
    if (shotTaken_) return;
    shotTaken_ = true;
    std::string error;
    if (WriteScreenshot(dialog, pngPath_, error, CaptureArea::Window)) {
        if (report_) report_("   screenshot " + pngPath_);
    } else {
        captureFailed_ = true;
        if (report_) report_("   (warning screenshot: " + error + ")");
    }
}

}  // namespace nphost
