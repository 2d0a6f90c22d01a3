#include "expr/database_resolver.h"

#include "database/pointer_list.h"
#include "expr/condition.h"
#include "expr/function_table.h"
#include "expr/substitute.h"
#include "expr/system_slots.h"
#include "expr/variables.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

ObjectTable* Db(void* context) { return static_cast<ObjectTable*>(context); }

const char16_t* Text(const SetupObject* object, unsigned slot) {
  const char16_t* text = SlotText(object, slot);
  return text ? text : u"";
}

int CompareFileKey(const void* key, const SetupObject* file) {
  return TextCompareNoCase(static_cast<const char16_t*>(key), Text(file, kFileKeySlot));
}

SetupObject* FindFile(ObjectTable* db, const char16_t* key) {
  SetupObject* file = PointerListSearch(&db->files, key, CompareFileKey);
  if (!file) Trace(TR("W1515"), u"%s", key);
  return file;
}

const char16_t* VariableRaw(void* context, const char16_t* name) {
  SetupObject* variable = VariableFind(Db(context), name);
  return variable ? VariableRawValue(variable) : nullptr;
}

const char16_t* VariableRawById(void* context, uint32_t id) {
  SetupObject* variable = VariableFindById(Db(context), id);
  return variable ? VariableRawValue(variable) : nullptr;
}

char16_t* FilePath(void* context, const char16_t* key, char16_t* start, char16_t* end) {
  SetupObject* file = FindFile(Db(context), key);
  return TextCopy(start, end, file ? Text(file, kFileTargetPathSlot) : u"");
}

char16_t* FileSource(void* context, const char16_t* key, char16_t* start, char16_t* end) {
  SetupObject* file = FindFile(Db(context), key);
  return TextCopy(start, end, file ? Text(file, kFileSourceNameSlot) : u"");
}

SetupObject* FindInTree(const PointerList* options, const char16_t* name, int depth) {
  if (depth > 64) return nullptr;  // a cycle in a damaged database
  for (uint32_t i = 0; i < options->count; ++i) {
    SetupObject* option = options->items[i];
    if (SetupObject* child = FindInTree(SlotPointerList(option, kOptionChildren), name, depth + 1)) return child;
    if (TextEqualNoCase(Text(option, kOptionName), name)) return option;
  }
  return nullptr;
}

const char16_t* OptionVariable(void* context, const char16_t* name) {
  SetupObject* option = OptionFindByName(Db(context), name);
  const char16_t* variable = option ? SlotText(option, kOptionVariable) : nullptr;
  return variable && *variable ? variable : nullptr;
}

int OptionState(void* context, const char16_t* name, bool requested) {
  SetupObject* option = OptionFindByName(Db(context), name);
  if (!option) return 0;
  return SlotInt(option, requested ? kOptionAction : kOptionInstalled);
}

}  // namespace

SetupObject* OptionFindByName(ObjectTable* db, const char16_t* name) {
  SetupObject* option = db && name ? FindInTree(&db->options, name, 0) : nullptr;
  if (!option) Trace(TR("W1514"), u"%s", name ? name : u"");
  return option;
}

ExprResolver DatabaseResolver(ObjectTable* db) {
  ExprResolver r{};
  r.context = db;
  r.variable_raw = VariableRaw;
  r.variable_raw_by_id = VariableRawById;
  r.environment = ExprEnvironmentValue;
  r.file_path = FilePath;
  r.file_source = FileSource;
  r.ini_value = ExprIniValue;
  r.registry_value = ExprRegistryValue;
  r.option_variable = OptionVariable;
  r.option_state = OptionState;
  r.functions = kExprFunctions;
  r.function_count = kExprFunctionCount;
  return r;
}

char16_t* Substitute(ObjectTable* db, const char16_t* source, char16_t* start, char16_t* end) {
  ExprResolver r = DatabaseResolver(db);
  return Substitute(r, source, start, end);
}

int EvaluateCondition(ObjectTable* db, const char16_t* expression, const char16_t* label) {
  ExprResolver r = DatabaseResolver(db);
  bool stop = false;
  return ExprEvaluateCondition(ExprScope{&r, 0, &stop}, expression, label);
}
