// a214 Search for a file along a list of folders: the first match goes into a variable.
#include <windows.h>

#include "actions/action_object.h"
#include "actions/flow_action_methods.h"
#include "actions/target_variable.h"
#include "database/localized_text.h"
#include "expr/database_resolver.h"
#include "expr/variables.h"
#include "runtime/fs_redirection.h"
#include "runtime/path_parts.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_window.h"

namespace {

enum : unsigned {
  kSearchOptions = 22,   // u32, kSearch*
  kSearchVariable = 23,  // text
  kSearchFileName = 24,  // localized text
  kSearchFolders = 27,   // localized text: folders separated by ";"
};

enum : uint32_t {
  kSearchRecursive = 0x1,  // look in every subfolder, depth first
  kSearchFullPath = 0x2,   // the result is the match's full path, not its folder
  kSearchFolder = 0x4,     // the match must be a folder (else a file)
};

constexpr size_t kPathCapacity = 1024;
constexpr int kDeepestFolder = 64;

const wchar_t* W(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// `folder` + "\" + `name` into [path, path + kPathCapacity - 1].
void Join(char16_t* path, const char16_t* folder, const char16_t* name) {
  PathJoin(path, path + kPathCapacity - 1, folder, name);
}

// Whether folder\name is a match; its result (folder, or the full path) into `result`.
bool Matches(const char16_t* folder, const char16_t* name, uint32_t options, char16_t* result) {
  char16_t path[kPathCapacity];
  Join(path, folder, name);
  DWORD attributes = GetFileAttributesW(W(path));
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if (bool(attributes & FILE_ATTRIBUTE_DIRECTORY) != bool(options & kSearchFolder)) return false;
  TextCopy(result, result + kPathCapacity - 1, (options & kSearchFullPath) ? path : folder);
  return true;
}

bool Search(const char16_t* folder, const char16_t* name, uint32_t options, char16_t* result, int depth) {
  if (Matches(folder, name, options, result)) return true;
  if (!(options & kSearchRecursive) || depth >= kDeepestFolder) return false;
  char16_t pattern[kPathCapacity];
  Join(pattern, folder, u"*");
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(pattern), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool matched = false;
  do {
    const char16_t* sub = reinterpret_cast<const char16_t*>(found.cFileName);
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      continue;
    if (!TextCompare(sub, u".") || !TextCompare(sub, u"..")) continue;
    char16_t child[kPathCapacity];
    Join(child, folder, sub);
    matched = Search(child, name, options, result, depth + 1);
  } while (!matched && FindNextFileW(find, &found));
  FindClose(find);
  return matched;
}

// Searches each ";"-separated entry of the list, substituted, in order; true at the first match.
bool SearchList(ObjectTable* db, const char16_t* list, const char16_t* name, uint32_t options, char16_t* result) {
  FsRedirectionScope native;
  char16_t entry[kPathCapacity], folder[kPathCapacity];
  for (const char16_t* at = list; *at;) {
    const char16_t* stop = at;
    while (*stop && *stop != u';') ++stop;
    TextCopyN(entry, entry + kPathCapacity - 1, at, size_t(stop - at));
    at = *stop ? stop + 1 : stop;
    Substitute(db, entry, folder, folder + kPathCapacity - 1);
    if (*folder && Search(folder, name, options, result, 0)) return true;
  }
  return false;
}

int32_t SearchForFile(SetupObject* action, ObjectTable* db, uint32_t*) {
  uint16_t language = SessionLanguage();
  const char16_t* list = LocalizedTextFor(SlotLocalized(action, kSearchFolders), language);
  const char16_t* stored = LocalizedTextFor(SlotLocalized(action, kSearchFileName), language);
  SetupObject* variable = ActionTargetVariable(db, action, kSearchVariable);
  if (!list || !*list || !stored || !*stored || !variable) return kResultDone;
  uint32_t options = SlotU32(action, kSearchOptions);
  char16_t name[kPathCapacity], result[kPathCapacity];
  Substitute(db, stored, name, name + kPathCapacity - 1);
  if (SearchList(db, list, name, options, result)) {
    TraceList(TR("A1760"), 2, name, result);
    VariableSetObject(db, variable, result);
  } else {
    Trace(TR("I1761"), u"%s|%s", name, list);
  }
  return kResultDone;
}

}  // namespace

const ActionMethods kFileSearchMethods = {
    SearchForFile,  // run
    nullptr,        // finalize
    nullptr,        // rollback
};
