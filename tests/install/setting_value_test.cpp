// The value computation by mode and the value data written from text.
#include <gtest/gtest.h>

#include <string>

#include "expr/registry_text.h"
#include "install/registry_data.h"
#include "install/setting_value.h"
#include "runtime/heap.h"
#include "runtime/text.h"

namespace {

struct ModeCase {
  const char* label;
  int32_t mode;
  const char16_t* existing;
  const char16_t* data;
  char16_t separator;
  const char16_t* saved;  // null: none saved
  const char16_t* expected;  // null: skip
};

const ModeCase kModes[] = {
    {"create only, absent", 1, u"", u"new", 0, nullptr, u"new"},
    {"create only, present", 1, u"old", u"new", 0, nullptr, nullptr},
    {"replace only, absent", 2, u"", u"new", 0, nullptr, nullptr},
    {"replace only, present", 2, u"old", u"new", 0, nullptr, u"new"},
    {"prepend to empty", 3, u"", u"D:\\Tools", u';', nullptr, u"D:\\Tools;"},
    {"prepend moves the element", 3, u"D:\\Bin;d:\\tools", u"D:\\Tools", u';', nullptr, u"D:\\Tools;D:\\Bin"},
    {"prepend empty data", 3, u"a;b", u"", u';', nullptr, u"a;b"},
    {"append moves, not doubled", 4, u"D:\\Bin;D:\\Tools", u"D:\\Tools", u';', nullptr, u"D:\\Bin;D:\\Tools"},
    {"append to first element", 4, u"D:\\Tools;D:\\Bin", u"D:\\Tools", u';', nullptr, u"D:\\Bin;D:\\Tools"},
    {"append to empty", 4, u"", u"x", u';', nullptr, u"x"},
    {"append without separator", 4, u"abc", u"x", 0, nullptr, u"abcx"},
    {"set", 5, u"old", u"new", 0, nullptr, u"new"},
    {"set empty", 5, u"old", u"", 0, nullptr, u""},
    {"count up from absent uses the data", 6, u"", u"0", 0, nullptr, u"1"},
    {"count up from data", 6, u"", u"41", 0, nullptr, u"42"},
    {"count up existing", -6, u"7", u"0", 0, nullptr, u"8"},
    {"count up saturates", 6, u"4294967295", u"", 0, nullptr, u"4294967295"},
    {"count down to nothing", -5, u"1", u"", 0, nullptr, u""},
    {"count down", 7, u"3", u"", 0, nullptr, u"2"},
    {"count down absent", -5, u"", u"", 0, nullptr, u""},
    {"remove element in the middle", -1, u"a;b;c", u"B", u';', nullptr, u"a;c"},
    {"remove first element", -1, u"a;b", u"a", u';', nullptr, u"b"},
    {"remove only element", -1, u"a", u"a", u';', nullptr, u""},
    {"first match is not a whole element", -1, u"D:\\Tools2;D:\\Tools", u"D:\\Tools", u';', nullptr,
     u"D:\\Tools2;D:\\Tools"},
    {"remove without separator", -1, u"abcabc", u"bc", 0, nullptr, u"aabc"},
    {"remove if unchanged, unchanged", -2, u"v", u"v", 0, nullptr, u""},
    {"remove if unchanged, changed", -2, u"V", u"v", 0, nullptr, nullptr},
    {"remove", -3, u"v", u"x", 0, nullptr, u""},
    {"restore saved", -4, u"new", u"x", 0, u"old", u"old"},
    {"restore without saved", -4, u"new", u"x", 0, nullptr, u""},
    {"nothing", 0, u"v", u"x", 0, nullptr, nullptr},
    {"outside the range", 8, u"v", u"x", 0, nullptr, nullptr},
    {"outside the range below", -7, u"v", u"x", 0, nullptr, nullptr},
};

TEST(SettingValue, ModesTable) {
  for (const ModeCase& c : kModes) {
    char16_t out[256];
    SettingInput in{c.existing, c.data, c.separator, c.saved, c.mode};
    bool computed = SettingComputeValue(in, out, out + 255);
    EXPECT_EQ(computed, c.expected != nullptr) << c.label;
    if (computed && c.expected) {
      EXPECT_EQ(std::u16string(out), std::u16string(c.expected)) << c.label;
    }
  }
}

TEST(SettingValue, DirectionOfModes) {
  EXPECT_TRUE(SettingModeApplies(1, true));
  EXPECT_FALSE(SettingModeApplies(0, true));
  EXPECT_FALSE(SettingModeApplies(-4, true));
  EXPECT_TRUE(SettingModeApplies(-1, false));
  EXPECT_FALSE(SettingModeApplies(0, false));
  EXPECT_FALSE(SettingModeApplies(5, false));
}

TEST(SettingValue, ResultIsCutToTheBuffer) {
  char16_t out[4];
  SettingInput in{u"", u"abcdefgh", 0, nullptr, 5};
  ASSERT_TRUE(SettingComputeValue(in, out, out + 3));
  EXPECT_EQ(std::u16string(out), u"abc");
}

struct DataCase {
  const char* label;
  uint32_t type;
  const char16_t* text;
  std::string bytes;      // expected data
  const char16_t* read;   // the text read back
};

std::string B(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(char(v));
  return s;
}

TEST(RegistryData, TypesTable) {
  const DataCase cases[] = {
      {"string", kRegSz, u"Ab", B({'A', 0, 'b', 0, 0, 0}), u"Ab"},
      {"empty string", kRegSz, u"", B({0, 0}), u""},
      {"expand string", kRegExpandSz, u"%X%", B({'%', 0, 'X', 0, '%', 0, 0, 0}), u"%X%"},
      {"decimal", kRegDword, u"258", B({2, 1, 0, 0}), u"258"},
      {"hexadecimal", kRegDword, u"0x10", B({16, 0, 0, 0}), u"16"},
      {"octal", kRegDword, u"010", B({8, 0, 0, 0}), u"8"},
      {"big endian", kRegDwordBigEndian, u"0x01020304", B({1, 2, 3, 4}), u"16909060"},
      {"qword", kRegQword, u"0x100000000", B({0, 0, 0, 0, 1, 0, 0, 0}), u"4294967296"},
      {"multi", kRegMultiSz, u"a\x1f" u"b", B({'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}), u"a\x1f" u"b"},
      {"binary", kRegBinary, u"0a 1B c", B({0x0a, 0x1b, 0x0c}), u"0A 1B 0C "},
      {"binary stops at other text", kRegBinary, u"01 zz 02", B({1}), u"01 "},
      {"other type as binary", 0, u"ff", B({0xff}), u"FF "},
  };
  for (const DataCase& c : cases) {
    size_t size = 0;
    uint8_t* data = RegistryTextData(c.text, c.type, &size);
    ASSERT_NE(data, nullptr) << c.label;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), c.bytes) << c.label;
    char16_t read[64];
    RegistryDataText(read, read + 63, c.type, data, size);
    EXPECT_EQ(std::u16string(read), std::u16string(c.read)) << c.label;
    MemFree(data);
  }
}

TEST(RegistryData, BinaryTextStopsAt2048Bytes) {
  std::u16string text;
  for (int i = 0; i < 3000; ++i) text += u"ab ";
  size_t size = 0;
  uint8_t* data = RegistryTextData(text.c_str(), kRegBinary, &size);
  EXPECT_EQ(size, kRegistryBinaryTextLimit);
  MemFree(data);
}

}  // namespace
