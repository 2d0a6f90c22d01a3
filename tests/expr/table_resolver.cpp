#include "tests/expr/table_resolver.h"

#include "expr/functions.h"
#include "runtime/text.h"

namespace {

TableResolver& Self(void* context) { return *static_cast<TableResolver*>(context); }

const std::u16string* Find(TableResolver& t, const std::vector<TableResolver::Entry>& entries,
                           const std::u16string& key, char16_t kind) {
  for (const auto& e : entries)
    if (TextEqualNoCase(e.key.c_str(), key.c_str())) return &e.value;
  t.misses.push_back(std::u16string(1, kind) + key);
  return nullptr;
}

char16_t* Write(char16_t* start, char16_t* end, const std::u16string* value) {
  return value ? TextCopy(start, end, value->c_str()) : TextCopy(start, end, u"");
}

const char16_t* VariableRaw(void* context, const char16_t* name) {
  for (const auto& v : Self(context).variables)
    if (TextEqualNoCase(v.name.c_str(), name)) return v.value.c_str();
  Self(context).misses.push_back(std::u16string(u"V") + name);
  return nullptr;
}

const char16_t* VariableRawById(void* context, uint32_t id) {
  for (const auto& v : Self(context).variables)
    if (v.id == id) return v.value.c_str();
  return nullptr;
}

char16_t* Environment(void* context, const char16_t* name, char16_t* start, char16_t* end) {
  return Write(start, end, Find(Self(context), Self(context).environment, name, u'E'));
}

char16_t* FilePath(void* context, const char16_t* key, char16_t* start, char16_t* end) {
  return Write(start, end, Find(Self(context), Self(context).files, key, u'F'));
}

char16_t* FileSource(void* context, const char16_t* key, char16_t* start, char16_t* end) {
  return Write(start, end, Find(Self(context), Self(context).sources, key, u'S'));
}

char16_t* IniValue(void* context, const char16_t* file, const char16_t* section, const char16_t* key,
                   char16_t* start, char16_t* end) {
  std::u16string k = std::u16string(file) + u"|" + section + u"|" + key;
  return Write(start, end, Find(Self(context), Self(context).ini, k, u'I'));
}

char16_t* RegistryValue(void* context, int view, const char16_t* key, const char16_t* name, char16_t* start,
                        char16_t* end) {
  std::u16string v = view == 32 ? u"32" : view == 64 ? u"64" : u"0";
  return Write(start, end, Find(Self(context), Self(context).registry, v + u"|" + key + u"|" + name, u'R'));
}

const TableResolver::Option* FindOption(void* context, const char16_t* name) {
  for (const auto& o : Self(context).options)
    if (TextEqualNoCase(o.name.c_str(), name)) return &o;
  Self(context).misses.push_back(std::u16string(u"O") + name);
  return nullptr;
}

const char16_t* OptionVariable(void* context, const char16_t* name) {
  const TableResolver::Option* o = FindOption(context, name);
  return o && !o->variable.empty() ? o->variable.c_str() : nullptr;
}

int OptionState(void* context, const char16_t* name, bool requested) {
  const TableResolver::Option* o = FindOption(context, name);
  return o ? (requested ? o->requested : o->installed) : 0;
}

}  // namespace

ExprResolver TableResolver::Resolver(const ExprFunction* functions, size_t count) {
  ExprResolver r{};
  r.context = this;
  r.variable_raw = VariableRaw;
  r.variable_raw_by_id = VariableRawById;
  r.environment = Environment;
  r.file_path = FilePath;
  r.file_source = FileSource;
  r.ini_value = IniValue;
  r.registry_value = RegistryValue;
  r.option_variable = OptionVariable;
  r.option_state = OptionState;
  r.functions = functions;
  r.function_count = count;
  return r;
}

const ExprFunction kPortableFunctions[] = {
    {u"dateadd", ExprFn_dateadd}, {u"datediff", ExprFn_datediff}, {u"dateiso", ExprFn_dateiso},
    {u"datelocal", ExprFn_datelocal}, {u"eval", ExprFn_eval},     {u"fbase", ExprFn_fbase},
    {u"fdir", ExprFn_fdir},       {u"fext", ExprFn_fext},         {u"fname", ExprFn_fname},
    {u"froot", ExprFn_froot},     {u"ifte", ExprFn_ifte},         {u"iisdata", ExprFn_iisdata},
    {u"iispath", ExprFn_iispath}, {u"instr", ExprFn_instr},       {u"part", ExprFn_part},
    {u"srcpath", ExprFn_srcpath}, {u"strsubst", ExprFn_strsubst}, {u"strtrim", ExprFn_strtrim},
    {u"syspath", ExprFn_syspath}, {u"systime", ExprFn_systime},   {u"sysval", ExprFn_sysval},
    {u"vercmp", ExprFn_vercmp},
};
const size_t kPortableFunctionCount = sizeof(kPortableFunctions) / sizeof(kPortableFunctions[0]);
