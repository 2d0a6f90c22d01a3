#include "session/runtime_init.h"

#include <windows.h>

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include "actions/abort_on_failure.h"
#include "actions/architecture.h"
#include "actions/dialog_actions.h"
#include "actions/flow_actions.h"
#include "database/class_registry.h"
#include "expr/folder_redirection.h"
#include "expr/option_actions.h"
#include "install/install_register.h"
#include "install/registry_actions.h"
#include "resources/string_ids.h"
#include "runtime/os_version.h"
#include "runtime/process_context.h"
#include "runtime/proc_address.h"
#include "runtime/rights.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_resources.h"
#include "session/session_state.h"
#include "session/subsystem_hooks.h"
#include "session/working_files.h"
#include "ui/dialog_hooks.h"
#include "ui/message_box.h"

namespace {

constexpr size_t kValueCapacity = 512;
constexpr COLORREF kTransparent = RGB(255, 0, 255);

void ReadLanguages(SessionState* s) {
  s->system_language = GetSystemDefaultLangID();
  s->user_language = GetUserDefaultLangID();
  s->ui_language = s->user_language;
  TraceSetLanguage(s->ui_language);
}

void ReadSystemFolder(SessionState* s) {
  wchar_t folder[MAX_PATH + 1];
  UINT length = GetSystemDirectoryW(folder, MAX_PATH + 1);
  SessionSetText(&s->system_folder, length && length <= MAX_PATH ? reinterpret_cast<const char16_t*>(folder) : u"");
}

// The title from "ProductName" and the single-instance claim under "PackageCode".
bool ReadVersionBlock(SessionState* s) {
  SessionResources* r = Resources();
  uint32_t err = VersionResourceOpen(Process()->executable_path, &r->version);
  if (err) {
    Trace(TR("W1111"), u"%s|%lu", Process()->executable_path, err);
    return true;
  }
  char16_t value[kValueCapacity];
  value[0] = 0;
  VersionResourceValue(&r->version, u"ProductName", value, value + kValueCapacity - 1);
  SessionSetText(&s->title, *value ? value : kLibraryName);
  value[0] = 0;
  VersionResourceValue(&r->version, u"PackageCode", value, value + kValueCapacity - 1);
  err = ClaimSingleInstance(value);
  if (err == ERROR_ALREADY_EXISTS) SessionRecordExitCode(s, 20);
  return err == ERROR_SUCCESS;
}

// The product type that the registry records where the version record has none.
void ReadProductOptions(char16_t* text, DWORD capacity) {
  HKEY key;
  text[0] = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\ProductOptions", 0, KEY_READ, &key))
    return;
  DWORD type = 0, size = (capacity - 1) * sizeof(char16_t);
  if (RegQueryValueExW(key, L"ProductType", nullptr, &type, reinterpret_cast<BYTE*>(text), &size) || type != REG_SZ)
    size = 0;
  text[size / sizeof(char16_t)] = 0;
  RegCloseKey(key);
}

// GetProductInfo where the system has it; otherwise the edition follows from the version record,
// whose missing product type is completed from the registry.
uint32_t ReadEdition() {
  using ProductInfoProc = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
  OSVERSIONINFOEXW& v = Process()->os_version;
  auto productInfo = ProcAddress<ProductInfoProc>(GetModuleHandleW(L"kernel32.dll"), "GetProductInfo");
  DWORD edition = 0;
  if (productInfo && productInfo(v.dwMajorVersion, v.dwMinorVersion, v.wServicePackMajor, v.wServicePackMinor, &edition))
    return edition;
  char16_t options[32] = u"";
  if (v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.wProductType == 0) ReadProductOptions(options, 32);
  uint8_t type = v.wProductType;
  uint32_t fromVersion = OsEditionFromVersion(v.dwPlatformId, &type, v.wSuiteMask, options);
  v.wProductType = type;
  return fromVersion;
}

void ReadOperatingSystem(SessionState* s) {
  ProcessReadOsVersion();
  if (Hooks()->system_inspection.read_facts) Hooks()->system_inspection.read_facts(s);
  else Trace(TR("I1112"), u"%s", u"system inspection: machine facts not read");
  const MachineArchitectures& machine = Machine();
  s->os_edition = ReadEdition();
  Trace(TR("I1113"), u"0x%08lX|0x%08X|0x%08X", s->os_edition, machine.native, machine.runnable);
  s->server = OsEditionIsServerCore(s->os_edition);
  const OSVERSIONINFOEXW& v = Process()->os_version;
  if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    s->administrator = true;
  } else {
    int elevation = ProcessElevationState();
    s->administrator = elevation == 3;
    Trace(TR("I1114"), u"%d|%d", elevation, ProcessIsAdministrator() ? 1 : 0);
  }
}

void ResolveOptionalFunctions() {
  OptionalFunctions* f = &Resources()->functions;
  HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  HMODULE sfc = LoadLibraryExW(L"sfc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  f->reg_delete_key_ex = ProcAddress<FARPROC>(advapi, "RegDeleteKeyExW");
  f->get_known_folder_path = ProcAddress<FARPROC>(shell, "SHGetKnownFolderPath");
  f->sfc_is_file_protected = ProcAddress<FARPROC>(sfc, "SfcIsFileProtected");
  f->sfc_is_key_protected = ProcAddress<FARPROC>(sfc, "SfcIsKeyProtected");
  f->wow64_disable_redirection = ProcAddress<FARPROC>(kernel, "Wow64DisableWow64FsRedirection");
  f->wow64_revert_redirection = ProcAddress<FARPROC>(kernel, "Wow64RevertWow64FsRedirection");
  const struct {
    const char16_t* name;
    FARPROC function;
  } kListed[] = {{u"RegDeleteKeyExW", f->reg_delete_key_ex},
                 {u"SHGetKnownFolderPath", f->get_known_folder_path},
                 {u"SfcIsFileProtected", f->sfc_is_file_protected},
                 {u"SfcIsKeyProtected", f->sfc_is_key_protected},
                 {u"Wow64DisableWow64FsRedirection", f->wow64_disable_redirection},
                 {u"Wow64RevertWow64FsRedirection", f->wow64_revert_redirection}};
  for (const auto& entry : kListed)
    if (!entry.function) Trace(TR("I1115"), u"%s", entry.name);
}

void ReadDisplay(SessionState* s) {
  s->display_width = 1024;
  s->display_height = 768;
  s->display_dpi_x = s->display_dpi_y = 96;
  s->display_bits = 24;
  if (HDC screen = GetDC(nullptr)) {
    s->display_width = GetDeviceCaps(screen, HORZRES);
    s->display_height = GetDeviceCaps(screen, VERTRES);
    s->display_dpi_x = GetDeviceCaps(screen, LOGPIXELSX);
    s->display_dpi_y = GetDeviceCaps(screen, LOGPIXELSY);
    s->display_bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
  }
  s->display_scale = DisplayScale(s->display_dpi_x);
}

void TraceVersionAndDisplay(SessionState* s) {
  const OSVERSIONINFOEXW& v = Process()->os_version;
  Trace(TR("I1116"), u"%u|%u|%u|%u|%s|%u|%u|%u|0x%04X|0x%08lX|%d|%d", v.dwMajorVersion, v.dwMinorVersion,
        v.dwBuildNumber, v.dwPlatformId, reinterpret_cast<const char16_t*>(v.szCSDVersion), v.wServicePackMajor,
        v.wServicePackMinor, v.wSuiteMask, v.wProductType, uint32_t(Process()->is_wow64), s->administrator ? 1 : 0,
        s->server ? 1 : 0);
  Trace(TR("I1117"), u"%d|%d|%d|%d|%d|%d", s->display_width, s->display_height, s->display_dpi_x, s->display_dpi_y,
        s->display_bits, s->display_scale);
}

bool InitializeOle() {
  SessionResources* r = Resources();
  HRESULT result = OleInitialize(nullptr);
  if (FAILED(result)) {
    Trace(TR("E1118"), u"%s|%lu", u"OleInitialize()", uint32_t(result));
    return false;
  }
  r->ole_initialized = true;
  result = SHGetMalloc(&r->shell_malloc);
  if (FAILED(result)) {
    Trace(TR("E1119"), u"%s|%lu", u"SHGetMalloc()", uint32_t(result));
    return false;
  }
  return true;
}

void LoadSmallIcons(SessionState* s) {
  uint32_t resource;
  int32_t size;
  SmallIconBitmap(s->display_bits, s->display_scale, &resource, &size);
  HIMAGELIST list = ImageList_LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), size, 0, kTransparent,
                                         IMAGE_BITMAP, LR_CREATEDIBSECTION);
  if (!list) Trace(TR("W1120"), u"%u|%lu", resource, GetLastError());
  Resources()->small_icons = list;
}

void LoadLibraries() {
  static const wchar_t* const kNames[] = {L"comctl32.dll", L"shell32.dll", L"wininet.dll", L"msi.dll"};
  SessionResources* r = Resources();
  for (size_t i = 0; i < 4; ++i) {
    r->libraries[i] = LoadLibraryExW(kNames[i], nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char16_t version[64] = u"";
    if (r->libraries[i]) {
      wchar_t path[MAX_PATH + 1];
      DWORD length = GetModuleFileNameW(r->libraries[i], path, MAX_PATH + 1);
      VersionResource block{};
      VersionFixedPart fixed{};
      if (length && length <= MAX_PATH && !VersionResourceOpen(reinterpret_cast<const char16_t*>(path), &block) &&
          VersionResourceFixed(&block, &fixed))
        TextFormat(version, version + 63, u"%u.%u.%u.%u", fixed.file_version_high >> 16, fixed.file_version_high & 0xFFFF,
                   fixed.file_version_low >> 16, fixed.file_version_low & 0xFFFF);
      VersionResourceClose(&block);
    }
    Trace(TR("I1121"), u"%s|%p|%s", reinterpret_cast<const char16_t*>(kNames[i]), r->libraries[i], version);
  }
}

void RegisterClasses() {
  ClassRegistryRegisterSetupClasses();
  FlowActionsRegister();
  OptionsRegister();
  FolderRedirectionRegister();
  RegistryActionsRegister();
  DialogActionsRegister();
  InstallRegister();
  WorkingFilesRegister();
  DialogEngineInstall();
  HIMAGELIST icons = Resources()->small_icons;
  if (icons && Hooks()->dialogs.small_icons_loaded) Hooks()->dialogs.small_icons_loaded(icons);
  if (Hooks()->system_inspection.prepare_tables) Hooks()->system_inspection.prepare_tables();
}

bool Steps(SessionState* s) {
  ReadLanguages(s);
  ReadSystemFolder(s);
  if (!ReadVersionBlock(s)) return false;
  ReadOperatingSystem(s);
  ResolveOptionalFunctions();
  ReadDisplay(s);
  TraceVersionAndDisplay(s);
  if (!InitializeOle()) return false;
  LoadSmallIcons(s);
  LoadLibraries();
  RegisterClasses();
  return true;
}

}  // namespace

int32_t DisplayScale(int32_t dpiX) {
  int32_t scale = (100 * dpiX + 48) / 96;
  return scale < 1 ? 100 : scale;
}

void SmallIconBitmap(int32_t bits, int32_t scale, uint32_t* resource, int32_t* size) {
  static const struct {
    int32_t minimum;
    int32_t size;
    uint32_t resource;
  } kRows[] = {{300, 48, 6}, {250, 40, 5}, {200, 32, 4}, {150, 24, 3}};
  *resource = 2;
  *size = 16;
  if (bits < 24) {
    *resource = 1;
    return;
  }
  for (const auto& row : kRows) {
    if (scale >= row.minimum) {
      *resource = row.resource;
      *size = row.size;
      return;
    }
  }
}

bool InitializeRuntime(SessionState* s) {
  if (Steps(s)) return true;
  if (SessionExitCode(s) == 0) {  // a failure that was reported already (another instance) shows no second box
    QelShowMessageBox(nullptr, MB_OK | MB_ICONERROR, IDOK, MessageBoxTimeout(), MessageTextId(IDS_INIT_ERROR));
    SessionRecordExitCode(s, 2);
  }
  return false;
}
