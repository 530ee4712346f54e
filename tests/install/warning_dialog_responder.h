// Answers the download warning like a user: while the dialog's modal loop
// runs on the test thread, a thread timer finds the dialog by its caption
// "WARNING", reads its seven boxes (the warning about the control file's
// publisher: its problem and its address box), runs an optional action (the browser
// tearing the instance down, say) and then answers by message; "Yes" is
// clicked once the dialog has enabled it, keys are pressed at once.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace test {

enum class UserAnswer {
    Yes,       // clicks "Yes" once it is enabled
    Enter,     // presses Enter at once (the default button)
    Space,     // presses Space at once (on the button with the focus)
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

    // The answer to every download warning after the first; the first
    // answer when unset.
    std::optional<UserAnswer> laterAnswer;
    // The answer to the warnings about the control file's publisher.
    UserAnswer publisherAnswer = UserAnswer::Yes;
    // How many download warnings were seen, and the boxes of the last
    // warning of either kind by control id.
    int timesShown = 0;
    // The problems the publisher warnings named, in order.
    std::vector<std::string> publisherProblems;
    std::map<int, std::string> boxes;
    bool iconShown = false;
    // The texts of the last warning that its font did not show whole: a
    // static text or the address box with more lines than room, or a
    // control reaching out of the dialog.
    std::vector<std::string> cutTexts;
    // How long after the last warning was seen its Yes became enabled (for
    // the answer Yes); none when it never did within a few seconds.
    std::optional<DWORD> yesEnabledAfterMs;

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void Respond(HWND dialog);
    void Answer(HWND dialog);

    UserAnswer answer_;
    std::function<void()> whileShown_;
    UINT_PTR timer_ = 0;
    HWND seen_ = nullptr;
    DWORD seenAt_ = 0;
    bool answered_ = false;
    bool isPublisherWarning_ = false;
    int ticksSinceAnswer_ = 0;
};

}  // namespace test
