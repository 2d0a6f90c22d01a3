// Gives a PE image a new resource section and keeps the image valid: section table, section and
// image sizes, data directories, checksum.
//
// Where the resources go:
// - in place, when the image's resource directory starts its own section (no other directory,
//   base relocation or the entry point inside it) and the new resources fit below the next
//   section's address, or that section is the last;
// - in place with the sections behind it moved up, when they are bigger than the room and every
//   section behind it can move: the base relocation section (only its directory points at it) and
//   discardable sections such as debug information, with nothing else pointing at or relocated
//   into them;
// - otherwise in a new last section, when the header has room for another section header; the old
//   resources then stay where they are, unused.
// Raw data behind the replaced part of the file (later sections, COFF symbols, appended data) move
// along with their file offsets. A certificate table is removed: the signature it holds no longer
// matches the image.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/kez/pe_file.h"
#include "tools/kez/resource_tree.h"

enum class ResourcePlacement {
  kInPlace,
  kSectionsMoved,
  kNewSection,
};

struct PeRewriteReport {
  ResourcePlacement placement;
  bool signature_removed;
};

// Writes into *out the image with `resources` (sorted into directory order here) as its resources.
// Returns 0, or 193 (ERROR_BAD_EXE_FORMAT) with *why for an image that cannot take them: a
// certificate table or COFF symbols inside the sections' data, no room for a new section header
// where one is needed, or debug data that would lose its place.
uint32_t PeReplaceResources(const PeFile& image, std::vector<Resource>* resources, std::vector<uint8_t>* out,
                            PeRewriteReport* report, std::string* why);
