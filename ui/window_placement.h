// Placing a window by a placement value: bits 0-15 the horizontal and bits 16-31 the vertical
// position of the window's centre, in percent of a reference rectangle (0x00320032 centres).
#pragma once
#include <windows.h>

#include <cstdint>

constexpr uint32_t kPlacementCentre = 0x00320032;

// Placement flags.
enum : uint32_t {
  kPlaceInsideWorkArea = 0x2,  // the window stays inside the work area
  kPlaceOnDesktop = 0x4,       // the reference is the desktop's work area, not the owner
};

// Moves `window` (without resizing it) by `placement` within its owner's (or parent's) rectangle,
// or the desktop's work area when it has neither or `flags` ask for it.
void WindowPlace(HWND window, uint32_t placement, uint32_t flags);
