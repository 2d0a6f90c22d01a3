// Screenshots of windows for the user-interface tests: the screen's pixels under a window, written
// as a PNG file (the test artefacts under the build folder).
#pragma once
#include <windows.h>

#include <string>

// Copies the screen area of `window` (clipped to the screen) into the PNG file `path`; false when
// nothing could be read or written.
bool ScreenshotOfWindow(HWND window, const std::u16string& path);
// The folder "screenshots" beside the test program (created), with its final separator.
std::u16string ScreenshotFolder();
