// Start-up pieces of the run: display scale and image list, the run's package callbacks, the
// search that reopens the package, and loading the run's database.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "package/package_writer.h"
#include "runtime/heap.h"
#include "runtime/process_context.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/database_loading.h"
#include "session/run_package.h"
#include "session/runtime_init.h"
#include "session/session_password.h"
#include "session/session_resources.h"
#include "session/session_run_control.h"
#include "session/session_state.h"
#include "tests/runtime/windows_test_support.h"

using namespace test_support;

namespace {

std::vector<std::u16string> g_lines;
void Keep(void*, const char16_t* line, size_t length) { g_lines.emplace_back(line, length); }
const TraceSink kSink = {Keep, nullptr};

bool Traced(const char16_t* code, const char16_t* arguments = u"") {
  for (const auto& line : g_lines)
    if (line.find(std::u16string(u"QEL:") + code + u"|") != std::u16string::npos &&
        line.find(arguments) != std::u16string::npos)
      return true;
  return false;
}

class RunStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines.clear();
    TraceSetSink(&kSink);
    ClassRegistryRegisterSetupClasses();
    session_ = SessionCreate(Process()->run_identifier);
    session_->quiet_level = 2;
    SessionSetCurrent(session_);
    SessionInstallRunControl();
  }
  void TearDown() override {
    ObjectTableDestroy(session_->database);
    ReleaseSessionResources();
    SessionRemoveRunControl();
    SessionFree(session_);
    TraceSetSink(nullptr);
  }
  // A stand-alone package of the entries (id, bytes), in order.
  void WritePackage(const std::u16string& path, const std::vector<std::pair<uint64_t, std::string>>& entries) {
    PackageWriterOptions options{};
    options.method = kPackageMethodZlib;
    options.level = 1;
    PackageWriter* writer = nullptr;
    ASSERT_EQ(PackageWriterCreate(path.c_str(), &options, &writer), 0u);
    uint32_t err = 0;
    for (const auto& entry : entries) {
      PackageEntryHeader header{};
      header.id = entry.first;
      header.size = entry.second.size();
      header.attributes = FILE_ATTRIBUTE_NORMAL;
      if (!err) err = PackageWriterAddMemory(writer, &header, entry.second.data());
    }
    ASSERT_EQ(PackageWriterFinish(writer, err, nullptr), 0u);
  }
  std::string Database(bool withInstallation) {
    ObjectTable* table = BuilderCreateTable();
    if (withInstallation) BuilderAddObject(table, TagOf("inst"), 1);
    const uint8_t code[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    BuilderSetPackageCode(table, code);
    uint8_t* bytes = nullptr;
    size_t size = 0;
    EXPECT_EQ(BuilderSaveToMemory(table, 1, &bytes, &size), 0u);
    std::string data(reinterpret_cast<char*>(bytes), size);
    MemFree(bytes);
    ObjectTableDestroy(table);
    return data;
  }
  SessionState* session_ = nullptr;
  TempFolder folder_{u"startup_"};
};

}  // namespace

TEST(RuntimeInit, DisplayScaleChoosesTheImageList) {
  EXPECT_EQ(DisplayScale(96), 100);
  EXPECT_EQ(DisplayScale(72), 75);
  EXPECT_EQ(DisplayScale(144), 150);
  EXPECT_EQ(DisplayScale(0), 100);
  struct Case {
    int32_t bits, scale;
    uint32_t resource;
    int32_t size;
  } cases[] = {{24, 75, 2, 16}, {32, 100, 2, 16}, {32, 149, 2, 16}, {32, 150, 3, 24}, {32, 200, 4, 32},
               {32, 250, 5, 40}, {32, 300, 6, 48}, {32, 400, 6, 48}, {16, 300, 1, 16}, {8, 100, 1, 16}};
  for (const Case& c : cases) {
    uint32_t resource = 0;
    int32_t size = 0;
    SmallIconBitmap(c.bits, c.scale, &resource, &size);
    EXPECT_EQ(resource, c.resource) << c.bits << "/" << c.scale;
    EXPECT_EQ(size, c.size) << c.bits << "/" << c.scale;
  }
}

TEST(RuntimeInit, ExitCodesOfLoadErrors) {
  EXPECT_EQ(ExitCodeOfLoadError(1223), 5);
  EXPECT_EQ(ExitCodeOfLoadError(6001), 15);
  EXPECT_EQ(ExitCodeOfLoadError(6002), 15);
  EXPECT_EQ(ExitCodeOfLoadError(13), 3);
  EXPECT_EQ(ExitCodeOfLoadError(23), 3);
  EXPECT_EQ(ExitCodeOfLoadError(86), 3);
}

TEST_F(RunStartup, AnEntryBehindThePositionIsFoundAfterReopening) {
  std::u16string path = folder_.File(u"pack.kez");
  WritePackage(path, {{1, "first"}, {2, "second"}, {3, "third"}});
  SessionSetText(&session_->package_path, path.c_str());
  PackageEntryHeader header{};
  ASSERT_EQ(RunPackageFindEntry(2, &header), 0u);
  EXPECT_EQ(header.size, 6u);
  EXPECT_TRUE(Traced(u"I0012", path.c_str()));
  ASSERT_EQ(PackageSkipEntry(RunPackageReader(), &header), 0u);
  ASSERT_EQ(RunPackageFindEntry(1, &header), 0u) << "behind: reopened once";
  EXPECT_EQ(header.size, 5u);
  EXPECT_TRUE(Traced(u"I1131", u"0000000000000001"));
  ASSERT_EQ(PackageSkipEntry(RunPackageReader(), &header), 0u);
  EXPECT_EQ(RunPackageFindEntry(9, &header), uint32_t(ERROR_HANDLE_EOF)) << "a missing entry fails after one reopen";
  PackageClose(RunPackageReader());
}

TEST_F(RunStartup, NextVolumeProviderInAQuietRun) {
  PackageReader* reader = RunPackageReader();
  char16_t path[kPackagePathCapacity] = u"C:\\media\\Setup.exe";
  EXPECT_FALSE(RunNextVolumeProvider(reader, 1, 2, path));
  EXPECT_TRUE(Traced(u"E0035", u"|C:\\media\\Setup.exe|2"));
  EXPECT_FALSE(RunNextVolumeProvider(reader, 0, 0, path)) << "no previous volume and no dialog";
  EXPECT_TRUE(Traced(u"E0034"));
  TextCopy(reader->path, reader->path + kPackagePathCapacity - 1, u"C:\\media\\Setup.exe");
  ASSERT_TRUE(RunNextVolumeProvider(reader, 2, 0, path));
  EXPECT_EQ(std::u16string(path), u"C:\\media\\Disk0003.kez");
  EXPECT_TRUE(Traced(u"I0089", u"|C:\\media\\Disk0003.kez|2"));
  EXPECT_FALSE(RunNextVolumeProvider(reader, 2, 1223, path));
  reader->path[0] = 0;
}

TEST_F(RunStartup, PasswordProviderDeliversTheRememberedPasswordOnce) {
  uint8_t buffer[255];
  uint32_t length = sizeof buffer;
  EXPECT_EQ(RunPasswordProvider(nullptr, 0, buffer, &length), uint32_t(ERROR_INVALID_PASSWORD)) << "none remembered";
  SessionStorePassword(session_, u"Secret1");
  length = sizeof buffer;
  ASSERT_EQ(RunPasswordProvider(nullptr, 0, buffer, &length), 0u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), length), "Secret1");
  length = sizeof buffer;
  EXPECT_EQ(RunPasswordProvider(nullptr, 1, buffer, &length), uint32_t(ERROR_INVALID_PASSWORD))
      << "a wrong password would need the dialog";
  length = 3;
  EXPECT_EQ(RunPasswordProvider(nullptr, 0, buffer, &length), uint32_t(ERROR_INVALID_PASSWORD)) << "does not fit";
}

TEST_F(RunStartup, LoadsTheDatabaseEntryOfAPackageAndDeletesTheTemporaryFile) {
  std::u16string path = folder_.File(u"Setup.kez");
  WritePackage(path, {{0xFFFFFFFFFFFF0002ULL, Database(true)}, {7, "support"}});
  SessionSetText(&session_->database_path, path.c_str());
  ASSERT_TRUE(LoadRunDatabase(session_));
  ASSERT_NE(session_->database, nullptr);
  EXPECT_EQ(session_->package_code[0], 1);
  EXPECT_EQ(session_->package_code[15], 16);
  EXPECT_TRUE(session_->fresh_installation);
  EXPECT_EQ(std::u16string(SessionText(session_->package_path)), path);
  EXPECT_EQ(std::u16string(SessionText(session_->package_folder)), folder_.path());
  EXPECT_TRUE(Traced(u"A0006", u".dat"));
  EXPECT_TRUE(Traced(u"I0007", path.c_str()));
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  wchar_t file[MAX_PATH + 1];
  wsprintfW(file, L"%s%08lX.dat", temp, Process()->run_identifier);
  EXPECT_EQ(GetFileAttributesW(file), INVALID_FILE_ATTRIBUTES) << "the temporary database is deleted";
  PackageEntryHeader header{};
  ASSERT_EQ(PackageNextEntry(RunPackageReader(), &header), 0u) << "the reader stays behind the database entry";
  EXPECT_EQ(header.id, 7u);
  PackageClose(RunPackageReader());
}

TEST_F(RunStartup, LoadFailuresGiveTheirExitCodes) {
  struct Case {
    const char16_t* name;
    std::string bytes;
    int exit_code;
    const char16_t* error;
  } cases[] = {
      {u"bare.dat", Database(false), 3, u"|13"},       // no installation record
      {u"other.bin", std::string(100, 'x'), 3, u"|11"},  // no database, no package
      {u"missing.dat", "", 3, u"|2"},
  };
  for (const Case& c : cases) {
    std::u16string path = folder_.File(c.name);
    if (!c.bytes.empty()) WriteBytes(path, c.bytes);
    SessionState* s = SessionCreate(1);
    s->quiet_level = 2;
    SessionSetCurrent(s);
    SessionSetText(&s->database_path, path.c_str());
    EXPECT_FALSE(LoadRunDatabase(s));
    EXPECT_EQ(SessionExitCode(s), c.exit_code);
    EXPECT_EQ(s->database, nullptr);
    EXPECT_TRUE(Traced(u"E0002", (path + c.error).c_str())) << TextToUtf8(c.name);
    EXPECT_TRUE(Traced(u"I0013", u"Error")) << "message 485 is recorded";
    SessionFree(s);
  }
  SessionSetCurrent(session_);
}
