#include "session/support_files.h"

#include <windows.h>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "expr/variables.h"
#include "install/file_journal.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "install/folders.h"
#include "install/session_temp_folder.h"
#include "install/target_name.h"
#include "package/package_format.h"
#include "runtime/fs_redirection.h"
#include "runtime/path_clean.h"
#include "runtime/path_parts.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/run_package.h"

namespace {

constexpr size_t kPathCapacity = 1024;
constexpr uint32_t kVarProductFolder = 409;

enum : unsigned {
  kSupportName = 8,  // text
  kSupportPath = 9,  // text: where the file is now
};

// `folder` and `name` joined by exactly one separator into [path, path + kPathCapacity - 1].
void Join(char16_t* path, const char16_t* folder, const char16_t* name) {
  PathJoin(path, path + kPathCapacity - 1, folder, name);
  PathClean(path);
}

uint32_t Extract(ObjectTable* db, const PackageEntryHeader& header, SetupObject* record) {
  char16_t folder[kPathCapacity], path[kPathCapacity];
  uint32_t err = SessionTempFolderPath(db, folder, kPathCapacity);
  const char16_t* name = SlotText(record, kSupportName);
  Join(path, folder, name ? name : u"");
  if (!err) err = TargetNameCheck(name ? name : u"");  // the name must stay inside the folder
  if (!err) err = PackageExtractEntry(RunPackageReader(), &header, path);
  if (err) {
    Trace(TR("E0006"), u"%s|%lu", path, err);
    return err;
  }
  TraceList(TR("A0006"), 1, path);
  BuilderSetText(record, kSupportPath, path);
  FileJournalSetState(FileJournalAdd(db, path, ObjectId(record)), kEntryTemporary);
  return ERROR_SUCCESS;
}

struct CacheWalk {
  char16_t cache[kPathCapacity];
  bool made;
};

int MoveIntoCache(SetupObject* record, ObjectTable* db, void* context) {
  auto* walk = static_cast<CacheWalk*>(context);
  const char16_t* from = SlotText(record, kSupportPath);
  const char16_t* name = SlotText(record, kSupportName);
  if (!from || !*from || !name) return 1;
  if (!walk->made) walk->made = FolderCreate(db, walk->cache, kFolderJournalOwned) == ERROR_SUCCESS;
  char16_t to[kPathCapacity];
  Join(to, walk->cache, name);
  if (!Sys().MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
    Trace(TR("W1195"), u"%s|%s|%lu", from, to, GetLastError());
    return 1;
  }
  TraceList(TR("A1194"), 2, from, to);
  BuilderSetText(record, kSupportPath, to);
  FileJournalSetState(FileJournalAdd(db, to, ObjectId(record)), kEntryOwned);
  return 1;
}

}  // namespace

uint32_t SupportFilesStage(ObjectTable* db) {
  uint32_t count = DatabaseHeaderU32(db, kHeaderSupportFiles);
  if (!count) return ERROR_SUCCESS;
  FsRedirectionScope native;
  PackageReader* reader = RunPackageReader();
  PackageEntryHeader header{};
  PackageClose(reader);  // the support files follow the database entry: read from the start
  uint32_t err = RunPackageFindEntry(kEntryIdDatabase, &header);
  if (!err) err = PackageSkipEntry(reader, &header);
  for (uint32_t index = 0; index < count && !err; ++index) {
    err = PackageNextEntry(reader, &header);
    if (err) {
      Trace(TR("E1193"), u"%u|%lu", index, err);
      break;
    }
    SetupObject* record = ObjectTableFind(db, TagOf("stof"), header.id);
    if (!record) {
      Trace(TR("D1192"), u"%u", index);
      err = PackageSkipEntry(reader, &header);
      continue;
    }
    err = Extract(db, header, record);
  }
  PackageClose(reader);
  return err;
}

void SupportFilesKeepInCache(SessionState*, ObjectTable* db) {
  if (!DatabaseHeaderU32(db, kHeaderSupportFiles)) return;
  FsRedirectionScope native;
  CacheWalk walk{};
  char16_t product[kPathCapacity];
  VariableValue(db, kVarProductFolder, product, product + kPathCapacity - 1);
  Join(walk.cache, product, u"Cache");
  ObjectTableForEach(db, MoveIntoCache, &walk, TagOf("stof"));
}
