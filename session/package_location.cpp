#include "session/package_location.h"

#include <windows.h>

#include "database/object_table.h"
#include "expr/registry_read.h"
#include "expr/variables.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"

namespace {

constexpr size_t kTextCapacity = 1024;
constexpr uint32_t kVarProductKey = 411;
constexpr uint32_t kVarPackageFolder = 524;

enum : unsigned {
  kInstallationFlags = 12,
  kInstallationProductText = 20,
};
constexpr uint32_t kInstallationNativeView = 0x1000;

// "KezPath" under the product's key into [folder, folder + kTextCapacity - 1] (empty when absent).
void ReadKezPath(ObjectTable* db, char16_t* folder) {
  char16_t key[kTextCapacity];
  VariableValue(db, kVarProductKey, key, key + kTextCapacity - 1);
  const char16_t* product = SlotText(db->installation, kInstallationProductText);
  if (!product) product = u"";
  REGSAM view = (SlotU32(db->installation, kInstallationFlags) & kInstallationNativeView) ? KEY_WOW64_64KEY : 0;
  HKEY root = nullptr, opened = nullptr;
  const char16_t* subkey = nullptr;
  LONG err = RegistryParseRoot(key, &root, &subkey)
                 ? RegOpenKeyExW(root, reinterpret_cast<const wchar_t*>(subkey), 0, KEY_QUERY_VALUE | view, &opened)
                 : LONG(ERROR_PATH_NOT_FOUND);
  if (err) {
    Trace(TR("I1197"), u"%s|%s|%lu", product, key, uint32_t(err));
    return;
  }
  RegCloseKey(opened);
  DWORD type = 0;
  uint32_t result = RegistryReadText(key, u"KezPath", view, false, folder, folder + kTextCapacity - 1, &type);
  if (result || (type != REG_SZ && type != REG_EXPAND_SZ)) *folder = 0;
  Trace(TR("I1198"), u"%s|%s|%s|%lu", product, key, folder, result);
}

}  // namespace

void PackageLocationFind(SessionState* s, ObjectTable* db) {
  if (s->fresh_installation || (s->package_path && *s->package_path) || (s->package_folder && *s->package_folder))
    return;
  char16_t folder[kTextCapacity] = u"";
  ReadKezPath(db, folder);
  if (!*folder) {
    SetupObject* saved = VariableFindById(db, kVarPackageFolder);
    if (const char16_t* value = saved ? VariableRawValue(saved) : nullptr) TextCopy(folder, folder + kTextCapacity - 1, value);
  }
  if (*folder) SessionSetText(&s->package_folder, folder);
  Trace(TR("I1196"), u"%s", folder);
}
