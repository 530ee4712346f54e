// Answers the plug-in's download warning for unattended runs, and captures it
// as the user sees it. The warning is a modal dialog with the caption
// "WARNING": while it is up, the main thread sits in the dialog's modal loop
// inside a plug-in call, so the answerer looks for it from a thread timer,
// which that loop dispatches. Once per dialog it reports what the dialog
// shows (read back from its windows), writes its image when asked to (the
// first dialog's only: the download warning, not a later warning about the
// control file's publisher), then presses Yes (button IDOK, once the dialog
// has enabled it) or No (IDCANCEL) by posting the button's click, or leaves
// the answer to the person.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <windows.h>

namespace nphost {

enum class WarningAnswer { Yes, No };

class WarningAnswerer {
public:
    // Starts watching on the calling thread, which must run the message
    // loops. One answerer at a time. `answer`: none leaves the dialog to the
    // person. `pngPath`: where the dialog's image goes (none when empty); a
    // capture that fails is reported and the dialog answered all the same.
    WarningAnswerer(std::optional<WarningAnswer> answer, std::function<void(const std::string&)> report,
                    std::string pngPath = {});
    WarningAnswerer(const WarningAnswerer&) = delete;
    WarningAnswerer& operator=(const WarningAnswerer&) = delete;
    ~WarningAnswerer();

    int answered() const { return answered_; }
    bool captureFailed() const { return captureFailed_; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK OnWindow(HWND window, LPARAM self);
    void Handle(HWND dialog);
    void Capture(HWND dialog);

    std::optional<WarningAnswer> answer_;
    std::function<void(const std::string&)> report_;
    std::string pngPath_;
    UINT_PTR timer_ = 0;
    HWND lastHandled_ = nullptr;
    HWND lastCaptured_ = nullptr;
    bool shotTaken_ = false;
    int answered_ = 0;
    bool captureFailed_ = false;
};

}  // namespace nphost
