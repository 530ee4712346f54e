// Captures a window's client area (or the whole window, frame and caption
// included), with what its child windows (the plug-in's controls) painted,
// and writes it as a PNG file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace nphost {

struct Capture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top row first
};

enum class CaptureArea { Client, Window };

// Repaints `window` and its children and copies its client area (or the
// whole window); nothing (with the reason in `error`) when that cannot be done.
std::optional<Capture> CaptureClientArea(HWND window, std::string& error,
                                         CaptureArea area = CaptureArea::Client);

// Captures `window` and writes it to `pngPath`. On failure returns false
// with the reason in `error`.
bool WriteScreenshot(HWND window, const std::string& pngPath, std::string& error,
                     CaptureArea area = CaptureArea::Client);

}  // namespace nphost
