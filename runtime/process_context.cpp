// Process start-up and shutdown, and the process and thread records.
#include "runtime/process_context.h"

#include <cstring>

#include "runtime/code_page.h"
#include "runtime/errors.h"
#include "runtime/fault_guard.h"
#include "runtime/heap.h"
#include "runtime/image_check.h"
#include "runtime/locks.h"
#include "runtime/log.h"
#include "runtime/os_version.h"
#include "runtime/path_parts.h"
#include "runtime/random.h"
#include "runtime/text.h"

namespace {

constexpr UINT kStartupFailureExitCode = 255;  // what the C runtime returns for a failed initialiser
constexpr size_t kHeaderBytes = 4096;          // the image's first page holds its headers

ProcessContext* g_process;
ThreadContext* g_main_thread;
int g_startup_count;

ThreadContext* NewThreadContext(const char16_t* name) {
  auto* thread = static_cast<ThreadContext*>(MemAlloc(sizeof(ThreadContext)));
  if (!thread) return nullptr;
  thread->thread = GetCurrentThread();
  thread->thread_id = GetCurrentThreadId();
  TextCopy(thread->name, thread->name + kThreadNameCapacity - 1, name);
  return thread;
}

bool RecordExecutablePath(ProcessContext* p) {
  wchar_t path[MAX_PATH + 1];
  DWORD length = GetModuleFileNameW(p->image_base, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  path[length] = 0;
  const char16_t* text = reinterpret_cast<const char16_t*>(path);
  p->executable_path = MemNew<char16_t>(length + 1);
  TextCopy(p->executable_path, p->executable_path + length, text);

  const char16_t* name = PathNamePart(text);
  size_t nameLength = TextLength(name);
  for (size_t i = nameLength; i > 0; --i)
    if (name[i - 1] == u'.') {
      nameLength = i - 1;
      break;
    }
  p->base_name = MemNew<char16_t>(nameLength + 1);
  TextCopyN(p->base_name, p->base_name + nameLength, name, nameLength);
  int bytes = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(p->base_name), int(nameLength),
                                  nullptr, 0, nullptr, nullptr);
  p->base_name_ansi = MemNew<char>(size_t(bytes) + 1);
  WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(p->base_name), int(nameLength),
                      p->base_name_ansi, bytes, nullptr, nullptr);
  return true;
}

// 1 when the process's window station is visible or the functions to ask are not there.
bool IsInteractiveDesktop() {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  auto station = reinterpret_cast<HWINSTA(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetProcessWindowStation")));
  auto information = reinterpret_cast<BOOL(WINAPI*)(HANDLE, int, void*, DWORD, DWORD*)>(
      reinterpret_cast<void*>(GetProcAddress(user, "GetUserObjectInformationW")));
  if (!station || !information) return true;
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  HWINSTA handle = station();
  if (!handle || !information(handle, UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
}

StdOutputKind StandardOutputKind() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  switch (out && out != INVALID_HANDLE_VALUE ? GetFileType(out) : FILE_TYPE_UNKNOWN) {
    case FILE_TYPE_DISK: return StdOutputKind::kDisk;
    case FILE_TYPE_CHAR: return StdOutputKind::kCharacter;
    case FILE_TYPE_PIPE: return StdOutputKind::kPipe;
    default: return StdOutputKind::kUnknown;
  }
}

void RecordCodePages(ProcessContext* p) {
  p->ansi_code_page = GetACP();
  if (GetCPInfo(CP_ACP, &p->ansi_code_page_info)) p->ansi_multi_byte = p->ansi_code_page_info.MaxCharSize > 1;
  OutputCodePages pages =
      ChooseOutputCodePages(IsValidCodePage(kCodePageUtf8) != 0, p->ansi_code_page, GetConsoleOutputCP(),
                            StandardOutputKind());
  p->output_code_page = pages.log;
  p->console_code_page = pages.console;
}

void FreeProcessContext() {
  if (!g_process) return;
  MemFree(g_process->executable_path);
  MemFree(g_process->base_name);
  MemFree(g_process->base_name_ansi);
  if (g_process->tls_slot != TLS_OUT_OF_INDEXES) TlsFree(g_process->tls_slot);
  MemFree(g_process);
  g_process = nullptr;
  MemFree(g_main_thread);
  g_main_thread = nullptr;
}

// Returns 0, or -1 when the process cannot run (no memory, no TLS slot, a damaged image header).
int ProcessStartup() {
  if (++g_startup_count > 1) return 0;
  if (!LocksCreate()) return -1;
  g_process = static_cast<ProcessContext*>(MemAlloc(sizeof(ProcessContext)));
  g_main_thread = NewThreadContext(u"Main");
  if (!g_process || !g_main_thread) return -1;
  ProcessContext* p = g_process;
  p->log_file = INVALID_HANDLE_VALUE;
  p->tls_slot = TlsAlloc();
  if (p->tls_slot == TLS_OUT_OF_INDEXES || !TlsSetValue(p->tls_slot, g_main_thread)) return -1;

  p->image_base = GetModuleHandleW(nullptr);
  ImageFacts facts;
  const auto* image = reinterpret_cast<const uint8_t*>(p->image_base);
  if (ImageCheckHeaders(image, kHeaderBytes, kImageMagicOfThisBuild, &facts)) return -1;
  p->pe_headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + facts.headers_offset);
  p->subsystem_kind = facts.subsystem_kind;

  GetStartupInfoW(&p->startup_info);
  ProcessSeedMake(p->seed);
  p->run_identifier = p->seed[0] ^ p->seed[1];
  if (!RecordExecutablePath(p)) return -1;
  p->interactive_desktop = IsInteractiveDesktop();
  RecordCodePages(p);
  LogInstallTraceSink();
  FaultHandlerInstall();
  return 0;
}

void ProcessShutdown() {
  if (--g_startup_count > 0) return;
  LogClose();
  LogRemoveTraceSink();
  FreeProcessContext();
  LocksDelete();
}

struct ProcessLifetime {
  ProcessLifetime() {
    if (ProcessStartup() != 0) ExitProcess(kStartupFailureExitCode);
  }
  ~ProcessLifetime() { ProcessShutdown(); }
};

// Built before every other static object of the program and destroyed after them.
ProcessLifetime g_lifetime __attribute__((init_priority(101)));

}  // namespace

ProcessContext* Process() { return g_process; }

ThreadContext* ThreadCurrent() {
  if (!g_process) return nullptr;
  auto* thread = static_cast<ThreadContext*>(TlsGetValue(g_process->tls_slot));
  if (thread) return thread;
  DWORD lastError = GetLastError();  // TlsGetValue clears it
  thread = NewThreadContext(u"");
  if (thread && !TlsSetValue(g_process->tls_slot, thread)) {
    MemFree(thread);
    thread = nullptr;
  }
  SetLastError(lastError);
  return thread;
}

void ThreadRelease() {
  if (!g_process) return;
  auto* thread = static_cast<ThreadContext*>(TlsGetValue(g_process->tls_slot));
  if (!thread || thread == g_main_thread) return;
  TlsSetValue(g_process->tls_slot, nullptr);
  MemFree(thread);
}

uint32_t ProcessReadOsVersion() {
  OSVERSIONINFOEXW* v = &g_process->os_version;
  memset(v, 0, sizeof *v);
  v->dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(v))) {
    v->dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(v))) {
      uint32_t err = GetLastError();
      memset(v, 0, sizeof *v);
      return err;
    }
  }
  OsVersionFields fields{v->dwPlatformId, v->dwMajorVersion, v->dwMinorVersion, v->dwBuildNumber,
                         v->wServicePackMajor, {}};
  memcpy(fields.service_pack_text, v->szCSDVersion, sizeof fields.service_pack_text);
  OsVersionCorrect(&fields);
  v->dwMajorVersion = fields.major;
  v->dwMinorVersion = fields.minor;
  v->dwBuildNumber = fields.build;
  v->wServicePackMajor = fields.service_pack_major;

  g_process->is_wow64 = FALSE;
  auto isWow64 = reinterpret_cast<BOOL(WINAPI*)(HANDLE, BOOL*)>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
  if (!isWow64 || !isWow64(GetCurrentProcess(), &g_process->is_wow64)) g_process->is_wow64 = FALSE;
  return ERROR_SUCCESS;
}
