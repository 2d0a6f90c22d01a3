// The bitmap panel QELBMP: a control that shows a bitmap of the program's resources, named by its
// window text ("#64" or an ordinal), as banner or side panel of the wizard pages. Bitmaps are made
// for 96 dpi and scaled to the screen; a bitmap may come in larger scales at resource id + 1000 × n
// (n = 1 125 %, 2 150 %, 3 200 %, 4 300 %), and the largest one the display scale reaches is used.
#pragma once
#include <windows.h>

#include <cstdint>

constexpr wchar_t kBitmapPanelClass[] = L"QELBMP";

// Style bits of the panel.
enum : uint32_t {
  kBitmapRealPixels = 0x0080,  // sizes are screen pixels: no scaling from the bitmap's dpi
  kBitmapCentred = 0x0200,     // drawn at its own size, centred
  kBitmapSizeWindow = 0x0800,  // the window takes the bitmap's size when it is created
  kBitmapClientEdge = 0x1000,  // the client-edge extended style is added at creation
};

// The resource id of the bitmap `id` for a display of `scale` percent and the dpi it is made for:
// the largest variant whose scale the display reaches and that `exists` (a resource lookup), else
// `id` itself at 96 dpi.
uint32_t BitmapForScale(uint32_t id, int32_t scale, bool (*exists)(uint32_t id), int32_t* dpi);

// Registers and unregisters the class (style 0x4003, the arrow cursor); false with the thread's last
// error when registering fails.
bool BitmapPanelRegisterClass();
void BitmapPanelUnregisterClass();
