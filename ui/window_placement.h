// Placing a window by a placement value: bits 0-15 the horizontal and bits 16-31 the vertical
// position of the window's centre, in percent of a reference rectangle (0x00320032 centres).
#pragma once
#include <windows.h>

#include <cstdint>

constexpr uint32_t kPlacementCentre = 0x00320032;

// Moves `window` (without resizing it) by `placement` within its owner's (or parent's) rectangle,
// or the desktop's when it has neither; with `clamp` the result stays inside the work area.
void WindowPlace(HWND window, uint32_t placement, bool clamp);
