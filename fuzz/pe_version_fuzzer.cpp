// Fuzzes the portable reading of PE files: the header parser and the walk to the version
// resource, and the classification of a file's first bytes.
#include "package/package_classify.h"
#include "package/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint64_t product, file, offset;
  PeReadMemoryVersion(data, size, &product, &file);
  PackageClassifyBytes(data, size < kClassifyBytes ? size : kClassifyBytes, true, &offset);
  return 0;
}
