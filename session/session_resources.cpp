#include "session/session_resources.h"

#include "actions/abort_on_failure.h"
#include "package/package_reader.h"
#include "resources/string_ids.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {
SessionResources g_resources;
}

SessionResources* Resources() { return &g_resources; }

uint32_t ClaimSingleInstance(const char16_t* name) {
  SessionResources* r = &g_resources;
  if (r->instance_mutex || !name || !*name) return ERROR_SUCCESS;
  HANDLE mutex = CreateMutexW(nullptr, TRUE, reinterpret_cast<const wchar_t*>(name));
  uint32_t err = GetLastError();
  Trace(TR("I1110"), u"%s|%lu", name, err);
  if (!mutex) return err ? err : ERROR_INVALID_HANDLE;
  if (err == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    QelShowMessageBox(nullptr, MB_OK | MB_ICONERROR, IDOK, MessageBoxTimeout(), MessageTextId(IDS_ALREADY_RUNNING));
    return err;
  }
  r->instance_mutex = mutex;
  size_t length = TextLength(name);
  r->instance_name = MemNew<char16_t>(length + 1);
  TextCopy(r->instance_name, r->instance_name + length, name);
  return ERROR_SUCCESS;
}

void ReleaseSessionResources() {
  SessionResources* r = &g_resources;
  if (r->reader) PackageReaderDestroy(r->reader);
  if (r->small_icons) ImageList_Destroy(r->small_icons);
  VersionResourceClose(&r->version);
  for (HMODULE& library : r->libraries) {
    if (library) FreeLibrary(library);
    library = nullptr;
  }
  if (r->shell_malloc) r->shell_malloc->Release();
  if (r->ole_initialized) OleUninitialize();
  if (r->instance_mutex) {
    ReleaseMutex(r->instance_mutex);
    CloseHandle(r->instance_mutex);
  }
  MemFree(r->instance_name);
  g_resources = SessionResources{};
}
