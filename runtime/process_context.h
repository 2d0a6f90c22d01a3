// The process-wide runtime record and the per-thread record. Both are built by the process
// start-up, which runs among the static initialisers before the program's entry (a failure stops
// the process before the entry), and torn down by the process shutdown after the entry returned.
#pragma once
#include <windows.h>

#include <cstdint>

struct FaultGuard;

constexpr size_t kLogPathCapacity = 264;
constexpr size_t kErrorTextCapacity = 1031;
constexpr size_t kThreadNameCapacity = 31;

struct ProcessContext {
  STARTUPINFOW startup_info;
  CPINFO ansi_code_page_info;
  bool ansi_multi_byte;             // the ANSI code page has characters of more than one byte
  uint32_t seed[2];                 // the process seed
  uint32_t run_identifier;          // seed[0] ^ seed[1], printed as "%08lX" wherever a run needs a tag
  bool interactive_desktop;         // the window station is visible (or that cannot be asked)
  HMODULE image_base;               // the executable's module handle
  const IMAGE_NT_HEADERS* pe_headers;
  char16_t* executable_path;        // full path (owned)
  char16_t* base_name;              // file name without folder and extension, e.g. "Setup" (owned)
  char* base_name_ansi;             // the same in the ANSI code page (owned)
  uint32_t subsystem_kind;          // kSubsystemKindConsole or kSubsystemKindGui
  uint32_t ansi_code_page;
  uint32_t output_code_page;        // 8-bit output the runtime writes itself (the log): UTF-8 when valid
  uint32_t console_code_page;       // text written to standard output and error
  OSVERSIONINFOEXW os_version;      // see ProcessReadOsVersion
  BOOL is_wow64;                    // a 32-bit process on 64-bit Windows
  DWORD tls_slot;                   // holds each thread's ThreadContext
  // The log file, guarded by lock 0 (runtime/log.cpp).
  char16_t log_path[kLogPathCapacity];
  HANDLE log_file;
  bool log_attempted;
};

struct ThreadContext {
  HANDLE thread;                    // pseudo-handle of the thread
  DWORD thread_id;
  char16_t name[kThreadNameCapacity];
  uint32_t random_state[2];         // zero until the generator's first use
  FaultGuard* fault_guard;          // innermost last-resort guard of the thread (runtime/fault_guard.h)
  char16_t error_text[kErrorTextCapacity];
};

// The process record; valid from start-up to shutdown.
ProcessContext* Process();

// The calling thread's record; created (unnamed) on first use by a thread other than the main
// thread, which is named "Main". Null only when the record cannot be allocated.
ThreadContext* ThreadCurrent();
// Frees the calling thread's record; a thread that used the runtime calls it before it ends.
// The main thread's record lives until shutdown.
void ThreadRelease();

// Reads the operating-system version into the process record (extended form first, then the basic
// one) with the corrections of OsVersionCorrect, and whether this is a 32-bit process on 64-bit
// Windows. Returns 0, or the error of the query (the record is then cleared).
uint32_t ProcessReadOsVersion();
