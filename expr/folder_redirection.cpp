#include "expr/folder_redirection.h"

#include "actions/action_object.h"
#include "database/class_registry.h"
#include "expr/registry_read.h"
#include "expr/standard_folders.h"
#include "expr/variables.h"
#include "runtime/number_parse.h"
#include "runtime/path_clean.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"

namespace {

enum : unsigned {
  kInstallationRedirectionMask = 15,  // inst: u32
  kInstallationScope = 25,            // inst: int
};

enum : uint32_t {
  kVarProductFolder = 409,
  kVarScope = 523,
};

constexpr int32_t kScopeCurrentUser = 1;
constexpr size_t kPathCapacity = 1024;

struct Rewrite {
  uint32_t id;
  const char16_t* text;
};

const Rewrite kProgramFiles[] = {{kVarProgramFiles32, u"<LocalAppDataFolder>\\Programs32"},
                                 {kVarProgramFiles64, u"<LocalAppDataFolder>\\Programs64"},
                                 {kVarProgramFiles, u"<LocalAppDataFolder>\\Programs"}};
const Rewrite kCommonFiles[] = {{kVarCommonFiles32, u"<LocalAppDataFolder>\\Common32"},
                                {kVarCommonFiles64, u"<LocalAppDataFolder>\\Common64"},
                                {kVarCommonFiles, u"<LocalAppDataFolder>\\Common"}};
// All-users shell folders and their per-user counterparts, in the order they are pointed.
const uint32_t kSharedFolders[][2] = {{300, 200}, {301, 201}, {304, 204}, {311, 211}, {305, 205}, {313, 213},
                                      {314, 214}, {315, 215}, {318, 218}, {319, 219}, {320, 220}};

void Store(ObjectTable* db, const Rewrite (&rewrites)[3]) {
  for (const Rewrite& rewrite : rewrites) VariableSet(db, rewrite.id, rewrite.text);
}

void PointSharedFolders(ObjectTable* db) {
  for (const auto& pair : kSharedFolders) {
    SetupObject* perUser = VariableFindById(db, pair[1]);
    if (!perUser) continue;
    char16_t reference[kPathCapacity];
    TextFormat(reference, reference + kPathCapacity - 1, u"<%s>", VariableName(perUser));
    VariableSet(db, pair[0], reference);
  }
}

// "<product folder>\Setup.exe" for the session, the folder fixed from now on.
void RecordRuntimeCopy(ObjectTable* db, char16_t* path) {
  VariableReexpand(db, kVarProductFolder);
  char16_t* end = VariableValue(db, kVarProductFolder, path, path + kPathCapacity - 1);
  if (end > path && end[-1] != u'\\') end = TextCopy(end, path + kPathCapacity - 1, u"\\");
  TextCopy(end, path + kPathCapacity - 1, u"Setup.exe");
  PathClean(path);
  if (SessionState* s = SessionCurrent()) SessionSetText(&s->runtime_copy_path, path);
}

int32_t RedirectFolders(SetupObject*, ObjectTable* db, uint32_t*) {
  SetupObject* installation = db->installation;
  uint32_t mask = installation ? SlotU32(installation, kInstallationRedirectionMask) : 0;
  int32_t scope = InstallationScope(db);
  if (scope == kScopeCurrentUser) FoldersRedirect(db, mask);
  char16_t path[kPathCapacity];
  RecordRuntimeCopy(db, path);
  bool perUserRegistry = (installation && SlotInt(installation, kInstallationScope) == kScopeCurrentUser) ||
                         (mask & kRedirectRegistryMask);
  if (perUserRegistry) RegistryMapAllUsersToCurrentUser(true);
  Trace(TR("I1551"), u"%d|0x%08X|%s|%d", scope, mask, path, perUserRegistry ? 1 : 0);
  return kResultDone;
}

const ActionMethods kRedirectFoldersMethods = {
    RedirectFolders,  // run
    nullptr,          // finalize
    nullptr,          // rollback
};

}  // namespace

int32_t InstallationScope(ObjectTable* db) {
  char16_t text[32];
  VariableValue(db, kVarScope, text, text + 31);
  int32_t scope = NumberParse32(text);
  if (*text && scope >= 0) return scope;
  return db->installation ? SlotInt(db->installation, kInstallationScope) : 0;
}

void FoldersRedirect(ObjectTable* db, uint32_t mask) {
  if (mask & kRedirectProgramFiles) Store(db, kProgramFiles);
  if (mask & kRedirectCommonFiles) Store(db, kCommonFiles);
  if (mask & (kRedirectShellFolders | kRedirectInstallerCache))
    VariableSet(db, kVarInstallerCache, u"<LocalAppDataFolder>\\Installer");
  if (mask & kRedirectShellFolders) PointSharedFolders(db);
}

void FolderRedirectionRegister() { ClassSetActionMethods(TagOf("a104"), &kRedirectFoldersMethods); }
