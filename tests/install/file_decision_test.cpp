// The replacement decision and the file comparison, and the check of target names: tables of cases.
#include <gtest/gtest.h>

#include "install/file_decision.h"
#include "install/target_name.h"
#include "runtime/errors.h"
#include "runtime/trace.h"

namespace {

constexpr uint64_t kOld = 100, kNew = 200;

FileRecord Record(uint64_t written, uint64_t size = 10, uint64_t product = 0, uint64_t file = 0, uint64_t created = 0) {
  return {size, created ? created : written, written, 0x20, product, file};
}

}  // namespace

TEST(FileCompare, VersionsFirstThenTimes) {
  struct Case {
    FileRecord a, b;
    int expected;
    const char* why;
  } const kCases[] = {
      {Record(kOld, 10, 0x0001000000000000), Record(kNew, 10, 0x0000000900000000), 1, "product version decides"},
      {Record(kNew, 10, 1, 0x0002000000000000), Record(kOld, 10, 1, 0x0003000000000000), -1, "then the file version"},
      {Record(kOld, 10, 5, 5), Record(kNew, 10, 5, 5), 0, "equal non-zero versions and sizes: equal, times aside"},
      {Record(kOld, 10, 5, 5), Record(kNew, 11, 5, 5), -1, "equal versions, other size: the times"},
      {Record(kNew), Record(kOld), 1, "unversioned: newer last-write time"},
      {Record(kOld), Record(kOld), 0, "unversioned, same time"},
      {Record(kOld, 10, 0x8000000000000000), Record(kOld, 10, 0x7FFFFFFFFFFFFFFF), 1, "unsigned comparison"},
  };
  for (const Case& c : kCases) EXPECT_EQ(FileRecordCompare(c.a, c.b), c.expected) << c.why;
}

TEST(FileDecide, EveryModeWithOlderNewerAndAbsentFiles) {
  const FileRecord packaged = Record(150);
  const FileRecord older = Record(kOld), newer = Record(kNew);
  const FileRecord changed = Record(kOld, 10, 0, 0, 50);  // written after its creation
  struct Case {
    int mode;
    const FileRecord* existing;
    int32_t result;
    uint32_t trace;
  } const kCases[] = {
      {0, &older, kDecisionSkip, TR("I0021")},      {-3, nullptr, kDecisionSkip, TR("I0021")},
      {1, &older, kDecisionKeep, TR("I0017")},      {1, nullptr, kDecisionInstall, TR("I0016")},
      {2, &older, kDecisionReplace, TR("I0019")},   {2, &newer, kDecisionKeep, TR("I0020")},
      {2, nullptr, kDecisionSkip, TR("I0039")},     {3, &changed, kDecisionKeep, TR("I0023")},
      {3, &older, kDecisionReplace, TR("I0019")},   {3, nullptr, kDecisionInstall, TR("I0016")},
      {4, &older, kDecisionReplace, TR("I0019")},   {4, &newer, kDecisionKeep, TR("I0020")},
      {4, nullptr, kDecisionInstall, TR("I0016")},  {5, &newer, kDecisionReplace, TR("I0018")},
      {6, &older, kDecisionSkip, TR("I0076")},      {7, &older, kDecisionSkip, TR("I0076")},
      {8, &newer, kDecisionReplace, 0},             {8, nullptr, kDecisionInstall, TR("I0016")},
  };
  for (const Case& c : kCases) {
    FileDecision d = FileDecide(c.mode, packaged, c.existing);
    EXPECT_EQ(d.result, c.result) << "mode " << c.mode << (c.existing ? "" : " absent");
    EXPECT_EQ(d.trace, c.trace) << "mode " << c.mode << (c.existing ? "" : " absent");
  }
}

TEST(TargetName, RefusesNamesThatLeaveTheFolder) {
  struct Case {
    const char16_t* name;
    unsigned long expected;
  } const kCases[] = {
      {u"app.exe", 0},
      {u"bin\\tool.dll", 0},
      {u"data/readme.txt", 0},
      {u"..leading.txt", 0},
      {u"console.txt", 0},
      {u"COM10", 0},
      {u"", ERROR_INVALID_NAME},
      {u"..\\up.txt", ERROR_INVALID_NAME},
      {u"sub\\..\\..\\up.txt", ERROR_INVALID_NAME},
      {u"sub\\.\\x", ERROR_INVALID_NAME},
      {u"sub\\\\x", ERROR_INVALID_NAME},
      {u"\\root.txt", ERROR_INVALID_NAME},
      {u"C:\\Windows\\x.dll", ERROR_INVALID_NAME},
      {u"C:x.dll", ERROR_INVALID_NAME},
      {u"file.txt:stream", ERROR_INVALID_NAME},
      {u"sub\\", ERROR_INVALID_NAME},
      {u"NUL", ERROR_BAD_PATHNAME},
      {u"con.txt", ERROR_BAD_PATHNAME},
      {u"sub\\Aux.log", ERROR_BAD_PATHNAME},
      {u"LPT1", ERROR_BAD_PATHNAME},
      {u"com9.bin", ERROR_BAD_PATHNAME},
      {u"CONOUT$", ERROR_BAD_PATHNAME},
      {u"nul .txt", ERROR_BAD_PATHNAME},
  };
  for (const Case& c : kCases) {
    std::string name;
    for (const char16_t* p = c.name; *p; ++p) name += char(*p);
    EXPECT_EQ(TargetNameCheck(c.name), c.expected) << name;
  }
}

TEST(TargetName, FolderPathsAreFullAndPlain) {
  struct Case {
    const char16_t* path;
    unsigned long expected;
  } const kCases[] = {
      {u"C:\\", 0},
      {u"C:\\Program Files\\Tally", 0},
      {u"c:/Program Files/Tally/", 0},
      {u"\\\\server\\share", 0},
      {u"\\\\server\\share\\Tally", 0},
      {u"C:\\Tally..\\..data", 0},
      {u"", ERROR_INVALID_NAME},
      {u"Tally", ERROR_INVALID_NAME},
      {u"C:Tally", ERROR_INVALID_NAME},
      {u"\\Tally", ERROR_INVALID_NAME},
      {u"\\\\server", ERROR_INVALID_NAME},
      {u"\\\\server\\", ERROR_INVALID_NAME},
      {u"C:\\Program Files\\..\\Windows", ERROR_INVALID_NAME},
      {u"C:\\Tally\\.", ERROR_INVALID_NAME},
      {u"C:\\Tally\\\\x", ERROR_INVALID_NAME},
      {u"\\\\server\\..\\share", ERROR_INVALID_NAME},
      {u"C:\\Tally\\CON", ERROR_BAD_PATHNAME},
      {u"C:\\nul.txt\\Tally", ERROR_BAD_PATHNAME},
      {u"\\\\?\\C:\\Tally", ERROR_BAD_PATHNAME},
      {u"\\\\.\\PhysicalDrive0", ERROR_BAD_PATHNAME},
  };
  for (const Case& c : kCases) {
    std::string path;
    for (const char16_t* p = c.path; *p; ++p) path += char(*p);
    EXPECT_EQ(FolderPathCheck(c.path), c.expected) << path;
  }
}
