// Opening one volume of a package into the reader (inside the package reader only).
#pragma once
#include <cstdint>

struct PackageReader;

// Classifies the file, tests the volume header against what the reader requires, runs the
// integrity pass when the verify mode asks for it, obtains the password of an enciphered volume
// and reads the check pair. On success the reader holds the open file, the volume's header (index
// advanced) and its path; on failure the file is closed again and the reader's volume is unchanged.
uint32_t PackageOpenVolume(PackageReader* reader, const char16_t* path);
