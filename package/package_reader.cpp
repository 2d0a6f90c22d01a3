#include "package/package_reader.h"

#include <cstring>

#include "package/package_cipher.h"
#include "package/package_volume.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

constexpr uint32_t kScratchSize = 65536;

void CloseVolume(PackageReader* reader) {
  PackageCipherDetach(&reader->file);
  BufferedClose(&reader->file);
}

// Opens volume `index`: from `first_path` when given, then from whatever paths the next-volume
// provider offers, until one opens or the provider stops (its last error, or 18 when none).
uint32_t OpenThroughProvider(PackageReader* reader, const char16_t* first_path, uint32_t index) {
  char16_t offered[kPackagePathCapacity] = {};
  uint32_t last = ERROR_SUCCESS;
  if (first_path) {
    if (!(last = PackageOpenVolume(reader, first_path))) return ERROR_SUCCESS;
    TextCopy(offered, offered + kPackagePathCapacity - 1, first_path);
  }
  while (reader->next_volume_provider && reader->next_volume_provider(reader, index, last, offered)) {
    offered[kPackagePathCapacity - 1] = 0;
    if (!(last = PackageOpenVolume(reader, offered))) return ERROR_SUCCESS;
  }
  return last ? last : ERROR_NO_MORE_FILES;
}

uint32_t SwitchVolume(PackageReader* reader) {
  Trace(TR("I1303"), u"%s|%u", reader->path, reader->header.index);
  CloseVolume(reader);
  return OpenThroughProvider(reader, nullptr, reader->header.index);
}

// The decoder's input: the bytes of the current volume up to its length, then the next volume's.
uint32_t RawAvailable(void* context, const uint8_t** bytes, uint32_t* count) {
  auto* reader = static_cast<PackageReader*>(context);
  *count = 0;
  for (;;) {
    if (BufferedIsOpen(&reader->file)) {
      uint64_t position = BufferedTell(&reader->file);
      uint8_t* run;
      uint32_t available = 0;
      if (position < reader->volume_end) {
        uint32_t err = BufferedAvailable(&reader->file, &run, &available);
        if (err) return err;
      }
      if (available) {
        if (available > reader->volume_end - position) available = uint32_t(reader->volume_end - position);
        *bytes = run;
        *count = available;
        return ERROR_SUCCESS;
      }
    }
    uint32_t err = SwitchVolume(reader);
    if (err) return err;
  }
}

void RawConsume(void* context, uint32_t count) {
  BufferedConsume(&static_cast<PackageReader*>(context)->file, count);
}

uint32_t CreateDecoder(PackageReader* reader) {
  DecoderInput input = {RawAvailable, RawConsume, reader};
  uint32_t err = StreamDecoderCreate(reader->header.method, &input, &reader->decoder);
  if (!err) return ERROR_SUCCESS;
  Trace(TR("E1302"), u"%s|%08lX|%lu", reader->path, reader->header.method, err);
  return err == ERROR_CANCELLED ? err : ERROR_UNSUPPORTED_COMPRESSION;
}

// Reads `count` decoded bytes; with `report`, what was delivered goes to the read progress callback.
uint32_t ReadDecoded(PackageReader* reader, void* buffer, uint32_t count, bool report) {
  if (!reader->decoder) return ERROR_INVALID_HANDLE;
  uint32_t delivered = 0;
  uint32_t err = StreamDecoderRead(reader->decoder, buffer, count, &delivered);
  if (report && delivered && reader->read_progress) reader->read_progress(reader, kReadProgressBytes, delivered, 0);
  if (!err && delivered < count) err = ERROR_READ_FAULT;
  return err;
}

}  // namespace

PackageReader* PackageReaderCreate() {
  auto* reader = MemNew<PackageReader>();
  reader->file.file = kNoFile;
  reader->scratch = static_cast<uint8_t*>(MemAllocFlags(kScratchSize, kMemMustSucceed));
  return reader;
}

void PackageReaderDestroy(PackageReader* reader) {
  if (!reader) return;
  PackageClose(reader);
  MemFree(reader->scratch);
  MemFree(reader);
}

uint32_t PackageOpen(PackageReader* reader, const char16_t* path, const uint8_t* package_code, uint64_t set_identifier,
                     uint32_t verify_mode, char16_t* opened_start, char16_t* opened_end) {
  if (!reader || !path) return ERROR_INVALID_PARAMETER;
  PackageClose(reader);
  memset(&reader->header, 0, sizeof reader->header);
  if (package_code) memcpy(reader->header.package_code, package_code, 16);
  reader->header.set_identifier = set_identifier;
  reader->verify_mode = verify_mode;
  TextCopy(reader->path, reader->path + kPackagePathCapacity - 1, path);

  uint32_t err = OpenThroughProvider(reader, path, 0);
  if (!err) err = CreateDecoder(reader);
  if (err) {
    PackageClose(reader);
    return err;
  }
  if (opened_start) TextCopy(opened_start, opened_end, reader->path);
  return ERROR_SUCCESS;
}

uint32_t PackageClose(PackageReader* reader) {
  if (!reader) return ERROR_INVALID_PARAMETER;
  CloseVolume(reader);
  StreamDecoderDestroy(reader->decoder);
  reader->decoder = nullptr;
  return ERROR_SUCCESS;
}

bool PackageIsOpen(const PackageReader* reader) { return reader && reader->decoder; }

uint32_t PackageReadData(PackageReader* reader, void* buffer, uint32_t count) {
  if (!reader || !buffer) return ERROR_INVALID_PARAMETER;
  return ReadDecoded(reader, buffer, count, false);
}

uint32_t PackageNextEntry(PackageReader* reader, PackageEntryHeader* header) {
  if (!reader || !header) return ERROR_INVALID_PARAMETER;
  memset(header, 0, sizeof *header);
  uint8_t bytes[kEntryHeaderSize];
  uint32_t err = PackageReadData(reader, bytes, sizeof bytes);
  if (err) return err;
  PackageEntryHeaderDecode(bytes, header);
  return header->magic == kPackageEntryMagic ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

uint32_t PackageSkipEntry(PackageReader* reader, const PackageEntryHeader* header) {
  if (!reader || !header) return ERROR_INVALID_PARAMETER;
  for (uint64_t remaining = header->size; remaining;) {
    uint32_t n = remaining < kScratchSize ? uint32_t(remaining) : kScratchSize;
    uint32_t err = ReadDecoded(reader, reader->scratch, n, true);
    if (err) return err;
    remaining -= n;
  }
  return ERROR_SUCCESS;
}

uint32_t PackageFindEntry(PackageReader* reader, PackageEntryHeader* header, uint64_t id) {
  uint32_t err = PackageNextEntry(reader, header);
  while (!err && header->id != id) {
    err = PackageSkipEntry(reader, header);
    if (!err) err = PackageNextEntry(reader, header);
  }
  return err;
}

uint32_t PackageExtractEntry(PackageReader* reader, const PackageEntryHeader* header, const char16_t* target) {
  if (!reader || !header || !target) return ERROR_INVALID_PARAMETER;
  constexpr uint32_t kInTheWay = kAttributeReadOnly | kAttributeHidden | kAttributeSystem;
  uint32_t attributes;
  if (!FileGetAttributes(target, &attributes) && (attributes & kInTheWay)) {
    attributes &= ~kInTheWay;
    FileSetAttributes(target, attributes ? attributes : kAttributeNormal);
  }
  BufferedFile out{};
  uint32_t err = BufferedCreate(&out, target, 0);
  uint64_t remaining = header->size;
  while (remaining && !err) {
    uint32_t n = remaining < kScratchSize ? uint32_t(remaining) : kScratchSize;
    err = ReadDecoded(reader, reader->scratch, n, true);
    if (err) return (BufferedClose(&out), err);
    err = BufferedWrite(&out, reader->scratch, n);
    remaining -= n;
  }
  if (err) {
    // The target could not be written: the rest of the entry is read past, so that the stream
    // stands at the next entry and the caller can go on.
    if (BufferedIsOpen(&out)) BufferedClose(&out);
    for (uint32_t n; remaining; remaining -= n) {
      n = remaining < kScratchSize ? uint32_t(remaining) : kScratchSize;
      if (uint32_t readErr = ReadDecoded(reader, reader->scratch, n, true)) return readErr;
    }
    return err;
  }
  if (!err) err = BufferedSetLastWriteTime(&out, header->last_write_time);
  uint32_t closeErr = BufferedClose(&out);
  if (!err) err = closeErr;
  // Only the attributes that a file can be given; none at all means a normal file.
  constexpr uint32_t kSettable = 0x31A7;
  if (!err && header->attributes != kAttributeInvalid) {
    uint32_t wanted = header->attributes & kSettable;
    err = FileSetAttributes(target, wanted ? wanted : kAttributeNormal);
  }
  return err;
}

char16_t* PackageVolumePathBeside(const char16_t* previous, uint32_t index, char16_t* start, char16_t* end) {
  size_t folder = 0;
  for (size_t k = 0; previous[k]; ++k)
    if (previous[k] == u'\\' || previous[k] == u'/') folder = k + 1;
  char16_t* p = TextCopyN(start, end, previous, folder);
  return TextFormat(p, end, u"Disk%04u.kez", index + 1);
}
