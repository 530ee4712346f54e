// Dialog layout that fits the fonts the machine has: a template gives the
// places, the texts' own measurements give the heights.
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

namespace fw {

// Measures text as `window` draws it: its device context with its own font
// (WM_GETFONT) selected, both given back when the object goes.
class WindowTextMeasure {
public:
    explicit WindowTextMeasure(HWND window);
    WindowTextMeasure(const WindowTextMeasure&) = delete;
    WindowTextMeasure& operator=(const WindowTextMeasure&) = delete;
    ~WindowTextMeasure();

    // The width of `text` on one line, in pixels; 0 without a device context.
    int Width(std::wstring_view text) const;
    // The height `text` needs when broken into lines `width` pixels wide
    // (DrawText's word breaking with `format`'s other flags).
    int WrappedHeight(const std::wstring& text, int width, UINT format) const;
    // The height of one line of the font.
    int LineHeight() const;

private:
    HWND window_;
    HDC dc_;
    HGDIOBJ previousFont_ = nullptr;
};

// The window's whole text, as UTF-16.
std::wstring WindowTextOf(HWND window);

// Grows every text of `dialog` that its font cannot show whole (a static
// text broken into lines at its width, a multi-line edit box with its lines)
// to the height it needs, moves the controls below it down as far, and grows
// the dialog by what its lowest control moved. Call after the texts are set.
void FitTextsToFont(HWND dialog);

}  // namespace fw
