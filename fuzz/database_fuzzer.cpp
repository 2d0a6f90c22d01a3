// Load, link and save any bytes as a setup database; what was saved must load again and save to the
// same bytes.
#include <cstdlib>
#include <cstring>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "database/database_link.h"
#include "runtime/heap.h"

namespace {

bool EvenLanguagesOnly(uint16_t language) { return (language & 1) == 0; }

uint32_t Read(const uint8_t* data, size_t size, ObjectTable** table) {
  BufferedFile stream{};
  BufferedOpenMemory(&stream, data, size);
  uint32_t err = DatabaseRead(&stream, 0x9E3779B9, table);
  BufferedClose(&stream);
  return err;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool registered = (ClassRegistryRegisterSetupClasses(), true);
  (void)registered;
  ObjectTable* table = nullptr;
  if (Read(data, size, &table)) return 0;
  LinkHooks hooks{EvenLanguagesOnly, size % 2 == 1};
  DatabaseLink(table, &hooks);

  uint8_t* saved = nullptr;
  size_t savedSize = 0;
  if (BuilderSaveToMemory(table, 1, &saved, &savedSize)) abort();
  ObjectTableDestroy(table);

  ObjectTable* again = nullptr;
  if (Read(saved, savedSize, &again)) abort();
  uint8_t* resaved = nullptr;
  size_t resavedSize = 0;
  if (BuilderSaveToMemory(again, 1, &resaved, &resavedSize)) abort();
  if (resavedSize != savedSize || memcmp(saved, resaved, savedSize) != 0) abort();
  ObjectTableDestroy(again);
  MemFree(saved);
  MemFree(resaved);
  return 0;
}
