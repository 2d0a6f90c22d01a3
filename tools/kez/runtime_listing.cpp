#include "tools/kez/runtime_listing.h"

#include <cstdio>

#include "package/package_classify.h"
#include "runtime/text.h"
#include "tools/kez/icon_file.h"
#include "tools/kez/pe_file.h"
#include "tools/kez/resource_tree.h"
#include "tools/kez/runtime_stamp.h"
#include "tools/kez/version_block.h"
#include "tools/kez/whole_file.h"

namespace {

std::string KeyText(const ResourceKey& key) {
  char number[16];
  snprintf(number, sizeof number, "%u", unsigned(key.id));
  return key.text.empty() ? number : "\"" + TextToUtf8(key.text) + "\"";
}

void PrintVersion(const Resource& resource) {
  VersionBlock block;
  std::string why;
  printf("version resource %s  language 0x%04X\n", KeyText(resource.name).c_str(), unsigned(resource.language.id));
  if (VersionBlockRead(resource.data, &block, &why)) {
    printf("  damaged: %s\n", why.c_str());
    return;
  }
  uint64_t file_version, product_version;
  VersionBlockVersions(block, &file_version, &product_version);
  printf("  file version %s  product version %s\n", TextToUtf8(RuntimeVersionText(file_version)).c_str(),
         TextToUtf8(RuntimeVersionText(product_version)).c_str());
  for (const VersionText& text : VersionBlockTexts(block))
    printf("  %s %s \"%s\"\n", TextToUtf8(text.table).c_str(), TextToUtf8(text.name).c_str(),
           TextToUtf8(text.value).c_str());
}

}  // namespace

void RuntimeListing(const char* path) {
  std::u16string name = TextFromUtf8(path);
  std::vector<uint8_t> bytes;
  uint64_t package_offset = 0;
  PackageFileKind kind = kFileHoldsNoPackage;
  if (PackageClassifyFile(name.c_str(), false, &kind, &package_offset) || kind == kFileIsStandAloneVolume) return;
  if (FileStartRead(name.c_str(), kind == kFileIsExecutableWithPackage ? package_offset : kMaximumPackageOffset, &bytes))
    return;
  PeFile image;
  std::vector<Resource> resources;
  std::string why;
  if (PeFileParse(std::move(bytes), &image, &why) || ResourcesRead(image, &resources, &why)) return;
  const Resource* icon = nullptr;
  for (const Resource& r : resources) {
    if (!r.type.text.empty()) continue;
    if (r.type.id == kResourceVersion) PrintVersion(r);
    if (r.type.id == kResourceGroupIcon && !icon) icon = &r;
  }
  if (!icon) return;
  printf("main icon %s  language 0x%04X ", KeyText(icon->name).c_str(), unsigned(icon->language.id));
  for (const auto& size : IconGroupSizes(icon->data)) printf(" %ux%u", unsigned(size.first), unsigned(size.second));
  printf("\n");
}
