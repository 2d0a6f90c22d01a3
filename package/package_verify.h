// The integrity pass: recomputes a volume's digest before the volume is used.
#pragma once
#include <cstdint>

#include "runtime/buffered_file.h"

// progress(code, context, low, high): 0 to go on, nonzero to stop. Codes: 1 start (the volume
// length as a u64 in low/high), 2 progress (low = bytes just processed), 3 end.
using PackageVerifyProgress = uint32_t (*)(uint32_t code, void* context, uint32_t low, uint32_t high);

enum : uint32_t {
  kVerifyStart = 1,
  kVerifyProgress = 2,
  kVerifyEnd = 3,
};

// Verify modes of the package reader.
enum : uint32_t {
  kVerifyAlways = 0x1,          // verify every volume
  kVerifyUnlessReadOnly = 0x2,  // verify a volume unless its file has the read-only attribute
};

// The verify mode for the command line's verification option: 0 never verifies, 2 always
// verifies, any other value (or none, -1) verifies volumes whose file is not read-only.
uint32_t PackageVerifyModeFromOption(int32_t option);

// Reads the volume at the file's position (header and body, nothing after the volume's length)
// and computes the digest of its bytes 16 .. length-1 into `digest`. Returns 0; 13 for a header
// without a method magic or with a length below 64; 1223 when the callback stops the pass; 38
// when the file ends before the volume does; or the file's read error. The callback, when given,
// is called with codes 1, 2 ... and always 3 once the pass has started.
uint32_t PackageVerifyVolume(BufferedFile* file, PackageVerifyProgress progress, void* context, uint8_t digest[16]);
