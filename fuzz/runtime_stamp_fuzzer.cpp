// Fuzzes the runtime stamping of kez: PE images (headers, sections, resource directories, version
// resources) stamped with a product's texts and icon, and icon files and version resources read on
// their own. A stamped image must read back as a PE image with its resources: a rewrite that
// succeeds never leaves a broken image.
#include <cstdlib>

#include "tools/kez/runtime_stamp.h"
#include "tools/kez/version_block.h"

namespace {

// A 16-pixel icon of 32-bit pixels: header, one entry, bitmap header, pixels and mask.
std::vector<uint8_t> SmallIcon() {
  std::vector<uint8_t> file(6 + 16 + 40 + 16 * 16 * 4 + 16 * 4);
  file[2] = 1;
  file[4] = 1;
  file[6] = file[7] = 16;
  file[10] = 1;
  file[12] = 32;
  uint32_t size = uint32_t(file.size() - 22);
  file[14] = uint8_t(size);
  file[15] = uint8_t(size >> 8);
  file[18] = 22;
  uint8_t* bitmap = file.data() + 22;
  bitmap[0] = 40;
  bitmap[4] = 16;
  bitmap[8] = 32;
  bitmap[12] = 1;
  bitmap[14] = 32;
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  std::vector<IconImage> images;
  std::string why;
  IconFileRead(bytes, &images, &why);
  VersionBlock block;
  VersionBlockRead(bytes, &block, &why);

  static const std::vector<uint8_t> icon_file = SmallIcon();
  static std::vector<IconImage> icon;
  if (icon.empty() && IconFileRead(icon_file, &icon, &why)) abort();
  RuntimeStamp stamp;
  stamp.product_name = u"Fuzzed Product";
  stamp.package_code = u"{01234567-89AB-CDEF-0123-456789ABCDEF}";
  stamp.version = 0x0001000200030004ULL;
  stamp.company_name = u"Fuzz";
  stamp.icon = &icon;
  std::vector<uint8_t> out;
  RuntimeStampReport report;
  if (RuntimeStampImage(bytes, stamp, &out, &report, &why)) return 0;
  PeFile image;
  std::vector<Resource> resources;
  if (PeFileParse(out, &image, &why) || ResourcesRead(image, &resources, &why)) abort();
  return 0;
}
