// The unattended answer to a modal "WARNING" dialog: the dialog's own modal
// loop runs while the answerer presses the button.
#include <gtest/gtest.h>

#include <cstring>

#include <windows.h>

#include "warning_answerer.h"

namespace {

// An in-memory dialog template: the caption and the buttons Yes (IDOK) and
// No (IDCANCEL).
class DialogTemplate {
public:
    explicit DialogTemplate(const wchar_t* caption) {
        DLGTEMPLATE header = {};
        header.style = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_VISIBLE;
        header.cdit = 2;
        header.cx = 160;
        header.cy = 60;
        Append(&header, sizeof header);
        AppendWords({0, 0});  // no menu, default class
        AppendText(caption);
        AddButton(IDOK, L"Yes", 20);
        AddButton(IDCANCEL, L"No", 90);
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
    void AddButton(WORD id, const wchar_t* text, short x) {
        if (words_.size() % 2) words_.push_back(0);  // items are DWORD-aligned
        DLGITEMTEMPLATE item = {};
        item.style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
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

// Ends the dialog with -1 after a few seconds, so that no test waits forever.
INT_PTR CALLBACK GuardedDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) {
        ::SetTimer(dialog, 1, 2000, nullptr);
        return TRUE;
    }
    if (message == WM_TIMER) ::EndDialog(dialog, -1);
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        ::EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

INT_PTR RunDialog(const wchar_t* caption) {
    const DialogTemplate dialogTemplate(caption);
    return ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), dialogTemplate.get(), nullptr,
                                     &GuardedDialog, 0);
}

TEST(WarningAnswererTest, PressesTheChosenButton) {
    const struct {
        nphost::WarningAnswer answer;
        INT_PTR result;
        const char* line;
    } cases[] = {
        {nphost::WarningAnswer::Yes, IDOK, "dialog WARNING answered yes"},
        {nphost::WarningAnswer::No, IDCANCEL, "dialog WARNING answered no"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::vector<std::string> lines;
        nphost::WarningAnswerer answerer(c.answer, [&](const std::string& line) { lines.push_back(line); });
        EXPECT_EQ(c.result, RunDialog(L"WARNING"));
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
