#include "session/session_prepare.h"

#include <windows.h>

#include <sddl.h>

#include "actions/abort_on_failure.h"
#include "expr/option_states.h"
#include "expr/standard_folders.h"
#include "expr/variables.h"
#include "resources/string_ids.h"
#include "runtime/heap.h"
#include "runtime/process_context.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/command_line_assignments.h"
#include "session/command_line_values.h"
#include "session/language_dialog.h"
#include "session/language_selection.h"
#include "session/package_location.h"
#include "session/session_resources.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "ui/message_box.h"

namespace {

constexpr size_t kValueCapacity = 1024;

enum : unsigned {
  kInstallationFlags = 12,
  kInstallationDefaultRestartMode = 13,
};
enum : uint32_t {
  kInstallationTakesFallbackLanguage = 0x4,
  kInstallationHasExtension = 0x10,
};

enum : uint32_t {
  kVarSingleInstanceName = 403,
  kVarTitle = 404,
  kVarSourceFolder = 408,
  kVarSessionTempFolder = 413,
  kVarRunIdentifier = 414,
  kVarInstallFolderName = 426,
  kVarPosition = 504,
  kVarUserMayCancel = 511,
  kVarKeepFlag = 519,
  kVarValueA = 523,
  kVarPackageFolder = 524,
  kVarExecutable = 526,
  kVarStepDone = 528,
  kVarCommandLine = 529,
  kVarLanguage = 532,
};

SetupObject* Installation(ObjectTable* db) { return db->installation; }

bool ClaimDatabaseInstance(SessionState* s, ObjectTable* db) {
  char16_t name[kValueCapacity];
  VariableValue(db, kVarSingleInstanceName, name, name + kValueCapacity - 1);
  uint32_t err = ClaimSingleInstance(name);
  if (err == ERROR_ALREADY_EXISTS) SessionRecordExitCode(s, 20);
  return err == ERROR_SUCCESS;
}

void ApplyAdjustments(SessionState* s, ObjectTable* db) {
  if (s->fresh_installation && s->run_mode == kRunModeUnknown) s->run_mode = kRunModeInstall;
  if (s->run_mode == kRunModeRegister && s->quiet_level < 1) s->quiet_level = 1;
  if (s->quiet_level >= 2) s->show_command = SW_HIDE;
  if (s->restart_mode == -1) s->restart_mode = SlotInt(Installation(db), kInstallationDefaultRestartMode);
}

void ReadAccount(SessionState* s) {
  wchar_t name[257];
  DWORD length = 257;
  SessionSetText(&s->user_name, GetUserNameW(name, &length) ? reinterpret_cast<const char16_t*>(name) : u"UserName");
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  wchar_t domain[256];
  DWORD domainLength = 256;
  SID_NAME_USE use;
  if (LookupAccountNameW(nullptr, reinterpret_cast<const wchar_t*>(s->user_name), sid, &sidSize, domain, &domainLength,
                         &use)) {
    SessionSetText(&s->user_domain, reinterpret_cast<const char16_t*>(domain));
    wchar_t* text = nullptr;
    if (ConvertSidToStringSidW(sid, &text)) {
      SessionSetText(&s->user_sid, reinterpret_cast<const char16_t*>(text));
      LocalFree(text);
    }
  } else {
    Trace(TR("W1141"), u"%s|%lu", s->user_name, GetLastError());
  }
  Trace(TR("I1142"), u"%s|%s|%s", SessionText(s->user_name), SessionText(s->user_domain), SessionText(s->user_sid));
}

void ApplyVariableAssignments(SessionState* s, ObjectTable* db) {
  uint32_t index = 1;
  VariableAssignment assignment;
  while (NextVariableAssignment(&s->arguments, &index, &assignment)) {
    SetupObject* variable = VariableFind(db, assignment.name);
    if (variable) VariableSetObject(db, variable, assignment.value);
  }
}

void PrepareTemporaryFolder(ObjectTable* db) {
  char16_t folder[kValueCapacity];
  VariableValue(db, kVarSessionTempFolder, folder, folder + kValueCapacity - 1);
  if (Hooks()->file_installation.set_session_temp_folder) Hooks()->file_installation.set_session_temp_folder(folder);
  else Trace(TR("I1144"), u"%s|%s", u"file installation: session temporary folder not taken", folder);
}

void PlaceProductFolderFiles(SessionState* s, ObjectTable* db) {
  if (Hooks()->working_files.install_product_folder_files) Hooks()->working_files.install_product_folder_files(s, db);
  else Trace(TR("I1145"), u"%s", u"working files: Setup.ico and Readme.txt not placed");
  if (!(SlotU32(Installation(db), kInstallationFlags) & kInstallationHasExtension)) return;
  if (!Hooks()->extension.load) {
    Trace(TR("I1146"), u"%s", u"extension library: _Setupx.dll not loaded");
    return;
  }
  uint32_t err = Hooks()->extension.load(s, db);
  if (err) Trace(TR("W1147"), u"%s|%lu", u"_Setupx.dll", err);
}

// Fresh installation: the install: folder goes into the variable that 426 names, then the runtime
// copy and the support files are staged.
bool StageFreshInstallation(SessionState* s, ObjectTable* db) {
  if (s->install_folder) {
    char16_t name[kValueCapacity];
    VariableValue(db, kVarInstallFolderName, name, name + kValueCapacity - 1);
    if (SetupObject* target = *name ? VariableFind(db, name) : nullptr) VariableSetObject(db, target, s->install_folder);
  }
  if (!Hooks()->working_files.stage_runtime_and_support_files) {
    Trace(TR("I1148"), u"%s", u"working files: runtime copy and support files not staged");
    return true;
  }
  uint32_t err = Hooks()->working_files.stage_runtime_and_support_files(s, db);
  if (err) Trace(TR("E1149"), u"%lu", err);
  return err == ERROR_SUCCESS;
}

bool Steps(SessionState* s) {
  ObjectTable* db = s->database;
  if (!ClaimDatabaseInstance(s, db)) return false;
  ApplyAdjustments(s, db);
  ReadAccount(s);
  InitializeSystemVariables(s, db);
  ApplyVariableAssignments(s, db);
  PrepareTemporaryFolder(db);
  PlaceProductFolderFiles(s, db);
  ChooseLanguage(s, db);
  char16_t title[kValueCapacity];
  VariableValue(db, kVarTitle, title, title + kValueCapacity - 1);
  if (*title) SessionSetText(&s->title, title);
  OptionsInitialize(db);
  if (s->fresh_installation && !StageFreshInstallation(s, db)) return false;
  Trace(TR("I1150"), u"%s|%d|%d|%d", SessionText(s->title), SessionRunMode(s), SessionQuietLevel(s), s->show_command);
  return true;
}

}  // namespace

void InitializeSystemVariables(SessionState* s, ObjectTable* db) {
  PackageLocationFind(s, db);
  DatabaseFacts facts{!s->fresh_installation, nullptr, s->database_file};
  if (SetupObject* source = VariableFindById(db, kVarSourceFolder)) facts.source_folder_value = VariableRawValue(source);
  CommandLineValues v;
  CommandLineValuesCompute(s, &facts, &v);
  VariableSetInt(db, kVarExitCode, v.exit_code);
  VariableSetInt(db, kVarInstalled, v.installed);
  VariableSetInt(db, kVarQuietLevel, v.quiet_level);
  VariableSetInt(db, kVarRestartMode, v.restart_mode);
  VariableSetInt(db, kVarRestartNeeded, v.restart_needed);
  VariableSetInt(db, kVarRunMode, v.run_mode);
  VariableSetInt(db, kVarState, v.state);
  VariableSetInt(db, kVarKeepFlag, v.keep_flag);
  VariableSetInt(db, kVarValueA, v.value_a);
  VariableSet(db, kVarPackageFolder, v.package_folder);
  VariableSet(db, kVarSourceFolder, v.source_folder);
  VariableSet(db, kVarCommandLine, v.command_line);
  CommandLineValuesFree(&v);
  char16_t text[16];
  TextFormat(text, text + 15, u"%08lX", Process()->run_identifier);
  VariableSet(db, kVarRunIdentifier, text);
  VariableSet(db, kVarExecutable, Process()->executable_path);
  VariableSet(db, kVarPosition, u"");
  VariableSet(db, kVarStepDone, u"");
  if (!s->administrator) VariableSetInt(db, kVarUserMayCancel, 0);
  SystemPathsFill();
  StandardFoldersFix(db);
}

void ChooseLanguage(SessionState* s, ObjectTable* db) {
  SetupObject** languages = db->languages.items;
  uint32_t count = db->languages.count;
  LanguageSelection selection = LanguageSelect(languages, count, s->language_request, s->user_language);
  SetupObject* chosen = selection.language;
  bool takeFallback = (SlotU32(Installation(db), kInstallationFlags) & kInstallationTakesFallbackLanguage) ||
                      s->language_request != kNoLanguageRequest || SessionQuietLevel(s) != 0;
  if (chosen && !selection.decided && !takeFallback) {
    uint32_t fallback = 0;
    while (languages[fallback] != chosen) ++fallback;
    chosen = languages[LanguageDialogAsk(languages, count, fallback)];
  }
  if (!chosen) {
    VariablesSetLanguage(s->ui_language);
    return;
  }
  SetSlotU32(chosen, kLanguageFlags, SlotU32(chosen, kLanguageFlags) | kLanguageChosen);
  s->ui_language = uint16_t(SlotU32(chosen, kLanguageId));
  TraceSetLanguage(s->ui_language);
  VariablesSetLanguage(s->ui_language);
  s->right_to_left = LanguageIsRightToLeft(s->ui_language);
  wchar_t separator[4] = L",";
  GetLocaleInfoW(MAKELCID(s->ui_language, SORT_DEFAULT), LOCALE_STHOUSAND, separator, 4);
  TextCopy(s->thousands_separator, s->thousands_separator + 3, reinterpret_cast<const char16_t*>(separator));
  VariableSetU32(db, kVarLanguage, s->ui_language);
  Trace(TR("I1151"), u"%u|%u|%u|%d", s->system_language, s->user_language, s->ui_language, s->right_to_left ? 1 : 0);
}

bool PrepareSession(SessionState* s) {
  if (Steps(s)) return true;
  if (Hooks()->file_installation.delete_temporary_files) Hooks()->file_installation.delete_temporary_files(s->database);
  if (SessionExitCode(s) == 0) {  // a failure that was reported already (another instance) shows no second box
    QelShowMessageBox(nullptr, MB_OK | MB_ICONERROR, IDOK, MessageBoxTimeout(), MessageTextId(IDS_INIT_ERROR));
    SessionRecordExitCode(s, 2);
  }
  return false;
}
