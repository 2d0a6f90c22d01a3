#include "package/package_entry.h"

#include <cstring>

#include "package/pe_image.h"
#include "runtime/platform.h"

namespace {

bool IsPresent(const PackageEntryHeader* header) { return header && header->attributes != kAttributeInvalid; }

int Order(uint64_t a, uint64_t b) { return a > b ? 1 : a < b ? -1 : 0; }

}  // namespace

uint32_t PackageEntryHeaderFromFile(const char16_t* path, PackageEntryHeader* header) {
  memset(header, 0, sizeof *header);
  header->magic = kPackageEntryMagic;
  header->attributes = kAttributeInvalid;
  FileFacts facts;
  uint32_t err = FileGetFacts(path, &facts);
  if (err) return err;
  header->attributes = facts.attributes;
  header->creation_time = facts.creation_time;
  header->last_write_time = facts.last_write_time;
  header->size = facts.size;
  if (!(facts.attributes & kAttributeDirectory) &&
      PeReadFileVersion(path, &header->product_version, &header->file_version) != 0) {
    header->product_version = header->file_version = 0;
  }
  return 0;
}

int PackageEntryHeaderCompare(const PackageEntryHeader* a, const PackageEntryHeader* b) {
  bool has_a = IsPresent(a), has_b = IsPresent(b);
  if (!has_a || !has_b) return int(has_a) - int(has_b);
  if (int order = Order(a->product_version, b->product_version)) return order;
  if (int order = Order(a->file_version, b->file_version)) return order;
  bool versioned = a->product_version || a->file_version;
  if (versioned && a->size == b->size) return 0;
  return Order(a->last_write_time, b->last_write_time);
}
