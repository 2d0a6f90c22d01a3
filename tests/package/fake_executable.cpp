#include "tests/package/fake_executable.h"

#include <cstring>

#include "package/package_format.h"

namespace {

// Resource section layout (offsets within the section, which starts at RVA 0x1000, file 0x400).
constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kSectionFile = 0x400;
constexpr uint32_t kVersionBlock = kFakeVersionBlockOffset - kSectionFile;
constexpr uint32_t kVersionBlockSize = kFakeVersionBlockSize;

void Directory(uint8_t* at, uint32_t id, uint32_t target) {
  StoreLe16(at + 14, 1);  // one id entry
  StoreLe32(at + 16, id);
  StoreLe32(at + 20, target);
}

void ResourceSection(uint8_t* s, const FakeVersion& version) {
  Directory(s + 0x00, 16, 0x80000000 | 0x18);     // RT_VERSION
  Directory(s + 0x18, 1, 0x80000000 | 0x30);      // name 1
  Directory(s + 0x30, 0x409, 0x48);               // language -> data entry
  StoreLe32(s + 0x48, kSectionRva + kVersionBlock);
  StoreLe32(s + 0x4C, kVersionBlockSize);
  uint8_t* v = s + kVersionBlock;
  StoreLe16(v, kVersionBlockSize);
  StoreLe16(v + 2, 52);
  const char key[] = "VS_VERSION_INFO";
  for (int k = 0; k < 16; ++k) StoreLe16(v + 6 + 2 * k, uint16_t(key[k]));
  uint8_t* fixed = v + 40;
  StoreLe32(fixed, 0xFEEF04BD);
  StoreLe32(fixed + 4, 0x00010000);
  StoreLe32(fixed + 8, uint32_t(version.file >> 32));
  StoreLe32(fixed + 12, uint32_t(version.file));
  StoreLe32(fixed + 16, uint32_t(version.product >> 32));
  StoreLe32(fixed + 20, uint32_t(version.product));
}

}  // namespace

Bytes FakeExecutable(bool pe64, const FakeVersion* version, size_t size) {
  Bytes image(size < 0x800 ? 0x800 : size);
  uint8_t* b = image.data();
  StoreLe16(b, 0x5A4D);
  StoreLe32(b + 0x3C, 0x80);
  uint8_t* pe = b + 0x80;
  StoreLe32(pe, 0x00004550);
  uint16_t optional_size = pe64 ? 240 : 224;
  StoreLe16(pe + 4, pe64 ? 0x8664 : 0x14C);
  StoreLe16(pe + 6, 1);
  StoreLe16(pe + 20, optional_size);
  StoreLe16(pe + 22, 0x0102);
  uint8_t* opt = pe + 24;
  StoreLe16(opt, pe64 ? 0x20B : 0x10B);
  StoreLe32(opt + 56, 0x2000);   // SizeOfImage
  StoreLe32(opt + 60, 0x400);    // SizeOfHeaders
  StoreLe32(opt + 64, kFakeChecksum);
  StoreLe16(opt + 68, 3);        // console subsystem
  uint32_t directories = pe64 ? 112 : 96;
  StoreLe32(opt + directories - 4, 16);
  if (version) {
    StoreLe32(opt + directories + 16, kSectionRva);
    StoreLe32(opt + directories + 20, 0x200);
  }
  StoreLe32(opt + directories + 32, kFakeSecurityOffset);
  StoreLe32(opt + directories + 36, kFakeSecuritySize);
  uint8_t* section = opt + optional_size;
  memcpy(section, ".rsrc", 5);
  StoreLe32(section + 8, 0x200);
  StoreLe32(section + 12, kSectionRva);
  StoreLe32(section + 16, 0x200);
  StoreLe32(section + 20, kSectionFile);
  if (version) ResourceSection(b + kSectionFile, *version);
  return image;
}
