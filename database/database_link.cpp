#include "database/database_link.h"

#include <initializer_list>

#include "database/class_descriptor.h"
#include "database/class_registry.h"
#include "database/database_file.h"
#include "database/field_types.h"
#include "database/localized_text.h"
#include "database/pointer_list.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

constexpr uint32_t kLanguageAccepted = 0x1;  // lang slot 9
constexpr uint32_t kVariableSecondValue = 0x1;  // symb slot 9
constexpr uint32_t kVariableSecret = 0x10;      // symb slot 9

// The object that `id` names when it is of the class `tag` or a descendant; null otherwise.
SetupObject* Named(const ObjectTable* table, uint32_t tag, uint64_t id) { return ObjectTableFind(table, tag, id); }

SetupObject* FolderOf(const ObjectTable* table, const SetupObject* object) {
  return Named(table, TagOf("fldr"), SlotU64(object, 16));
}

// Appends every object named in the id list at `slot` that is of class `tag` to `list`.
void CollectNamed(const ObjectTable* table, const SetupObject* object, unsigned slot, uint32_t tag,
                  PointerList* list) {
  const U64Array* ids = SlotView<U64Array>(object, slot);
  for (uint32_t i = 0; ids->items && i < ids->count; ++i) {
    SetupObject* named = Named(table, tag, ids->items[i]);
    if (named) PointerListAppend(list, named);
  }
}

void LinkLanguage(ObjectTable* table, SetupObject* language, const LinkHooks* hooks) {
  uint16_t id = uint16_t(SlotU32(language, 8));
  bool accepted = !hooks->locale_installed || hooks->locale_installed(id);
  uint32_t flags = SlotU32(language, 9);
  SetSlotU32(language, 9, accepted ? flags | kLanguageAccepted : flags & ~kLanguageAccepted);
  if (accepted) PointerListAppend(&table->languages, language);
}

void LinkVariable(ObjectTable* table, SetupObject* variable, const LinkHooks* hooks) {
  PointerListAppend(&table->variables, variable);
  uint32_t flags = SlotU32(variable, 9);
  if (hooks->wow64 && (flags & kVariableSecondValue))
    LocalizedTextSwap(SlotLocalized(variable, 10), SlotLocalized(variable, 13));
  LocalizedTextFree(SlotLocalized(variable, 13));
  SetSlotU32(variable, 9, flags & ~kVariableSecondValue);
}

void LinkOption(ObjectTable* table, SetupObject* option) {
  PointerList* children = SlotPointerList(option, 34);
  PointerListFree(children);
  CollectNamed(table, option, 18, TagOf("cmp9"), children);
  for (uint32_t i = 0; i < children->count; ++i) SetSlotPointer(children->items[i], 37, option);
}

void LinkObject(ObjectTable* table, SetupObject* object, const LinkHooks* hooks) {
  uint32_t tag = ObjectClass(object)->tag;
  if (tag == TagOf("fldr")) {
    PointerListAppend(&table->folders, object);
    if (SlotU64(object, 16)) SetSlotPointer(object, 22, FolderOf(table, object));
  } else if (tag == TagOf("file")) {
    PointerListAppend(&table->files, object);
    SetSlotPointer(object, 46, FolderOf(table, object));
  } else if (tag == TagOf("shct")) {
    SetSlotPointer(object, 35, FolderOf(table, object));
  } else if (tag == TagOf("regk")) {
    PointerListAppend(&table->registry_keys, object);
  } else if (tag == TagOf("fsta")) {
    PointerListAppend(&table->journal, object);
  } else if (tag == TagOf("lang")) {
    LinkLanguage(table, object, hooks);
  } else if (tag == TagOf("symb")) {
    LinkVariable(table, object, hooks);
  } else if (tag == TagOf("inst")) {
    table->installation = object;  // one per database; with several, the last in id order
    PointerListFree(&table->options);
    CollectNamed(table, object, 23, TagOf("cmp9"), &table->options);
  } else if (tag == TagOf("cmp9") || tag == TagOf("asm9")) {
    LinkOption(table, object);
  } else if (tag == TagOf("pres")) {
    PointerList* prerequisites = SlotPointerList(object, 10);
    PointerListFree(prerequisites);
    CollectNamed(table, object, 8, TagOf("preh"), prerequisites);
  }
}

const char16_t* TextOrEmpty(const char16_t* text) { return text ? text : u""; }

int CompareByText(const SetupObject* a, const SetupObject* b, unsigned slot) {
  return TextCompareNoCase(TextOrEmpty(SlotText(a, slot)), TextOrEmpty(SlotText(b, slot)));
}

void TraceVariables(const ObjectTable* table) {
  for (uint32_t i = 0; i < table->variables.count; ++i) {
    const SetupObject* variable = table->variables.items[i];
    const char16_t* value = TextOrEmpty(SlotLocalized(variable, 10)->text);
    if ((SlotU32(variable, 9) & kVariableSecret) && *value) value = u"*HIDDEN*";
    TraceList(TR("D0001"), 2, TextOrEmpty(SlotText(variable, 16)), value);
  }
}

}  // namespace

void DatabaseLink(ObjectTable* table, const LinkHooks* hooks) {
  for (PointerList* list : {&table->variables, &table->languages, &table->journal, &table->options, &table->folders,
                            &table->files, &table->registry_keys})
    PointerListFree(list);
  table->installation = nullptr;
  // Objects are linked in id order (the order of a saved file), so that the lists come out the
  // same whatever the run's bucket seed.
  SetupObject** objects = ObjectTableSortedById(table);
  for (uint32_t i = 0; i < table->object_count; ++i) LinkObject(table, objects[i], hooks);
  MemFree(objects);
  PointerListSort(&table->variables, [](const SetupObject* a, const SetupObject* b) { return CompareByText(a, b, 16); });
  PointerListSort(&table->files, [](const SetupObject* a, const SetupObject* b) { return CompareByText(a, b, 29); });
  TraceVariables(table);
}

uint32_t DatabaseLoad(BufferedFile* stream, uint32_t seed, const LinkHooks* hooks, ObjectTable** table) {
  uint32_t err = DatabaseRead(stream, seed, table);
  if (!err) DatabaseLink(*table, hooks);
  return err;
}
