#include "framework/device_units.h"

#include <cmath>

namespace fw {
namespace {

constexpr int kHimetricPerInch = 2540;

struct ScreenResolution {
    int x = 96;
    int y = 96;
};

ScreenResolution ReadScreenResolution() {
    ScreenResolution resolution;
    if (HDC screen = ::GetDC(nullptr)) {
        resolution.x = ::GetDeviceCaps(screen, LOGPIXELSX);
        resolution.y = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    if (resolution.x <= 0) resolution.x = 96;
    if (resolution.y <= 0) resolution.y = 96;
    return resolution;
}

}  // namespace

SIZEL PixelsToHimetric(SIZE pixels) {
    const ScreenResolution dpi = ReadScreenResolution();
    return {::MulDiv(pixels.cx, kHimetricPerInch, dpi.x), ::MulDiv(pixels.cy, kHimetricPerInch, dpi.y)};
}

POINTF HimetricToPixels(POINTL himetric) {
    const ScreenResolution dpi = ReadScreenResolution();
    return {static_cast<float>(himetric.x) * dpi.x / kHimetricPerInch,
            static_cast<float>(himetric.y) * dpi.y / kHimetricPerInch};
}

POINTL PixelsToHimetric(POINTF pixels) {
    const ScreenResolution dpi = ReadScreenResolution();
    return {std::lround(pixels.x * kHimetricPerInch / dpi.x),
            std::lround(pixels.y * kHimetricPerInch / dpi.y)};
}

}  // namespace fw
