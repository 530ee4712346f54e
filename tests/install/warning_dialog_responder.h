// Answers the download warning like a user: while the dialog's modal loop
// runs on the test thread, a thread timer finds the dialog by its caption
// "WARNING", reads its seven boxes, runs an optional action (the browser
// tearing the instance down, say) and then answers by message.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>

#include <windows.h>

namespace test {

enum class UserAnswer {
    Yes,       // clicks "Yes"
    Enter,     // presses Enter (the default button)
    No,        // clicks "No"
    Escape,    // presses Escape
    CloseBox,  // the window's close command
};

const char* ToString(UserAnswer answer);

class WarningDialogResponder {
public:
    // Only one responder lives at a time, on the thread that shows the dialog.
    explicit WarningDialogResponder(UserAnswer answer, std::function<void()> whileShown = {});
    WarningDialogResponder(const WarningDialogResponder&) = delete;
    WarningDialogResponder& operator=(const WarningDialogResponder&) = delete;
    ~WarningDialogResponder();

    // The answer to every warning after the first; the first answer when unset.
    std::optional<UserAnswer> laterAnswer;
    // How many warnings were seen, and the boxes of the last one by control id.
    int timesShown = 0;
    std::map<int, std::string> boxes;
    bool iconShown = false;

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Respond(HWND dialog);

    UserAnswer answer_;
    std::function<void()> whileShown_;
    UINT_PTR timer_ = 0;
    HWND answered_ = nullptr;
    int ticksSinceAnswer_ = 0;
};

}  // namespace test
