#include "database/class_registry.h"

#include "database/class_table.h"
#include "database/heap_sort.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/text.h"

namespace {

struct RegisteredClass {
  const ClassDescriptor* cls;
  const ActionMethods* actions;
  const ControlMethods* controls;
};

RegisteredClass* g_classes;
uint32_t g_count;

const ClassDescriptor kEmptyClass{};
const ActionMethods kEmptyActions{};
const ControlMethods kEmptyControls{};

// Every registered tag byte is below 0x80, so the difference orders tags safely.
int CompareTags(uint32_t a, uint32_t b) { return int32_t(a - b); }

RegisteredClass* Find(uint32_t tag) {
  int64_t at = Bisect(g_classes, g_count, [tag](const RegisteredClass& c) { return CompareTags(tag, c.cls->tag); });
  return at < 0 ? nullptr : &g_classes[at];
}

}  // namespace

void ClassRegistryRegister(const ClassDescriptor* classes) {
  uint32_t count = 0;
  while (classes[count].tag) ++count;
  MemFree(g_classes);
  g_classes = MemNew<RegisteredClass>(count ? count : 1);
  for (uint32_t i = 0; i < count; ++i) g_classes[i].cls = &classes[i];
  HeapSort(g_classes, count,
           [](const RegisteredClass& a, const RegisteredClass& b) { return CompareTags(a.cls->tag, b.cls->tag); });
  g_count = count;
}

void ClassRegistryRegisterSetupClasses() { ClassRegistryRegister(kSetupClassTable); }

const ClassDescriptor* ClassLookup(uint32_t tag) {
  RegisteredClass* entry = Find(tag);
  return entry ? entry->cls : nullptr;
}

bool ClassIsA(const ClassDescriptor* cls, uint32_t tag) {
  for (; cls; cls = cls->parent)
    if (cls->tag == tag) return true;
  return false;
}

bool ObjectIsA(const SetupObject* object, uint32_t tag) { return object && ClassIsA(ObjectClass(object), tag); }

const ClassDescriptor* ClassOf(const SetupObject* object) { return object ? ObjectClass(object) : &kEmptyClass; }

const char16_t* TagDebugName(uint32_t tag) {
  static char16_t names[4][24];
  static unsigned next;
  char16_t* name = names[next++ % 4];
  char16_t letters[5] = {char16_t(tag & 0xFF), char16_t(tag >> 8 & 0xFF), char16_t(tag >> 16 & 0xFF),
                         char16_t(tag >> 24), 0};
  TextFormat(name, name + 23, u"%.4s (%08lX)", letters, tag);
  return name;
}

uint32_t ClassSetActionMethods(uint32_t tag, const ActionMethods* methods) {
  RegisteredClass* entry = Find(tag);
  if (!entry) return ERROR_UNSUPPORTED_TYPE;
  if (entry->cls->methods != kActionMethods) return ERROR_INVALID_FUNCTION;
  entry->actions = methods;
  return ERROR_SUCCESS;
}

uint32_t ClassSetControlMethods(uint32_t tag, const ControlMethods* methods) {
  RegisteredClass* entry = Find(tag);
  if (!entry) return ERROR_UNSUPPORTED_TYPE;
  if (entry->cls->methods != kControlMethods) return ERROR_INVALID_FUNCTION;
  entry->controls = methods;
  return ERROR_SUCCESS;
}

const ActionMethods* ClassActionMethods(const ClassDescriptor* cls) {
  if (!cls || cls->methods != kActionMethods) return nullptr;
  RegisteredClass* entry = Find(cls->tag);
  return entry && entry->actions ? entry->actions : &kEmptyActions;
}

const ControlMethods* ClassControlMethods(const ClassDescriptor* cls) {
  if (!cls || cls->methods != kControlMethods) return nullptr;
  RegisteredClass* entry = Find(cls->tag);
  return entry && entry->controls ? entry->controls : &kEmptyControls;
}

uint8_t ClassFieldType(const ClassDescriptor* cls, unsigned slot) {
  for (; cls; cls = cls->parent) {
    if (!cls->schema) continue;
    for (const uint8_t* p = cls->schema; p[1] != kFieldEnd; p += 2)
      if (p[0] == slot) return p[1];
  }
  return kFieldEnd;
}

namespace {

void VisitFrom(const ClassDescriptor* cls, void (*visit)(unsigned, uint8_t, void*), void* context) {
  if (!cls) return;
  VisitFrom(cls->parent, visit, context);
  if (!cls->schema) return;
  for (const uint8_t* p = cls->schema; p[1] != kFieldEnd; p += 2) visit(p[0], p[1], context);
}

}  // namespace

void ClassForEachField(const ClassDescriptor* cls, void (*visit)(unsigned slot, uint8_t type, void* context),
                       void* context) {
  VisitFrom(cls, visit, context);
}
