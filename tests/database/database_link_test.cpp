#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "database/database_link.h"
#include "database/localized_text.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "tests/database/database_test_support.h"

namespace {

std::vector<std::string> g_lines;

void CollectLine(void*, const char16_t* line, size_t length) { g_lines.push_back(TextToUtf8(line, length)); }

bool OnlyUsEnglish(uint16_t language) { return language == 0x0409; }

}  // namespace

class LinkTest : public DatabaseTest {
 protected:
  void SetUp() override { table_ = BuilderCreateTable(); }
  void TearDown() override { ObjectTableDestroy(table_); }
  SetupObject* Add(const char* tag, uint64_t id) { return BuilderAddObject(table_, Tag(tag), id); }
  // Saves and loads the table again, so that each case goes through a real load.
  void Link(LinkHooks hooks = LinkHooks{nullptr, false}) {
    Bytes bytes = SaveBytes(table_);
    ObjectTableDestroy(table_);
    table_ = nullptr;
    BufferedFile in{};
    BufferedOpenMemory(&in, bytes.data(), bytes.size());
    ASSERT_EQ(DatabaseLoad(&in, 0x1234, &hooks, &table_), 0u);
    BufferedClose(&in);
  }
  SetupObject* Find(uint64_t id) { return ObjectTableFind(table_, 0, id); }
  std::vector<uint64_t> Ids(const PointerList& list) {
    std::vector<uint64_t> ids;
    for (uint32_t i = 0; i < list.count; ++i) ids.push_back(ObjectId(list.items[i]));
    return ids;
  }
  ObjectTable* table_ = nullptr;
};

TEST_F(LinkTest, FoldersFilesAndShortcutsGetTheirFolders) {
  Add("fldr", 1);
  BuilderSetId(Add("fldr", 2), 16, 1);
  BuilderSetId(Add("fldr", 3), 16, 10);  // names a file: left out
  BuilderSetId(Add("file", 10), 16, 2);
  BuilderSetId(Add("file", 11), 16, 99);  // names nothing
  BuilderSetId(Add("shct", 20), 16, 1);
  Link();
  EXPECT_EQ(Ids(table_->folders), (std::vector<uint64_t>{1, 2, 3}));
  EXPECT_EQ(SlotPointer<SetupObject>(Find(1), 22), nullptr);
  EXPECT_EQ(SlotPointer<SetupObject>(Find(2), 22), Find(1));
  EXPECT_EQ(SlotPointer<SetupObject>(Find(3), 22), nullptr);
  EXPECT_EQ(SlotPointer<SetupObject>(Find(10), 46), Find(2));
  EXPECT_EQ(SlotPointer<SetupObject>(Find(11), 46), nullptr);
  EXPECT_EQ(SlotPointer<SetupObject>(Find(20), 35), Find(1));
}

TEST_F(LinkTest, FilesAreSortedBySlot29IgnoringCase) {
  const char16_t* names[] = {u"b.dll", u"A.exe", u"c.txt", u"a.dll"};
  for (uint64_t i = 0; i < 4; ++i) BuilderSetText(Add("file", 10 + i), 29, names[i]);
  Link();
  EXPECT_EQ(Ids(table_->files), (std::vector<uint64_t>{13, 11, 10, 12}));
}

TEST_F(LinkTest, RegistryKeysAndJournalEntriesAreListed) {
  Add("regk", 5);
  Add("fsta", 6);
  Add("fsta", 4);
  Add("regv", 7);  // a registry value is not a key
  Link();
  EXPECT_EQ(Ids(table_->registry_keys), (std::vector<uint64_t>{5}));
  EXPECT_EQ(Ids(table_->journal), (std::vector<uint64_t>{4, 6}));
}

TEST_F(LinkTest, LanguagesTheSystemDoesNotKnowStayOutOfTheList) {
  SetupObject* known = Add("lang", 1);
  BuilderSetU32(known, 8, 0x0409);
  SetupObject* unknown = Add("lang", 2);
  BuilderSetU32(unknown, 8, 0x1234);
  BuilderSetU32(unknown, 9, 0x3);  // bit 0 set in the file: cleared by linking
  Link(LinkHooks{OnlyUsEnglish, false});
  EXPECT_EQ(Ids(table_->languages), (std::vector<uint64_t>{1}));
  EXPECT_EQ(SlotU32(Find(1), 9), 0x1u);
  EXPECT_EQ(SlotU32(Find(2), 9), 0x2u);
  ASSERT_NE(Find(2), nullptr);
}

TEST_F(LinkTest, VariablesKeepOneValueChosenByTheProcessKind) {
  for (bool wow64 : {false, true}) {
    SCOPED_TRACE(wow64);
    ObjectTableDestroy(table_);
    table_ = BuilderCreateTable();
    SetupObject* flagged = Add("symb", 1);
    BuilderSetText(flagged, 16, u"Flagged");
    BuilderSetU32(flagged, 9, 0x11);
    BuilderSetLocalized(flagged, 10, u"first", nullptr, 0);
    BuilderSetLocalized(flagged, 13, u"second", nullptr, 0);
    SetupObject* plain = Add("symb", 2);
    BuilderSetText(plain, 16, u"Plain");
    BuilderSetLocalized(plain, 10, u"one", nullptr, 0);
    BuilderSetLocalized(plain, 13, u"two", nullptr, 0);
    Link(LinkHooks{nullptr, wow64});
    EXPECT_EQ(std::u16string(SlotLocalized(Find(1), 10)->text), wow64 ? u"second" : u"first");
    EXPECT_EQ(std::u16string(SlotLocalized(Find(2), 10)->text), u"one");
    for (uint64_t id : {1, 2}) {
      EXPECT_EQ(SlotLocalized(Find(id), 13)->text, nullptr);
      EXPECT_EQ(SlotU32(Find(id), 9) & 1, 0u);
    }
    EXPECT_EQ(SlotU32(Find(1), 9), 0x10u);
  }
}

TEST_F(LinkTest, VariablesAreSortedByNameAndTracedWithSecretsHidden) {
  struct Variable {
    const char16_t* name;
    uint32_t flags;
    const char16_t* value;
  } variables[] = {{u"zeta", 0, u"z"}, {u"Password", 0x10, u"secret"}, {u"alpha", 0, u"a"}, {u"EMPTY", 0x10, u""}};
  uint64_t id = 1;
  for (const Variable& v : variables) {
    SetupObject* o = Add("symb", id++);
    BuilderSetText(o, 16, v.name);
    BuilderSetU32(o, 9, v.flags);
    BuilderSetLocalized(o, 10, v.value, nullptr, 0);
  }
  g_lines.clear();
  TraceSink sink{CollectLine, nullptr};
  TraceSetSink(&sink);
  Link();
  TraceSetSink(nullptr);
  EXPECT_EQ(Ids(table_->variables), (std::vector<uint64_t>{3, 4, 2, 1}));
  ASSERT_EQ(g_lines.size(), 4u);
  const char* expected[] = {"|alpha|a\n", "|EMPTY|\n", "|Password|*HIDDEN*\n", "|zeta|z\n"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NE(g_lines[i].find("QEL:D0001|"), std::string::npos) << g_lines[i];
    EXPECT_EQ(g_lines[i].substr(g_lines[i].size() - strlen(expected[i])), expected[i]);
  }
}

TEST_F(LinkTest, TheInstallationRecordNamesTheTopLevelOptions) {
  const uint64_t options[] = {30, 99, 31, 40, 32};  // 99 names nothing, 40 a folder
  BuilderSetIdList(Add("inst", 1), 23, options, 5);
  Add("cmp9", 30);
  Add("asm9", 31);
  Add("fldr", 40);
  Add("cmp9", 32);
  Link();
  EXPECT_EQ(table_->installation, Find(1));
  EXPECT_EQ(Ids(table_->options), (std::vector<uint64_t>{30, 31, 32}));
}

TEST_F(LinkTest, OptionsKnowTheirChildrenAndParents) {
  const uint64_t children[] = {31, 32, 50, 98};
  BuilderSetIdList(Add("cmp9", 30), 18, children, 4);
  Add("cmp9", 31);
  const uint64_t grandchildren[] = {33};
  BuilderSetIdList(Add("asm9", 32), 18, grandchildren, 1);
  Add("cmp9", 33);
  Add("fldr", 50);
  Link();
  PointerList* list = SlotPointerList(Find(30), 34);
  EXPECT_EQ(Ids(*list), (std::vector<uint64_t>{31, 32}));
  EXPECT_EQ(SlotPointer<SetupObject>(Find(31), 37), Find(30));
  EXPECT_EQ(SlotPointer<SetupObject>(Find(32), 37), Find(30));
  EXPECT_EQ(SlotPointer<SetupObject>(Find(33), 37), Find(32));
  EXPECT_EQ(SlotPointer<SetupObject>(Find(30), 37), nullptr);
}

TEST_F(LinkTest, PrerequisiteListsNamePrerequisitesOnly) {
  const uint64_t ids[] = {60, 61, 62};  // 61 is a plain sequence
  BuilderSetIdList(Add("pres", 1), 8, ids, 3);
  Add("preh", 60);
  Add("aseq", 61);
  Add("preh", 62);
  Link();
  EXPECT_EQ(Ids(*SlotPointerList(Find(1), 10)), (std::vector<uint64_t>{60, 62}));
}

TEST_F(LinkTest, LinkingAgainRebuildsTheLists) {
  Add("fldr", 1);
  Add("regk", 2);
  Link();
  LinkHooks hooks{nullptr, false};
  DatabaseLink(table_, &hooks);
  EXPECT_EQ(Ids(table_->folders), (std::vector<uint64_t>{1}));
  EXPECT_EQ(Ids(table_->registry_keys), (std::vector<uint64_t>{2}));
}
