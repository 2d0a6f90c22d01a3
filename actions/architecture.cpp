#include "actions/architecture.h"

#include <windows.h>

#include <initializer_list>

#include "actions/action_object.h"
#include "runtime/proc_address.h"
#include "runtime/trace.h"

namespace {

constexpr USHORT kMachineI386 = 0x014C;
constexpr USHORT kMachineAmd64 = 0x8664;
constexpr USHORT kMachineArm64 = 0xAA64;
constexpr int kUserEnabled = 0x1;  // MACHINE_ATTRIBUTES: user-mode code of the machine type runs

using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
using GetMachineTypeAttributesFunction = HRESULT(WINAPI*)(USHORT, int*);

uint32_t BitOfMachine(USHORT machine) {
  switch (machine) {
    case kMachineAmd64: return kArchitectureX64;
    case kMachineArm64: return kArchitectureArm64;
    default: return kArchitectureX86;
  }
}

uint32_t NativeFromSystemInfo() {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  switch (info.wProcessorArchitecture) {
    case PROCESSOR_ARCHITECTURE_AMD64: return kArchitectureX64;
    case 12: return kArchitectureArm64;  // PROCESSOR_ARCHITECTURE_ARM64
    default: return kArchitectureX86;
  }
}

MachineArchitectures Read() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  MachineArchitectures m{};
  USHORT process = 0, native = 0;
  auto isWow64Process2 = ProcAddress<IsWow64Process2Function>(kernel, "IsWow64Process2");
  if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &process, &native)) m.native = BitOfMachine(native);
  else m.native = NativeFromSystemInfo();
  m.runnable = kArchitectureX86 | m.native;
  if (auto attributes = ProcAddress<GetMachineTypeAttributesFunction>(kernel, "GetMachineTypeAttributes")) {
    for (USHORT machine : {kMachineI386, kMachineAmd64, kMachineArm64}) {
      int flags = 0;
      if (SUCCEEDED(attributes(machine, &flags)) && (flags & kUserEnabled)) m.runnable |= BitOfMachine(machine);
    }
  }
  Trace(TR("I1700"), u"0x%04X|0x%04X", m.native, m.runnable);
  return m;
}

}  // namespace

bool ArchitectureMatches(uint32_t mask, uint32_t set, int32_t mode) {
  switch (mode) {
    case kMatchAll: return (set & mask) == mask;
    case kMatchEqual: return set == mask;
    case kMatchNone: return (set & mask) == 0;
    default: return (set & mask) != 0;
  }
}

const MachineArchitectures& Machine() {
  static const MachineArchitectures machine = Read();
  return machine;
}
