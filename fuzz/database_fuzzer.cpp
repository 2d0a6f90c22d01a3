// Load, link and save any bytes as a setup database; what was saved must load again and save to the
// same bytes. The reloaded objects then have their fields replaced, reduced and freed and some are
// removed and destroyed, as a run does, so that the sanitizers see any loaded (arena) memory that
// reaches the heap's free.
#include <cstdlib>
#include <cstring>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "database/database_link.h"
#include "database/field_types.h"
#include "database/localized_text.h"
#include "runtime/heap.h"

namespace {

bool EvenLanguagesOnly(uint16_t language) { return (language & 1) == 0; }

void ChangeField(unsigned slot, uint8_t type, void* context) {
  auto* object = static_cast<SetupObject*>(context);
  switch (type) {
    case kFieldText:
    case kFieldAssemblyText: BuilderSetText(object, slot, u"changed at run time"); break;
    case kFieldLocalized:
      if (slot % 2)
        LocalizedTextReduce(SlotLocalized(object, slot), 0x0407);
      else
        LocalizedTextGrow(SlotLocalized(object, slot), SlotLocalized(object, slot)->count + 1);
      break;
    default: FieldFree(object, slot, type); break;
  }
}

void WorkAsARunDoes(ObjectTable* table) {
  SetupObject** objects = ObjectTableSortedById(table);
  uint32_t count = table->object_count;
  for (uint32_t i = 0; i < count; ++i) {
    ClassForEachField(ObjectClass(objects[i]), ChangeField, objects[i]);
    if (i % 3 == 0 && ObjectTableRemove(table, objects[i])) ObjectDestroy(objects[i]);
  }
  MemFree(objects);
}

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
  WorkAsARunDoes(again);
  ObjectTableDestroy(again);
  MemFree(saved);
  MemFree(resaved);
  return 0;
}
