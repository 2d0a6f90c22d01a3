// Runtime initialisation, the first phase after the command line: languages, system folder, the
// executable's version block with the single-instance claim, the operating-system facts, the
// administrator flag, the optional system functions, the display metrics, OLE, the shared
// small-icon image list, the libraries loaded at start and the class registry.
#pragma once
#include <cstdint>

struct SessionState;

// Returns true on success. A failure shows "Setup initialization error" (text 483) and records
// exit code 2 unless an exit code was recorded before (20 for another instance).
bool InitializeRuntime(SessionState* session);

// The display scale in percent for `dpi_x` pixels per logical inch: 100 × dpi / 96 rounded, 100
// when that is below 1.
int32_t DisplayScale(int32_t dpi_x);
// The bitmap resource (1-6) and image size of the shared small-icon image list.
void SmallIconBitmap(int32_t bits_per_pixel, int32_t scale, uint32_t* resource, int32_t* size);
