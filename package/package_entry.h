// Entry headers of files: built from a file on disk (for packaging and for the newer-file tests of
// the installation) and compared.
#pragma once
#include <cstdint>

#include "package/package_format.h"

// All fields zero, magic "kzf3", attributes 0xFFFFFFFF; then, if the file exists, its attributes,
// creation and last-write times and size, and the product and file version of its version resource
// (0 when it has none). Returns 0 or the error that the file's facts gave (2 for a missing file).
uint32_t PackageEntryHeaderFromFile(const char16_t* path, PackageEntryHeader* header);

// Which of two headers describes the newer file: > 0 when `a` is newer, < 0 when `b` is, 0 when
// they count as equal. A missing header (null, or attributes 0xFFFFFFFF) sorts before a present
// one. Otherwise the product versions decide, then the file versions; equal nonzero versions with
// equal sizes are equal; in every other case the later last-write time is newer.
int PackageEntryHeaderCompare(const PackageEntryHeader* a, const PackageEntryHeader* b);
