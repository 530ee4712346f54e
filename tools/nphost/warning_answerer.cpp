#include "warning_answerer.h"

namespace nphost {
namespace {

constexpr UINT kPollMs = 100;
WarningAnswerer* current = nullptr;

}  // namespace

WarningAnswerer::WarningAnswerer(WarningAnswer answer, std::function<void(const std::string&)> report)
    : answer_(answer), report_(std::move(report)) {
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
    char caption[16] = {};
    if (::IsWindowVisible(window) && ::GetWindowTextA(window, caption, sizeof caption) &&
        std::string(caption) == "WARNING") {
        reinterpret_cast<WarningAnswerer*>(self)->Answer(window);
    }
    return TRUE;
}

void WarningAnswerer::Answer(HWND dialog) {
    if (dialog == lastAnswered_) return;  // already answered; it is closing
    const int id = answer_ == WarningAnswer::Yes ? IDOK : IDCANCEL;
    HWND button = ::GetDlgItem(dialog, id);
    if (!button) return;
    lastAnswered_ = dialog;
    ++answered_;
    if (report_) report_(std::string("dialog WARNING answered ") + (id == IDOK ? "yes" : "no"));
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

}  // namespace nphost
