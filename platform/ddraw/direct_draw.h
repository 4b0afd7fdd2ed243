#pragma once
// The DirectDraw stand-in: registered as a COM class only when a test, a demo or a setting asks, so a normal run
// takes the GDI path. The primary surface is a screen-sized buffer at the screen's depth and masks; Unlock carries
// the pixels inside the visible client area of the window its clipper names into that window's surface, converted
// as device contexts convert, and discards every other pixel, so a caller can never write over another window.
#include "platform/base/result.h"

#include <cstdint>
#include <optional>

namespace pf {

void registerDirectDrawStandIn();
void unregisterDirectDrawStandIn();

// Test controls, process-wide.
struct DirectDrawFaults {
    bool failCreateSurface = false;
    bool failLock = false;
    bool failRestore = false;
};
void setDirectDrawFaults(const DirectDrawFaults& faults);
void loseDirectDrawSurfaces(); // every primary surface reports DDERR_SURFACELOST until restored
int directDrawLiveObjects();   // objects of the stand-in still alive

} // namespace pf
