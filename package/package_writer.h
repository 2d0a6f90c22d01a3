// The package writer: builds a package as stand-alone volumes or appended to an executable, for
// the package builder and for tests. The decoded stream is a run of entries, each a 64-byte entry
// header followed by exactly its data size of bytes; the writer compresses it with the chosen
// method as it comes, so memory is bounded by the encoder and a few fixed buffers, never by the
// size of an entry.
//
// Typical use:
//   PackageWriterOptions options = {};
//   options.method = kPackageMethodLzma2;
//   options.level = 6;
//   PackageWriter* writer;
//   err = PackageWriterCreate(u"out\\Setup.kez", &options, &writer);
//   if (!err) err = PackageWriterAddFile(writer, kEntryIdDatabase, u"Setup.dat");
//   if (!err) err = PackageWriterAddMemory(writer, &header, bytes);
//   err = PackageWriterFinish(writer, err, &volumes);   // always frees the writer
//
// Volumes. Volume 0 is written at the path given to PackageWriterCreate, or, with `executable` (or
// `executable_image`), that path receives a copy of the executable with the package appended: the DOS header gets the
// marker "qe11", the package locator (the image checksum and security-directory entry the
// executable had, and the package offset, which is the executable's length) and the locator's
// checksum; the optional header's checksum and security-directory entry are cleared, because the
// file no longer ends with the executable's certificate block. With a volume limit the stream is
// split: each volume holds at most that many bytes (its header included), and volumes 1, 2, ...
// are named "Disk%04u.kez" with the index plus 1 in the folder of volume 0 (so a set started
// inside an executable continues in Disk0002.kez). The compressed stream runs on across volumes;
// only volume 0 carries the method properties. Every volume header is rewritten when its volume
// is complete, with its length and the digest of its bytes 16 .. length-1 (for a volume inside an
// executable only the volume's own bytes count).
//
// Cipher. With a password every volume is enciphered from its offset 64 (the check pair) to its
// end, each volume keyed afresh; flag bit 0 is set, and bit 1 too with `mask_password`.
//
// Errors: every function returns 0 or a Windows error; after the first error the writer keeps
// returning it, and PackageWriterFinish deletes the files it wrote.
//   87    bad options (level above 9, dictionary size, volume limit below 128, password too long)
//   618   unknown method
//   1462  entry data longer or shorter than its header's data size
//   11    the executable's length is not within 0x4000 .. 0x10000000
//   193   the executable is not a PE image
//   and the errors of the files involved.
#pragma once
#include <cstddef>
#include <cstdint>

#include "package/package_format.h"

constexpr uint64_t kPackageMinimumVolumeLimit = 128;

struct PackageWriterOptions {
  uint32_t method;              // kPackageMethodZlib, kPackageMethodLzma or kPackageMethodLzma2
  uint32_t level;               // 0-9: zlib's compression level, or the LZMA preset
  uint32_t dictionary_size;     // LZMA and LZMA2: 0 for the preset's, else 4096 .. kMaxDictionarySize
  uint64_t volume_limit;        // 0: one volume; else the largest volume in bytes (at least 128)
  uint64_t set_identifier;      // volume header offset 40
  uint8_t package_code[16];     // volume header offset 48
  const uint8_t* password;      // null or length 0: not enciphered
  uint32_t password_length;     // at most 255 bytes
  bool mask_password;           // flag bit 1: the password prompt masks what is typed
  const char16_t* executable;   // null: stand-alone volumes; else the executable to append to
  const uint8_t* executable_image;  // or an executable in memory (used by PackageWriterCreate only)
  size_t executable_image_size;
};

struct PackageWriter;

// Starts a package at `path` (volume 0). Returns 0 or an error (and no writer).
uint32_t PackageWriterCreate(const char16_t* path, const PackageWriterOptions* options, PackageWriter** writer);

// Starts an entry: writes its header (a magic of 0 is written as "kzf3"); exactly header->size
// bytes of data must follow through PackageWriterWriteData before the next entry or the finish.
uint32_t PackageWriterBeginEntry(PackageWriter* writer, const PackageEntryHeader* header);
uint32_t PackageWriterWriteData(PackageWriter* writer, const void* data, size_t size);
// An entry whose header->size bytes of data are in memory.
uint32_t PackageWriterAddMemory(PackageWriter* writer, const PackageEntryHeader* header, const void* data);
// An entry with `id` whose header is built from the file (size, times, attributes, versions) and
// whose data are streamed from it.
uint32_t PackageWriterAddFile(PackageWriter* writer, uint64_t id, const char16_t* path);

// Appends bytes to the decoded stream as they are, outside the entry structure (between entries
// only): for streams that deliberately break the rules, such as the tests' damaged packages.
uint32_t PackageWriterWriteStream(PackageWriter* writer, const void* data, size_t size);

// Compressed bytes handed to the volumes so far (headers and check pairs not counted): for progress.
uint64_t PackageWriterBytesWritten(const PackageWriter* writer);

// Ends the stream and completes the last volume. With `error` nonzero (the caller's own failure)
// or after any failure of the writer, the files written are deleted instead. Frees the writer and
// returns the first error; `volume_count` (may be null) receives the number of volumes written.
uint32_t PackageWriterFinish(PackageWriter* writer, uint32_t error, uint32_t* volume_count);
