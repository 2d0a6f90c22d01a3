// Portable rules of the process runtime: psdes, scrambling, version corrections, image checks,
// code pages, the modeless stack, log names and path cleaning.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/code_page.h"
#include "runtime/errors.h"
#include "runtime/image_check.h"
#include "runtime/log_names.h"
#include "runtime/modeless_stack.h"
#include "runtime/os_version.h"
#include "runtime/path_clean.h"
#include "runtime/path_parts.h"
#include "runtime/random.h"
#include "runtime/scramble.h"
#include "runtime/text.h"

TEST(Psdes, MatchesThePublishedTestValues) {
  struct Case {
    uint32_t lword, irword, lwordAfter, irwordAfter;
  } cases[] = {{1, 1, 0x604D1DCE, 0x509C0C23},
               {1, 99, 0xD97F8571, 0xA66CB41A},
               {99, 1, 0x7822309D, 0x64300984},
               {99, 99, 0xD7F376F0, 0x59BA89EB}};
  for (const Case& c : cases) {
    uint32_t l = c.lword, r = c.irword;
    PsdesHash(&l, &r);
    EXPECT_EQ(l, c.lwordAfter) << c.lword << "," << c.irword;
    EXPECT_EQ(r, c.irwordAfter) << c.lword << "," << c.irword;
  }
}

TEST(ProcessSeed, EverySourceChangesTheSeed) {
  SeedSources base{0x123456789ABCDEF0ull, 0x01DBF5A1B2C3D4E5ull, 0x1234, 0x01020304, {1, 2, 3, 4, 5, 6, 7, 8}};
  uint32_t reference[2];
  ProcessSeedMix(&base, reference);
  auto differs = [&](SeedSources changed) {
    uint32_t seed[2];
    ProcessSeedMix(&changed, seed);
    return seed[0] != reference[0] || seed[1] != reference[1];
  };
  SeedSources s = base;
  s.performance_counter ^= 1ull << 40;
  EXPECT_TRUE(differs(s));
  s = base;
  s.filetime += 1;
  EXPECT_TRUE(differs(s));
  s = base;
  s.thread_id ^= 0x80;
  EXPECT_TRUE(differs(s));
  s = base;
  s.tick_count ^= 0xFF;  // enters the high word byte-reversed
  uint32_t seed[2];
  ProcessSeedMix(&s, seed);
  EXPECT_EQ(seed[1] ^ reference[1], 0xFF000000u);
  s = base;
  s.memory[7] ^= 1;
  EXPECT_TRUE(differs(s));
}

TEST(Scramble, RoundTripRestoresEveryLengthAndChangesTheBytes) {
  for (size_t size : {1u, 3u, 4u, 5u, 63u, 64u}) {
    std::vector<uint8_t> plain((size + 3) & ~size_t(3), 0);
    for (size_t i = 0; i < size; ++i) plain[i] = uint8_t('a' + i % 26);
    std::vector<uint8_t> buffer = plain;
    Scramble(buffer.data(), size, 0xC0FFEE11);
    EXPECT_NE(buffer, plain) << size;
    Unscramble(buffer.data(), size, 0xC0FFEE11);
    EXPECT_EQ(buffer, plain) << size;
  }
}

TEST(Scramble, FirstWordIsTheGeneratorOutputXorThePlainWord) {
  // Seed 1: s1 = 1, s2 = 0xFFFFFFFE (-2). One step: s1 = 40014; s2 = 40692 * -2 + 2147483399.
  uint32_t word = 0;
  Scramble(&word, 4, 1);
  EXPECT_EQ(word, uint32_t(40014) - uint32_t(-2 * 40692 + 2147483399));
  uint32_t words[2] = {0, 0};
  Scramble(words, 8, 7);
  uint32_t again[2] = {0x11111111, 0};
  Scramble(again, 8, 7);
  EXPECT_EQ(again[0], words[0] ^ 0x11111111u);
  EXPECT_EQ(again[1], words[1] ^ 0x11111111u) << "each word chains the ones before it";
}

TEST(Scramble, OtherSeedDoesNotRestore) {
  char text[16] = "secret";
  Scramble(text, sizeof text, 5);
  Unscramble(text, sizeof text, 6);
  EXPECT_NE(std::string(text, 6), "secret");
}

TEST(OsVersion, Corrections) {
  struct Case {
    const char* name;
    OsVersionFields in;
    uint32_t minor, build;
    uint16_t servicePack;
  } cases[] = {
      {"9x build keeps low 16 bits", {1, 4, 10, 0x040A08AE, 0, u""}, 10, 0x08AE, 0},
      {"9x second letter A is SP1", {1, 4, 10, 2222, 0, u" A"}, 10, 2222, 1},
      {"9x second letter C is SP3", {1, 4, 0, 950, 0, u" C"}, 0, 950, 3},
      {"9x second letter below A", {1, 4, 0, 950, 0, u" 1"}, 0, 950, 0},
      {"9x known service pack kept", {1, 4, 10, 2222, 2, u" A"}, 10, 2222, 2},
      {"4.10 build 3000 is 4.90", {1, 4, 10, 0x04000BB8, 0, u""}, 90, 3000, 0},
      {"4.10 build 2999 stays", {1, 4, 10, 2999, 0, u""}, 10, 2999, 0},
      {"NT service pack from text", {2, 4, 0, 1381, 0, u"Service Pack 6"}, 0, 1381, 6},
      {"NT text without digit", {2, 5, 0, 2195, 0, u"Service Pack x"}, 0, 2195, 0},
      {"NT short text", {2, 5, 0, 2195, 0, u"Service P"}, 0, 2195, 0},
      {"NT other text", {2, 5, 1, 2600, 0, u"Update Pack 1"}, 1, 2600, 0},
      {"NT known service pack kept", {2, 6, 1, 7601, 1, u"Service Pack 3"}, 1, 7601, 1},
  };
  for (Case c : cases) {
    OsVersionCorrect(&c.in);
    EXPECT_EQ(c.in.minor, c.minor) << c.name;
    EXPECT_EQ(c.in.build, c.build) << c.name;
    EXPECT_EQ(c.in.service_pack_major, c.servicePack) << c.name;
  }
}

TEST(OsVersion, EditionWithoutProductInfo) {
  struct Case {
    const char* name;
    uint32_t platform;
    uint8_t type;
    uint16_t suite;
    const char16_t* options;
    uint32_t edition;
    uint8_t recorded_type;
  } cases[] = {
      {"9x", 1, 0, 0, nullptr, 2, 0},
      {"workstation", 2, 1, 0x100, nullptr, 6, 1},
      {"personal", 2, 1, 0x300, nullptr, 3, 1},
      {"enterprise server first", 2, 3, 0x2 | 0x80, nullptr, 10, 3},
      {"datacenter", 2, 3, 0x80, nullptr, 8, 3},
      {"web", 2, 3, 0x400, nullptr, 17, 3},
      {"compute cluster", 2, 2, 0x4000, nullptr, 18, 2},
      {"storage", 2, 3, 0x2000, nullptr, 21, 3},
      {"back office", 2, 3, 0x4, nullptr, 25, 3},
      {"small business", 2, 3, 0x1, nullptr, 9, 3},
      {"small business restricted", 2, 3, 0x20, nullptr, 9, 3},
      {"standard server", 2, 3, 0x10, nullptr, 7, 3},
      {"no type, domain controller text", 2, 0, 0, u"LanmanNT", 7, 2},
      {"no type, server text", 2, 0, 0, u"SERVERNT", 10, 3},
      {"no type, workstation text", 2, 0, 0, u"WinNT", 6, 1},
      {"no type, no text", 2, 0, 0, nullptr, 6, 1},
      {"other platform", 3, 1, 0, nullptr, 0, 1},
  };
  for (Case c : cases) {
    EXPECT_EQ(OsEditionFromVersion(c.platform, &c.type, c.suite, c.options), c.edition) << c.name;
    EXPECT_EQ(c.type, c.recorded_type) << c.name;
  }
  for (uint32_t edition : {12u, 13u, 14u, 29u}) EXPECT_TRUE(OsEditionIsServerCore(edition)) << edition;
  for (uint32_t edition : {0u, 7u, 11u, 15u, 28u, 30u}) EXPECT_FALSE(OsEditionIsServerCore(edition)) << edition;
}

namespace {

std::vector<uint8_t> Image(uint16_t mz, uint32_t offset, uint32_t signature, uint16_t magic, uint16_t subsystem) {
  std::vector<uint8_t> image(512, 0);
  auto put16 = [&](size_t at, uint16_t v) { image[at] = uint8_t(v), image[at + 1] = uint8_t(v >> 8); };
  put16(0, mz);
  put16(0x3C, uint16_t(offset));
  put16(0x3E, uint16_t(offset >> 16));
  if (offset < 400) {
    put16(offset, uint16_t(signature));
    put16(offset + 2, uint16_t(signature >> 16));
    put16(offset + 24, magic);
    put16(offset + 24 + 68, subsystem);
  }
  return image;
}

}  // namespace

TEST(ImageCheck, HeadersAndSubsystem) {
  struct Case {
    const char* name;
    std::vector<uint8_t> image;
    uint16_t expected;
    uint32_t err, kind;
  } cases[] = {
      {"32-bit GUI", Image(0x5A4D, 0x80, 0x4550, 0x10B, 2), 0x10B, 0, kSubsystemKindGui},
      {"32-bit console", Image(0x5A4D, 0x80, 0x4550, 0x10B, 3), 0x10B, 0, kSubsystemKindConsole},
      {"64-bit GUI", Image(0x5A4D, 0x100, 0x4550, 0x20B, 2), 0x20B, 0, kSubsystemKindGui},
      {"64-bit image, 32-bit build", Image(0x5A4D, 0x80, 0x4550, 0x20B, 2), 0x10B, ERROR_BAD_FORMAT, 0},
      {"no MZ", Image(0x4D5A, 0x80, 0x4550, 0x10B, 2), 0x10B, ERROR_BAD_FORMAT, 0},
      {"no PE signature", Image(0x5A4D, 0x80, 0x4551, 0x10B, 2), 0x10B, ERROR_BAD_FORMAT, 0},
      {"header offset beyond the bytes", Image(0x5A4D, 0x7FFFFFF0, 0, 0, 0), 0x10B, ERROR_BAD_FORMAT, 0},
      {"optional header cut off", Image(0x5A4D, 0x1E0, 0, 0, 0), 0x10B, ERROR_BAD_FORMAT, 0},
  };
  for (const Case& c : cases) {
    ImageFacts facts{};
    EXPECT_EQ(ImageCheckHeaders(c.image.data(), c.image.size(), c.expected, &facts), c.err) << c.name;
    if (!c.err) {
      EXPECT_EQ(facts.subsystem_kind, c.kind) << c.name;
    }
  }
  EXPECT_EQ(ImageCheckHeaders(Image(0x5A4D, 0x80, 0x4550, 0x10B, 2).data(), 0x3F, 0x10B, nullptr), uint32_t(ERROR_BAD_FORMAT));
}

TEST(CodePages, Utf8UnlessARealConsoleKeepsItsOwn) {
  struct Case {
    bool utf8;
    StdOutputKind output;
    uint32_t log, console;
  } cases[] = {
      {true, StdOutputKind::kCharacter, 65001, 850}, {true, StdOutputKind::kDisk, 65001, 65001},
      {true, StdOutputKind::kPipe, 65001, 65001},    {true, StdOutputKind::kUnknown, 65001, 65001},
      {false, StdOutputKind::kPipe, 1252, 850},      {false, StdOutputKind::kCharacter, 1252, 850},
  };
  for (const Case& c : cases) {
    OutputCodePages pages = ChooseOutputCodePages(c.utf8, 1252, 850, c.output);
    EXPECT_EQ(pages.log, c.log) << int(c.output);
    EXPECT_EQ(pages.console, c.console) << int(c.output);
  }
}

TEST(ModelessStack, PushMovesToTopRemoveShiftsAndSeventeenthIsIgnored) {
  ModelessStack stack{};
  int windows[18];
  EXPECT_EQ(ModelessStackTop(&stack), nullptr);
  ModelessStackPush(&stack, &windows[0]);
  ModelessStackPush(&stack, &windows[1]);
  ModelessStackPush(&stack, &windows[0]);
  EXPECT_EQ(stack.count, 2u) << "a window pushed twice has one entry";
  EXPECT_EQ(ModelessStackTop(&stack), &windows[0]);
  ModelessStackRemove(&stack, &windows[0]);
  EXPECT_EQ(ModelessStackTop(&stack), &windows[1]);
  for (int i = 2; i < 18; ++i) ModelessStackPush(&stack, &windows[i]);
  EXPECT_EQ(stack.count, 16u);
  EXPECT_EQ(ModelessStackTop(&stack), &windows[16]) << "the seventeenth window is not recorded";
  ModelessStackPush(&stack, &windows[1]);
  EXPECT_EQ(ModelessStackTop(&stack), &windows[1]) << "a window already in a full stack still moves to the top";
  ModelessStackRemove(&stack, &windows[5]);
  EXPECT_EQ(stack.count, 15u);
  EXPECT_EQ(stack.windows[3], &windows[6]) << "entries above the removed one move down";
  ModelessStackRemove(&stack, &windows[17]);
  EXPECT_EQ(stack.count, 15u);
}

namespace {

std::u16string Cleaned(std::u16string path) {
  PathClean(&path[0]);
  return std::u16string(path.c_str());
}

}  // namespace

TEST(PathCleaning, Table) {
  struct Case {
    const char16_t* in;
    const char16_t* out;
  } cases[] = {
      {u"C:/Logs/Setup.log", u"C:\\Logs\\Setup.log"},
      {u"\\\\server\\share\\log.log", u"\\\\server\\share\\log.log"},
      {u"//server//share", u"\\\\server\\share"},
      {u"\\\\\\server", u"\\\\server"},
      {u"C:\\\\Logs\\\\\\a.log", u"C:\\Logs\\a.log"},
      {u"C:\\a:b\\c\"d|e<f>g*h?i.log", u"C:\\a_b\\c_d_e_f_g_h_i.log"},
      {u":x", u"_x"},
      {u"C:\\tab\there\x7F\x01.log", u"C:\\tab_here__.log"},
      {u"", u""},
  };
  for (const Case& c : cases) EXPECT_EQ(Cleaned(c.in), std::u16string(c.out)) << TextToUtf8(c.in);
}

TEST(PathParts, JoinPutsOneSeparatorBetweenFolderAndName) {
  struct Case {
    const char16_t* folder;
    const char16_t* name;
    const char16_t* joined;
  } cases[] = {
      {u"C:\\Menu\\Tally", u"Tally", u"C:\\Menu\\Tally\\Tally"},
      {u"C:\\Menu\\Tally\\", u"Tally", u"C:\\Menu\\Tally\\Tally"},
      {u"C:/Menu/", u"Tally", u"C:/Menu/Tally"},
      {u"C:\\Menu", u"Sub\\Read me", u"C:\\Menu\\Sub\\Read me"},
      {u"", u"Setup.dat", u"Setup.dat"},
  };
  for (const Case& c : cases) {
    char16_t out[64];
    char16_t* end = PathJoin(out, out + 63, c.folder, c.name);
    EXPECT_EQ(std::u16string(out, end), c.joined) << TextToUtf8(c.folder);
  }
  char16_t small[12];
  char16_t* end = PathJoin(small, small + 11, u"C:\\Menu\\Tally", u"Tally");
  EXPECT_EQ(end - small, 11) << "cut at the end of the buffer";
  EXPECT_EQ(*end, 0);
}

TEST(PathParts, FolderPartKeepsTheRootOfADrive) {
  struct Case {
    const char16_t* path;
    const char16_t* folder;
  } cases[] = {
      {u"C:\\App\\bin\\app.exe", u"C:\\App\\bin"},
      {u"C:\\app.exe", u"C:\\"},
      {u"C:/App/app.exe", u"C:/App"},
      {u"app.exe", u""},
  };
  for (const Case& c : cases) {
    char16_t out[64];
    char16_t* end = PathFolderPart(out, out + 63, c.path);
    EXPECT_EQ(std::u16string(out, end), c.folder) << TextToUtf8(c.path);
  }
}

TEST(PathParts, NamePartFollowsTheLastSeparator) {
  EXPECT_EQ(std::u16string(PathNamePart(u"C:\\App\\bin\\app.exe")), u"app.exe");
  EXPECT_EQ(std::u16string(PathNamePart(u"C:/App/app.exe")), u"app.exe");
  EXPECT_EQ(std::u16string(PathNamePart(u"app.exe")), u"app.exe");
  EXPECT_EQ(std::u16string(PathNamePart(u"C:\\App\\")), u"");
}

TEST(LogNames, TempPathWithSuffixes) {
  char16_t path[264];
  LogBuildTempPath(path, path + 263, u"C:\\Temp\\", u"Setup", kLogWithRandom, 0x1234, 0x0A1B2C3D);
  EXPECT_EQ(std::u16string(path), u"C:\\Temp\\Setup0A1B2C3D.log");
  LogBuildTempPath(path, path + 263, u"C:\\Temp", u"Setup", kLogWithProcessId | kLogWithRandom, 0x1234, 0xFF);
  EXPECT_EQ(std::u16string(path), u"C:\\Temp\\Setup00001234000000FF.log");
  LogBuildTempPath(path, path + 263, u"", u"Setup", 0, 1, 2);
  EXPECT_EQ(std::u16string(path), u"Setup.log") << "without a temporary folder the log goes to the current folder";
}

TEST(LogNames, EndOfRunNameLiesBesideTheCurrentLog) {
  DateTime t{2025, 7, 3, 16, 15, 41, 9, 500};
  char16_t path[264];
  LogBuildEndOfRunPath(path, path + 263, u"C:\\Users\\me\\Temp\\Setup0A1B2C3D.log", u"Tool 2025", &t, u"Install");
  EXPECT_EQ(std::u16string(path), u"C:\\Users\\me\\Temp\\Tool 2025-20250716T154109-Install.log");
  LogBuildEndOfRunPath(path, path + 263, u"C:\\T\\a.log", u"AC/DC: \"Live\" <1>", &t, u"Remove");
  EXPECT_EQ(std::u16string(path), u"C:\\T\\AC_DC_ _Live_ _1_-20250716T154109-Remove.log");
  LogBuildEndOfRunPath(path, path + 263, u"a.log", u"P", &t, u"Unknown");
  EXPECT_EQ(std::u16string(path), u"P-20250716T154109-Unknown.log");
}

TEST(LogNames, HeaderAndFooterLines) {
  DateTime t{2025, 7, 0, 6, 5, 4, 3, 21};
  char16_t line[600];
  LogFormatHeader(line, line + 599, &t, u"C:\\Setup.exe");
  EXPECT_EQ(std::u16string(line), u"2025-07-06 05:04:03.021 ===== Logging C:\\Setup.exe =====\n");
  LogFormatFooter(line, line + 599, &t);
  EXPECT_EQ(std::u16string(line), u"2025-07-06 05:04:03.021 ===== Closing log file =====\n");
}
