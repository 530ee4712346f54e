// The unattended answer to a modal "WARNING" dialog: the dialog's own modal
// loop runs while the answerer presses the button.
#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>

#include "warning_answerer.h"

namespace {

// An in-memory dialog template: the caption and the buttons Yes (IDOK) and
// No (IDCANCEL); Yes disabled at first when `yesLater`.
class DialogTemplate {
public:
    explicit DialogTemplate(const wchar_t* caption, bool yesLater = false) {
        DLGTEMPLATE header = {};
        header.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_VISIBLE;
        header.cdit = 2;
        header.cx = 160;
        header.cy = 60;
        Append(&header, sizeof header);
        AppendWords({0, 0});  // no menu, default class
        AppendText(caption);
        AddButton(IDOK, L"Yes", 20, yesLater ? WS_DISABLED : 0);
        AddButton(IDCANCEL, L"No", 90, 0);
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Append(const void* data, std::size_t size) {
        const std::size_t at = words_.size();
        words_.resize(at + (size + 1) / 2);
        std::memcpy(words_.data() + at, data, size);
    }
    void AppendWords(std::initializer_list<WORD> words) { words_.insert(words_.end(), words); }
    void AppendText(const wchar_t* text) { Append(text, (std::wcslen(text) + 1) * sizeof(wchar_t)); }
    void AddButton(WORD id, const wchar_t* text, short x, DWORD extraStyle) {
        if (words_.size() % 2) words_.push_back(0);  // items are DWORD-aligned
        DLGITEMTEMPLATE item = {};
        item.style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | extraStyle;
        item.x = x;
        item.y = 30;
        item.cx = 50;
        item.cy = 14;
        item.id = id;
        Append(&item, sizeof item);
        AppendWords({0xFFFF, 0x0080});  // the button class
        AppendText(text);
        AppendWords({0});  // no creation data
    }
    std::vector<WORD> words_;
};

// Ends the dialog with -1 after a few seconds, so that no test waits forever;
// enables Yes after a moment; a Yes pressed while disabled ends it with -2.
INT_PTR CALLBACK GuardedDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    constexpr UINT_PTR kGuard = 1, kEnableYes = 2;
    if (message == WM_INITDIALOG) {
        ::SetTimer(dialog, kGuard, 2000, nullptr);
        ::SetTimer(dialog, kEnableYes, 300, nullptr);
        return TRUE;
    }
    if (message == WM_TIMER && wParam == kEnableYes) ::EnableWindow(::GetDlgItem(dialog, IDOK), TRUE);
    if (message == WM_TIMER && wParam == kGuard) ::EndDialog(dialog, -1);
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        const bool early = LOWORD(wParam) == IDOK && !::IsWindowEnabled(::GetDlgItem(dialog, IDOK));
        ::EndDialog(dialog, early ? -2 : LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

INT_PTR RunDialog(const wchar_t* caption, bool yesLater = false) {
    const DialogTemplate dialogTemplate(caption, yesLater);
    return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), dialogTemplate.get(), nullptr,
                                     &GuardedDialog, 0);
}

TEST(WarningAnswererTest, PressesTheChosenButton) {
    const struct {
        nphost::WarningAnswer answer;
        bool yesLater;  // Yes is enabled only after a moment: the answerer waits for it
        INT_PTR result;
        const char* line;
    } cases[] = {
        {nphost::WarningAnswer::Yes, false, IDOK, "dialog WARNING answered yes"},
        {nphost::WarningAnswer::Yes, true, IDOK, "dialog WARNING answered yes"},
        {nphost::WarningAnswer::No, true, IDCANCEL, "dialog WARNING answered no"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.line << (c.yesLater ? ", Yes later" : ""));
        std::vector<std::string> lines;
        nphost::WarningAnswerer answerer(c.answer, [&](const std::string& line) { lines.push_back(line); });
        EXPECT_EQ(c.result, RunDialog(L"WARNING", c.yesLater));
        EXPECT_EQ(std::vector<std::string>{c.line}, lines);
    }
}

TEST(WarningAnswererTest, LeavesOtherDialogsAlone) {
    std::vector<std::string> lines;
    nphost::WarningAnswerer answerer(nphost::WarningAnswer::Yes,
                                     [&](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(-1, RunDialog(L"Something else"));  // ended by its own guard
    EXPECT_TRUE(lines.empty());
}

}  // namespace
