// c014 frame or colour panel: statics of the types the system does not draw (29, 30, 31) are
// painted with the control record's colours: a plain fill with the background colour (29), or a
// gradient from the background to the text colour, horizontal (30) or vertical (31). Other static
// types are left to the system.
#include <windows.h>

#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_resources.h"

namespace {

enum : LONG {
  kTypePlain = 29,
  kTypeHorizontalGradient = 30,
  kTypeVerticalGradient = 31,
};

using GradientFillFunction = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

// GradientFill of msimg32.dll, loaded on first use and kept for the run; null when it is missing.
GradientFillFunction GradientFillOfSystem() {
  static bool looked_up;
  static GradientFillFunction function;
  if (!looked_up) {
    looked_up = true;
    HMODULE library = LoadLibraryExW(L"msimg32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    FARPROC found = library ? GetProcAddress(library, "GradientFill") : nullptr;
    function = reinterpret_cast<GradientFillFunction>(reinterpret_cast<void*>(found));
  }
  return function;
}

LONG PanelType(HWND window) {
  LONG type = GetWindowLongW(window, GWL_STYLE) & SS_TYPEMASK;
  return type >= kTypePlain ? type : 0;
}

TRIVERTEX Vertex(LONG x, LONG y, COLORREF colour) {
  return TRIVERTEX{x, y, COLOR16(GetRValue(colour) << 8), COLOR16(GetGValue(colour) << 8),
                   COLOR16(GetBValue(colour) << 8), 0};
}

bool FillGradient(HDC dc, const RECT& area, COLORREF from, COLORREF to, bool horizontal) {
  GradientFillFunction gradient = GradientFillOfSystem();
  if (!gradient) return false;
  TRIVERTEX corners[2] = {Vertex(area.left, area.top, from), Vertex(area.right, area.bottom, to)};
  GRADIENT_RECT rectangle{0, 1};
  return gradient(dc, corners, 2, &rectangle, 1, horizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V) != FALSE;
}

// Without a control record the panel takes the button face, as the page around it.
void Paint(HWND window, LONG type) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT area;
  GetClientRect(window, &area);
  const ControlRecordView* record = ControlRecordOf(window);
  uint32_t background = record ? record->background_colour : kSystemColourFlag | COLOR_BTNFACE;
  COLORREF from = DialogColour(background);
  COLORREF to = record ? DialogColour(record->text_colour) : from;
  bool gradient = type != kTypePlain && from != to &&
                  FillGradient(dc, area, from, to, type == kTypeHorizontalGradient);
  if (!gradient) FillRect(dc, &area, DialogBrushForColour(background));
  EndPaint(window, &paint);
}

int Handler(ControlInstance*, void* window, uint32_t message, uintptr_t, intptr_t, intptr_t* result) {
  auto* panel = static_cast<HWND>(window);
  switch (message) {
    case WM_ERASEBKGND:
      if (!PanelType(panel)) return 0;
      *result = 1;
      return 1;
    case WM_PAINT:
      if (LONG type = PanelType(panel)) {
        Paint(panel, type);
        *result = 0;
        return 1;
      }
      return 0;
  }
  return 0;
}

}  // namespace

const ControlMethods kColourPanelMethods = {
    Handler,  // handler
    nullptr,  // set-from-text
};
