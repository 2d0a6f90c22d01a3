#include "package/package_append.h"

#include <cstring>

#include "package/package_classify.h"
#include "package/package_format.h"
#include "package/pe_image.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/platform.h"

namespace {

constexpr uint32_t kCopyPiece = 65536;

// Marks the first bytes of the executable (at least kClassifyBytes of them) for the package.
uint32_t PrepareHeaders(uint8_t* bytes, uint32_t package_offset) {
  PeHeaders pe;
  uint32_t err = PeParseHeaders(bytes, kClassifyBytes, &pe);
  if (err) return err;
  PackageLocator locator = {};
  locator.image_checksum = LoadLe32(bytes + pe.checksum_offset);
  if (pe.security_offset) {
    locator.security_offset = LoadLe32(bytes + pe.security_offset);
    locator.security_size = LoadLe32(bytes + pe.security_offset + 4);
    memset(bytes + pe.security_offset, 0, 8);
  }
  locator.package_offset = package_offset;
  StoreLe32(bytes + pe.checksum_offset, 0);
  StoreLe32(bytes + kPackageMarkerOffset, PackageMarker());
  PackageLocatorEncode(&locator, bytes + kPackageLocatorOffset);
  StoreLe32(bytes + kLocatorChecksumOffset, PackageLocatorChecksum(bytes + kPackageLocatorOffset));
  return ERROR_SUCCESS;
}

uint32_t CopyRest(FileHandle in, uint64_t remaining, BufferedFile* out) {
  auto* piece = static_cast<uint8_t*>(MemAllocFlags(kCopyPiece, kMemMustSucceed));
  uint32_t err = ERROR_SUCCESS;
  while (remaining && !err) {
    uint32_t want = remaining < kCopyPiece ? uint32_t(remaining) : kCopyPiece;
    uint32_t got = 0;
    err = FileRead(in, piece, want, &got);
    if (!err && got != want) err = ERROR_HANDLE_EOF;  // the file shrank while it was copied
    if (!err) err = BufferedWrite(out, piece, want);
    remaining -= want;
  }
  MemFree(piece);
  return err;
}

}  // namespace

uint32_t PackageCopyExecutable(const char16_t* path, BufferedFile* out, uint64_t* package_offset) {
  FileHandle in;
  uint32_t err = FileOpenRead(path, kFileShareRead | kFileSequential, &in);
  if (err) return err;
  uint64_t size = 0;
  uint8_t headers[kClassifyBytes];
  uint32_t got = 0;
  err = FileSize(in, &size);
  if (!err && (size < kMinimumPackageOffset || size > kMaximumPackageOffset)) err = ERROR_BAD_FORMAT;
  if (!err) err = FileRead(in, headers, sizeof headers, &got);
  if (!err && got != sizeof headers) err = ERROR_HANDLE_EOF;
  if (!err) err = PrepareHeaders(headers, uint32_t(size));
  if (!err) err = BufferedWrite(out, headers, sizeof headers);
  if (!err) err = CopyRest(in, size - sizeof headers, out);
  FileClose(in);
  *package_offset = size;
  return err;
}

uint32_t PackageCopyExecutableImage(const uint8_t* image, size_t size, BufferedFile* out, uint64_t* package_offset) {
  *package_offset = size;
  if (size < kMinimumPackageOffset || size > kMaximumPackageOffset) return ERROR_BAD_FORMAT;
  uint8_t headers[kClassifyBytes];
  memcpy(headers, image, sizeof headers);
  uint32_t err = PrepareHeaders(headers, uint32_t(size));
  if (!err) err = BufferedWrite(out, headers, sizeof headers);
  if (!err) err = BufferedWrite(out, image + sizeof headers, uint32_t(size - sizeof headers));
  return err;
}
