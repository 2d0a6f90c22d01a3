// kez list and kez extract, run as the program they are, over packages built with the writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "package/package_format.h"
#include "runtime/platform.h"
#include "tests/package/package_test_support.h"
#include "tests/tools/pe_fixture.h"

namespace {

struct KezRun {
  int status;
  std::string out, err;
};

std::string Quote(const std::filesystem::path& p) { return "'" + p.u8string() + "'"; }

KezRun Kez(const TempFolder& folder, const std::string& arguments) {
  std::filesystem::path out = folder.Root() / "stdout.txt", err = folder.Root() / "stderr.txt";
  std::string command = std::string(KEZ_PROGRAM) + " " + arguments + " >" + Quote(out) + " 2>" + Quote(err);
  int status = std::system(command.c_str());
  auto slurp = [](const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
}

class KezPackage : public ::testing::Test {
 protected:
  TempFolder folder;
  std::vector<TestEntry> entries = {MakeEntry(kEntryIdDatabase, TestData(40000, 1, false), 0x21),
                                    MakeEntry(0x1234, Bytes(), 0x20)};
  std::u16string Build(PackageWriterOptions options) {
    std::u16string stub = folder.Path("stub.exe");
    WriteBytes(stub, FakeExecutable(false, nullptr, 0x4000));
    options.executable = stub.c_str();
    options.volume_limit = 15000;
    std::u16string path = folder.Path("Setup.exe");
    EXPECT_EQ(WritePackage(path, options, entries), 0u);
    return path;
  }
};

TEST_F(KezPackage, ListsVolumesAndEntries) {
  Build(TestOptions(kPackageMethodLzma2));
  KezRun run = Kez(folder, "list " + Quote(folder.Root() / "Setup.exe"));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("volume 0  "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("volume 2  "), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Disk0003.kez"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("method kez4 (LZMA2)"), std::string::npos);
  EXPECT_NE(run.out.find("set identifier 0x1122334455667788"), std::string::npos);
  EXPECT_NE(run.out.find("package code {A3A2A1A0-A5A4-A7A6-A8A9-AAABACADAEAF}"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("entry FFFFFFFFFFFF0002  size 40000  created 2014-11-14 11:41:59  written 2023-06-18 07:01:54"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("attributes 0x00000021  product 1.2.3.4  file 5.6.7.8"), std::string::npos);
  EXPECT_NE(run.out.find("entry 0000000000001234  size 0"), std::string::npos);
}

TEST_F(KezPackage, ExtractsEveryEntryByItsId) {
  PackageWriterOptions options = TestOptions(kPackageMethodZlib);
  const uint8_t password[] = "pw";
  options.password = password;
  options.password_length = 2;
  Build(options);
  std::filesystem::path out = folder.Root() / "out";
  KezRun run = Kez(folder, "extract " + Quote(folder.Root() / "Setup.exe") + " " + Quote(out) + " --password pw");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(ReadBytes((out / "FFFFFFFFFFFF0002").u16string()) == entries[0].data);
  EXPECT_TRUE(Exists((out / "0000000000001234").u16string()));
  FileFacts facts;
  ASSERT_EQ(FileGetFacts((out / "FFFFFFFFFFFF0002").u16string().c_str(), &facts), 0u);
  EXPECT_EQ(facts.last_write_time, entries[0].header.last_write_time);
  EXPECT_TRUE(facts.attributes & kAttributeReadOnly);
}

TEST_F(KezPackage, ErrorsCarryTheWindowsNumber) {
  PackageWriterOptions options = TestOptions(kPackageMethodLzma);
  const uint8_t password[] = "pw";
  options.password = password;
  options.password_length = 2;
  std::u16string path = Build(options);
  std::string file = Quote(folder.Root() / "Setup.exe");
  struct Case {
    std::string arguments;
    int status;
    const char* message;
  };
  const Case kCases[] = {
      {"list " + file, 1, "error 6002"},
      {"list " + file + " --password wrong", 1, "error 86"},
      {"list " + Quote(folder.Root() / "missing.exe"), 1, "error 2"},
      {"list " + Quote(folder.Root() / "stub.exe"), 1, "error 11"},
      {"list", 2, "usage"},
  };
  for (const Case& c : kCases) {
    KezRun run = Kez(folder, c.arguments);
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.arguments << ": " << run.err;
  }
  DamageByte(folder.Path("Disk0002.kez"), 100, 1);
  KezRun run = Kez(folder, "list " + file + " --password pw");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("error 23"), std::string::npos) << run.err;
}

// kez build over the example project, and its packages read back by the other commands.
class KezBuild : public ::testing::Test {
 protected:
  TempFolder folder;
  std::string project = Quote(std::filesystem::path(EXAMPLES_DIR) / "hello" / "project.json");
  std::string runtime = Quote(folder.Root() / "runtime.exe");
  std::string out = Quote(folder.Root() / "out");
  void SetUp() override {
    WriteBytes(folder.Path("runtime.exe"),
               FixtureBuild(FixtureRuntime({FixtureVersion(0, {{u"ProductName", u"Runtime"}}, 0x000B000800000000ULL)})));
  }
};

TEST_F(KezBuild, ExampleProjectIsReadBackByListExtractAndDump) {
  KezRun build = Kez(folder, "build " + project + " -o " + out + " --runtime " + runtime);
  ASSERT_EQ(build.status, 0) << build.err;
  EXPECT_NE(build.err.find("kez: wrote Setup.exe: 3 entries"), std::string::npos) << build.err;
  EXPECT_NE(build.err.find("kez: wrote Extras.kez: 1 entries"), std::string::npos) << build.err;

  KezRun list = Kez(folder, "list " + Quote(folder.Root() / "out" / "Setup.exe"));
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_NE(list.out.find("package code {5E1A2B3C-4D5E-4F60-8172-93A4B5C6D7E8}"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("entry FFFFFFFFFFFF0002"), std::string::npos);
  EXPECT_NE(list.out.find("entry FFFFFFFFFFFF0011  size 84"), std::string::npos) << list.out;
  // The version resource that the build stamped: the project's product, version and package code.
  EXPECT_NE(list.out.find("version resource 1  language 0x0000\n  file version 1.0.0.0  product version 1.0.0.0\n"),
            std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  040904B0 ProductName \"Hello\"\n"), std::string::npos) << list.out;
  EXPECT_NE(list.out.find("  040904B0 PackageCode \"{5E1A2B3C-4D5E-4F60-8172-93A4B5C6D7E8}\"\n"), std::string::npos);

  std::filesystem::path files = folder.Root() / "files";
  KezRun extract = Kez(folder, "extract " + Quote(folder.Root() / "out" / "Extras.kez") + " " + Quote(files));
  ASSERT_EQ(extract.status, 0) << extract.err;
  int count = 0;
  for (const auto& item : std::filesystem::directory_iterator(files)) {
    ++count;
    EXPECT_TRUE(ReadBytes(item.path().u16string()) ==
                ReadBytes((std::filesystem::path(EXAMPLES_DIR) / "hello" / "payload" / "extra.txt").u16string()));
  }
  EXPECT_EQ(count, 1);

  KezRun dump = Kez(folder, "dump " + Quote(folder.Root() / "out" / "Setup.exe"));
  ASSERT_EQ(dump.status, 0) << dump.err;
  EXPECT_NE(dump.out.find("\"save_time\": \"0x01DA3C457689C000\""), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("\"value\": \"KesProductFolder\""), std::string::npos);
  EXPECT_NE(dump.out.find("\"value\": 268435460"), std::string::npos) << "inst flags 0x10000004";
}

TEST_F(KezBuild, QuietBuildPrintsNothingAndABadProjectLeavesNothing) {
  KezRun quiet = Kez(folder, "build " + project + " -o " + out + " --runtime " + runtime + " -q");
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");

  std::string text = R"({"output": {"package": "Setup.kez"}, "objects": 5})";
  WriteBytes(folder.Path("bad.json"), Bytes(text.begin(), text.end()));
  KezRun bad = Kez(folder, "build " + Quote(folder.Root() / "bad.json") + " -o " + Quote(folder.Root() / "other"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("bad.json: objects: "), std::string::npos) << bad.err;
  EXPECT_FALSE(std::filesystem::exists(folder.Root() / "other"));

  EXPECT_EQ(Kez(folder, "build " + project).status, 2);
}

TEST_F(KezBuild, RuntimeWithDebugInformationIsAWarningEvenWhenQuiet) {
  FixtureImage debug = FixtureRuntime({});
  debug.symbols = true;
  debug.sections.push_back({".debug_line", kFixtureDiscardable, 0x800});
  WriteBytes(folder.Path("debug.exe"), FixtureBuild(debug));
  KezRun build = Kez(folder, "build " + project + " -o " + out + " --runtime " + Quote(folder.Root() / "debug.exe") + " -q");
  EXPECT_EQ(build.status, 0) << build.err;
  EXPECT_NE(build.err.find("kez: warning: the runtime "), std::string::npos) << build.err;
  EXPECT_NE(build.err.find("carries debug information"), std::string::npos) << build.err;
  EXPECT_TRUE(std::filesystem::exists(folder.Root() / "out" / "Setup.exe"));
}

}  // namespace
