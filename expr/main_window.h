// The main window, as far as expressions and variables need it: the owner of shell-folder queries
// and the window whose timer 0xABCD refreshes bound controls after a variable changed. The user
// interface registers it when it creates the window and clears it when the window goes.
#pragma once
#include <windows.h>

void ExprSetMainWindow(HWND window);
HWND ExprMainWindow();
