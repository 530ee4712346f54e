// The page capture holds what the child windows (the controls) painted.
#include <gtest/gtest.h>

#include <windows.h>

#include "screenshot.h"

namespace {

constexpr COLORREF kControlColour = RGB(200, 30, 40);

// A child window that paints itself in kControlColour, as a control does in
// its WM_PAINT.
LRESULT CALLBACK PaintingChild(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return ::DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(window, &paint);
    RECT area;
    ::GetClientRect(window, &area);
    HBRUSH brush = ::CreateSolidBrush(kControlColour);
    ::FillRect(dc, &area, brush);
    ::DeleteObject(brush);
    ::EndPaint(window, &paint);
    return 0;
}

TEST(ScreenshotTest, CapturesWhatChildWindowsPaint) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &PaintingChild;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"NPHostPaintingChild";
    ::RegisterClassW(&windowClass);
    HWND page = ::CreateWindowExW(0, L"STATIC", L"page", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                                  120, 80, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(page);
    HWND child = ::CreateWindowExW(0, L"NPHostPaintingChild", L"", WS_CHILD | WS_VISIBLE, 10, 20, 30, 40,
                                   page, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(child);

    std::string error;
    const std::optional<nphost::Capture> capture = nphost::CaptureClientArea(page, error);
    ::DestroyWindow(page);
    ASSERT_TRUE(capture) << error;
    ASSERT_EQ(120, capture->width);
    ASSERT_EQ(80, capture->height);
    const auto at = [&](int x, int y) { return capture->pixels[y * capture->width + x]; };
    const std::uint32_t expected = (GetRValue(kControlColour) << 16) | (GetGValue(kControlColour) << 8) |
                                   GetBValue(kControlColour);
    EXPECT_EQ(expected, at(10, 20));  // the child's corners
    EXPECT_EQ(expected, at(39, 59));
    EXPECT_NE(expected, at(9, 20));   // just outside it
    EXPECT_NE(expected, at(40, 59));
}

}  // namespace
