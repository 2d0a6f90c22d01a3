#include "package/package_volume.h"

#include <cstring>

#include "package/package_cipher.h"
#include "package/package_classify.h"
#include "package/package_reader.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

uint32_t OpenFile(const PackageReader* reader, const char16_t* path, BufferedFile* file) {
  if (reader->files) return reader->files->open(reader->files->context, path, file);
  return BufferedOpenRead(file, path, kFileShareRead | kFileSequential);
}

uint32_t ReadAttributes(const PackageReader* reader, const char16_t* path, uint32_t* attributes) {
  if (reader->files) return reader->files->attributes(reader->files->context, path, attributes);
  return FileGetAttributes(path, attributes);
}

// Reads the file's first bytes and finds where its volume header starts.
uint32_t Classify(BufferedFile* file, uint64_t* volume_offset) {
  uint8_t bytes[kClassifyBytes];
  uint32_t got;
  uint32_t err = BufferedRead(file, bytes, sizeof bytes, &got);
  if (err) return err;
  if (PackageClassifyBytes(bytes, got, false, volume_offset) == kFileHoldsNoPackage) return ERROR_BAD_FORMAT;
  return ERROR_SUCCESS;
}

bool IsZero(const uint8_t* bytes, size_t count) {
  for (size_t k = 0; k < count; ++k)
    if (bytes[k]) return false;
  return true;
}

// The header against the reader's copy: what every volume of the set must repeat.
uint32_t CheckHeader(const PackageVolumeHeader& expected, const PackageVolumeHeader& header) {
  if (!PackageIsMethod(header.method) || header.version != kPackageFormatVersion) return ERROR_INVALID_DATA;
  if (header.length < kVolumeHeaderSize) return ERROR_INVALID_DATA;
  if (!IsZero(expected.package_code, 16) && memcmp(expected.package_code, header.package_code, 16) != 0)
    return ERROR_INVALID_TARGET_HANDLE;
  if (expected.set_identifier && expected.set_identifier != header.set_identifier) return ERROR_INVALID_TARGET_HANDLE;
  if (header.index != expected.index) return ERROR_INVALID_INDEX;
  if (expected.method && expected.method != header.method) return ERROR_UNSUPPORTED_COMPRESSION;
  return ERROR_SUCCESS;
}

bool ShouldVerify(uint32_t mode, uint32_t attributes) {
  return (mode & kVerifyAlways) || ((mode & kVerifyUnlessReadOnly) && !(attributes & kAttributeReadOnly));
}

uint32_t Verify(PackageReader* reader, BufferedFile* file, const PackageVolumeHeader& header, uint64_t offset) {
  uint32_t err = BufferedSeek(file, offset);
  uint8_t digest[16];
  if (!err) err = PackageVerifyVolume(file, reader->verify_progress, reader, digest);
  if (!err && memcmp(digest, header.digest, 16) != 0) err = ERROR_CRC;
  return err;
}

uint32_t ReadCheckPair(BufferedFile* file) {
  uint8_t pair[kCheckPairSize];
  uint32_t err = BufferedReadExact(file, pair, sizeof pair);
  if (err) return err;
  return (LoadLe32(pair) ^ LoadLe32(pair + 4)) == kPackageCheckPairXor ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

// Asks the password provider until the check pair deciphers correctly or the provider gives up.
uint32_t EnterPassword(PackageReader* reader, BufferedFile* file, uint32_t flags, uint64_t body_offset,
                       const char16_t* path) {
  if (!reader->password_provider) return ERROR_FILE_ENCRYPTED;
  reader->header.flags = flags;
  uint8_t password[kPasswordBufferSize];
  uint32_t err = ERROR_SUCCESS;
  for (uint32_t attempt = 0;; ++attempt) {
    uint32_t length = kPasswordBufferSize;
    err = reader->password_provider(reader, attempt, password, &length);
    if (err) break;
    if (!length || length > kPasswordBufferSize) {
      err = ERROR_INVALID_PASSWORD;
      break;
    }
    PackageCipherAttach(file, password, length);
    PackageWipe(password, sizeof password);
    PackageCipherApplyNow(file);
    err = ReadCheckPair(file);
    if (err != ERROR_INVALID_DATA) break;
    Trace(TR("W1304"), u"%s|%u", path, attempt);
    PackageCipherDetach(file);
    if ((err = BufferedSeek(file, body_offset))) break;
  }
  PackageWipe(password, sizeof password);
  return err;
}

uint32_t OpenChecked(PackageReader* reader, const char16_t* path, BufferedFile* file, PackageVolumeHeader* header,
                     uint64_t* offset) {
  uint32_t attributes = 0;
  uint8_t bytes[kVolumeHeaderSize];
  uint32_t err = Classify(file, offset);
  if (!err) err = ReadAttributes(reader, path, &attributes);
  if (!err) err = BufferedSeek(file, *offset);
  if (!err) err = BufferedReadExact(file, bytes, sizeof bytes);
  if (err) return err;
  PackageVolumeHeaderDecode(bytes, header);
  if ((err = CheckHeader(reader->header, *header))) return err;
  if (ShouldVerify(reader->verify_mode, attributes) && (err = Verify(reader, file, *header, *offset))) return err;
  uint64_t body = *offset + kVolumeHeaderSize;
  if ((err = BufferedSeek(file, body))) return err;
  if (header->flags & kVolumeEnciphered) return EnterPassword(reader, file, header->flags, body, path);
  return ReadCheckPair(file);
}

}  // namespace

uint32_t PackageOpenVolume(PackageReader* reader, const char16_t* path) {
  if (TextLength(path) >= kPackagePathCapacity) return ERROR_FILENAME_EXCED_RANGE;
  BufferedFile file{};
  PackageVolumeHeader header{};
  uint64_t offset = 0;
  uint32_t err = OpenFile(reader, path, &file);
  if (!err) err = OpenChecked(reader, path, &file, &header, &offset);
  if (err) {
    PackageCipherDetach(&file);
    BufferedClose(&file);
    Trace(TR("W1301"), u"%s|%lu", path, err);
    return err;
  }
  TextCopy(reader->path, reader->path + kPackagePathCapacity - 1, path);
  reader->file = file;
  reader->volume_end = header.length > UINT64_MAX - offset ? UINT64_MAX : offset + header.length;
  ++header.index;
  reader->header = header;
  Trace(TR("I1300"), u"%s|%u|%08lX", path, header.index - 1, header.flags);
  if (reader->volume_opened) reader->volume_opened(reader);
  return ERROR_SUCCESS;
}
