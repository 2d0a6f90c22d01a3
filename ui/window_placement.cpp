#include "ui/window_placement.h"

void WindowPlace(HWND window, uint32_t placement, uint32_t flags) {
  RECT own;
  if (!GetWindowRect(window, &own)) return;
  HWND reference = nullptr;
  if (!(flags & kPlaceOnDesktop)) {
    reference = GetWindow(window, GW_OWNER);
    if (!reference) reference = GetParent(window);
  }
  RECT area;
  if (!reference || !GetWindowRect(reference, &area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  LONG width = own.right - own.left;
  LONG height = own.bottom - own.top;
  LONG x = area.left + (area.right - area.left) * LONG(placement & 0xFFFF) / 100 - width / 2;
  LONG y = area.top + (area.bottom - area.top) * LONG(placement >> 16) / 100 - height / 2;
  RECT work;
  if ((flags & kPlaceInsideWorkArea) && SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    if (x + width > work.right) x = work.right - width;
    if (y + height > work.bottom) y = work.bottom - height;
    if (x < work.left) x = work.left;
    if (y < work.top) y = work.top;
  }
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
