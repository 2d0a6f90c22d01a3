// The replacement decision: what happens to a packaged file given the file already at its target
// path, by the item's effective mode. Portable: the caller reads the records and traces.
#pragma once
#include <cstdint>

// What is known of a file: from the file item (the packaged file) or from the disk.
struct FileRecord {
  uint64_t size;
  uint64_t creation_time;    // FILETIME, UTC
  uint64_t last_write_time;  // FILETIME, UTC
  uint32_t attributes;
  uint64_t product_version;  // most significant 32 bits compared first
  uint64_t file_version;
};

// -1, 0 or 1: product versions, then file versions decide; equal non-zero versions of A with equal
// sizes compare equal; otherwise the last-write times decide.
int FileRecordCompare(const FileRecord& a, const FileRecord& b);

enum : int32_t {
  kDecisionSkip = 0,
  kDecisionKeep = 1,     // keep the existing file, count it as installed
  kDecisionReplace = 2,  // replace the existing file (the caller applies the protection test)
  kDecisionInstall = 3,  // no file exists: install it
};

struct FileDecision {
  int32_t result;
  uint32_t trace;  // the record that explains it (I0021, I0039, I0016, I0017, I0018, I0019, I0020, I0023)
};

// Modes: 1 never overwrite; 2 replace only a file that exists when the packaged one is newer; 3 as
// 2 but keep an existing file changed after its creation; 4 replace if newer, install if absent;
// 5 always replace; 6 and 7 nothing; above 7 always replace; 0 and below nothing.
FileDecision FileDecide(int32_t mode, const FileRecord& packaged, const FileRecord* existing);
