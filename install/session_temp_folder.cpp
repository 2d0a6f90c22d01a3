#include "install/session_temp_folder.h"

#include <windows.h>

#include "install/folders.h"
#include "runtime/heap.h"
#include "runtime/path_clean.h"
#include "runtime/process_context.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

char16_t* g_folder;

bool IsFullPath(const char16_t* path) {
  return (path[0] == u'\\' && path[1] == u'\\') || (path[0] && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/'));
}

}  // namespace

void SessionTempFolderSet(const char16_t* folder) {
  MemFree(g_folder);
  g_folder = nullptr;
  if (!folder || !IsFullPath(folder)) return;
  size_t length = TextLength(folder);
  g_folder = MemNew<char16_t>(length + 1);
  TextCopy(g_folder, g_folder + length, folder);
  PathClean(g_folder);
}

uint32_t SessionTempFolderPath(ObjectTable* db, char16_t* start, size_t capacity) {
  char16_t* last = start + capacity - 1;
  if (g_folder) {
    TextCopy(start, last, g_folder);
  } else {
    wchar_t temporary[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    if (!length || length > MAX_PATH) temporary[0] = 0;
    TextFormat(start, last, u"%sKes%08lX", reinterpret_cast<const char16_t*>(temporary), Process()->run_identifier);
  }
  uint32_t err = FolderCreate(db, start, kFolderJournalTemporary);
  if (!err) Trace(TR("D2013"), u"%s", start);
  return err;
}
