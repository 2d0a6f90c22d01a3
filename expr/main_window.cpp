#include "expr/main_window.h"

namespace {
HWND g_mainWindow;
}

void ExprSetMainWindow(HWND window) { g_mainWindow = window; }
HWND ExprMainWindow() { return g_mainWindow; }
