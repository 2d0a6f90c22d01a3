// The About box (template 1): the library's name and version, its build and the rights line.
#pragma once
#include <windows.h>

#include <cstdint>

// Shows the box modally, centred on `owner` (null: the default owner), unless the run is quiet
// (0 at once). Returns 1 when it was closed with OK.
int32_t AboutShow(HWND owner);
