#include "tests/tools/pe_fixture.h"

#include <cstring>

#include "package/package_format.h"
#include "tools/kez/pe_file.h"
#include "tools/kez/version_block.h"

namespace {

constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kPeOffset = 0x80;
constexpr uint32_t kRelocationBlockSize = 12;

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) & ~(alignment - 1); }

void Put16(Bytes* out, uint16_t value) {
  out->push_back(uint8_t(value));
  out->push_back(uint8_t(value >> 8));
}

void Put32(Bytes* out, uint32_t value) {
  Put16(out, uint16_t(value));
  Put16(out, uint16_t(value >> 16));
}

struct Placed {
  uint32_t rva, raw_offset, size;
  Bytes bytes;
};

// Every section's address and data; the resources are written for their final address.
std::vector<Placed> Place(const FixtureImage& image, std::string* strings) {
  std::vector<Placed> placed;
  uint32_t rva = kSectionAlignment, raw = AlignUp(image.headers_size, kFileAlignment);
  for (const FixtureSection& s : image.sections) {
    Placed p = {rva, raw, s.size, {}};
    if (s.role == FixtureRole::kResources) {
      std::vector<Resource> resources = image.resources;
      Bytes directory = ResourcesWrite(&resources, rva + image.resource_start);
      p.bytes = FixturePattern(s.name, image.resource_start);
      p.bytes.insert(p.bytes.end(), directory.begin(), directory.end());
    } else if (s.role == FixtureRole::kRelocations) {
      Put32(&p.bytes, placed.at(image.relocated_section).rva);
      Put32(&p.bytes, kRelocationBlockSize);
      Put16(&p.bytes, image.pe64 ? 0xA000 : 0x3000);
      Put16(&p.bytes, 0);
    } else {
      p.bytes = FixturePattern(s.name, s.size);
    }
    p.size = uint32_t(p.bytes.size());
    if (s.name.size() > 8) *strings += s.name + '\0';
    placed.push_back(p);
    rva += AlignUp(p.size, kSectionAlignment);
    raw += AlignUp(p.size, kFileAlignment);
  }
  return placed;
}

void Headers(const FixtureImage& image, const std::vector<Placed>& placed, Bytes* out) {
  uint8_t* b = out->data();
  StoreLe16(b, 0x5A4D);
  StoreLe32(b + 0x3C, kPeOffset);
  uint8_t* pe = b + kPeOffset;
  StoreLe32(pe, 0x00004550);
  uint16_t optional_size = image.pe64 ? 240 : 224;
  StoreLe16(pe + 4, image.pe64 ? 0x8664 : 0x14C);
  StoreLe16(pe + 6, uint16_t(image.sections.size()));
  StoreLe16(pe + 20, optional_size);
  StoreLe16(pe + 22, image.pe64 ? 0x0022 : 0x0102);
  uint8_t* opt = pe + 24;
  StoreLe16(opt, image.pe64 ? 0x20B : 0x10B);
  StoreLe32(opt + kPeOptionalEntryPoint, placed[image.entry_section].rva);
  if (image.pe64) {
    StoreLe64(opt + 24, 0x140000000ULL);
  } else {
    StoreLe32(opt + 28, 0x400000);
  }
  StoreLe32(opt + kPeOptionalSectionAlignment, kSectionAlignment);
  StoreLe32(opt + kPeOptionalFileAlignment, kFileAlignment);
  StoreLe16(opt + 40, 4);  // operating system 4.0
  StoreLe16(opt + 48, 5);  // subsystem 5.1
  StoreLe16(opt + 50, 1);
  const Placed& last = placed.back();
  StoreLe32(opt + kPeOptionalImageSize, AlignUp(last.rva + last.size, kSectionAlignment));
  StoreLe32(opt + kPeOptionalHeadersSize, image.headers_size);
  StoreLe16(opt + 68, 2);  // GUI
  uint32_t directories = image.pe64 ? 112 : 96;
  StoreLe32(opt + directories - 4, 16);
  for (size_t k = 0; k < image.sections.size(); ++k) {
    const FixtureSection& s = image.sections[k];
    if (s.role == FixtureRole::kResources) {
      StoreLe32(opt + directories + 8 * kPeDirectoryResource, placed[k].rva + image.resource_start);
      StoreLe32(opt + directories + 8 * kPeDirectoryResource + 4, placed[k].size - image.resource_start);
    }
    if (s.role == FixtureRole::kRelocations) {
      StoreLe32(opt + directories + 8 * kPeDirectoryRelocation, placed[k].rva);
      StoreLe32(opt + directories + 8 * kPeDirectoryRelocation + 4, placed[k].size);
    }
  }
}

void SectionTable(const FixtureImage& image, const std::vector<Placed>& placed, Bytes* out) {
  uint32_t table = kPeOffset + 24 + (image.pe64 ? 240 : 224);
  uint32_t long_name = 4;
  for (size_t k = 0; k < image.sections.size(); ++k) {
    const FixtureSection& s = image.sections[k];
    uint8_t* h = out->data() + table + k * kPeSectionHeaderSize;
    std::string name = s.name;
    if (name.size() > 8) {
      name = "/" + std::to_string(long_name);
      long_name += uint32_t(s.name.size()) + 1;
    }
    memcpy(h, name.data(), name.size());
    StoreLe32(h + 8, placed[k].size);
    StoreLe32(h + 12, placed[k].rva);
    StoreLe32(h + 16, AlignUp(placed[k].size, kFileAlignment));
    StoreLe32(h + 20, placed[k].raw_offset);
    StoreLe32(h + 36, s.characteristics);
  }
}

}  // namespace

Bytes FixturePattern(const std::string& name, uint32_t size) {
  Bytes bytes(size);
  for (uint32_t k = 0; k < size; ++k) bytes[k] = uint8_t(k * 7 + uint8_t(name.empty() ? 0 : name.back()));
  return bytes;
}

Bytes FixtureBuild(const FixtureImage& image) {
  std::string strings;
  std::vector<Placed> placed = Place(image, &strings);
  Bytes out(AlignUp(image.headers_size, kFileAlignment));
  Headers(image, placed, &out);
  SectionTable(image, placed, &out);
  for (const Placed& p : placed) {
    out.resize(p.raw_offset);
    out.insert(out.end(), p.bytes.begin(), p.bytes.end());
    out.resize(AlignUp(uint32_t(out.size()), kFileAlignment));
  }
  uint8_t* file_header = out.data() + kPeOffset + 4;
  if (image.symbols) {
    StoreLe32(file_header + 8, uint32_t(out.size()));
    Put32(&out, uint32_t(strings.size()) + 4);
    out.insert(out.end(), strings.begin(), strings.end());
  }
  out.insert(out.end(), image.appended.begin(), image.appended.end());
  if (image.certificate_size) {
    out.resize(AlignUp(uint32_t(out.size()), 8));
    uint32_t directories = kPeOffset + 24 + (image.pe64 ? 112 : 96);
    StoreLe32(out.data() + directories + 8 * kPeDirectorySecurity, uint32_t(out.size()));
    StoreLe32(out.data() + directories + 8 * kPeDirectorySecurity + 4, image.certificate_size);
    Bytes certificate = FixturePattern("certificate", image.certificate_size);
    StoreLe32(certificate.data(), image.certificate_size);
    out.insert(out.end(), certificate.begin(), certificate.end());
  }
  uint32_t checksum = kPeOffset + 24 + kPeOptionalChecksum;
  StoreLe32(out.data() + checksum, PeComputeChecksum(out.data(), out.size(), checksum));
  return out;
}

FixtureImage FixtureRuntime(const std::vector<Resource>& resources) {
  FixtureImage image;
  image.sections = {{".text", kFixtureCode, 0x3200},
                   {".data", kFixtureData, 0x600},
                   {".rsrc", kFixtureReadOnly, 0, FixtureRole::kResources},
                   {".reloc", kFixtureReadOnly | kPeSectionDiscardable, 0, FixtureRole::kRelocations}};
  image.resources = resources;
  return image;
}

Bytes FixtureIcon(const std::vector<FixtureIconImage>& images) {
  Bytes file;
  Put16(&file, 0);
  Put16(&file, 1);
  Put16(&file, uint16_t(images.size()));
  std::vector<Bytes> data;
  for (const FixtureIconImage& image : images) {
    Bytes bitmap;
    Put32(&bitmap, 40);
    Put32(&bitmap, image.side);
    Put32(&bitmap, 2 * image.side);
    Put16(&bitmap, 1);
    Put16(&bitmap, 32);
    bitmap.resize(40);
    for (uint32_t k = 0; k < image.side * image.side; ++k) Put32(&bitmap, image.color);
    bitmap.resize(bitmap.size() + (image.side + 31) / 32 * 4 * image.side);  // mask: all shown
    data.push_back(bitmap);
  }
  uint32_t offset = 6 + 16 * uint32_t(images.size());
  for (size_t k = 0; k < images.size(); ++k) {
    file.push_back(uint8_t(images[k].side));
    file.push_back(uint8_t(images[k].side));
    file.push_back(0);
    file.push_back(0);
    Put16(&file, 1);
    Put16(&file, 32);
    Put32(&file, uint32_t(data[k].size()));
    Put32(&file, offset);
    offset += uint32_t(data[k].size());
  }
  for (const Bytes& d : data) file.insert(file.end(), d.begin(), d.end());
  return file;
}

Bytes FixtureIconWithPng(const std::vector<FixtureIconImage>& images, uint32_t png_side) {
  Bytes bitmaps = FixtureIcon(images);
  uint32_t count = uint32_t(images.size());
  Bytes file(bitmaps.begin(), bitmaps.begin() + 6 + 16 * count);
  StoreLe16(file.data() + 4, uint16_t(count + 1));
  for (uint32_t k = 0; k < count; ++k) StoreLe32(file.data() + 6 + 16 * k + 12, LoadLe32(file.data() + 6 + 16 * k + 12) + 16);
  const uint8_t entry[16] = {uint8_t(png_side), uint8_t(png_side), 0, 0, 1, 0, 32, 0};
  file.insert(file.end(), entry, entry + 16);
  file.insert(file.end(), bitmaps.begin() + 6 + 16 * count, bitmaps.end());
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (int k = 0; k < 2; ++k) {
    png.push_back(uint8_t(png_side >> 24));
    png.push_back(uint8_t(png_side >> 16));
    png.push_back(uint8_t(png_side >> 8));
    png.push_back(uint8_t(png_side));
  }
  png.resize(png.size() + 32);  // the rest of a PNG file, not looked at
  uint8_t* png_entry = file.data() + 6 + 16 * count;
  StoreLe32(png_entry + 8, uint32_t(png.size()));
  StoreLe32(png_entry + 12, uint32_t(file.size()));
  file.insert(file.end(), png.begin(), png.end());
  return file;
}

Resource FixtureVersion(uint32_t language, const std::vector<std::pair<std::u16string, std::u16string>>& texts,
                        uint64_t version) {
  VersionBlock block = VersionBlockNew();
  for (const auto& text : texts) VersionBlockSetText(&block, text.first, text.second);
  VersionBlockSetVersion(&block, version);
  Resource resource = {{u"", kResourceVersion}, {u"", 1}, {u"", language}, 0, {}};
  std::string why;
  VersionBlockWrite(block, &resource.data, &why);
  return resource;
}

std::vector<Resource> FixtureIconGroup(uint32_t name, uint32_t language, uint32_t first_icon,
                                       const std::vector<FixtureIconImage>& images) {
  Bytes file = FixtureIcon(images);
  std::vector<Resource> resources;
  Bytes group;
  Put16(&group, 0);
  Put16(&group, 1);
  Put16(&group, uint16_t(images.size()));
  for (size_t k = 0; k < images.size(); ++k) {
    const uint8_t* entry = file.data() + 6 + 16 * k;
    group.insert(group.end(), entry, entry + 12);
    Put16(&group, uint16_t(first_icon + k));
    uint32_t size = LoadLe32(entry + 8), offset = LoadLe32(entry + 12);
    resources.push_back({{u"", kResourceIcon}, {u"", uint32_t(first_icon + k)}, {u"", language}, 0,
                         Bytes(file.begin() + offset, file.begin() + offset + size)});
  }
  resources.push_back({{u"", kResourceGroupIcon}, {u"", name}, {u"", language}, 0, group});
  return resources;
}
