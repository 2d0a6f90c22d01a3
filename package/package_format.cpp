#include "package/package_format.h"

#include <cstring>

void PackageVolumeHeaderDecode(const uint8_t* bytes, PackageVolumeHeader* header) {
  memcpy(header->digest, bytes, 16);
  header->method = LoadLe32(bytes + 16);
  header->version = LoadLe32(bytes + 20);
  header->flags = LoadLe32(bytes + 24);
  header->index = LoadLe32(bytes + 28);
  header->length = LoadLe64(bytes + 32);
  header->set_identifier = LoadLe64(bytes + 40);
  memcpy(header->package_code, bytes + 48, 16);
}

void PackageVolumeHeaderEncode(const PackageVolumeHeader* header, uint8_t* bytes) {
  memcpy(bytes, header->digest, 16);
  StoreLe32(bytes + 16, header->method);
  StoreLe32(bytes + 20, header->version);
  StoreLe32(bytes + 24, header->flags);
  StoreLe32(bytes + 28, header->index);
  StoreLe64(bytes + 32, header->length);
  StoreLe64(bytes + 40, header->set_identifier);
  memcpy(bytes + 48, header->package_code, 16);
}

void PackageEntryHeaderDecode(const uint8_t* bytes, PackageEntryHeader* header) {
  header->magic = LoadLe32(bytes);
  header->unused4 = LoadLe32(bytes + 4);
  header->id = LoadLe64(bytes + 8);
  header->size = LoadLe64(bytes + 16);
  header->creation_time = LoadLe64(bytes + 24);
  header->last_write_time = LoadLe64(bytes + 32);
  header->attributes = LoadLe32(bytes + 40);
  header->unused44 = LoadLe32(bytes + 44);
  header->product_version = LoadLe64(bytes + 48);
  header->file_version = LoadLe64(bytes + 56);
}

void PackageEntryHeaderEncode(const PackageEntryHeader* header, uint8_t* bytes) {
  StoreLe32(bytes, header->magic);
  StoreLe32(bytes + 4, header->unused4);
  StoreLe64(bytes + 8, header->id);
  StoreLe64(bytes + 16, header->size);
  StoreLe64(bytes + 24, header->creation_time);
  StoreLe64(bytes + 32, header->last_write_time);
  StoreLe32(bytes + 40, header->attributes);
  StoreLe32(bytes + 44, header->unused44);
  StoreLe64(bytes + 48, header->product_version);
  StoreLe64(bytes + 56, header->file_version);
}
