// The shortcut rule that needs no shell: address or path.
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

}  // namespace
