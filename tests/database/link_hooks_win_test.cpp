// The Windows answers for linking: installed locales and the 32-bit-on-64-bit mode, and a variable
// with two values loaded through them. Runs in the win64 tree and, labelled wow64, in the win32 tree.
#include <gtest/gtest.h>

#include <string>

#include "database/database_link.h"
#include "tests/database/database_test_support.h"

class PlatformLinkHooks : public DatabaseTest {};

TEST_F(PlatformLinkHooks, AskTheSystem) {
  LinkHooks hooks = DatabasePlatformLinkHooks();
  ASSERT_NE(hooks.locale_installed, nullptr);
  EXPECT_TRUE(hooks.locale_installed(0x0409));
  EXPECT_FALSE(hooks.locale_installed(0x3FFF));
  EXPECT_EQ(hooks.wow64, sizeof(void*) == 4);  // the tests run on 64-bit Windows
}

TEST_F(PlatformLinkHooks, AVariableKeepsTheValueOfTheProcessKind) {
  ObjectTable* table = BuilderCreateTable();
  SetupObject* variable = BuilderAddObject(table, Tag("symb"), 1);
  BuilderSetU32(variable, 9, 0x1);
  BuilderSetLocalized(variable, 10, u"native", nullptr, 0);
  BuilderSetLocalized(variable, 13, u"32-bit on 64-bit", nullptr, 0);
  Bytes bytes = SaveBytes(table);
  ObjectTableDestroy(table);

  LinkHooks hooks = DatabasePlatformLinkHooks();
  BufferedFile in{};
  BufferedOpenMemory(&in, bytes.data(), bytes.size());
  ObjectTable* loaded = nullptr;
  ASSERT_EQ(DatabaseLoad(&in, 0, &hooks, &loaded), 0u);
  BufferedClose(&in);
  const char16_t* value = SlotLocalized(ObjectTableFind(loaded, 0, 1), 10)->text;
  EXPECT_EQ(std::u16string(value), sizeof(void*) == 4 ? u"32-bit on 64-bit" : u"native");
  ObjectTableDestroy(loaded);
}
