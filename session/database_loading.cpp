#include "session/database_loading.h"

#include <windows.h>

#include <cstring>

#include "actions/abort_on_failure.h"
#include "database/database_file.h"
#include "database/database_link.h"
#include "package/package_classify.h"
#include "resources/string_ids.h"
#include "runtime/buffered_file.h"
#include "runtime/error_text.h"
#include "runtime/file_utils.h"
#include "runtime/process_context.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/run_package.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {

constexpr size_t kPathCapacity = kLogPathCapacity;

// The folder of `path` with its final separator into [start, end]; returns the end.
char16_t* FolderOf(const char16_t* path, char16_t* start, char16_t* end) {
  size_t cut = 0;
  for (size_t i = 0; path[i]; ++i)
    if (path[i] == u'\\' || path[i] == u'/') cut = i + 1;
  return TextCopyN(start, end, path, cut);
}

uint32_t LoadFile(const char16_t* path, ObjectTable** table) {
  BufferedFile stream{};
  uint32_t err = BufferedOpenRead(&stream, path, kFileShareRead | kFileSequential);
  if (err) return err;
  LinkHooks hooks = DatabasePlatformLinkHooks();
  err = DatabaseLoad(&stream, Process()->seed[0], &hooks, table);
  BufferedClose(&stream);
  return err;
}

// The package's folder becomes the package folder (z:) when that differs.
void KeepPackagePath(SessionState* s, const char16_t* opened) {
  SessionSetText(&s->package_path, opened);
  char16_t folder[kPathCapacity];
  char16_t* end = FolderOf(opened, folder, folder + kPathCapacity - 1);
  if (end > folder + 1 && end[-1] == u'\\' && end[-2] != u':') end[-1] = 0;
  if (!s->package_folder || !TextEqualNoCase(s->package_folder, folder)) SessionSetText(&s->package_folder, folder);
}

// Extracts the database entry of the package at `path` into "%08lX.dat" in the temporary folder,
// loads it and deletes the file.
uint32_t LoadFromPackage(SessionState* s, const char16_t* path, ObjectTable** table) {
  char16_t opened[kPackagePathCapacity];
  uint32_t err = RunPackageOpen(path, nullptr, 0, opened, opened + kPackagePathCapacity - 1);
  if (err) return err;
  KeepPackagePath(s, opened);
  PackageEntryHeader header{};
  err = RunPackageFindEntry(kEntryIdDatabase, &header);
  if (err) {
    Trace(TR("E0036"), u"%016I64X|%lu", kEntryIdDatabase, err);
    return err;
  }
  wchar_t folder[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (!length || length > MAX_PATH) folder[0] = 0;
  char16_t temporary[kPathCapacity];
  TextFormat(temporary, temporary + kPathCapacity - 1, u"%s%08lX.dat", reinterpret_cast<const char16_t*>(folder),
             Process()->run_identifier);
  err = PackageExtractEntry(RunPackageReader(), &header, temporary);
  if (err) {
    Trace(TR("E0006"), u"%s|%lu", temporary, err);
  } else {
    TraceList(TR("A0006"), 1, temporary);
    err = LoadFile(temporary, table);
  }
  FileDeleteForced(temporary);
  return err;
}

// The source: the d: path, else the executable; an executable without a package gives way to
// "Setup.dat" beside it.
uint32_t ChooseSource(SessionState* s, char16_t* path, PackageFileKind* kind) {
  const char16_t* executable = Process()->executable_path;
  TextCopy(path, path + kPathCapacity - 1, s->database_path ? s->database_path : executable);
  uint64_t offset = 0;
  uint32_t err = PackageClassifyFile(path, true, kind, &offset);
  if (s->database_path || err || *kind != kFileHoldsNoPackage) return err;
  char16_t* end = FolderOf(executable, path, path + kPathCapacity - 1);
  TextCopy(end, path + kPathCapacity - 1, u"Setup.dat");
  return PackageClassifyFile(path, true, kind, &offset);
}

uint32_t Load(SessionState* s, char16_t* path, ObjectTable** table) {
  PackageFileKind kind = kFileHoldsNoPackage;
  uint32_t err = ChooseSource(s, path, &kind);
  if (err) return err;
  switch (kind) {
    case kFileIsDatabase: err = LoadFile(path, table); break;
    case kFileIsStandAloneVolume:
    case kFileIsExecutableWithPackage: err = LoadFromPackage(s, path, table); break;
    default: return ERROR_BAD_FORMAT;
  }
  if (!err && !(*table)->installation) err = ERROR_INVALID_DATA;
  return err;
}

}  // namespace

int ExitCodeOfLoadError(unsigned long error) {
  if (error == ERROR_CANCELLED) return 5;
  if (error == ERROR_DECRYPTION_FAILED || error == ERROR_FILE_ENCRYPTED) return 15;
  return 3;
}

bool LoadRunDatabase(SessionState* s) {
  char16_t path[kPathCapacity] = u"";
  ObjectTable* table = nullptr;
  uint32_t err = Load(s, path, &table);
  if (!err) {
    s->database = table;
    memcpy(s->package_code, table->header + kHeaderPackageCode, sizeof s->package_code);
    s->fresh_installation = DatabaseHeaderU64(table, kHeaderInstallTime) == 0;
    SessionSetText(&s->database_file, path);
    TraceList(TR("I0007"), 1, path);
    return true;
  }
  ObjectTableDestroy(table);
  Trace(TR("E0002"), u"%s|%lu", path, err);
  QelShowMessageBox(nullptr, MB_OK | MB_ICONERROR, IDOK, MessageBoxTimeout(), MessageTextId(IDS_LOAD_ERROR), path, err,
                    ErrorTextOfThread(err));
  SessionRecordExitCode(s, ExitCodeOfLoadError(err));
  return false;
}
