#include "package/package_verify.h"

#include "package/package_digest.h"
#include "package/package_format.h"
#include "runtime/errors.h"

namespace {

uint32_t Report(PackageVerifyProgress progress, void* context, uint32_t code, uint64_t value) {
  return progress ? progress(code, context, uint32_t(value), uint32_t(value >> 32)) : 0;
}

uint32_t DigestBody(BufferedFile* file, uint64_t remaining, PackageDigest* digest, PackageVerifyProgress progress,
                    void* context) {
  while (remaining) {
    uint8_t* bytes;
    uint32_t count;
    uint32_t err = BufferedAvailable(file, &bytes, &count);
    if (err) return err;
    if (!count) return ERROR_HANDLE_EOF;
    if (count > remaining) count = uint32_t(remaining);
    PackageDigestUpdate(digest, bytes, count);
    BufferedConsume(file, count);
    remaining -= count;
    if (Report(progress, context, kVerifyProgress, count)) return ERROR_CANCELLED;
  }
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t PackageVerifyModeFromOption(int32_t option) {
  if (option == 0) return 0;
  if (option == 2) return kVerifyAlways;
  return kVerifyUnlessReadOnly;
}

uint32_t PackageVerifyVolume(BufferedFile* file, PackageVerifyProgress progress, void* context, uint8_t digest[16]) {
  uint8_t bytes[kVolumeHeaderSize];
  uint32_t err = BufferedReadExact(file, bytes, sizeof bytes);
  if (err) return err;
  PackageVolumeHeader header;
  PackageVolumeHeaderDecode(bytes, &header);
  if (!PackageIsMethod(header.method) || header.length < kVolumeHeaderSize) return ERROR_INVALID_DATA;

  if (Report(progress, context, kVerifyStart, header.length)) {
    Report(progress, context, kVerifyEnd, 0);
    return ERROR_CANCELLED;
  }
  PackageDigest state;
  PackageDigestInit(&state);
  PackageDigestUpdate(&state, bytes + 16, kVolumeHeaderSize - 16);
  err = DigestBody(file, header.length - kVolumeHeaderSize, &state, progress, context);
  if (!err) PackageDigestFinal(&state, digest);
  Report(progress, context, kVerifyEnd, 0);
  return err;
}
