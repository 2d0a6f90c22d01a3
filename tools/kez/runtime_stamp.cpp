#include "tools/kez/runtime_stamp.h"

#include "package/package_classify.h"
#include "runtime/errors.h"
#include "tools/kez/version_block.h"

namespace {

constexpr uint32_t kNeutralLanguage = 0;
constexpr uint32_t kFirstName = 1;

void StampTexts(const RuntimeStamp& stamp, VersionBlock* block) {
  const std::u16string version = RuntimeVersionText(stamp.version);
  const std::pair<const char16_t*, const std::u16string*> kTexts[] = {
      {u"ProductName", &stamp.product_name},         {u"PackageCode", &stamp.package_code},
      {u"ProductVersion", &version},                 {u"FileVersion", &version},
      {u"CompanyName", &stamp.company_name},         {u"FileDescription", &stamp.file_description},
  };
  for (const auto& text : kTexts)
    if (!text.second->empty()) VersionBlockSetText(block, text.first, *text.second);
  VersionBlockSetVersion(block, stamp.version);
}

uint32_t StampVersions(const RuntimeStamp& stamp, std::vector<Resource>* resources, std::string* why) {
  bool found = false;
  for (Resource& r : *resources) {
    if (!r.type.text.empty() || r.type.id != kResourceVersion) continue;
    found = true;
    VersionBlock block;
    uint32_t err = VersionBlockRead(r.data, &block, why);
    if (!err) {
      StampTexts(stamp, &block);
      err = VersionBlockWrite(block, &r.data, why);
    }
    if (err) return err;
  }
  if (found) return ERROR_SUCCESS;
  VersionBlock block = VersionBlockNew();
  StampTexts(stamp, &block);
  Resource r = {{u"", kResourceVersion}, {u"", kFirstName}, {u"", kNeutralLanguage}, 0, {}};
  uint32_t err = VersionBlockWrite(block, &r.data, why);
  if (!err) resources->push_back(std::move(r));
  return err;
}

}  // namespace

std::u16string RuntimeVersionText(uint64_t version) {
  std::u16string text;
  for (int shift = 48; shift >= 0; shift -= 16) {
    std::string part = std::to_string(uint16_t(version >> shift));
    text += std::u16string(part.begin(), part.end());
    if (shift) text += u'.';
  }
  return text;
}

uint32_t RuntimeStampImage(std::vector<uint8_t> runtime, const RuntimeStamp& stamp, std::vector<uint8_t>* out,
                           RuntimeStampReport* report, std::string* why) {
  *report = RuntimeStampReport{};
  uint64_t package_offset;
  size_t head = runtime.size() < kClassifyBytes ? runtime.size() : kClassifyBytes;
  if (PackageClassifyBytes(runtime.data(), head, true, &package_offset) == kFileIsExecutableWithPackage) {
    *why = "it carries a package already; give the runtime without one";
    return ERROR_BAD_EXE_FORMAT;
  }
  PeFile image;
  std::vector<Resource> resources;
  uint32_t err = PeFileParse(std::move(runtime), &image, why);
  if (!err) err = ResourcesRead(image, &resources, why);
  if (!err) err = StampVersions(stamp, &resources, why);
  if (err) return err;
  if (stamp.icon) IconReplaceMainGroup(&resources, *stamp.icon);
  PeRewriteReport rewrite;
  err = PeReplaceResources(image, &resources, out, &rewrite, why);
  if (err) return err;
  report->debug_sections = PeHasDebugSections(image);
  report->signature_removed = rewrite.signature_removed;
  report->placement = rewrite.placement;
  return ERROR_SUCCESS;
}
