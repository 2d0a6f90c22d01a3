#include "install/folders.h"

#include <windows.h>

#include "actions/abort_on_failure.h"
#include "expr/installable_item.h"
#include "install/file_journal.h"
#include "install/file_ops.h"
#include "install/file_slots.h"
#include "runtime/error_text.h"
#include "runtime/file_utils.h"
#include "runtime/fs_redirection.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {

constexpr uint32_t kFolderErrorMessage = 265;

uint32_t Failed(const char16_t* path, uint32_t err) {
  Trace(TR("E0009"), u"%s|%lu", path, err);
  return err;
}

int32_t EntryStateOf(int32_t journal_mode) {
  return journal_mode == kFolderJournalTemporary ? kEntryTemporary
         : journal_mode == kFolderJournalKept    ? kEntryKept
                                                 : kEntryOwned;
}

// The length of the path's root ("C:\", "\\server\share\"), which is never created.
size_t RootLength(const char16_t* path) {
  if (path[0] == u'\\' && path[1] == u'\\') {
    size_t i = 2, separators = 0;
    for (; path[i]; ++i)
      if ((path[i] == u'\\' || path[i] == u'/') && ++separators == 2) return i + 1;
    return i;
  }
  if (path[0] && path[1] == u':') return (path[2] == u'\\' || path[2] == u'/') ? 3 : 2;
  return 0;
}

}  // namespace

uint32_t FolderCreate(ObjectTable* db, const char16_t* path, int32_t journal_mode) {
  if (!path || !*path) return Failed(path ? path : u"", ERROR_INVALID_PARAMETER);
  FsRedirectionScope native;
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return ERROR_SUCCESS;
    Trace(TR("W0042"), u"%s|%d", path, -3);
    return Failed(path, ERROR_FILE_EXISTS);
  }
  char16_t component[kInstallPathCapacity];
  char16_t* end = TextCopy(component, component + kInstallPathCapacity - 1, path);
  while (end > component + 1 && (end[-1] == u'\\' || end[-1] == u'/')) *--end = 0;
  size_t length = size_t(end - component);
  // From the outermost component inwards: cut the path after each separator past the root.
  for (size_t i = RootLength(component); i <= length; ++i) {
    if (i < length && component[i] != u'\\' && component[i] != u'/') continue;
    char16_t kept = component[i];
    component[i] = 0;
    if (!PathExists(component)) {
      if (!Sys().CreateDirectoryW(W(component), nullptr)) {
        uint32_t err = GetLastError();
        if (err != ERROR_ALREADY_EXISTS) return Failed(path, err);
      } else {
        FileJournalSetState(FileJournalAdd(db, component, kOwnerFolder), EntryStateOf(journal_mode));
        TraceList(TR("A0008"), 1, component);
      }
    }
    component[i] = kept;
  }
  return ERROR_SUCCESS;
}

uint32_t FolderItemCreate(ObjectTable* db, SetupObject* folder) {
  const char16_t* path = SlotText(folder, kFolderPath);
  int32_t mode = SlotInt(folder, kItemRemovalMode) == 0 ? kFolderJournalKept
                                                         : int32_t(SlotU32(folder, kFolderFlags) & kFolderFlagTemporary);
  uint32_t err = FolderCreate(db, path, mode);
  if (err) {
    SessionState* s = SessionCurrent();
    QelShowMessageBox(static_cast<HWND>(s ? s->main_window : nullptr), MB_OK | MB_ICONERROR, IDOK, MessageBoxTimeout(),
                      MessageTextId(kFolderErrorMessage), path ? path : u"", err, ErrorTextOfThread(err));
  }
  SetSlotU32(folder, kItemInstalledState, uint32_t(err ? -1 : 1));
  return err;
}

uint32_t FolderRemove(const char16_t* path, int32_t depth) {
  FsRedirectionScope native;
  for (const char16_t* name : {u"\\.DS_Store", u"\\thumbs.db"}) {
    char16_t file[kInstallPathCapacity];
    PathWithSuffix(file, file + kInstallPathCapacity - 1, path, name);
    FileDeleteForced(file);
  }
  if (depth == 0) return Sys().RemoveDirectoryW(W(path)) ? ERROR_SUCCESS : GetLastError();
  return FolderDeleteTree(path, depth >= 3 ? kTreeDeleteFiles | kTreeDeleteSubfolders : kTreeDeleteFiles);
}
