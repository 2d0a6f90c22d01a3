// The package reader: opens the first volume of a package (a stand-alone volume or the package
// appended to an executable), decodes its stream and walks the entries front to back, continuing
// across the volumes of a set. It never seeks back: an entry before the current position is found
// only after PackageClose and PackageOpen.
//
// Every operation returns 0 or a Windows error:
//   87    missing reader, path or header argument
//   11    the file holds no package
//   13    bad method magic, format version or check pair, entry magic not "kzf3", volume length < 64,
//         damaged LZMA or LZMA2 data
//   114   package code or set identifier differs from the one required
//   1413  volume index not the one expected
//   618   method differs from the first volume's, or there is no decoder for it (a bad zlib header,
//         unsupported LZMA properties, a dictionary above kMaxDictionarySize)
//   23    the volume's digest differs
//   6002  enciphered volume and no password provider (or the provider's own error)
//   30    the decoder delivers no bytes where some are due, or the zlib stream is damaged
//   38    the decoded stream ends inside a read (PackageNextEntry: after the last entry); the
//         LZMA input ends inside the stream; the file ends before its volume header or volume length
//   18    no next volume supplied (or the next-volume provider's last error)
//   1223  a callback cancelled
//   86    the password provider delivered no bytes or more than 255
//   206   a path of more than 259 characters
//   6     reading while no package is open
// and the system's errors of the files involved.
#pragma once
#include <cstdint>

#include "package/package_format.h"
#include "package/package_verify.h"
#include "package/stream_decoder.h"
#include "runtime/buffered_file.h"

struct PackageReader;

// Password provider: fills `buffer` (255 bytes) with a password for the volume being opened and
// sets *length to its byte count; returns 0, or the error that ends the open. `attempt` is 0 first,
// then 1, 2, ... after each wrong password. While it runs, reader->header.flags holds the volume's
// flags (bit 1: the prompt masks what is typed).
using PackagePasswordProvider = uint32_t (*)(PackageReader* reader, uint32_t attempt, uint8_t* buffer, uint32_t* length);
constexpr uint32_t kPasswordBufferSize = 255;

// Next-volume provider: asked for the volume with `index` when the current volume is used up (or,
// with the index 0, when the first volume cannot be opened). `last_error` is 0 on the first call
// and then the error that the previously offered path gave. Returns true with a path in `path`
// (kPackagePathCapacity characters, holding the path offered last) to try it, false to stop.
// reader->path still names the previous volume.
using PackageNextVolumeProvider = bool (*)(PackageReader* reader, uint32_t index, uint32_t last_error, char16_t* path);

// Read progress: called as callback(reader, 2, n, 0) after every piece of n decoded bytes that
// PackageSkipEntry or PackageExtractEntry obtains; its result is not examined.
using PackageReadProgress = uint32_t (*)(PackageReader* reader, uint32_t code, uint32_t low, uint32_t high);
constexpr uint32_t kReadProgressBytes = 2;

// Told after each volume has been opened (reader->header and reader->path describe it).
using PackageVolumeOpened = void (*)(PackageReader* reader);

// Where volume files come from: the file system unless a table is installed (tests, fuzzing).
struct PackageVolumeFiles {
  uint32_t (*open)(void* context, const char16_t* path, BufferedFile* file);
  uint32_t (*attributes)(void* context, const char16_t* path, uint32_t* attributes);
  void* context;
};

struct PackageReader {
  // The current volume's header with the volume index already advanced to the index expected
  // next; its method, set identifier and package code are what later volumes must repeat.
  PackageVolumeHeader header;
  BufferedFile file;        // the open volume (cipher hooks attached while a password is in force)
  uint64_t volume_end;      // file offset just after the current volume's last byte
  StreamDecoder* decoder;
  char16_t path[kPackagePathCapacity];  // the current (or last) volume's path
  uint32_t verify_mode;     // kVerifyAlways, kVerifyUnlessReadOnly

  // Callbacks installed by the caller; each may be null.
  PackagePasswordProvider password_provider;
  PackageNextVolumeProvider next_volume_provider;
  PackageVerifyProgress verify_progress;  // called with the reader as its context
  PackageReadProgress read_progress;
  PackageVolumeOpened volume_opened;
  void* progress_window;    // owned by the verification progress callback
  void* host;               // the caller's own data for its callbacks
  const PackageVolumeFiles* files;

  uint8_t* scratch;         // 64 KiB for skipping and extracting
};

// A reader with no volume open and no callbacks (must succeed); destroyed with PackageReaderDestroy.
PackageReader* PackageReaderCreate();
void PackageReaderDestroy(PackageReader* reader);

// Empties the header copy, keeps the package code (16 bytes; null or all zero: any) and the set
// identifier (0: any) that every volume must carry, and the verify mode; opens volume 0 from
// `path` and creates the decoder of its method. When volume 0 cannot be opened, the next-volume
// provider (index 0) may offer other paths. The path finally opened is copied into the text buffer
// opened_start .. opened_end (may be null). A failed open leaves the reader closed.
uint32_t PackageOpen(PackageReader* reader, const char16_t* path, const uint8_t* package_code, uint64_t set_identifier,
                     uint32_t verify_mode, char16_t* opened_start, char16_t* opened_end);
// Removes the cipher, closes the volume file and destroys the decoder; the reader can be opened
// again (and then starts at the first entry). Closing a closed reader does nothing.
uint32_t PackageClose(PackageReader* reader);
bool PackageIsOpen(const PackageReader* reader);

// Reads the next entry header (38 after the last entry; 13 for a magic other than "kzf3").
uint32_t PackageNextEntry(PackageReader* reader, PackageEntryHeader* header);
// Reads and discards the entry's data, in pieces of at most 64 KiB.
uint32_t PackageSkipEntry(PackageReader* reader, const PackageEntryHeader* header);
// Reads entry headers, skipping entries, until the one with `id` (38 when the stream ends first).
uint32_t PackageFindEntry(PackageReader* reader, PackageEntryHeader* header, uint64_t id);
// Writes the entry's data to `target` (an existing file is replaced: its read-only, hidden and
// system attributes are cleared first), sets the header's last-write time, closes the file and
// then sets the header's attributes. On failure the partly written file stays for the caller.
uint32_t PackageExtractEntry(PackageReader* reader, const PackageEntryHeader* header, const char16_t* target);
// Reads `count` decoded bytes of the stream (for callers that read an entry's data themselves).
uint32_t PackageReadData(PackageReader* reader, void* buffer, uint32_t count);

// The path of volume `index` of a set whose previous volume is `previous`: the same folder and
// "Disk%04u.kez" with index + 1. Returns the end of the text written (text-buffer conventions).
char16_t* PackageVolumePathBeside(const char16_t* previous, uint32_t index, char16_t* start, char16_t* end);
