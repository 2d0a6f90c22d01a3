#include "session/working_files.h"

#include <windows.h>

#include "database/database_file.h"
#include "expr/database_resolver.h"
#include "install/file_journal.h"
#include "install/file_ops.h"
#include "install/session_temp_folder.h"
#include "package/package_format.h"
#include "runtime/fs_redirection.h"
#include "runtime/path_clean.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/run_package.h"
#include "session/run_finalisation.h"
#include "session/runtime_copy.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "session/support_files.h"

namespace {

constexpr size_t kPathCapacity = 1024;
constexpr char16_t kProductFolder[] = u"<KesProductFolder>";
constexpr uint64_t kInternalEntryMask = 0xFFFFFFFFFFFF0000ULL;  // the package's own entries

struct ProductFolderFile {
  uint64_t entry_id;
  const char16_t* name;
};
const ProductFolderFile kProductFolderFiles[] = {
    {kEntryIdIcon, u"Setup.ico"},
    {kEntryIdReadme, u"Readme.txt"},
};
constexpr size_t kFileCount = sizeof kProductFolderFiles / sizeof kProductFolderFiles[0];

// Fresh installation: the entry extracted into the session temporary folder and staged for the
// product folder; its staged path into `path`.
uint32_t StageEntry(ObjectTable* db, const PackageEntryHeader& header, const ProductFolderFile& file, char16_t* path) {
  uint32_t err = SessionTempFolderPath(db, path, kPathCapacity - 16);
  TextAppend(TextAppend(path, path + kPathCapacity - 1, u"\\"), path + kPathCapacity - 1, file.name);
  if (!err) err = PackageExtractEntry(RunPackageReader(), &header, path);
  if (err) {
    Trace(TR("E0006"), u"%s|%lu", path, err);
    return err;
  }
  TraceList(TR("A0006"), 1, path);
  FileJournalStage(db, path, 0, kProductFolder, file.name);
  return ERROR_SUCCESS;
}

bool IsInternal(uint64_t id) { return (id & kInternalEntryMask) == kInternalEntryMask; }

// The reader right behind the database entry: where loading the database left it, else opened
// anew.
uint32_t BehindDatabaseEntry(PackageReader* reader) {
  if (PackageIsOpen(reader)) return ERROR_SUCCESS;
  PackageEntryHeader header{};
  uint32_t err = RunPackageFindEntry(kEntryIdDatabase, &header);
  return err ? err : PackageSkipEntry(reader, &header);
}

// Fresh installation: one pass over the package's fixed entries behind the database entry (the
// support files, then the internal entries), staging the icon and the read-me; errors[i] receives
// the error of kProductFolderFiles[i] (38 when it is missing). The pass stops once both are found,
// so the file installation goes on from there; when it had to read further (a payload entry's
// header, or the end) the reader is closed and the file installation starts again from the front.
void StageFromPackage(ObjectTable* db, uint32_t* errors, char16_t (*paths)[kPathCapacity]) {
  for (size_t i = 0; i < kFileCount; ++i) errors[i] = ERROR_HANDLE_EOF;
  PackageReader* reader = RunPackageReader();
  PackageEntryHeader header{};
  uint32_t err = BehindDatabaseEntry(reader);
  for (uint32_t support = DatabaseHeaderU32(db, kHeaderSupportFiles); !err && support; --support) {
    err = PackageNextEntry(reader, &header);
    if (!err) err = PackageSkipEntry(reader, &header);
  }
  size_t missing = kFileCount;
  while (!err && missing && !(err = PackageNextEntry(reader, &header)) && IsInternal(header.id)) {
    size_t i = 0;
    while (i < kFileCount && kProductFolderFiles[i].entry_id != header.id) ++i;
    if (i == kFileCount) {
      err = PackageSkipEntry(reader, &header);
      continue;
    }
    errors[i] = StageEntry(db, header, kProductFolderFiles[i], paths[i]);
    --missing;
  }
  if (missing) PackageClose(reader);
  for (size_t i = 0; i < kFileCount; ++i)
    if (errors[i] == ERROR_HANDLE_EOF) Trace(TR("E0036"), u"%016I64X|%lu", kProductFolderFiles[i].entry_id, errors[i]);
}

// Installed product: the file is expected in the product folder.
void ProductFolderPath(ObjectTable* db, const ProductFolderFile& file, char16_t* path) {
  char16_t pattern[kPathCapacity];
  TextFormat(pattern, pattern + kPathCapacity - 1, u"%s\\%s", kProductFolder, file.name);
  Substitute(db, pattern, path, path + kPathCapacity - 1);
  PathClean(path);
  TraceList(TR("I0099"), 1, path);
}

void InstallProductFolderFiles(SessionState* s, ObjectTable* db) {
  FsRedirectionScope native;
  uint32_t errors[kFileCount] = {};
  char16_t paths[kFileCount][kPathCapacity] = {};
  if (s->fresh_installation) StageFromPackage(db, errors, paths);
  else
    for (size_t i = 0; i < kFileCount; ++i) ProductFolderPath(db, kProductFolderFiles[i], paths[i]);
  for (size_t i = 0; i < kFileCount; ++i) {
    uint32_t err = errors[i];
    if (!err && !PathExists(paths[i])) err = GetLastError();
    if (err && *paths[i]) Trace(TR("E0061"), u"%s|%lu", paths[i], err);
  }
}

uint32_t StageRuntimeAndSupportFiles(SessionState* s, ObjectTable* db) {
  uint32_t err = RuntimeCopyStage(s, db);
  return err ? err : SupportFilesStage(db);
}

}  // namespace

void WorkingFilesRegister() {
  WorkingFileHooks& hooks = Hooks()->working_files;
  hooks.install_product_folder_files = InstallProductFolderFiles;
  hooks.stage_runtime_and_support_files = StageRuntimeAndSupportFiles;
  hooks.keep_cached_files = SupportFilesKeepInCache;
  hooks.save_database = [](SessionState* s, ObjectTable* db) { return uint32_t(SaveRunDatabase(s, db)); };
}
