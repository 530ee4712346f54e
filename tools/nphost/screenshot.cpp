#include "screenshot.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "handles.h"
#include "png.h"

namespace nphost {
namespace {

// A window's DC (of its client area or of the whole window), released to the
// window when it goes.
class WindowDc {
public:
    WindowDc(HWND window, CaptureArea area)
        : window_(window), dc_(area == CaptureArea::Window ? ::GetWindowDC(window) : ::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects `object` into `dc` and puts the previous one back when it goes.
class ScopedSelection {
public:
    ScopedSelection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;
    ~ScopedSelection() { ::SelectObject(dc_, previous_); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace

std::optional<Capture> CaptureClientArea(HWND window, std::string& error, CaptureArea area) {
    RECT bounds = {};
    const bool known = area == CaptureArea::Window ? ::GetWindowRect(window, &bounds) : ::GetClientRect(window, &bounds);
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (!known || width <= 0 || height <= 0) {
        error = "the window has no area to capture";
        return std::nullopt;
    }
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    ::GdiFlush();

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    WindowDc source(window, area);
    UniqueMemoryDc memory(::CreateCompatibleDC(source.get()));
    UniqueGdiObject bitmap(::CreateDIBSection(source.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!source.get() || !memory || !bitmap || !bits) {
        error = "no device context or bitmap for the capture";
        return std::nullopt;
    }
    {
        ScopedSelection selection(memory.get(), bitmap.get());
        if (!::BitBlt(memory.get(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY)) {
            error = "the window's content could not be copied";
            return std::nullopt;
        }
        ::GdiFlush();
    }
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    Capture capture{width, height, {pixels, pixels + static_cast<std::size_t>(width) * height}};
    for (std::uint32_t& p : capture.pixels) p &= 0x00FFFFFF;
    return capture;
}

bool WriteScreenshot(HWND window, const std::string& pngPath, std::string& error, CaptureArea area) {
    const std::optional<Capture> capture = CaptureClientArea(window, error, area);
    if (!capture) return false;
    const std::vector<std::uint8_t> png = EncodePng(capture->width, capture->height, capture->pixels);
    std::ofstream out(pngPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    out.close();
    if (!out) {
        error = "cannot write " + pngPath;
        return false;
    }
    return true;
}

}  // namespace nphost
