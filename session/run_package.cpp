#include "session/run_package.h"

#include <windows.h>

#include <commdlg.h>

#include <cstring>

#include "actions/abort_on_failure.h"
#include "resources/string_ids.h"
#include "runtime/error_text.h"
#include "runtime/path_parts.h"
#include "runtime/process_context.h"
#include "runtime/scramble.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_password.h"
#include "session/session_resources.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "session/subsystem_hooks.h"
#include "ui/message_box.h"
#include "ui/password_prompt.h"
#include "ui/string_table.h"

namespace {

constexpr size_t kFilterCapacity = 256;
constexpr size_t kTitleCapacity = 256;

SessionState* Session() { return SessionCurrent(); }

bool Quiet() { return Session() && SessionQuietLevel(Session()) != 0; }

// The open-file dialog for a package volume; `path` holds the initial file and receives the choice.
bool PickPackageFile(char16_t* path) {
  char16_t title[kTitleCapacity], filter[kFilterCapacity];
  StringLoad(IDS_SELECT_PACKAGE, SessionLanguage(), title, title + kTitleCapacity - 1);
  char16_t* end = StringLoad(IDS_PACKAGE_FILTER, SessionLanguage(), filter, filter + kFilterCapacity - 2);
  end[1] = 0;  // the list ends with two terminators
  for (char16_t* c = filter; c < end; ++c)
    if (*c == u'|') *c = 0;
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = SessionMainWindow();
  dialog.lpstrFilter = reinterpret_cast<const wchar_t*>(filter);
  dialog.lpstrFile = reinterpret_cast<wchar_t*>(path);
  dialog.nMaxFile = kPackagePathCapacity;
  dialog.lpstrTitle = reinterpret_cast<const wchar_t*>(title);
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;
  return GetOpenFileNameW(&dialog) != FALSE;
}

// Copies the remembered password into the provider's buffer; false when there is none or it does
// not fit.
bool DeliverRememberedPassword(const SessionState* s, uint8_t* buffer, uint32_t* length) {
  uint8_t plain[kRememberedPasswordSize];
  uint32_t count = SessionRevealPassword(s, plain);
  bool fits = count && count <= *length;
  if (fits) {
    memcpy(buffer, plain, count);
    *length = count;
  }
  WipeMemory(plain, sizeof plain);
  return fits;
}

}  // namespace

uint32_t RunPasswordProvider(PackageReader* reader, uint32_t attempt, uint8_t* buffer, uint32_t* length) {
  SessionState* s = Session();
  if (attempt == 0 && s && DeliverRememberedPassword(s, buffer, length)) return ERROR_SUCCESS;
  if (!s || SessionQuietLevel(s) != 0) {  // a quiet run cannot ask
    Trace(TR("W1130"), u"%u|%d", attempt, s ? SessionQuietLevel(s) : 0);
    return ERROR_INVALID_PASSWORD;
  }
  char16_t typed[kPasswordPromptCapacity];
  PasswordPromptOptions options{attempt > 0, (reader->header.flags & kVolumeMaskPassword) != 0};
  uint32_t err = PasswordPromptShow(SessionMainWindow(), options, typed);
  if (err) return err;
  SessionStorePassword(s, typed);  // the ANSI text, cut to 63 bytes, is what the key is made of
  WipeMemory(typed, sizeof typed);
  return DeliverRememberedPassword(s, buffer, length) ? ERROR_SUCCESS : ERROR_INVALID_PASSWORD;
}

bool RunNextVolumeProvider(PackageReader* reader, uint32_t index, uint32_t lastError, char16_t* path) {
  if (lastError == ERROR_CANCELLED) {
    Trace(TR("E0035"), u"%s|%u", path, lastError);
    return false;
  }
  if (lastError) {
    Trace(TR("E0035"), u"%s|%u", path, lastError);
    if (Quiet()) return false;
    int answer = QelShowMessageBox(SessionMainWindow(), MB_OKCANCEL | MB_ICONWARNING, IDCANCEL, MessageBoxTimeout(),
                                   MessageTextId(IDS_OPEN_VOLUME_ERROR), path, lastError, ErrorTextOfThread(lastError));
    if (answer != IDOK || !PickPackageFile(path)) return false;
  } else if (!reader->path[0]) {
    if (Quiet() || !PickPackageFile(path)) {
      Trace(TR("E0034"), u"%u", index);
      return false;
    }
  } else if (index > 0) {
    PackageVolumePathBeside(reader->path, index, path, path + kPackagePathCapacity - 1);
  } else {
    TextCopy(path, path + kPackagePathCapacity - 1, reader->path);
  }
  Trace(TR("I0089"), u"%s|%u", path, index);
  return true;
}

uint32_t RunVerifyProgress(uint32_t code, void*, uint32_t low, uint32_t high) {
  auto progress = Hooks()->dialogs.verify_progress;
  return progress ? progress(code, uint64_t(low) | uint64_t(high) << 32) : 0;
}

PackageReader* RunPackageReader() {
  SessionResources* r = Resources();
  if (!r->reader) r->reader = PackageReaderCreate();
  return r->reader;
}

uint32_t RunPackageOpen(const char16_t* path, const uint8_t* packageCode, uint64_t setIdentifier,
                        char16_t* openedStart, char16_t* openedEnd) {
  PackageReader* reader = RunPackageReader();
  reader->password_provider = RunPasswordProvider;
  reader->next_volume_provider = RunNextVolumeProvider;
  reader->verify_progress = RunVerifyProgress;
  reader->read_progress = nullptr;
  reader->progress_window = nullptr;
  int32_t option = Session() ? Session()->verification_option : -1;
  char16_t opened[kPackagePathCapacity] = u"";
  uint32_t err = PackageOpen(reader, path, packageCode, setIdentifier, PackageVerifyModeFromOption(option), opened,
                             opened + kPackagePathCapacity - 1);
  RunVerifyProgress(kVerifyEnd, reader, 0, 0);
  if (err) Trace(TR("E0035"), u"%s|%lu", path, err);
  else TraceList(TR("I0012"), 1, opened);
  if (openedStart) TextCopy(openedStart, openedEnd, opened);
  return err;
}

uint32_t RunPackageOpenMain() {
  SessionState* s = Session();
  char16_t path[kPackagePathCapacity] = u"";
  char16_t* last = path + kPackagePathCapacity - 1;
  if (s && s->package_path && *s->package_path) {
    TextCopy(path, last, s->package_path);
  } else if (s && s->package_folder && *s->package_folder) {
    const char16_t* executable = Process()->executable_path;
    const char16_t* name = executable + TextLength(executable);
    while (name > executable && name[-1] != u'\\' && name[-1] != u'/') --name;
    PathJoin(path, last, s->package_folder, name);
  }
  char16_t opened[kPackagePathCapacity] = u"";
  uint32_t err = RunPackageOpen(path, nullptr, 0, opened, opened + kPackagePathCapacity - 1);
  if (!err && s) SessionSetText(&s->package_path, opened);
  return err;
}

uint32_t RunPackageFindEntry(uint64_t id, PackageEntryHeader* header) {
  PackageReader* reader = RunPackageReader();
  uint32_t err = ERROR_SUCCESS;
  if (!PackageIsOpen(reader)) err = RunPackageOpenMain();
  if (!err) err = PackageFindEntry(reader, header, id);
  if (err == ERROR_HANDLE_EOF) {
    SessionState* s = Session();
    Trace(TR("I1131"), u"%016I64X|%s", id, s ? SessionText(s->package_path) : u"");
    PackageClose(reader);
    err = RunPackageOpenMain();
    if (!err) err = PackageFindEntry(reader, header, id);
  }
  return err;
}
