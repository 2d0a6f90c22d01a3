#include "install/file_steps.h"

#include <windows.h>

#include "database/database_builder.h"
#include "database/field_string.h"
#include "database/field_types.h"
#include "expr/installable_item.h"
#include "expr/variables.h"
#include "install/file_decision.h"
#include "install/file_journal.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "install/folders.h"
#include "runtime/fs_redirection.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "runtime/version_resource.h"
#include "session/session_state.h"

namespace {

constexpr unsigned kActionProcessed = 22;
constexpr uint32_t kVarProductFolder = 409;

const char16_t* PathOf(const SetupObject* file) {
  const char16_t* path = SlotText(file, kFileTargetPath);
  return path ? path : u"";
}

uint64_t FileTimeOf(const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }

FileRecord RecordOfItem(const SetupObject* file) {
  return {SlotU64(file, kFileSize),           SlotU64(file, kFileCreationTime),   SlotU64(file, kFileLastWriteTime),
          SlotU32(file, kFileAttributes),     SlotU64(file, kFileProductVersion), SlotU64(file, kFileFileVersion)};
}

// The record of the file on disk; false when there is none.
bool RecordOfDisk(const char16_t* path, FileRecord* record) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(path), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  *record = {uint64_t(found.nFileSizeHigh) << 32 | found.nFileSizeLow, FileTimeOf(found.ftCreationTime),
             FileTimeOf(found.ftLastWriteTime), found.dwFileAttributes, 0, 0};
  VersionResource block{};
  VersionFixedPart fixed{};
  if (!VersionResourceOpen(path, &block) && VersionResourceFixed(&block, &fixed)) {
    record->product_version = uint64_t(fixed.product_version_high) << 32 | fixed.product_version_low;
    record->file_version = uint64_t(fixed.file_version_high) << 32 | fixed.file_version_low;
  }
  VersionResourceClose(&block);
  return true;
}

void TraceRecord(uint32_t code, const char16_t* path, const FileRecord& r) {
  SYSTEMTIME created{}, written{};
  FILETIME utc, local;
  utc = {DWORD(r.creation_time), DWORD(r.creation_time >> 32)};
  FileTimeToLocalFileTime(&utc, &local);
  FileTimeToSystemTime(&local, &created);
  utc = {DWORD(r.last_write_time), DWORD(r.last_write_time >> 32)};
  FileTimeToLocalFileTime(&utc, &local);
  FileTimeToSystemTime(&local, &written);
  auto part = [](uint64_t v, int i) { return unsigned((v >> (48 - 16 * i)) & 0xFFFF); };
  Trace(code, u"%s|%u.%u.%u.%u|%u.%u.%u.%u|%04u-%02u-%02u %02u:%02u:%02u|%04u-%02u-%02u %02u:%02u:%02u|%I64u", path,
        part(r.product_version, 0), part(r.product_version, 1), part(r.product_version, 2), part(r.product_version, 3),
        part(r.file_version, 0), part(r.file_version, 1), part(r.file_version, 2), part(r.file_version, 3),
        created.wYear, created.wMonth, created.wDay, created.wHour, created.wMinute, created.wSecond, written.wYear,
        written.wMonth, written.wDay, written.wHour, written.wMinute, written.wSecond, r.size);
}

// The system's file protection (sfc.dll, when present).
bool IsProtected(const char16_t* path) {
  using Test = BOOL(WINAPI*)(HANDLE, LPCWSTR);
  static HMODULE library = LoadLibraryExW(L"sfc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  static Test test = library ? reinterpret_cast<Test>(reinterpret_cast<void*>(GetProcAddress(library, "SfcIsFileProtected")))
                             : nullptr;
  return test && test(nullptr, W(path));
}

void SetRollbackCopy(SetupObject* file, const char16_t* copy) {
  FieldFree(file, kFileRollbackCopy, kFieldText);
  SetSlotPointer(file, kFileRollbackCopy, copy ? TextDuplicate(copy) : nullptr);
}

// The installation source folder: the /s: folder, else the package's own folder.
char16_t* SourceFolder(char16_t* start, char16_t* end) {
  SessionState* s = SessionCurrent();
  if (s && s->source_folder && *s->source_folder) return TextCopy(start, end, s->source_folder);
  char16_t* p = TextCopy(start, end, s ? SessionText(s->package_path) : u"");
  while (p > start && p[-1] != u'\\' && p[-1] != u'/') --p;
  *p = 0;
  return p;
}

char16_t* JoinPart(char16_t* start, char16_t* end, const char16_t* part) {
  char16_t* p = start + TextLength(start);
  if (!part || !*part) return p;
  if (p > start && p[-1] != u'\\' && p[-1] != u'/') p = TextCopy(p, end, u"\\");
  return TextCopy(p, end, part);
}

// The relative source folders of the folder chain, outermost first.
void JoinFolderChain(char16_t* start, char16_t* end, const SetupObject* folder, int depth) {
  if (!folder || depth > 64) return;
  JoinFolderChain(start, end, SlotPointer<SetupObject>(folder, kFolderParentObject), depth + 1);
  JoinPart(start, end, SlotText(folder, kFolderSourceFolder));
}

}  // namespace

PointerList* FileActionProcessed(SetupObject* action) { return SlotPointerList(action, kActionProcessed); }

int32_t FileItemDecide(SetupObject* file) {
  int32_t mode = SlotInt(file, kItemEffectiveMode);
  const char16_t* path = PathOf(file);
  if (mode > 0 && !*path) return kDecisionSkip;  // the name was refused when the paths were resolved
  uint32_t flags = SlotU32(file, kFileFlags);
  if (mode > 0 && (flags & kFileFlagSideBySide)) {
    TraceList(TR("I0084"), 1, path);
    return kDecisionSkip;
  }
  if (mode > 0 && (flags & kFileFlagNetAssembly)) {
    TraceList(TR("I0085"), 1, path);
    return kDecisionSkip;
  }
  FileRecord packaged = RecordOfItem(file), existing{};
  bool exists = false;
  if (mode > 0) {
    FsRedirectionScope native;
    exists = RecordOfDisk(path, &existing);
  }
  if (exists) {
    TraceRecord(TR("I0014"), path, packaged);
    TraceRecord(TR("I0015"), path, existing);
  }
  FileDecision decision = FileDecide(mode, packaged, exists ? &existing : nullptr);
  if (decision.trace) TraceList(decision.trace, 1, path);
  if (decision.result == kDecisionReplace && IsProtected(path)) {
    TraceList(TR("W0009"), 1, path);
    return kDecisionKeep;
  }
  return decision.result;
}

void FileBackupRule(ObjectTable* db, SetupObject* file) {
  uint32_t flags = SlotU32(file, kFileFlags);
  if ((flags & (kFileFlagBackupTaken | kFileFlagTemporary)) || SlotInt(file, kItemRemovalMode) != -4) return;
  FsRedirectionScope native;
  const char16_t* path = PathOf(file);
  if (PathExists(path)) {
    char16_t backup[kInstallPathCapacity];
    char16_t* end = VariableValue(db, kVarProductFolder, backup, backup + kInstallPathCapacity - 1);
    if (end > backup && end[-1] != u'\\') end = TextCopy(end, backup + kInstallPathCapacity - 1, u"\\");
    TextFormat(end, backup + kInstallPathCapacity - 1, u"%016I64X._bu", ObjectId(file));
    if (Sys().CopyFileW(W(path), W(backup), TRUE)) {
      TraceList(TR("A0042"), 2, path, backup);
      BuilderSetText(file, kFileBackupPath, backup);
      FileJournalSetState(FileJournalAdd(db, backup, ObjectId(file)), kEntryOwned);
    } else {
      Trace(TR("W0052"), u"%s|%s|%lu", path, backup, GetLastError());
    }
  } else {
    TraceList(TR("I0098"), 1, path);
  }
  SetSlotU32(file, kFileFlags, SlotU32(file, kFileFlags) | kFileFlagBackupTaken);
}

uint32_t FileMakeRollbackCopy(SetupObject* file, bool* copied) {
  *copied = false;
  if (SlotU32(file, kFileFlags) & (kFileFlagNoRollbackCopy | kFileFlagTemporary)) return ERROR_SUCCESS;
  const char16_t* path = PathOf(file);
  if (!PathExists(path)) return ERROR_SUCCESS;
  char16_t copy[kInstallPathCapacity];
  PathWithSuffix(copy, copy + kInstallPathCapacity - 1, path, u"._rb");
  FileClearReadOnlyHidden(copy);
  if (!Sys().DeleteFileW(W(copy)) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    uint32_t err = GetLastError();
    Trace(TR("W0063"), u"%s|%s|%lu", path, copy, err);
    return err;
  }
  if (!Sys().MoveFileExW(W(path), W(copy), 0)) {
    uint32_t err = GetLastError();
    // A file in use cannot be renamed; a copy keeps its content safe while the move is tried.
    bool inUse = err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION || err == ERROR_ACCESS_DENIED;
    if (!inUse) {
      Trace(TR("W0063"), u"%s|%s|%lu", path, copy, err);
      return err;
    }
    if (!Sys().CopyFileW(W(path), W(copy), FALSE)) {
      // Held so that it can be neither renamed nor read: the move into place is refused for the same
      // reason, and the replacement is deferred without touching the file.
      Trace(TR("W0063"), u"%s|%s|%lu", path, copy, GetLastError());
      return ERROR_SUCCESS;
    }
    *copied = true;
  }
  TraceList(TR("A0061"), 2, path, copy);
  SetRollbackCopy(file, copy);
  return ERROR_SUCCESS;
}

void FileUndoRollbackCopy(SetupObject* file, bool copied) {
  const char16_t* copy = SlotText(file, kFileRollbackCopy);
  if (!copy) return;
  const char16_t* path = PathOf(file);
  bool done = copied ? (FileClearReadOnlyHidden(copy), Sys().DeleteFileW(W(copy)) != 0)
                     : Sys().MoveFileExW(W(copy), W(path), 0) != 0;
  if (done) TraceList(TR("A0028"), 2, path, copy);
  else Trace(TR("W0064"), u"%s|%s|%lu", path, copy, GetLastError());
  SetRollbackCopy(file, nullptr);
}

void FileRestore(ObjectTable* db, SetupObject* file) {
  FsRedirectionScope native;
  const char16_t* path = PathOf(file);
  uint32_t err = FileJournalDeleteByPattern(db, path, ObjectId(file), nullptr, false);
  const char16_t* copy = SlotText(file, kFileRollbackCopy);
  Trace(TR("A0063"), u"%s|%s|%lu", path, copy ? copy : u"", err);
  if (!copy) return;
  if (Sys().MoveFileExW(W(copy), W(path), 0)) TraceList(TR("A0028"), 2, path, copy);
  else Trace(TR("W0064"), u"%s|%s|%lu", path, copy, GetLastError());
  SetRollbackCopy(file, nullptr);
}

uint32_t FileCopyExternal(ObjectTable* db, SetupObject* action, SetupObject* file, int32_t result) {
  char16_t source[kInstallPathCapacity], temporary[kInstallPathCapacity];
  char16_t* end = source + kInstallPathCapacity - 1;
  SourceFolder(source, end);
  JoinFolderChain(source, end, SlotPointer<SetupObject>(file, kFileFolderObject), 0);
  JoinPart(source, end, SlotText(file, kFileSourceName));
  PathWithSuffix(temporary, temporary + kInstallPathCapacity - 1, PathOf(file), u"._tm");
  FsRedirectionScope native;
  if (uint32_t err = FilePrepareTarget(db, file, result)) {
    SetSlotU32(file, kItemInstalledState, uint32_t(-1));
    return err;
  }
  FileClearReadOnlyHidden(temporary);
  if (!Sys().CopyFileW(W(source), W(temporary), FALSE)) {
    uint32_t err = GetLastError();
    Trace(TR("E0056"), u"%s|%s|%lu", source, temporary, err);
    SetSlotU32(file, kItemInstalledState, uint32_t(-1));
    return err;
  }
  Sys().SetFileAttributesW(W(temporary), SlotU32(file, kFileAttributes) ? SlotU32(file, kFileAttributes) : FILE_ATTRIBUTE_NORMAL);
  TraceList(TR("A0060"), 2, source, temporary);
  return FileInstallFromTemporary(db, action, file, temporary);
}

uint32_t FilePrepareTarget(ObjectTable* db, SetupObject* file, int32_t result) {
  if (result != kDecisionInstall) return ERROR_SUCCESS;
  SetupObject* folder = SlotPointer<SetupObject>(file, kFileFolderObject);
  if (!folder) {
    Trace(TR("F0001"), u"%016I64X", SlotU64(file, kFileFolder));
    return ERROR_PATH_NOT_FOUND;
  }
  char16_t parent[kInstallPathCapacity];
  char16_t* end = TextCopy(parent, parent + kInstallPathCapacity - 1, PathOf(file));
  while (end > parent && end[-1] != u'\\') --end;
  if (end > parent) end[-1] = 0;
  return FolderCreate(db, parent, kFolderJournalOwned);
}

