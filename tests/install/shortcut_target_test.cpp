// The shortcut rules that need no shell: address or path, the shortcut file's name, the target's
// folder (the default working folder).
#include <gtest/gtest.h>

#include <string>

#include "install/shortcut_target.h"

namespace {

struct TargetCase {
  const char16_t* target;
  bool address;
};

const TargetCase kTargets[] = {
    {u"https://example.com/help", true},
    {u"mailto:help@example.com", true},
    {u"ab:x", true},                    // two characters before the colon are a scheme
    {u"C:\\Program Files\\App\\app.exe", false},  // a drive letter is a path
    {u"C:", false},
    {u"\\\\server\\share\\app.exe", false},
    {u"app.exe", false},
    {u":x", false},
    {u"", false},
};

TEST(ShortcutTarget, AddressesHaveASchemeOfTwoOrMoreCharacters) {
  for (const TargetCase& c : kTargets)
    EXPECT_EQ(ShortcutTargetIsAddress(c.target), c.address) << std::string(c.target, c.target + std::u16string(c.target).size());
}

struct NameCase {
  const char16_t* folder;
  const char16_t* name;
  const char16_t* expected;
};

const NameCase kNames[] = {
    {u"C:\\Menu\\Tally", u"Tally", u"C:\\Menu\\Tally\\Tally.lnk"},
    {u"C:\\Menu\\Tally\\", u"Tally", u"C:\\Menu\\Tally\\Tally.lnk"},  // exactly one separator
    {u"C:\\Menu\\", u"\\Help", u"C:\\Menu\\Help.lnk"},
    {u"C:\\Menu", u"Sub\\Read me", u"C:\\Menu\\Sub\\Read me.lnk"},
};

TEST(ShortcutTarget, FileNameJoinsFolderAndNameWithOneSeparator) {
  for (const NameCase& c : kNames) {
    char16_t out[64];
    char16_t* end = ShortcutFileName(out, out + 63, c.folder, c.name);
    EXPECT_EQ(std::u16string(out, end), c.expected);
  }
  char16_t small[12];
  char16_t* end = ShortcutFileName(small, small + 11, u"C:\\Menu\\Tally", u"Tally");
  EXPECT_EQ(end - small, 11) << "cut at the end of the buffer";
  EXPECT_EQ(*end, 0);
}

TEST(ShortcutTarget, TargetFolderIsTheDefaultWorkingFolder) {
  const NameCase cases[] = {
      {u"C:\\App\\bin\\app.exe", nullptr, u"C:\\App\\bin"},
      {u"C:\\app.exe", nullptr, u"C:\\"},
      {u"C:/App/app.exe", nullptr, u"C:/App"},
      {u"app.exe", nullptr, u""},
  };
  for (const NameCase& c : cases) {
    char16_t out[64];
    char16_t* end = ShortcutTargetFolder(out, out + 63, c.folder);
    EXPECT_EQ(std::u16string(out, end), c.expected);
  }
}

}  // namespace
