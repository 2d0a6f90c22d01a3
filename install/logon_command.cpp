#include "install/logon_command.h"

#include <windows.h>

#include "expr/database_resolver.h"
#include "expr/variables.h"
#include "install/registry_key.h"
#include "install/registry_value.h"
#include "runtime/heap.h"
#include "runtime/random.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

enum : unsigned { kInstallationScopeFlags = 15 };  // inst: u32
constexpr uint32_t kScopeFlagCurrentUserRun = 0x20;
constexpr size_t kCapacity = 4096;

HKEY Root(ObjectTable* db, uint32_t flags) {
  if (flags & kLogonLocalMachine) return HKEY_LOCAL_MACHINE;
  if (flags & kLogonCurrentUser) return HKEY_CURRENT_USER;
  uint32_t scope = db && db->installation ? SlotU32(db->installation, kInstallationScopeFlags) : 0;
  return scope & kScopeFlagCurrentUserRun ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

char16_t* Name(ObjectTable* db, uint32_t flags, char16_t* start, char16_t* end) {
  char16_t* out = start;
  *out = 0;
  if (flags & kLogonPrefixBang) out = TextCopy(out, end, u"!");
  if (flags & kLogonPrefixStar) out = TextCopy(out, end, u"*");
  if (flags & kLogonNameFrom403) return VariableValue(db, 403, out, end);
  if (flags & kLogonNameFrom414) return VariableValue(db, 414, out, end);
  return TextFormat(out, end, u"QEL%016I64X", RandomNext64());
}

}  // namespace

uint32_t RegisterLogonCommand(ObjectTable* db, const char16_t* program, const char16_t* arguments, uint32_t flags,
                              char16_t* name, char16_t* name_end) {
  static const char16_t* const kKeys[] = {u"Run", u"RunOnce", u"RunServices", u"RunServicesOnce"};
  auto* data = static_cast<char16_t*>(MemAlloc(kCapacity * sizeof(char16_t)));
  if (!data) return ERROR_NOT_ENOUGH_MEMORY;
  char16_t* end = data + kCapacity - 1;
  char16_t* out = TextCopy(data, end, u"\"");
  out = Substitute(db, program ? program : u"", out, end);
  out = TextCopy(out, end, u"\"");
  if (arguments && *arguments) {
    out = TextCopy(out, end, u" ");
    Substitute(db, arguments, out, end);
  }
  Name(db, flags, name, name_end);
  char16_t subkey[MAX_PATH];
  RegistrySystemKeyPath(kKeys[(flags >> kLogonKeyShift) & 3], subkey, subkey + MAX_PATH - 1);
  HKEY key;
  uint32_t err = uint32_t(Sys().RegCreateKeyExW(Root(db, flags), reinterpret_cast<LPCWSTR>(subkey), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &key, nullptr));
  if (err == ERROR_SUCCESS) {
    err = RegistryWriteTextValue(key, name, data, REG_SZ);
    RegCloseKey(key);
  }
  if (err == ERROR_SUCCESS) TraceList(TR("A0001"), 2, name, data);
  else Trace(TR("E0033"), u"%s|%s|%lu", name, data, err);
  MemFree(data);
  return err;
}
