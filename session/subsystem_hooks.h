// Where the subsystems that are built later plug into the start-up sequence, the finalisation and
// the actions of the runner. Each subsystem installs its table once at start-up; every entry may be
// null. A caller whose entry is missing does nothing else and writes one trace record naming the
// step, so the log shows which steps a run passed over.
#pragma once
#include <cstdint>

struct ObjectTable;
struct SessionState;

// The extension library "_Setupx.dll" (loaded when the installation record's flag 0x10 asks for it).
struct ExtensionHooks {
  // Puts the library in place (package entry 0xFFFFFFFFFFFF0005) and loads it; returns 0 or the
  // error (only logged by the caller).
  uint32_t (*load)(SessionState* session, ObjectTable* database);
  // Sends an event; returns the library's answer (0 when it gave none).
  int32_t (*send_event)(uint32_t code, uint32_t argument);
  void (*unload)();
};

// The session's working files in the product folder.
struct WorkingFileHooks {
  // "Setup.ico" and "Readme.txt" (failures are only logged).
  void (*install_product_folder_files)(SessionState* session, ObjectTable* database);
  // Fresh installation: the runtime copy "Setup.exe" and the package's support files; an error
  // fails the preparation.
  uint32_t (*stage_runtime_and_support_files)(SessionState* session, ObjectTable* database);
  // Commit of a fresh installation: the support files move into the product folder's cache.
  void (*keep_cached_files)(SessionState* session, ObjectTable* database);
  // a101, before anything of the run is made final: saves "Setup.dat" (message 486 and exit code 4
  // on failure); an error fails the action, so the installation rolls back.
  uint32_t (*save_database)(SessionState* session, ObjectTable* database);
};

// File installation and its file journal.
struct FileInstallationHooks {
  // The expanded session temporary folder (variable 413).
  void (*set_session_temp_folder)(const char16_t* folder);
  // The installing phase of a fresh run begins (a100): start the rollback journal files.
  void (*start_rollback_journal)(ObjectTable* database);
  // The installation completes (a101); returns true when a restart is needed.
  bool (*finish_file_operations)(ObjectTable* database);
  // Commit: clean up the temporary files this run recorded (the keep-flag is passed on).
  void (*clean_temporary_files)(ObjectTable* database, int32_t keep_flag);
  // Rollback and failed preparation: delete the temporary files of this run.
  void (*delete_temporary_files)(ObjectTable* database);
  // Release the file journal entries that are no longer needed.
  void (*release_journal_entries)(ObjectTable* database);
  // Remove run: delete every temporary file recorded in the database's file journal.
  void (*delete_journal_temporary_files)(ObjectTable* database);
};

// Options and option states.
struct OptionHooks {
  // a100: decide every installable item's action from the option states.
  void (*decide_item_actions)(ObjectTable* database);
};

// System inspection and requirements.
struct SystemInspectionHooks {
  // Runtime initialisation: the operating-system and processor facts beyond the version.
  void (*read_facts)(SessionState* session);
  // The global tables kept while the top-level sequences run.
  void (*prepare_tables)();
  void (*release_tables)();
};

// The dialog engine and the wizard.
struct DialogHooks {
  // Themes and fonts, before the main window is created.
  void (*load_resources)();
  // Close every dialog window still open and release the fonts and brushes.
  void (*close_all_and_release)();
  // The variable-refresh timer of the main window fired: every control registered for
  // enable-condition re-evaluation receives message 0x80C3.
  void (*refresh_conditions)();
  // The verification progress window: codes 1 start (total), 2 progress (count), 3 end; returns
  // 1223 when its Cancel button was pressed.
  uint32_t (*verify_progress)(uint32_t code, uint64_t amount);
  // The shared small-icon image list (an HIMAGELIST) was loaded; option trees show its images.
  void (*small_icons_loaded)(void* image_list);
};

// Product removal: the final clean-up program after a committed Remove run.
struct RemovalHooks {
  void (*start_final_cleanup)(SessionState* session, ObjectTable* database);
};

struct SubsystemHooks {
  ExtensionHooks extension;
  WorkingFileHooks working_files;
  FileInstallationHooks file_installation;
  OptionHooks options;
  SystemInspectionHooks system_inspection;
  DialogHooks dialogs;
  RemovalHooks removal;
};

// The process-wide table; the subsystems fill their parts at start-up.
SubsystemHooks* Hooks();

// Sends an event to the extension library; 0 when there is none.
int32_t ExtensionSendEvent(uint32_t code, uint32_t argument);
