#include "tools/kez/icon_file.h"

#include <algorithm>
#include <set>

#include "package/package_format.h"
#include "runtime/errors.h"

namespace {

constexpr uint32_t kHeaderSize = 6;
constexpr uint32_t kFileEntrySize = 16;
constexpr uint32_t kGroupEntrySize = 14;
constexpr uint16_t kTypeIcon = 1;
constexpr uint32_t kBitmapHeaderSize = 40;
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kPngHeaderEnd = 24;  // signature, IHDR length and type, width and height

uint32_t Invalid(std::string* why, const std::string& text) {
  *why = text;
  return ERROR_INVALID_DATA;
}

uint32_t Side(uint8_t value) { return value ? value : 256; }

uint32_t LoadBe32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

bool IsPng(const std::vector<uint8_t>& data) {
  return data.size() >= sizeof kPngSignature && std::equal(kPngSignature, kPngSignature + 8, data.begin());
}

// A PNG image: its header's size must be the entry's.
uint32_t CheckPng(const IconImage& image, const std::string& which, std::string* why) {
  const std::vector<uint8_t>& d = image.data;
  if (d.size() < kPngHeaderEnd || d[12] != 'I' || d[13] != 'H' || d[14] != 'D' || d[15] != 'R')
    return Invalid(why, which + " is a PNG file cut short");
  if (LoadBe32(d.data() + 16) != Side(image.width) || LoadBe32(d.data() + 20) != Side(image.height))
    return Invalid(why, which + " is a PNG image of another size than its entry says");
  return ERROR_SUCCESS;
}

// A bitmap image: header, colour table, colour pixels and mask must all be there, in the entry's
// size (the bitmap is twice as tall: colour rows, then mask rows).
uint32_t CheckBitmap(IconImage* image, const std::string& which, std::string* why) {
  const std::vector<uint8_t>& d = image->data;
  if (d.size() < kBitmapHeaderSize) return Invalid(why, which + " is shorter than a bitmap header");
  uint32_t header = LoadLe32(d.data());
  int32_t width = int32_t(LoadLe32(d.data() + 4)), height = int32_t(LoadLe32(d.data() + 8));
  uint16_t planes = LoadLe16(d.data() + 12), bits = LoadLe16(d.data() + 14);
  uint32_t compression = LoadLe32(d.data() + 16), colors_used = LoadLe32(d.data() + 32);
  if (header < kBitmapHeaderSize || header > d.size()) return Invalid(why, which + " has a damaged bitmap header");
  if (width <= 0 || height <= 0 || height % 2 || uint32_t(width) != Side(image->width) ||
      uint32_t(height / 2) != Side(image->height))
    return Invalid(why, which + " is a bitmap of another size than its entry says");
  if (planes != 1 || (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32))
    return Invalid(why, which + " has " + std::to_string(bits) + " bits per pixel");
  bool bit_fields = compression == kCompressionBitFields && (bits == 16 || bits == 32);
  if (compression != kCompressionNone && !bit_fields) return Invalid(why, which + " is a compressed bitmap");
  uint64_t palette = colors_used ? colors_used : bits <= 8 ? 1u << bits : 0;
  if (palette > 256) return Invalid(why, which + " has more than 256 colours in its table");
  uint64_t color_row = (uint64_t(width) * bits + 31) / 32 * 4, mask_row = (uint64_t(width) + 31) / 32 * 4;
  uint64_t needed = header + (bit_fields && header == kBitmapHeaderSize ? 12 : 0) + palette * 4 +
                    (color_row + mask_row) * uint64_t(height / 2);
  if (needed > d.size()) return Invalid(why, which + " holds fewer pixel bytes than its size needs");
  if (!image->planes) image->planes = planes;
  if (!image->bit_count) image->bit_count = bits;
  return ERROR_SUCCESS;
}

std::vector<uint16_t> GroupMembers(const std::vector<uint8_t>& group) {
  std::vector<uint16_t> ids;
  if (group.size() < kHeaderSize || LoadLe16(group.data() + 2) != kTypeIcon) return ids;
  uint32_t count = LoadLe16(group.data() + 4);
  if (group.size() < kHeaderSize + uint64_t(count) * kGroupEntrySize) return ids;
  for (uint32_t k = 0; k < count; ++k) ids.push_back(LoadLe16(group.data() + kHeaderSize + k * kGroupEntrySize + 12));
  return ids;
}

bool IsNumbered(const ResourceKey& key, uint32_t id) { return key.text.empty() && key.id == id; }

std::vector<uint8_t> GroupOf(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids) {
  std::vector<uint8_t> group(kHeaderSize + images.size() * kGroupEntrySize);
  StoreLe16(group.data() + 2, kTypeIcon);
  StoreLe16(group.data() + 4, uint16_t(images.size()));
  for (size_t k = 0; k < images.size(); ++k) {
    const IconImage& image = images[k];
    uint8_t* entry = group.data() + kHeaderSize + k * kGroupEntrySize;
    entry[0] = image.width;
    entry[1] = image.height;
    entry[2] = image.colors;
    entry[3] = image.reserved;
    StoreLe16(entry + 4, image.planes);
    StoreLe16(entry + 6, image.bit_count);
    StoreLe32(entry + 8, uint32_t(image.data.size()));
    StoreLe16(entry + 12, ids[k]);
  }
  return group;
}

}  // namespace

uint32_t IconFileRead(const std::vector<uint8_t>& file, std::vector<IconImage>* images, std::string* why) {
  images->clear();
  if (file.size() < kHeaderSize) return Invalid(why, "an icon file is 6 bytes at least, this one has " + std::to_string(file.size()));
  if (LoadLe16(file.data()) != 0 || LoadLe16(file.data() + 2) != kTypeIcon) return Invalid(why, "not an icon file");
  uint32_t count = LoadLe16(file.data() + 4);
  if (!count) return Invalid(why, "the icon file holds no image");
  if (count > kIconMaximumImages) return Invalid(why, "the icon file holds more than 256 images");
  uint64_t images_start = kHeaderSize + uint64_t(count) * kFileEntrySize;
  if (images_start > file.size()) return Invalid(why, "the icon file ends inside its list of images");
  for (uint32_t k = 0; k < count; ++k) {
    const uint8_t* entry = file.data() + kHeaderSize + k * kFileEntrySize;
    std::string which = "image " + std::to_string(k + 1) + " of " + std::to_string(count);
    uint32_t size = LoadLe32(entry + 8), offset = LoadLe32(entry + 12);
    if (!size) return Invalid(why, which + " is empty");
    if (offset < images_start || uint64_t(offset) + size > file.size()) return Invalid(why, which + " ends beyond the file");
    IconImage image = {entry[0], entry[1], entry[2], entry[3], LoadLe16(entry + 4), LoadLe16(entry + 6),
                       std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + size)};
    uint32_t err = IsPng(image.data) ? CheckPng(image, which, why) : CheckBitmap(&image, which, why);
    if (err) return err;
    images->push_back(std::move(image));
  }
  return ERROR_SUCCESS;
}

void IconReplaceMainGroup(std::vector<Resource>* resources, const std::vector<IconImage>& images) {
  ResourcesSort(resources);
  const Resource* main = nullptr;
  for (const Resource& r : *resources)
    if (!main && IsNumbered(r.type, kResourceGroupIcon)) main = &r;
  ResourceKey name = main ? main->name : ResourceKey{u"", 1};
  ResourceKey language = main ? main->language : ResourceKey{};

  // Icons of the main group that no other group lists go with it.
  std::set<uint32_t> listed_elsewhere, orphaned;
  for (const Resource& r : *resources) {
    if (!IsNumbered(r.type, kResourceGroupIcon)) continue;
    for (uint16_t id : GroupMembers(r.data)) (r.name == name ? orphaned : listed_elsewhere).insert(id);
  }
  std::vector<Resource> kept;
  std::set<uint32_t> icon_ids;
  for (Resource& r : *resources) {
    bool icon = IsNumbered(r.type, kResourceIcon) && r.name.text.empty();
    if (icon && orphaned.count(r.name.id) && !listed_elsewhere.count(r.name.id)) continue;
    if (IsNumbered(r.type, kResourceGroupIcon) && r.name == name) continue;
    if (icon) icon_ids.insert(r.name.id);
    kept.push_back(std::move(r));
  }

  std::vector<uint16_t> ids;
  for (uint32_t id = 1; ids.size() < images.size(); ++id)
    if (!icon_ids.count(id)) ids.push_back(uint16_t(id));
  for (size_t k = 0; k < images.size(); ++k)
    kept.push_back(Resource{{u"", kResourceIcon}, {u"", ids[k]}, language, 0, images[k].data});
  kept.push_back(Resource{{u"", kResourceGroupIcon}, name, language, 0, GroupOf(images, ids)});
  *resources = std::move(kept);
  ResourcesSort(resources);
}

std::vector<std::pair<uint32_t, uint32_t>> IconGroupSizes(const std::vector<uint8_t>& group) {
  std::vector<std::pair<uint32_t, uint32_t>> sizes;
  if (GroupMembers(group).empty()) return sizes;
  for (uint32_t k = 0; k < LoadLe16(group.data() + 4); ++k) {
    const uint8_t* entry = group.data() + kHeaderSize + k * kGroupEntrySize;
    sizes.push_back({Side(entry[0]), Side(entry[1])});
  }
  return sizes;
}
