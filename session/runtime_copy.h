// The runtime copy of a fresh installation: the program's own executable without its package, made
// a stand-alone program again, staged in the session temporary folder as "SetupExe.$$$" and
// installed as "<KesProductFolder>\Setup.exe" by the file journal (a rollback removes it, a commit
// keeps it).
#pragma once
#include <cstdint>

struct ObjectTable;
struct SessionState;

// Makes and stages the copy. Returns 0; 11 when the executable carries no marker "qe11", no
// package offset of at least 0x10000 or an optional header of another kind than 0x10B or 0x20B;
// 23 when the locator's checksum does not match; 1462 when the copy has another length than the
// package offset; or a file error. A failure is traced (E1190), shown with message 266, reported as
// a file-installation failure (category 1, no further message), and the copy is deleted.
uint32_t RuntimeCopyStage(SessionState* session, ObjectTable* database);

// The copy's image in memory (`size` bytes, the package offset) made stand-alone again: the
// optional header's checksum and the security-directory entry put back from the locator, the
// marker, the locator and its checksum (offsets 0x24-0x3B) cleared. Returns 0; 11 for no marker, a
// package offset below 0x10000 or an optional header other than 0x10B and 0x20B; 23 for a locator
// whose checksum does not match.
uint32_t RuntimeCopyRestoreImage(uint8_t* image, uint32_t size);
