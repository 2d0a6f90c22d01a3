#include "tools/kez/whole_file.h"

#include <cstddef>

#include "runtime/errors.h"
#include "runtime/platform.h"

namespace {

// The file's first `limit` bytes; with `whole`, a longer file is refused with 13 instead.
uint32_t ReadStart(const char16_t* path, uint64_t limit, bool whole, std::vector<uint8_t>* bytes) {
  bytes->clear();
  FileHandle file;
  uint32_t err = FileOpenRead(path, kFileShareRead | kFileSequential, &file);
  if (err) return err;
  uint64_t size = 0;
  uint32_t got = 0;
  err = FileSize(file, &size);
  if (!err && size > limit) {
    if (whole) err = ERROR_INVALID_DATA;
    size = limit;
  }
  if (!err) bytes->resize(size_t(size));
  if (!err && size) err = FileRead(file, bytes->data(), uint32_t(size), &got);
  if (!err && got != size) err = ERROR_HANDLE_EOF;  // the file shrank while it was read
  FileClose(file);
  if (err) bytes->clear();
  return err;
}

}  // namespace

uint32_t WholeFileRead(const char16_t* path, uint64_t limit, std::vector<uint8_t>* bytes) {
  return ReadStart(path, limit, true, bytes);
}

uint32_t FileStartRead(const char16_t* path, uint64_t count, std::vector<uint8_t>* bytes) {
  return ReadStart(path, count, false, bytes);
}
