// Conversions between screen pixels and HIMETRIC (0.01 mm), the unit in
// which OLE objects state their extents.
#pragma once

#include <windows.h>
#include <ocidl.h>

namespace fw {

SIZEL PixelsToHimetric(SIZE pixels);
// Fractional container units for IOleControlSite::TransformCoords.
POINTF HimetricToPixels(POINTL himetric);
POINTL PixelsToHimetric(POINTF pixels);

}  // namespace fw
