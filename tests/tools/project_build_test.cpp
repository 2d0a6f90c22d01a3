// The package builder: projects built into packages and read back with the package reader, every
// output kind, determinism, and a table of faulty projects with the JSON path of each fault.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>

#include <nlohmann/json.hpp>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "package/package_classify.h"
#include "package/package_reader.h"
#include "runtime/errors.h"
#include "runtime/text.h"
#include "tests/package/package_test_support.h"
#include "tests/tools/pe_fixture.h"
#include "tools/kez/icon_file.h"
#include "tools/kez/output_folder.h"
#include "tools/kez/project_build.h"
#include "tools/kez/project_ids.h"
#include "tools/kez/version_block.h"

using nlohmann::json;

namespace {

struct ReadEntry {
  PackageEntryHeader header;
  Bytes data;
};

struct ReadResult {
  uint32_t error = 0;
  uint32_t volumes = 0;
  PackageVolumeHeader first = {};
  std::vector<ReadEntry> entries;
};

uint32_t PasswordFromHost(PackageReader* reader, uint32_t attempt, uint8_t* buffer, uint32_t* length) {
  const char* password = static_cast<const char*>(reader->host);
  if (!password || attempt > 0) return ERROR_INVALID_PASSWORD;
  *length = uint32_t(strlen(password));
  memcpy(buffer, password, *length);
  return ERROR_SUCCESS;
}

bool NextBeside(PackageReader* reader, uint32_t index, uint32_t last_error, char16_t* path) {
  if (last_error || index == 0) return false;
  PackageVolumePathBeside(reader->path, index, path, path + kPackagePathCapacity - 1);
  return true;
}

// What the reader's volume-opened callback saw.
struct Opened {
  uint32_t volumes = 0;
  PackageVolumeHeader first = {};
};

// Every entry of a package, read with the reader as the runtime would (digests verified).
ReadResult ReadPackage(const std::u16string& path, const uint8_t* code = nullptr, uint64_t set_id = 0,
                       const char* password = nullptr) {
  static Opened* opened;
  Opened seen;
  opened = &seen;
  ReadResult result;
  PackageReader* reader = PackageReaderCreate();
  reader->host = const_cast<char*>(password);
  reader->password_provider = PasswordFromHost;
  reader->next_volume_provider = NextBeside;
  reader->volume_opened = [](PackageReader* r) {
    if (opened->volumes++ == 0) opened->first = r->header;
  };
  result.error = PackageOpen(reader, path.c_str(), code, set_id, kVerifyAlways, nullptr, nullptr);
  while (!result.error) {
    ReadEntry entry;
    uint32_t err = PackageNextEntry(reader, &entry.header);
    if (err == ERROR_HANDLE_EOF) break;
    entry.data.resize(size_t(entry.header.size));
    if (!err && !entry.data.empty()) err = PackageReadData(reader, entry.data.data(), uint32_t(entry.data.size()));
    if (err) result.error = err;
    result.entries.push_back(std::move(entry));
  }
  PackageReaderDestroy(reader);
  result.volumes = seen.volumes;
  result.first = seen.first;
  return result;
}

std::vector<uint64_t> Ids(const ReadResult& r) {
  std::vector<uint64_t> ids;
  for (const ReadEntry& e : r.entries) ids.push_back(e.header.id);
  return ids;
}

uint64_t Named(const char* name) { return ProjectIdFromName(name); }

const std::vector<FixtureIconImage> kIcon = {{16, 0xFF336699}, {32, 0xFF669933}};
const std::vector<Resource> kRuntimeResources = {
    FixtureVersion(0, {{u"ProductName", u"Runtime"}, {u"CompanyName", u"Ostrel"}}, 0x000B000800000000ULL)};

// The version texts of the executable part of a built Setup.exe, and the sizes of its main icon.
struct Identity {
  std::map<std::u16string, std::u16string> texts;
  std::vector<std::pair<uint32_t, uint32_t>> icon;
};

Identity IdentityOf(const std::u16string& setup) {
  Identity identity;
  Bytes bytes = ReadBytes(setup);
  uint64_t offset = 0;
  EXPECT_EQ(PackageClassifyBytes(bytes.data(), kClassifyBytes, false, &offset), kFileIsExecutableWithPackage);
  bytes.resize(size_t(offset));
  PeFile image;
  std::vector<Resource> resources;
  std::string why;
  EXPECT_EQ(PeFileParse(bytes, &image, &why), 0u) << why;
  EXPECT_EQ(ResourcesRead(image, &resources, &why), 0u) << why;
  for (const Resource& r : resources) {
    if (r.type.id == kResourceGroupIcon && identity.icon.empty()) identity.icon = IconGroupSizes(r.data);
    if (r.type.id != kResourceVersion) continue;
    VersionBlock block;
    EXPECT_EQ(VersionBlockRead(r.data, &block, &why), 0u) << why;
    for (const VersionText& text : VersionBlockTexts(block)) identity.texts[text.name] = text.value;
  }
  return identity;
}

class ProjectBuildTest : public ::testing::Test {
 protected:
  TempFolder folder;
  Bytes text = TestData(20000, 1, true), noise = TestData(300000, 2, false), extra = TestData(5000, 3, true);

  void SetUp() override {
    std::filesystem::create_directories(folder.Root() / "in");
    WriteBytes(folder.Path("in/a.txt"), text);
    WriteBytes(folder.Path("in/b.bin"), noise);
    WriteBytes(folder.Path("in/c.txt"), extra);
    WriteBytes(folder.Path("in/support.dll"), TestData(3000, 4, true));
    WriteBytes(folder.Path("in/setup.ico"), FixtureIcon(kIcon));
    WriteBytes(folder.Path("in/empty.txt"), Bytes());
    WriteBytes(folder.Path("in/runtime.exe"), FixtureBuild(FixtureRuntime(kRuntimeResources)));
    Bytes damaged = FixtureIcon(kIcon);
    damaged.resize(damaged.size() - 100);
    WriteBytes(folder.Path("in/damaged.ico"), damaged);
    WriteBytes(folder.Path("in/tiny.ico"), Bytes(4));
  }

  // A stand-alone package with two options (one of its own package), a folder, three files, a
  // support file, an icon and a read-me.
  static json Project() {
    return json::parse(R"({
      "output": {"package": "Setup.kez", "method": "lzma2", "level": 1},
      "icon": "in/setup.ico",
      "readme": "in/a.txt",
      "objects": [
        {"tag": "inst", "name": "installation", "fields": {"first_sequence": "@install", "options": ["@main", "@extras"]}},
        {"tag": "aseq", "name": "install", "fields": {"name": "Install", "actions": ["@files"]}},
        {"tag": "a115", "name": "files", "fields": {"name": "Install files"}},
        {"tag": "cmp9", "name": "main", "fields": {"name": "Main"}},
        {"tag": "cmp9", "name": "extras", "fields": {"name": "Extras", "flags": "0x10"}},
        {"tag": "fldr", "name": "app", "fields": {"variable": "AppFolder"}},
        {"tag": "file", "name": "a", "source": "in/a.txt", "fields": {"folder": "@app", "name": "a.txt", "options": ["@main"]}},
        {"tag": "file", "name": "b", "source": "in/b.bin", "fields": {"folder": "@app", "name": "b.bin"}},
        {"tag": "file", "name": "c", "source": "in/c.txt", "fields": {"folder": "@app", "options": ["@extras"]}},
        {"tag": "stof", "name": "support", "source": "in/support.dll"}
      ]})");
  }

  uint32_t Build(const json& project, std::string* message, const std::string& out = "out",
                 const std::u16string& runtime = u"") {
    ProjectBuildOptions options;
    options.output = folder.Path(out);
    options.runtime = runtime;
    options.quiet = true;
    return ProjectBuild(project.dump(), folder.Root().u16string(), options, message);
  }

  void BuildOk(const json& project, const std::string& out = "out", const std::u16string& runtime = u"") {
    std::string message;
    ASSERT_EQ(Build(project, &message, out, runtime), 0u) << message;
  }

  // Builds into "out" (which must succeed) and returns the warnings given.
  std::vector<std::string> BuildWarnings(const json& project) {
    std::vector<std::string> warnings;
    ProjectBuildOptions options;
    options.output = folder.Path("out");
    options.quiet = true;
    options.warning = [](const char* line, void* context) {
      static_cast<std::vector<std::string>*>(context)->push_back(line);
    };
    options.warning_context = &warnings;
    std::string message;
    EXPECT_EQ(ProjectBuild(project.dump(), folder.Root().u16string(), options, &message), 0u) << message;
    return warnings;
  }

  // The database entry of a package, loaded.
  static ObjectTable* Database(const ReadEntry& entry) {
    BufferedFile stream{};
    BufferedOpenMemory(&stream, entry.data.data(), entry.data.size());
    ObjectTable* table = nullptr;
    EXPECT_EQ(DatabaseRead(&stream, 0, &table), 0u);
    BufferedClose(&stream);
    return table;
  }
};

TEST_F(ProjectBuildTest, MainPackageHoldsDatabaseFixedEntriesAndPayloadInOrder) {
  BuildOk(Project());
  ReadResult r = ReadPackage(folder.Path("out/Setup.kez"));
  ASSERT_EQ(r.error, 0u);
  // Database, support file, icon, read-me, then the payload of the main option and of no option in
  // the linked file list's order: by key (slot 29), which is the object's name unless the project
  // gives one ("a" before "b").
  std::vector<uint64_t> expected = {kEntryIdDatabase, Named("support"), kEntryIdIcon, kEntryIdReadme, Named("a"),
                                    Named("b")};
  EXPECT_EQ(Ids(r), expected);
  EXPECT_TRUE(r.entries[4].data == text);
  EXPECT_TRUE(r.entries[5].data == noise);

  ClassRegistryRegisterSetupClasses();
  ObjectTable* table = Database(r.entries[0]);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(DatabaseHeaderU32(table, kHeaderSupportFiles), 1u);
  EXPECT_EQ(DatabaseHeaderU64(table, kHeaderSaveTime), 0x01DA3C457689C000ULL);
  SetupObject* inst = ObjectTableFind(table, TagOf("inst"), Named("installation"));
  ASSERT_NE(inst, nullptr);
  EXPECT_EQ(SlotU32(inst, 12), 0x10000000u);  // payload in the package
  uint64_t sequence = 0;
  BuilderGetU64(inst, 8, &sequence);
  EXPECT_EQ(sequence, Named("install"));
  // The file's fields come from its source.
  SetupObject* b = ObjectTableFind(table, TagOf("file"), Named("b"));
  ASSERT_NE(b, nullptr);
  uint64_t size = 0, written = 0;
  BuilderGetU64(b, 20, &size);
  BuilderGetU64(b, 38, &written);
  EXPECT_EQ(size, noise.size());
  EXPECT_EQ(written, r.entries[5].header.last_write_time);
  const char16_t* key = nullptr;
  BuilderGetText(ObjectTableFind(table, TagOf("file"), Named("a")), 29, &key);
  EXPECT_EQ(std::u16string(key), u"a") << "the key defaults to the object's name";
  const char16_t* name = nullptr;
  BuilderGetText(ObjectTableFind(table, TagOf("stof"), Named("support")), 8, &name);
  EXPECT_EQ(std::u16string(name), u"support.dll");
  ObjectTableDestroy(table);
}

TEST_F(ProjectBuildTest, AGivenKeyOrdersThePayload) {
  json project = Project();
  project["objects"][7]["fields"]["key"] = "0first";  // file "b"
  BuildOk(project);
  ReadResult r = ReadPackage(folder.Path("out/Setup.kez"));
  ASSERT_EQ(r.error, 0u);
  std::vector<uint64_t> expected = {kEntryIdDatabase, Named("support"), kEntryIdIcon, kEntryIdReadme, Named("b"),
                                    Named("a")};
  EXPECT_EQ(Ids(r), expected);
}

TEST_F(ProjectBuildTest, OptionPackageCarriesTheOptionsIdAndFiles) {
  BuildOk(Project());
  ReadResult r = ReadPackage(folder.Path("out/Extras.kez"));
  ASSERT_EQ(r.error, 0u);
  EXPECT_EQ(r.first.set_identifier, Named("extras"));
  EXPECT_EQ(Ids(r), std::vector<uint64_t>{Named("c")});
  EXPECT_TRUE(r.entries[0].data == extra);
  // Another option's id, as the runtime would require for another option, is refused.
  EXPECT_EQ(ReadPackage(folder.Path("out/Extras.kez"), nullptr, Named("main")).error, ERROR_INVALID_TARGET_HANDLE);
}

TEST_F(ProjectBuildTest, ExecutableWithPackageSplitIntoThreeOrMoreVolumes) {
  json project = Project();
  project["output"] = {{"package", "Setup.exe"}, {"runtime", "in/runtime.exe"}, {"method", "zlib"},
                       {"volume_size", 100000}};
  BuildOk(project);
  PackageFileKind kind;
  uint64_t offset = 0;
  ASSERT_EQ(PackageClassifyFile(folder.Path("out/Setup.exe").c_str(), false, &kind, &offset), 0u);
  EXPECT_EQ(kind, kFileIsExecutableWithPackage);
  EXPECT_GE(offset, 0x4000u);
  EXPECT_TRUE(Exists(folder.Path("out/Disk0002.kez")));
  EXPECT_TRUE(Exists(folder.Path("out/Disk0003.kez")));
  ReadResult r = ReadPackage(folder.Path("out/Setup.exe"));
  ASSERT_EQ(r.error, 0u);
  EXPECT_GE(r.volumes, 3u);
  EXPECT_EQ(r.first.method, kPackageMethodZlib);
  ASSERT_EQ(r.entries.size(), 6u);
  EXPECT_TRUE(r.entries[5].data == noise);
}

TEST_F(ProjectBuildTest, RuntimeOfTheOptionsReplacesTheProjects) {
  json project = Project();
  project["output"] = {{"package", "Setup.exe"}, {"runtime", "in/missing.exe"}};
  BuildOk(project, "out", folder.Path("in/runtime.exe"));
  EXPECT_EQ(ReadPackage(folder.Path("out/Setup.exe")).error, 0u);
}

TEST_F(ProjectBuildTest, ExternalSetHoldsThePayload) {
  json project = Project();
  project["output"] = {{"package", "Setup.exe"}, {"runtime", "in/runtime.exe"}, {"payload", "external"},
                       {"method", "lzma"}, {"volume_size", 150000}};
  BuildOk(project);
  ReadResult main = ReadPackage(folder.Path("out/Setup.exe"));
  ASSERT_EQ(main.error, 0u);
  EXPECT_EQ(main.volumes, 1u);
  EXPECT_EQ(Ids(main), (std::vector<uint64_t>{kEntryIdDatabase, Named("support"), kEntryIdIcon, kEntryIdReadme}));
  ClassRegistryRegisterSetupClasses();
  ObjectTable* table = Database(main.entries[0]);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(SlotU32(ObjectTableFind(table, TagOf("inst"), Named("installation")), 12), 0x20000000u);
  uint8_t code[16];
  memcpy(code, table->header + kHeaderPackageCode, 16);
  ObjectTableDestroy(table);

  // Opened as the runtime opens it: the database's package code, set identifier 0.
  ReadResult set = ReadPackage(folder.Path("out/Disk0001.kez"), code, 0);
  ASSERT_EQ(set.error, 0u);
  EXPECT_GE(set.volumes, 2u);
  EXPECT_EQ(Ids(set), (std::vector<uint64_t>{Named("a"), Named("b")}));
  EXPECT_TRUE(set.entries[1].data == noise);
}

TEST_F(ProjectBuildTest, DownloadedMainPackageCarriesTheInstallationsId) {
  json project = Project();
  project["output"] = {{"package", "Setup.kez"}, {"payload", "download"}};
  BuildOk(project);
  ReadResult r = ReadPackage(folder.Path("out/_KesMain.kez"), nullptr, Named("installation"));
  ASSERT_EQ(r.error, 0u);
  EXPECT_EQ(Ids(r), (std::vector<uint64_t>{Named("a"), Named("b")}));
  EXPECT_EQ(ReadPackage(folder.Path("out/Setup.kez")).entries.size(), 4u);
}

TEST_F(ProjectBuildTest, EncipheredPackagesOpenOnlyWithThePassword) {
  json project = Project();
  project["output"]["password"] = "s3cret";
  project["output"]["mask_password"] = true;
  BuildOk(project);
  for (const char* name : {"out/Setup.kez", "out/Extras.kez"}) {
    EXPECT_EQ(ReadPackage(folder.Path(name)).error, ERROR_INVALID_PASSWORD) << name;
    EXPECT_EQ(ReadPackage(folder.Path(name), nullptr, 0, "wrong").error, ERROR_INVALID_PASSWORD) << name;
    ReadResult r = ReadPackage(folder.Path(name), nullptr, 0, "s3cret");
    ASSERT_EQ(r.error, 0u) << name;
    EXPECT_EQ(r.first.flags, kVolumeEnciphered | kVolumeMaskPassword);
  }
}

TEST_F(ProjectBuildTest, TwoBuildsAreByteIdentical) {
  json project = Project();
  project["output"]["volume_size"] = 100000;
  project["header"] = {{"save_time", "0x01D0000000000000"}};
  BuildOk(project, "one");
  BuildOk(project, "two");
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(folder.Root() / "one"))
    names.push_back(item.path().filename().u8string());
  EXPECT_GE(names.size(), 4u);  // Setup.kez, Disk0002.kez, Disk0003.kez, ..., Extras.kez
  for (const std::string& name : names)
    EXPECT_TRUE(ReadBytes(folder.Path("one/" + name)) == ReadBytes(folder.Path("two/" + name))) << name;
}

TEST_F(ProjectBuildTest, RebuildReplacesTheWholeOutputFolder) {
  json split = Project();
  split["output"]["volume_size"] = 100000;
  BuildOk(split);
  ASSERT_TRUE(Exists(folder.Path("out/Disk0002.kez")));
  WriteBytes(folder.Path("out/notes.txt"), Bytes(3, 2));
  BuildOk(Project());
  EXPECT_EQ(ReadPackage(folder.Path("out/Setup.kez")).error, 0u);
  EXPECT_FALSE(Exists(folder.Path("out/Disk0002.kez"))) << "an earlier build's volume does not linger";
  EXPECT_FALSE(Exists(folder.Path("out/notes.txt")));
  EXPECT_FALSE(Exists(folder.Path("out.kez-build")));
  EXPECT_FALSE(Exists(folder.Path("out.kez-old")));
}

TEST_F(ProjectBuildTest, FailedMoveLeavesTheOldOutput) {
  BuildOk(Project());
  Bytes before = ReadBytes(folder.Path("out/Setup.kez"));
  // The new output cannot take the folder's place (the earlier output was moved aside already).
  OutputFolderCalls saved = *OutputFolderSystem();
  OutputFolderSystem()->rename = [](const std::filesystem::path& from, const std::filesystem::path& to,
                                    std::error_code& code) {
    if (from.filename().u8string().find(".kez-build") != std::string::npos) {
      code = std::make_error_code(std::errc::permission_denied);
      return;
    }
    std::filesystem::rename(from, to, code);
  };
  json changed = Project();
  changed["objects"][3]["fields"]["name"] = "Core";
  std::string message;
  uint32_t err = Build(changed, &message);
  *OutputFolderSystem() = saved;
  EXPECT_EQ(err, uint32_t(ERROR_ACCESS_DENIED)) << message;
  EXPECT_NE(message.find("cannot move the new output"), std::string::npos) << message;
  EXPECT_TRUE(ReadBytes(folder.Path("out/Setup.kez")) == before);
  EXPECT_TRUE(Exists(folder.Path("out/Extras.kez")));
  EXPECT_FALSE(Exists(folder.Path("out.kez-build")));
  EXPECT_FALSE(Exists(folder.Path("out.kez-old")));
}

TEST_F(ProjectBuildTest, OutputFolderThatHoldsAnInputIsRefused) {
  for (const char* output : {"", "in", "in/"}) {
    std::string message;
    EXPECT_EQ(Build(Project(), &message, output), uint32_t(ERROR_INVALID_PARAMETER)) << output;
    EXPECT_NE(message.find("holds the input"), std::string::npos) << message;
    EXPECT_TRUE(Exists(folder.Path("in/a.txt")));
  }
}

TEST_F(ProjectBuildTest, SetupExeCarriesTheProductsVersionResourceAndIcon) {
  json project = Project();
  project["output"] = {{"package", "Setup.exe"}, {"runtime", "in/runtime.exe"}, {"method", "zlib"}};
  project["company"] = "Probe Company";
  project["file_description"] = "Probe Setup";
  project["header"] = {{"package_code", "{6B1D0F5A-3C2E-4F7B-9A10-2D5E8C7F4B31}"}};
  project["objects"][0]["fields"]["product"] = "Probe Product";
  project["objects"][0]["fields"]["version_high"] = "0x00030001";
  project["objects"][0]["fields"]["version_low"] = "0x00040002";
  EXPECT_TRUE(BuildWarnings(project).empty());
  Identity identity = IdentityOf(folder.Path("out/Setup.exe"));
  EXPECT_EQ(identity.texts[u"ProductName"], u"Probe Product");
  EXPECT_EQ(identity.texts[u"PackageCode"], u"{6B1D0F5A-3C2E-4F7B-9A10-2D5E8C7F4B31}");
  EXPECT_EQ(identity.texts[u"ProductVersion"], u"3.1.4.2");
  EXPECT_EQ(identity.texts[u"FileVersion"], u"3.1.4.2");
  EXPECT_EQ(identity.texts[u"CompanyName"], u"Probe Company");
  EXPECT_EQ(identity.texts[u"FileDescription"], u"Probe Setup");
  EXPECT_EQ(identity.icon, (std::vector<std::pair<uint32_t, uint32_t>>{{16, 16}, {32, 32}}));
  ReadResult r = ReadPackage(folder.Path("out/Setup.exe"));
  ASSERT_EQ(r.error, 0u);
  EXPECT_EQ(Ids(r).size(), 6u);
}

TEST_F(ProjectBuildTest, RuntimeWithDebugInformationBuildsWithAWarning) {
  FixtureImage debug = FixtureRuntime(kRuntimeResources);
  debug.symbols = true;
  debug.sections.push_back({".debug_info", kFixtureDiscardable, 0x1000});
  WriteBytes(folder.Path("in/debug.exe"), FixtureBuild(debug));
  json project = Project();
  project["output"] = {{"package", "Setup.exe"}, {"runtime", "in/debug.exe"}};
  std::vector<std::string> warnings = BuildWarnings(project);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("carries debug information"), std::string::npos) << warnings[0];
}

TEST_F(ProjectBuildTest, RuntimeThatCannotBeStampedFailsTheBuild) {
  Bytes packaged = ReadBytes(folder.Path("in/runtime.exe"));
  PackageLocator locator = {0, 0, 0, 0x4000};
  StoreLe32(packaged.data() + kPackageMarkerOffset, PackageMarker());
  PackageLocatorEncode(&locator, packaged.data() + kPackageLocatorOffset);
  StoreLe32(packaged.data() + kLocatorChecksumOffset, PackageLocatorChecksum(packaged.data() + kPackageLocatorOffset));
  WriteBytes(folder.Path("in/built.exe"), packaged);
  json project = Project();
  project["output"] = {{"package", "Setup.exe"}, {"runtime", "in/built.exe"}};
  std::string message;
  EXPECT_EQ(Build(project, &message), uint32_t(ERROR_BAD_EXE_FORMAT)) << message;
  EXPECT_NE(message.find("carries a package already"), std::string::npos) << message;
  EXPECT_FALSE(Exists(folder.Path("out")));
}

TEST_F(ProjectBuildTest, PackageCodeIsDerivedFromTheProjectWhenNotGiven) {
  BuildOk(Project(), "one");
  json changed = Project();
  changed["objects"][3]["fields"]["name"] = "Core";
  BuildOk(changed, "two");
  ReadResult one = ReadPackage(folder.Path("one/Setup.kez")), two = ReadPackage(folder.Path("two/Setup.kez"));
  EXPECT_NE(memcmp(one.first.package_code, two.first.package_code, 16), 0);
  EXPECT_EQ(one.first.package_code[7] >> 4, 8);  // a version-8 GUID
}

TEST_F(ProjectBuildTest, SlotNumbersAndExplicitIdsWork) {
  json project = Project();
  project["objects"][3] = {{"tag", "cmp9"}, {"id", "0x77"}, {"name", "main"}, {"fields", {{"8", {{"type", "text"}, {"value", "Main"}}}}}};
  project["objects"][5]["fields"] = {{"18", "AppFolder"}, {"parent", "0"}};
  BuildOk(project);
  ReadResult r = ReadPackage(folder.Path("out/Setup.kez"));
  ASSERT_EQ(r.error, 0u);
  ClassRegistryRegisterSetupClasses();
  ObjectTable* table = Database(r.entries[0]);
  const U64Array* options = nullptr;
  BuilderGetU64List(ObjectTableFind(table, TagOf("inst"), Named("installation")), 23, &options);
  ASSERT_EQ(options->count, 2u);
  EXPECT_EQ(options->items[0], 0x77u);
  ObjectTableDestroy(table);
}

TEST_F(ProjectBuildTest, ArchitectureMasksLeftOutMeanEveryArchitecture) {
  json project = Project();
  project["objects"][4]["fields"]["architecture_mask"] = "0x100";
  project["objects"][4]["fields"]["capability_mask"] = 0;
  BuildOk(project);
  ReadResult r = ReadPackage(folder.Path("out/Setup.kez"));
  ASSERT_EQ(r.error, 0u);
  ClassRegistryRegisterSetupClasses();
  ObjectTable* table = Database(r.entries[0]);
  SetupObject* action = ObjectTableFind(table, TagOf("a115"), Named("files"));
  EXPECT_EQ(SlotU32(action, 9), 0x301u);
  EXPECT_EQ(SlotU32(action, 10), 0x301u);
  SetupObject* given = ObjectTableFind(table, TagOf("cmp9"), Named("extras"));
  EXPECT_EQ(SlotU32(given, 23), 0x100u);
  EXPECT_EQ(SlotU32(given, 24), 0u) << "a mask the project gives is kept, 0 too";
  EXPECT_EQ(SlotU32(ObjectTableFind(table, TagOf("cmp9"), Named("main")), 23), 0x301u);
  ObjectTableDestroy(table);
}

TEST_F(ProjectBuildTest, DialogsAreCentredUnlessTheyArePlacedAndTheirFieldsHaveNames) {
  json project = Project();
  project["objects"].push_back({{"tag", "c003"}, {"name", "agree"},
                                {"fields", {{"control_id", 1041}, {"variable", "Agreed"}, {"checked_value", "1"}}}});
  project["objects"].push_back({{"tag", "aseq"}, {"name", "on_agree"}, {"fields", {{"event_key", "0x04110007"}}}});
  project["objects"].push_back({{"tag", "dlg "}, {"name", "license"},
                                {"fields", {{"template", 66}, {"controls", {"@agree"}}, {"events", {"@on_agree"}}}}});
  project["objects"].push_back({{"tag", "dlg "}, {"name", "placed"}, {"fields", {{"template", 75}, {"placement", "0x00200050"}}}});
  BuildOk(project);
  ReadResult r = ReadPackage(folder.Path("out/Setup.kez"));
  ASSERT_EQ(r.error, 0u);
  ClassRegistryRegisterSetupClasses();
  ObjectTable* table = Database(r.entries[0]);
  SetupObject* license = ObjectTableFind(table, TagOf("dlg "), Named("license"));
  EXPECT_EQ(SlotInt(license, 13), -1) << "centred on the work area";
  EXPECT_EQ(SlotU32(license, 12), 66u);
  EXPECT_EQ(SlotView<U64Array>(license, 8)->items[0], Named("agree"));
  EXPECT_EQ(SlotU32(ObjectTableFind(table, TagOf("aseq"), Named("on_agree")), 11), 0x04110007u);
  EXPECT_EQ(SlotU32(ObjectTableFind(table, TagOf("dlg "), Named("placed")), 13), 0x00200050u);
  EXPECT_EQ(std::u16string(SlotText(ObjectTableFind(table, TagOf("c003"), Named("agree")), 16)), u"1");
  ObjectTableDestroy(table);
}

TEST_F(ProjectBuildTest, EmptyFileIsAnEmptyEntry) {
  json project = Project();
  project["objects"][6]["source"] = "in/empty.txt";
  BuildOk(project);
  ReadResult r = ReadPackage(folder.Path("out/Setup.kez"));
  ASSERT_EQ(r.error, 0u);
  EXPECT_EQ(r.entries[4].header.id, Named("a"));
  EXPECT_EQ(r.entries[4].header.size, 0u);
}

// ---- faulty projects ----

struct BadProject {
  const char* what;
  const char* patch;     // JSON merge patch applied to Project(), or a whole text starting with "!"
  const char* path;      // expected at the start of the message
  uint32_t error;
};

const BadProject kBadProjects[] = {
    {"not JSON", "!{\"output\": ", "the project is not valid JSON", 13},
    {"unknown top-level member", R"({"outputs": {}})", "outputs: unknown member", 13},
    {"unknown output member", R"({"output": {"compression": "lzma"}})", "output.compression: unknown member", 13},
    {"unknown method", R"({"output": {"method": "bzip2"}})", "output.method:", 13},
    {"level out of range", R"({"output": {"level": 10}})", "output.level:", 13},
    {"level of the wrong type", R"({"output": {"level": true}})", "output.level:", 13},
    {"dictionary for zlib", R"({"output": {"method": "zlib", "dictionary_size": 65536}})", "output.dictionary_size:", 13},
    {"dictionary too small", R"({"output": {"dictionary_size": 100}})", "output.dictionary_size:", 13},
    {"volume too small", R"({"output": {"volume_size": 64}})", "output.volume_size:", 13},
    {"payload place", R"({"output": {"payload": "cloud"}})", "output.payload:", 13},
    {"package with a folder", R"({"output": {"package": "sub/Setup.kez"}})", "output.package:", 13},
    {"package named like a volume", R"({"output": {"package": "disk0001.kez"}})", "output.package:", 13},
    {"executable without runtime", R"({"output": {"package": "Setup.exe"}})", "output.runtime:", 13},
    {"missing runtime", R"({"output": {"package": "Setup.exe", "runtime": "in/none.exe"}})", "output.runtime:", 2},
    {"password too long", R"({"output": {"password": "0123456789012345678901234567890123456789012345678901234567890123"}})",
     "output.password:", 13},
    {"password outside Latin-1", R"({"output": {"password": "pass\u20ac"}})", "output.password:", 13},
    {"mask flag not a boolean", R"({"output": {"mask_password": 1}})", "output.mask_password:", 13},
    {"missing icon", R"({"icon": "in/none.ico"})", "icon:", 2},
    {"icon is a folder", R"({"icon": "in"})", "icon:", 13},
    {"damaged icon", R"({"icon": "in/damaged.ico"})", "icon:", 13},
    {"icon file too small", R"({"icon": "in/tiny.ico"})", "icon:", 13},
    {"empty company", R"({"company": ""})", "company:", 13},
    {"description not a text", R"({"file_description": 5})", "file_description:", 13},
    {"readme not a text", R"({"readme": 5})", "readme:", 13},
    {"header member", R"({"header": {"packagecode": "x"}})", "header:", 13},
    {"bad package code", R"({"header": {"package_code": "{1234}"}})", "header:", 13},
    {"installation time", R"({"header": {"installation_time": 5}})", "header.installation_time:", 13},
    {"support file count", R"({"header": {"support_files": 3}})", "header.support_files:", 13},
};

// Faults inside the objects: replaces objects[index] (or appends with index -1).
struct BadObject {
  const char* what;
  int index;
  const char* object;
  const char* path;
  uint32_t error;
};

const BadObject kBadObjects[] = {
    {"not an object", 2, R"("a115")", "objects[2]:", 13},
    {"unknown tag", 2, R"({"tag": "a999", "name": "files"})", "objects[2].tag:", 13},
    {"tag of the wrong type", 2, R"({"tag": 5, "name": "files"})", "objects[2].tag:", 13},
    {"no tag", 2, R"({"name": "files"})", "objects[2]:", 13},
    {"neither id nor name", 2, R"({"tag": "a115"})", "objects[2]:", 13},
    {"unknown object member", 2, R"({"tag": "a115", "name": "files", "colour": 1})", "objects[2].colour:", 13},
    {"duplicate name", 2, R"({"tag": "a115", "name": "install"})", "objects[2].name:", 13},
    {"duplicate id", -1, R"({"tag": "a000", "id": "0x5", "name": "x"})", "", 13},  // patched below
    {"reserved id", 2, R"({"tag": "a115", "id": "0xFFFFFFFFFFFF0002", "name": "files"})", "objects[2].id:", 13},
    {"id of the wrong type", 2, R"({"tag": "a115", "id": [1], "name": "files"})", "objects[2].id:", 13},
    {"flags out of range", 2, R"({"tag": "a115", "name": "files", "flags": "0x100000000"})", "objects[2].flags:", 13},
    {"unknown field name", 2, R"({"tag": "a115", "name": "files", "fields": {"colour": 1}})", "objects[2].fields.colour:", 13},
    {"slot without a field", 2, R"({"tag": "a115", "name": "files", "fields": {"13": 1}})", "objects[2].fields.13:", 13},
    {"slot given twice", 2, R"({"tag": "a115", "name": "files", "fields": {"name": "x", "14": "y"}})", "objects[2].fields.", 13},
    {"field of the wrong type", 2, R"({"tag": "a115", "name": "files", "fields": {"name": 5}})", "objects[2].fields.name:", 13},
    {"declared type differs", 2, R"({"tag": "a115", "name": "files", "fields": {"flags": {"type": "text", "value": "x"}}})",
     "objects[2].fields.flags:", 13},
    {"dangling reference", 1, R"({"tag": "aseq", "name": "install", "fields": {"actions": ["@files", "@nothing"]}})",
     "objects[1].fields.actions[1]:", 13},
    {"reference of the wrong class", 0, R"({"tag": "inst", "name": "installation", "fields": {"first_sequence": "@files"}})",
     "objects[0].fields.first_sequence:", 13},
    {"folder reference to a file", 6, R"({"tag": "file", "name": "a", "source": "in/a.txt", "fields": {"folder": "@b"}})",
     "objects[6].fields.folder:", 13},
    {"child option that is no option", 3, R"({"tag": "cmp9", "name": "main", "fields": {"children": ["@app"]}})",
     "objects[3].fields.children[0]:", 13},
    {"missing source", 6, R"({"tag": "file", "name": "a", "source": "in/none.txt"})", "objects[6].source:", 2},
    {"source of another class", 2, R"({"tag": "a115", "name": "files", "source": "in/a.txt"})", "objects[2].source:", 13},
    {"file without source", 6, R"({"tag": "file", "name": "a"})", "objects[6]:", 13},
    {"external file with source", 6, R"({"tag": "file", "name": "a", "source": "in/a.txt", "fields": {"file_flags": "0x80"}})",
     "objects[6].source:", 13},
    {"support file without source", 9, R"({"tag": "stof", "name": "support"})", "objects[9]:", 13},
    {"second inst", -1, R"({"tag": "inst", "name": "other"})", "objects[10]:", 13},
    {"no inst", 0, R"({"tag": "a000", "name": "installation"})", "objects:", 13},
    {"payload bits that disagree", 0, R"({"tag": "inst", "name": "installation", "fields": {"flags": "0x20000000"}})",
     "objects[0].fields.flags:", 13},
    {"own-package option without name", 4, R"({"tag": "cmp9", "name": "extras", "fields": {"flags": "0x10"}})",
     "objects[4].fields.name:", 13},
    {"own-package option named like the main package", 4,
     R"({"tag": "cmp9", "name": "extras", "fields": {"name": "Setup", "flags": "0x10"}})", "objects[4].fields.name:", 13},
    {"two options with one package name", -1, R"({"tag": "cmp9", "name": "more", "fields": {"name": "EXTRAS", "flags": "0x10"}})",
     "objects[10].fields.name:", 13},
};

TEST_F(ProjectBuildTest, FaultyProjectsNameThePathAndLeaveNothing) {
  for (const BadProject& bad : kBadProjects) {
    std::string text;
    if (bad.patch[0] == '!') {
      text = bad.patch + 1;
    } else {
      json project = Project();
      project.merge_patch(json::parse(bad.patch));
      text = project.dump();
    }
    ProjectBuildOptions options;
    options.output = folder.Path("out");
    options.quiet = true;
    std::string message;
    EXPECT_EQ(ProjectBuild(text, folder.Root().u16string(), options, &message), bad.error) << bad.what << ": " << message;
    EXPECT_EQ(message.rfind(bad.path, 0), 0u) << bad.what << ": " << message;
    EXPECT_FALSE(Exists(folder.Path("out"))) << bad.what;
    EXPECT_FALSE(Exists(folder.Path("out.kez-build"))) << bad.what;
  }
  for (const BadObject& bad : kBadObjects) {
    json project = Project();
    json object = json::parse(bad.object);
    std::string path = bad.path;
    if (std::string(bad.what) == "duplicate id") {
      project["objects"][2]["id"] = "0x5";
      path = "objects[10].id:";
    }
    if (bad.index < 0)
      project["objects"].push_back(object);
    else
      project["objects"][bad.index] = object;
    std::string message;
    EXPECT_EQ(Build(project, &message), bad.error) << bad.what << ": " << message;
    EXPECT_EQ(message.rfind(path, 0), 0u) << bad.what << ": " << message;
    EXPECT_FALSE(Exists(folder.Path("out"))) << bad.what;
  }
}

TEST_F(ProjectBuildTest, FailedBuildLeavesTheOutputAsItWas) {
  // A runtime that is no PE image fails the build after the project has been read.
  WriteBytes(folder.Path("in/bad.exe"), Bytes(0x5000, 0x4D));
  std::filesystem::create_directories(folder.Root() / "out");
  WriteBytes(folder.Path("out/Setup.exe"), Bytes(10, 1));
  json project = Project();
  project["output"] = {{"package", "Setup.exe"}, {"runtime", "in/bad.exe"}};
  std::string message;
  EXPECT_EQ(Build(project, &message), uint32_t(ERROR_BAD_EXE_FORMAT)) << message;
  EXPECT_NE(message.find("Setup.exe"), std::string::npos) << message;
  EXPECT_TRUE(ReadBytes(folder.Path("out/Setup.exe")) == Bytes(10, 1));
  EXPECT_FALSE(Exists(folder.Path("out/Extras.kez")));
  EXPECT_FALSE(Exists(folder.Path("out.kez-build")));
}

TEST_F(ProjectBuildTest, ProgressLinesGoToTheSink) {
  std::vector<std::string> lines;
  ProjectBuildOptions options;
  options.output = folder.Path("out");
  options.progress = [](const char* line, void* context) { static_cast<std::vector<std::string>*>(context)->push_back(line); };
  options.progress_context = &lines;
  std::string message;
  ASSERT_EQ(ProjectBuild(Project().dump(), folder.Root().u16string(), options, &message), 0u) << message;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("wrote Setup.kez: 6 entries, ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("wrote Extras.kez: 1 entries, ", 0), 0u) << lines[1];
  lines.clear();
  options.quiet = true;
  ASSERT_EQ(ProjectBuild(Project().dump(), folder.Root().u16string(), options, &message), 0u) << message;
  EXPECT_TRUE(lines.empty());
}

}  // namespace
