// The runtime stamping: the real runtime of the Windows trees and odd or hostile images stamped
// and read back (layout, resources, version texts, icons, the appended package), and the images,
// resource directories, version resources and icon files it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "package/package_classify.h"
#include "package/package_writer.h"
#include "runtime/errors.h"
#include "runtime/text.h"
#include "tests/package/package_test_support.h"
#include "tests/tools/pe_fixture.h"
#include "tools/kez/runtime_stamp.h"
#include "tools/kez/version_block.h"

namespace {

constexpr uint64_t kVersion = 0x0002000300040005ULL;
const std::vector<FixtureIconImage> kIconImages = {{16, 0xFF2040C0}, {32, 0xFF20C040}, {48, 0xFFC04020}};

PeFile Image(const Bytes& bytes) {
  PeFile image;
  std::string why;
  EXPECT_EQ(PeFileParse(bytes, &image, &why), 0u) << why;
  return image;
}

std::vector<Resource> ResourcesOf(const Bytes& bytes) {
  std::vector<Resource> resources;
  std::string why;
  EXPECT_EQ(ResourcesRead(Image(bytes), &resources, &why), 0u) << why;
  return resources;
}

bool IsType(const Resource& r, uint32_t type) { return r.type.text.empty() && r.type.id == type; }

std::map<std::u16string, std::u16string> Texts(const Resource& version) {
  VersionBlock block;
  std::string why;
  EXPECT_EQ(VersionBlockRead(version.data, &block, &why), 0u) << why;
  std::map<std::u16string, std::u16string> texts;
  for (const VersionText& text : VersionBlockTexts(block)) texts[text.name] = text.value;
  uint64_t file, product;
  VersionBlockVersions(block, &file, &product);
  texts[u"(file)"] = RuntimeVersionText(file);
  texts[u"(product)"] = RuntimeVersionText(product);
  return texts;
}

RuntimeStamp ProductStamp(const std::vector<IconImage>* icon) {
  RuntimeStamp stamp;
  stamp.product_name = u"Probe Product";
  stamp.package_code = u"{01234567-89AB-CDEF-0123-456789ABCDEF}";
  stamp.version = kVersion;
  stamp.company_name = u"Probe Company";
  stamp.file_description = u"Probe Product Setup";
  stamp.icon = icon;
  return stamp;
}

std::vector<IconImage> Icon(const Bytes& file) {
  std::vector<IconImage> images;
  std::string why;
  EXPECT_EQ(IconFileRead(file, &images, &why), 0u) << why;
  return images;
}

Bytes Stamp(const Bytes& runtime, const RuntimeStamp& stamp, RuntimeStampReport* report) {
  Bytes out;
  std::string why;
  EXPECT_EQ(RuntimeStampImage(runtime, stamp, &out, report, &why), 0u) << why;
  return out;
}

uint32_t AlignUp(uint64_t value, uint32_t alignment) { return uint32_t((value + alignment - 1) & ~uint64_t(alignment - 1)); }

// What the loader checks of the layout: sections adjacent, the image size, and the checksum.
void ExpectValidLayout(const Bytes& bytes) {
  PeFile image = Image(bytes);
  ASSERT_FALSE(image.sections.empty());
  for (size_t k = 1; k < image.sections.size(); ++k)
    EXPECT_EQ(image.sections[k].rva, AlignUp(PeSectionEnd(image.sections[k - 1]), image.section_alignment))
        << image.sections[k].name;
  EXPECT_EQ(LoadLe32(bytes.data() + image.optional_offset + kPeOptionalImageSize),
            AlignUp(PeSectionEnd(image.sections.back()), image.section_alignment));
  uint32_t checksum = image.optional_offset + kPeOptionalChecksum;
  EXPECT_EQ(LoadLe32(bytes.data() + checksum), PeComputeChecksum(bytes.data(), bytes.size(), checksum));
}

// The stamped version texts and versions, in every version resource.
void ExpectStampedVersions(const std::vector<Resource>& resources, size_t expected_count) {
  size_t count = 0;
  for (const Resource& r : resources) {
    if (!IsType(r, kResourceVersion)) continue;
    ++count;
    std::map<std::u16string, std::u16string> texts = Texts(r);
    EXPECT_EQ(texts[u"ProductName"], u"Probe Product");
    EXPECT_EQ(texts[u"PackageCode"], u"{01234567-89AB-CDEF-0123-456789ABCDEF}");
    EXPECT_EQ(texts[u"ProductVersion"], u"2.3.4.5");
    EXPECT_EQ(texts[u"FileVersion"], u"2.3.4.5");
    EXPECT_EQ(texts[u"CompanyName"], u"Probe Company");
    EXPECT_EQ(texts[u"FileDescription"], u"Probe Product Setup");
    EXPECT_EQ(texts[u"(file)"], u"2.3.4.5");
    EXPECT_EQ(texts[u"(product)"], u"2.3.4.5");
  }
  EXPECT_EQ(count, expected_count);
}

const Resource* Find(const std::vector<Resource>& resources, uint32_t type, uint32_t name, uint32_t language) {
  for (const Resource& r : resources)
    if (IsType(r, type) && r.name.text.empty() && r.name.id == name && r.language.id == language) return &r;
  return nullptr;
}

// The main group lists the icon's images, each an RT_ICON with the image's bytes.
void ExpectMainIcon(const std::vector<Resource>& resources, const std::vector<IconImage>& icon) {
  const Resource* group = nullptr;
  for (const Resource& r : resources)
    if (!group && IsType(r, kResourceGroupIcon)) group = &r;
  ASSERT_NE(group, nullptr);
  std::vector<std::pair<uint32_t, uint32_t>> sizes = IconGroupSizes(group->data);
  ASSERT_EQ(sizes.size(), icon.size());
  for (size_t k = 0; k < icon.size(); ++k) {
    EXPECT_EQ(sizes[k].first, icon[k].width ? icon[k].width : 256u);
    uint16_t id = LoadLe16(group->data.data() + 6 + 14 * k + 12);
    const Resource* image = Find(resources, kResourceIcon, id, group->language.id);
    ASSERT_NE(image, nullptr) << id;
    EXPECT_TRUE(image->data == icon[k].data) << k;
  }
}

std::vector<uint32_t> ListedIcons(const std::vector<Resource>& resources) {
  std::vector<uint32_t> listed;
  for (const Resource& r : resources)
    if (IsType(r, kResourceGroupIcon))
      for (uint32_t k = 0; k < LoadLe16(r.data.data() + 4); ++k) listed.push_back(LoadLe16(r.data.data() + 6 + 14 * k + 12));
  return listed;
}

Bytes SectionBytes(const Bytes& bytes, const std::string& name) {
  PeFile image = Image(bytes);
  for (const PeSection& s : image.sections)
    if (s.name == name) return Bytes(bytes.begin() + s.raw_offset, bytes.begin() + s.raw_offset + std::min(s.raw_size, s.virtual_size));
  return {};
}

// ---- the runtime of the Windows trees ----

// The Setup.exe of the Windows trees that are built ("|" separates the paths).
std::vector<std::string> RealRuntimes() {
  std::vector<std::string> found;
  std::string paths = SETUP_RUNTIMES;
  for (size_t start = 0, end; start <= paths.size(); start = end + 1) {
    end = paths.find('|', start);
    if (end == std::string::npos) end = paths.size();
    std::string path = paths.substr(start, end - start);
    if (Exists(TextFromUtf8(path))) found.push_back(path);
  }
  return found;
}

TEST(RuntimeStamp, RealRuntimeTakesTheProductsIdentityAndKeepsEverythingElse) {
  std::vector<std::string> runtimes = RealRuntimes();
  if (runtimes.empty()) GTEST_SKIP() << "no Setup.exe built in a Windows tree";
  // With a 128-pixel image the resources outgrow the runtime's resource section: the relocations
  // and the debug link behind it move up.
  std::vector<FixtureIconImage> images = kIconImages;
  images.push_back({128, 0xFF808080});
  std::vector<IconImage> icon = Icon(FixtureIconWithPng(images, 256));
  for (const std::string& path : runtimes) {
    SCOPED_TRACE(path);
    Bytes runtime = ReadBytes(TextFromUtf8(path));
    RuntimeStampReport report;
    Bytes stamped = Stamp(runtime, ProductStamp(&icon), &report);
    EXPECT_EQ(report.placement, ResourcePlacement::kSectionsMoved);
    EXPECT_FALSE(report.debug_sections) << "the tree's runtime is the release build";
    EXPECT_FALSE(report.signature_removed);
    ExpectValidLayout(stamped);
    std::vector<Resource> before = ResourcesOf(runtime), after = ResourcesOf(stamped);
    ExpectStampedVersions(after, 1);
    ExpectMainIcon(after, icon);
    EXPECT_EQ(Texts(*Find(after, kResourceVersion, 1, 0))[u"LegalCopyright"], u"\u00A9 2025 Ostrel");
    // Every other resource is the runtime's, byte for byte; no icon is left that no group lists.
    size_t others = 0;
    for (const Resource& r : before) {
      if (IsType(r, kResourceVersion) || IsType(r, kResourceIcon) || IsType(r, kResourceGroupIcon)) continue;
      ++others;
      const Resource* same = nullptr;
      for (const Resource& a : after)
        if (a.type == r.type && a.name == r.name && a.language == r.language) same = &a;
      ASSERT_NE(same, nullptr);
      EXPECT_TRUE(same->data == r.data);
    }
    EXPECT_GT(others, 10u) << "dialogs, strings, bitmaps, manifest";
    std::vector<uint32_t> listed = ListedIcons(after);
    for (const Resource& r : after)
      if (IsType(r, kResourceIcon)) {
        EXPECT_NE(std::find(listed.begin(), listed.end(), r.name.id), listed.end());
      }
    // Code and data sections are untouched.
    PeFile old_image = Image(runtime), new_image = Image(stamped);
    for (const PeSection& s : old_image.sections) {
      if (s.name == ".rsrc" || s.name == ".reloc" || s.name == ".gnu_debuglink") continue;
      EXPECT_TRUE(SectionBytes(runtime, s.name) == SectionBytes(stamped, s.name)) << s.name;
    }
  }
}

TEST(RuntimeStamp, PackageBehindAStampedRuntimeIsFoundAndItsCopyIsWhole) {
  std::vector<std::string> runtimes = RealRuntimes();
  Bytes runtime = runtimes.empty() ? FixtureBuild(FixtureRuntime({})) : ReadBytes(TextFromUtf8(runtimes[0]));
  std::vector<IconImage> icon = Icon(FixtureIcon(kIconImages));
  RuntimeStampReport report;
  Bytes stamped = Stamp(runtime, ProductStamp(&icon), &report);

  TempFolder folder;
  PackageWriterOptions options = TestOptions(kPackageMethodZlib);
  options.executable_image = stamped.data();
  options.executable_image_size = stamped.size();
  ASSERT_EQ(WritePackage(folder.Path("Setup.exe"), options, {MakeEntry(kEntryIdDatabase, TestData(3000, 1, true))}), 0u);
  Bytes setup = ReadBytes(folder.Path("Setup.exe"));
  uint64_t offset = 0;
  ASSERT_EQ(PackageClassifyBytes(setup.data(), kClassifyBytes, false, &offset), kFileIsExecutableWithPackage);
  EXPECT_EQ(offset, stamped.size());

  // The copy that a run installs: the executable without its package, checksum restored, marker,
  // locator and locator checksum cleared; it is the stamped image again.
  Bytes copy(setup.begin(), setup.begin() + offset);
  PackageLocator locator;
  PackageLocatorDecode(copy.data() + kPackageLocatorOffset, &locator);
  PeFile image = Image(copy);
  StoreLe32(copy.data() + image.optional_offset + kPeOptionalChecksum, locator.image_checksum);
  memset(copy.data() + kPackageMarkerOffset, 0, 0x3C - kPackageMarkerOffset);
  EXPECT_TRUE(copy == stamped);
  ExpectValidLayout(copy);
}

// ---- odd images ----

struct OddImage {
  const char* what;
  FixtureImage layout;
  std::vector<FixtureIconImage> icon;  // empty: no icon
  ResourcePlacement placement;
  std::vector<std::string> kept;       // data sections whose bytes and address stay as they were
};

FixtureImage WithSections(FixtureImage layout, std::vector<FixtureSection> sections) {
  layout.sections = std::move(sections);
  return layout;
}

std::vector<Resource> SmallResources() {
  std::vector<Resource> resources = FixtureIconGroup(1, 0, 1, {{16, 0xFF000000}});
  resources.push_back(FixtureVersion(0, {{u"ProductName", u"Runtime"}}, 0x0001000000000000ULL));
  return resources;
}

std::vector<OddImage> OddImages() {
  FixtureImage runtime = FixtureRuntime(SmallResources());
  const FixtureSection text = {".text", kFixtureCode, 0x1200}, data = {".data", kFixtureData, 0x300},
                       resources = {".rsrc", kFixtureReadOnly, 0, FixtureRole::kResources},
                       relocations = {".reloc", kFixtureDiscardable, 0, FixtureRole::kRelocations},
                       debug = {".debug_info", kFixtureDiscardable, 0x2345};
  std::vector<OddImage> cases;
  cases.push_back({"resources that fit in place", runtime, {}, ResourcePlacement::kInPlace, {".text", ".data"}});

  OddImage moved = {"bigger resources move the relocations and debug sections", runtime, {{64, 0xFF0000FF}},
                    ResourcePlacement::kSectionsMoved, {".text", ".data"}};
  moved.layout.pe64 = true;
  moved.layout.symbols = true;
  moved.layout.sections.push_back(debug);
  moved.layout.appended = FixturePattern("appended", 100);
  cases.push_back(moved);

  cases.push_back({"resources before a data section", WithSections(runtime, {text, resources, data, relocations}),
                   {{64, 0xFF0000FF}}, ResourcePlacement::kNewSection, {".text", ".data", ".rsrc"}});

  OddImage shrink = {"smaller resources before a data section",
                     WithSections(runtime, {text, resources, data, relocations}), {{16, 0xFF00FF00}},
                     ResourcePlacement::kInPlace, {".text", ".data"}};
  shrink.layout.resources = FixtureIconGroup(1, 0, 1, {{64, 0xFF000000}});
  cases.push_back(shrink);

  OddImage none = {"an image without resources", WithSections(runtime, {text, data, relocations}), {{32, 0xFF808080}},
                   ResourcePlacement::kNewSection, {".text", ".data"}};
  none.layout.resources.clear();
  cases.push_back(none);

  OddImage shared = {"resources inside another section", WithSections(runtime, {text, resources, relocations}), {},
                     ResourcePlacement::kNewSection, {".text"}};
  shared.layout.resource_start = 0x100;
  shared.layout.pe64 = true;
  cases.push_back(shared);

  OddImage relocated = {"relocations that patch the resource section", runtime, {}, ResourcePlacement::kNewSection,
                        {".text", ".data"}};
  relocated.layout.relocated_section = 2;
  cases.push_back(relocated);

  OddImage signed_runtime = {"a signed runtime with appended bytes", runtime, {{48, 0xFF102030}},
                             ResourcePlacement::kSectionsMoved, {".text", ".data"}};
  signed_runtime.layout.appended = FixturePattern("appended", 296);
  signed_runtime.layout.certificate_size = 0x228;
  cases.push_back(signed_runtime);
  return cases;
}

TEST(RuntimeStamp, OddImagesStayValid) {
  for (const OddImage& c : OddImages()) {
    SCOPED_TRACE(c.what);
    Bytes runtime = FixtureBuild(c.layout);
    std::vector<IconImage> icon;
    if (!c.icon.empty()) icon = Icon(FixtureIcon(c.icon));
    RuntimeStampReport report;
    Bytes stamped = Stamp(runtime, ProductStamp(c.icon.empty() ? nullptr : &icon), &report);
    ASSERT_FALSE(stamped.empty());
    EXPECT_EQ(report.placement, c.placement);
    ExpectValidLayout(stamped);
    std::vector<Resource> resources = ResourcesOf(stamped);
    ExpectStampedVersions(resources, 1);
    if (!c.icon.empty()) ExpectMainIcon(resources, icon);
    PeFile before = Image(runtime), after = Image(stamped);
    for (const std::string& name : c.kept) {
      EXPECT_TRUE(SectionBytes(runtime, name) == SectionBytes(stamped, name)) << name;
      for (size_t k = 0; k < before.sections.size(); ++k)
        if (before.sections[k].name == name) {
          EXPECT_EQ(after.sections[k].rva, before.sections[k].rva) << name;
        }
    }
    // Relocations still describe the same page; debug sections keep their long names and bytes.
    EXPECT_TRUE(SectionBytes(runtime, ".reloc") == SectionBytes(stamped, ".reloc"));
    uint32_t relocations, size;
    PeDirectory(after, kPeDirectoryRelocation, &relocations, &size);
    for (const PeSection& s : after.sections)
      if (s.name == ".reloc") {
        EXPECT_EQ(relocations, s.rva);
      }
    EXPECT_EQ(PeHasDebugSections(after), PeHasDebugSections(before));
    EXPECT_TRUE(SectionBytes(runtime, ".debug_info") == SectionBytes(stamped, ".debug_info"));
    // Appended bytes stay at the end; a certificate goes with its signature.
    const Bytes& appended = c.layout.appended;
    EXPECT_TRUE(std::search(stamped.begin(), stamped.end(), appended.begin(), appended.end()) != stamped.end());
    EXPECT_EQ(report.signature_removed, c.layout.certificate_size != 0);
    uint32_t certificate, certificate_size;
    PeDirectory(after, kPeDirectorySecurity, &certificate, &certificate_size);
    EXPECT_EQ(certificate_size, 0u);
    if (c.layout.certificate_size) {
      EXPECT_TRUE(std::equal(appended.rbegin(), appended.rend(), stamped.rbegin()));
    }
  }
}

TEST(RuntimeStamp, MainGroupOfSeveralLanguagesIsReplacedAndOtherResourcesStay) {
  // Version resources in two languages, the main group in two languages, a second group sharing an
  // icon with it, a named resource type and a string table.
  std::vector<Resource> resources = FixtureIconGroup(7, 0x409, 1, {{16, 1}, {32, 2}});
  for (Resource& r : FixtureIconGroup(7, 0x40C, 3, {{16, 3}})) resources.push_back(r);
  std::vector<Resource> second = FixtureIconGroup(9, 0x409, 5, {{16, 5}});
  StoreLe16(second.back().data.data() + 6 + 12, 2);  // lists the main group's icon 2 instead of its own
  second.erase(second.begin());
  resources.insert(resources.end(), second.begin(), second.end());
  resources.push_back(FixtureVersion(0x409, {{u"ProductName", u"Runtime"}}, 1));
  resources.push_back(FixtureVersion(0x407, {{u"ProductName", u"Laufzeit"}}, 1));
  resources.push_back({{u"LOGO", 0}, {u"WIDE", 0}, {u"", 0x409}, 0, FixturePattern("logo", 77)});
  resources.push_back({{u"", 6}, {u"", 1}, {u"", 0x409}, 1252, FixturePattern("strings", 40)});
  Bytes runtime = FixtureBuild(FixtureRuntime(resources));
  std::vector<IconImage> icon = Icon(FixtureIcon({{24, 0xFFFFFFFF}, {40, 0xFF000000}}));
  RuntimeStampReport report;
  std::vector<Resource> after = ResourcesOf(Stamp(runtime, ProductStamp(&icon), &report));

  ExpectStampedVersions(after, 2);
  ExpectMainIcon(after, icon);
  const Resource* main = Find(after, kResourceGroupIcon, 7, 0x409);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Find(after, kResourceGroupIcon, 7, 0x40C), nullptr) << "every language of the main group goes";
  EXPECT_NE(Find(after, kResourceGroupIcon, 9, 0x409), nullptr);
  EXPECT_NE(Find(after, kResourceIcon, 2, 0x409), nullptr) << "listed by the second group";
  EXPECT_EQ(Find(after, kResourceIcon, 3, 0x40C), nullptr);
  EXPECT_EQ(LoadLe16(main->data.data() + 6 + 12), 1u) << "new icons take the lowest free numbers";
  EXPECT_EQ(LoadLe16(main->data.data() + 6 + 14 + 12), 3u);
  bool logo = false;
  for (const Resource& r : after)
    logo = logo || (r.type.text == u"LOGO" && r.name.text == u"WIDE" && r.data == FixturePattern("logo", 77));
  EXPECT_TRUE(logo);
  const Resource* strings = Find(after, 6, 1, 0x409);
  ASSERT_NE(strings, nullptr);
  EXPECT_EQ(strings->code_page, 1252u);
}

TEST(RuntimeStamp, VersionTextsNotGivenStayTheRuntimes) {
  Bytes runtime = FixtureBuild(FixtureRuntime(
      {FixtureVersion(0, {{u"CompanyName", u"Ostrel"}, {u"FileDescription", u"Ostrel Setup"}, {u"ProductName", u"Ostrel"}}, 1)}));
  RuntimeStamp stamp;
  stamp.package_code = u"{01234567-89AB-CDEF-0123-456789ABCDEF}";
  stamp.version = 0x0001000000000007ULL;
  RuntimeStampReport report;
  std::vector<Resource> after = ResourcesOf(Stamp(runtime, stamp, &report));
  std::map<std::u16string, std::u16string> texts = Texts(*Find(after, kResourceVersion, 1, 0));
  EXPECT_EQ(texts[u"CompanyName"], u"Ostrel");
  EXPECT_EQ(texts[u"FileDescription"], u"Ostrel Setup");
  EXPECT_EQ(texts[u"ProductName"], u"Ostrel");
  EXPECT_EQ(texts[u"PackageCode"], u"{01234567-89AB-CDEF-0123-456789ABCDEF}");
  EXPECT_EQ(texts[u"ProductVersion"], u"1.0.0.7");
}

// ---- what is refused ----

// The file offset of the resource directory of a fixture image.
uint32_t DirectoryOffset(const Bytes& bytes) {
  PeFile image = Image(bytes);
  uint32_t rva, size;
  PeDirectory(image, kPeDirectoryResource, &rva, &size);
  return uint32_t(PeBytesAt(image, rva, 16) - image.bytes.data());
}

// An input that must be refused, and a part of the message that says why.
struct BadInput {
  const char* what;
  Bytes data;
  const char* why;
};

Bytes Patched(Bytes bytes, uint32_t offset, uint32_t value) {
  StoreLe32(bytes.data() + offset, value);
  return bytes;
}

// A resource directory whose root lists `count` types that all share one table of `count` names,
// which all share one language table: count * count entries to walk in a small section.
Bytes SharedTables(uint32_t count) {
  uint32_t table = 16 + 8 * count, languages = 2 * table, data = languages + 24;
  Bytes directory(data + 16);
  StoreLe16(directory.data() + 14, uint16_t(count));
  StoreLe16(directory.data() + table + 14, uint16_t(count));
  for (uint32_t k = 0; k < count; ++k) {
    StoreLe32(directory.data() + 16 + 8 * k, k + 1);
    StoreLe32(directory.data() + 20 + 8 * k, 0x80000000 | table);
    StoreLe32(directory.data() + table + 16 + 8 * k, k + 1);
    StoreLe32(directory.data() + table + 20 + 8 * k, 0x80000000 | languages);
  }
  StoreLe16(directory.data() + languages + 14, 1);
  StoreLe32(directory.data() + languages + 20, data);  // a data entry of 0 bytes
  // A runtime whose resource section is big enough, its directory overwritten.
  Bytes image = FixtureBuild(FixtureRuntime({{{u"", 16}, {u"", 1}, {u"", 0}, 0, Bytes(directory.size())}}));
  std::copy(directory.begin(), directory.end(), image.begin() + DirectoryOffset(image));
  return image;
}

std::vector<BadInput> RefusedImages() {
  Bytes runtime = FixtureBuild(FixtureRuntime(SmallResources()));
  uint32_t root = DirectoryOffset(runtime);
  // The root's first entry (type 3) points at its name table; that table's first entry at a
  // language table whose first entry points at a data entry.
  uint32_t names = root + (LoadLe32(runtime.data() + root + 20) & 0x7FFFFFFF);
  uint32_t languages = root + (LoadLe32(runtime.data() + names + 20) & 0x7FFFFFFF);
  uint32_t data = root + LoadLe32(runtime.data() + languages + 20);

  FixtureImage crowded = WithSections(FixtureRuntime(SmallResources()),
                                      {{".text", kFixtureCode, 0x200}, {".rsrc", kFixtureReadOnly, 0, FixtureRole::kResources},
                                       {".data", kFixtureData, 0x200}, {".reloc", kFixtureDiscardable, 0, FixtureRole::kRelocations}});
  crowded.headers_size = 0x178 + 4 * 40;
  std::vector<Resource> damaged = SmallResources();
  damaged.back().data = Bytes(40, 0x41);
  Bytes packaged = runtime;
  StoreLe32(packaged.data() + kPackageMarkerOffset, PackageMarker());
  PackageLocator locator = {0, 0, 0, 0x4000};
  PackageLocatorEncode(&locator, packaged.data() + kPackageLocatorOffset);
  StoreLe32(packaged.data() + kLocatorChecksumOffset, PackageLocatorChecksum(packaged.data() + kPackageLocatorOffset));
  FixtureImage signed_spec = FixtureRuntime(SmallResources());
  signed_spec.certificate_size = 0x100;
  Bytes certificate_inside = FixtureBuild(signed_spec);
  PeFile signed_image = Image(certificate_inside);
  StoreLe32(certificate_inside.data() + signed_image.directories_offset + 8 * kPeDirectorySecurity, 0x400);

  return {
      {"not a PE image", Bytes(0x5000, 0x4D), "PE headers"},
      {"sections out of order", Patched(runtime, 0x178 + 40 + 12, 0x800), "not above"},
      {"raw data beyond the file", Patched(runtime, 0x178 + 40 + 20, 0x7FFFFF00), "outside the file"},
      {"a table that loops back to the root", Patched(runtime, languages + 20, 0x80000000), "deeper than three levels"},
      {"data on the name level", Patched(runtime, names + 20, data - root), "data above the language level"},
      {"a table beyond its section", Patched(runtime, root + 20, 0x80000000 | 0x7FFF0), "outside its section"},
      {"a name beyond its section", Patched(runtime, names + 16, 0x80000000 | 0x7FFF0), "text outside"},
      {"data outside every section", Patched(runtime, data, 0x7FFF0000), "outside the image's sections"},
      {"a resource listed twice", Patched(runtime, root + 24, 3), "twice"},
      {"shared tables that multiply", SharedTables(300), "more than 65536 entries"},
      {"a damaged version resource", FixtureBuild(FixtureRuntime(damaged)), "the version resource"},
      {"no room for another section header", FixtureBuild(crowded), "no room"},
      {"a certificate inside the sections", certificate_inside, "certificate"},
      {"a runtime that carries a package", packaged, "carries a package"},
  };
}

TEST(RuntimeStamp, ImagesItCannotStampAreRefused) {
  std::vector<IconImage> icon = Icon(FixtureIcon({{64, 0xFF000000}}));
  for (const BadInput& r : RefusedImages()) {
    Bytes out;
    RuntimeStampReport report;
    std::string why;
    EXPECT_EQ(RuntimeStampImage(r.data, ProductStamp(&icon), &out, &report, &why), uint32_t(ERROR_BAD_EXE_FORMAT))
        << r.what;
    EXPECT_NE(why.find(r.why), std::string::npos) << r.what << ": " << why;
    EXPECT_TRUE(out.empty()) << r.what;
  }
}

// ---- version resources and icon files ----

TEST(VersionBlock, ReadsTextLengthsInBytesAndRefusesBrokenBlocks) {
  VersionBlock block = VersionBlockNew();
  VersionBlockSetText(&block, u"ProductName", u"Probe");
  Bytes data;
  std::string why;
  ASSERT_EQ(VersionBlockWrite(block, &data, &why), 0u);
  // The string's value length as a writer that counts bytes would store it.
  Bytes key = {'P', 0, 'r', 0, 'o', 0, 'd', 0, 'u', 0, 'c', 0, 't', 0, 'N', 0};
  size_t at = std::search(data.begin(), data.end(), key.begin(), key.end()) - data.begin() - 6;
  ASSERT_LT(at, data.size());
  Bytes bytes_counted = data;
  StoreLe16(bytes_counted.data() + at + 2, 12);
  VersionBlock read;
  ASSERT_EQ(VersionBlockRead(bytes_counted, &read, &why), 0u) << why;
  EXPECT_EQ(VersionBlockTexts(read).at(0).value, u"Probe");

  const BadInput kBroken[] = {
      {"cut short", Bytes(data.begin(), data.begin() + 4), "cut short"},
      {"longer than its data", Patched(data, 0, uint32_t(data.size() + 8) | 0x00340000u), "leaves its parent"},
      {"a child longer than its parent", Patched(data, at, 0x000A7FFF), "leaves its parent"},
      {"another root key", Patched(data, 6, 0x00540058), "VS_VERSION_INFO"},
      {"no fixed part", Patched(data, 40, 0), "fixed file information"},
  };
  for (const auto& b : kBroken) {
    EXPECT_EQ(VersionBlockRead(b.data, &read, &why), uint32_t(ERROR_BAD_EXE_FORMAT)) << b.what;
    EXPECT_NE(why.find(b.why), std::string::npos) << b.what << ": " << why;
  }
}

TEST(IconFile, ChecksEveryImageAgainstItsEntry) {
  Bytes good = FixtureIconWithPng(kIconImages, 256);
  std::vector<IconImage> images = Icon(good);
  ASSERT_EQ(images.size(), 4u);
  EXPECT_EQ(images[1].width, 32u);
  EXPECT_EQ(images[1].bit_count, 32u);
  EXPECT_EQ(images[3].width, 0u) << "256 pixels";
  EXPECT_EQ(images[3].data.size(), 56u);

  uint32_t first = 6 + 16 * 4;  // the first bitmap's offset
  const BadInput kBad[] = {
      {"too small", Bytes(good.begin(), good.begin() + 5), "6 bytes at least"},
      {"a cursor", Patched(good, 0, 0x00020000), "not an icon file"},
      {"no image", Patched(good, 2, 0x00000001), "no image"},
      {"cut inside its list", Bytes(good.begin(), good.begin() + 40), "inside its list"},
      {"an image beyond the end", Bytes(good.begin(), good.end() - 1), "image 4 of 4 ends beyond the file"},
      {"an empty image", Patched(good, 6 + 8, 0), "image 1 of 4 is empty"},
      {"an entry of another size", Patched(good, 6, 0x00010000 | (24 << 8) | 24), "another size"},
      {"a bitmap with 7 bits per pixel", Patched(good, first + 12, 0x00070001), "7 bits per pixel"},
      {"a compressed bitmap", Patched(good, first + 16, 1), "compressed"},
      {"a bitmap short of pixels", Patched(good, 6 + 8, 40 + 16 * 16 * 4), "fewer pixel bytes"},
      {"a PNG of another size", Patched(good, good.size() - 56 + 16, 0x00020000), "PNG image of another size"},
  };
  for (const auto& b : kBad) {
    std::string why;
    EXPECT_EQ(IconFileRead(b.data, &images, &why), uint32_t(ERROR_INVALID_DATA)) << b.what;
    EXPECT_NE(why.find(b.why), std::string::npos) << b.what << ": " << why;
  }
}

}  // namespace
