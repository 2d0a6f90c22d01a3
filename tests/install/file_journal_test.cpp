// The file journal and the folder-creation routine on a small database: which components are
// journalled, the order in which a rollback deletes them, kept folders, dropping finished entries.
#include <gtest/gtest.h>
#include <windows.h>

#include "database/class_registry.h"
#include "database/object_table.h"
#include "install/file_journal.h"
#include "install/file_slots.h"
#include "install/folders.h"
#include "runtime/file_utils.h"
#include "tests/runtime/windows_test_support.h"

using namespace test_support;

namespace {

class FileJournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClassRegistryRegisterSetupClasses();
    db = ObjectTableCreate(0);
    root = CreateUniqueTempFolder(u"journal_");
  }
  void TearDown() override {
    ObjectTableDestroy(db);
    FolderDeleteTree(root.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  }
  bool Exists(const std::u16string& path) { return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES; }
  std::u16string EntryPath(uint32_t i) { return SlotText(db->journal.items[i], kEntryPath); }
  int32_t EntryState(uint32_t i) { return SlotInt(db->journal.items[i], kEntryState); }

  ObjectTable* db = nullptr;
  std::u16string root;
};

}  // namespace

TEST_F(FileJournalTest, CreatesAndJournalsOnlyTheMissingComponentsOutermostFirst) {
  CreateDirectoryW(W(root + u"\\A"), nullptr);
  ASSERT_EQ(FolderCreate(db, (root + u"\\A\\B\\E").c_str(), kFolderJournalOwned), 0u);
  ASSERT_EQ(db->journal.count, 2u);
  EXPECT_EQ(EntryPath(0), root + u"\\A\\B");
  EXPECT_EQ(EntryPath(1), root + u"\\A\\B\\E");
  EXPECT_EQ(SlotU64(db->journal.items[0], kEntryOwner), kOwnerFolder);
  EXPECT_EQ(EntryState(0), kEntryOwned);
  EXPECT_EQ(SlotU64(db->journal.items[0], kEntrySession), FileJournalSessionId());
  EXPECT_EQ(FolderCreate(db, (root + u"\\A\\B\\E").c_str(), kFolderJournalOwned), 0u) << "an existing folder is fine";
  EXPECT_EQ(db->journal.count, 2u);

  // The rollback deletes newest first, so the nested folder goes before its parent.
  FileJournalDeleteFiles(db, false);
  EXPECT_FALSE(Exists(root + u"\\A\\B"));
  EXPECT_TRUE(Exists(root + u"\\A"));
  EXPECT_EQ(EntryState(0), kEntryFinished);
  EXPECT_EQ(EntryState(1), kEntryFinished);
  FileJournalDropFinished(db);
  EXPECT_EQ(db->journal.count, 0u);
  EXPECT_EQ(ObjectTableFirstOf(db, TagOf("fsta")), nullptr) << "dropped entries leave the database";
}

TEST_F(FileJournalTest, KeptFoldersSurviveAndFilesRefuseToBeFolders) {
  ASSERT_EQ(FolderCreate(db, (root + u"\\Kept").c_str(), kFolderJournalKept), 0u);
  ASSERT_EQ(FolderCreate(db, (root + u"\\Temp\\Inner").c_str(), kFolderJournalTemporary), 0u);
  WriteBytes(root + u"\\Temp\\Inner\\left.txt", "x");
  WriteBytes(root + u"\\file", "x");
  EXPECT_EQ(FolderCreate(db, (root + u"\\file").c_str(), kFolderJournalOwned), uint32_t(ERROR_FILE_EXISTS));
  EXPECT_EQ(FolderCreate(db, u"", kFolderJournalOwned), uint32_t(ERROR_INVALID_PARAMETER));

  FileJournalDeleteFiles(db, true);
  EXPECT_TRUE(Exists(root + u"\\Kept"));
  EXPECT_FALSE(Exists(root + u"\\Temp")) << "a temporary folder goes with its contents";
  FileJournalDropFinished(db);
  ASSERT_EQ(db->journal.count, 1u);
  EXPECT_EQ(EntryState(0), kEntryKept);
}

TEST_F(FileJournalTest, DeleteByPatternJournalsWhatItCannotDelete) {
  WriteBytes(root + u"\\one.tmp", "1");
  WriteBytes(root + u"\\two.tmp", "2");
  WriteBytes(root + u"\\keep.txt", "k");
  HANDLE held = CreateFileW(W(root + u"\\two.tmp"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  uint64_t entry = 0;
  EXPECT_EQ(FileJournalDeleteByPattern(db, (root + u"\\*.tmp").c_str(), 7, &entry, false), uint32_t(ERROR_SHARING_VIOLATION));
  CloseHandle(held);
  EXPECT_FALSE(Exists(root + u"\\one.tmp"));
  EXPECT_TRUE(Exists(root + u"\\keep.txt"));
  ASSERT_EQ(db->journal.count, 1u);
  EXPECT_EQ(EntryPath(0), root + u"\\two.tmp");
  EXPECT_EQ(EntryState(0), kEntryDeletionFailed);
  EXPECT_EQ(ObjectId(db->journal.items[0]), entry);
  EXPECT_EQ(FileJournalDeleteByPattern(db, (root + u"\\none*.x").c_str(), 7, nullptr, false), 0u);
  EXPECT_EQ(FileJournalDeleteObject(db->journal.items[0]), 0u);
  EXPECT_FALSE(Exists(root + u"\\two.tmp"));
}
