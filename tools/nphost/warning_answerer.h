// Answers the plug-in's download warning for unattended runs. The warning is
// a modal dialog with the caption "WARNING": while it is up, the main thread
// sits in the dialog's modal loop inside a plug-in call, so the answerer
// looks for it from a thread timer, which that loop dispatches. It presses
// Yes (button IDOK) or No (IDCANCEL) by posting the button's click to the
// dialog, and reports the answer through `report`.
#pragma once

#include <functional>
#include <string>

#include <windows.h>

namespace nphost {

enum class WarningAnswer { Yes, No };

class WarningAnswerer {
public:
    // Starts watching on the calling thread, which must run the message
    // loops. One answerer at a time.
    WarningAnswerer(WarningAnswer answer, std::function<void(const std::string&)> report);
    WarningAnswerer(const WarningAnswerer&) = delete;
    WarningAnswerer& operator=(const WarningAnswerer&) = delete;
    ~WarningAnswerer();

    int answered() const { return answered_; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK OnWindow(HWND window, LPARAM self);
    void Answer(HWND dialog);

    WarningAnswer answer_;
    std::function<void(const std::string&)> report_;
    UINT_PTR timer_ = 0;
    HWND lastAnswered_ = nullptr;
    int answered_ = 0;
};

}  // namespace nphost
