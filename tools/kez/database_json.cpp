#include "tools/kez/database_json.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "runtime/heap.h"
#include "runtime/text.h"

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

const char* const kTypeNames[kFieldTypeLimit] = {
    "end", "int", "int64", "u32", "u64", "u32array", "u64array", "u32list", "u64list",
    "id", "ids", "text", "asmtext", "texts", "localized", "bytes", "filetime",
};

// Reasons for refusing the JSON travel as this exception inside this file only.
struct JsonError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Hex(uint64_t value, int digits) {
  char text[24];
  snprintf(text, sizeof text, "0x%0*" PRIX64, digits, value);
  return text;
}

std::string HexBytes(const uint8_t* bytes, size_t count) {
  std::string text;
  char pair[3];
  for (size_t i = 0; i < count; ++i) {
    snprintf(pair, sizeof pair, "%02X", bytes[i]);
    text += pair;
  }
  return text;
}

std::vector<uint8_t> BytesFromHex(const std::string& text) {
  if (text.size() % 2) throw JsonError("hex text of odd length");
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < text.size(); i += 2) {
    unsigned value;
    if (!isxdigit(uint8_t(text[i])) || !isxdigit(uint8_t(text[i + 1])) || sscanf(text.c_str() + i, "%2x", &value) != 1)
      throw JsonError("not a hex text: " + text);
    bytes.push_back(uint8_t(value));
  }
  return bytes;
}

bool LoneSurrogateIn(const char16_t* text) {
  for (const char16_t* p = text; *p; ++p) {
    if (*p >= 0xD800 && *p <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF)
      ++p;
    else if (*p >= 0xD800 && *p <= 0xDFFF)
      return true;
  }
  return false;
}

// A text as a JSON string; one that holds an unpaired surrogate (no valid Unicode) as its code units.
ordered_json TextJson(const char16_t* text) {
  if (!text) return "";
  if (!LoneSurrogateIn(text)) return TextToUtf8(text);
  ordered_json units = ordered_json::array();
  for (const char16_t* p = text; *p; ++p) units.push_back(unsigned(*p));
  return ordered_json{{"utf16", units}};
}

std::u16string TextFromJson(const json& value) {
  if (value.is_string()) return TextFromUtf8(value.get<std::string>());
  if (value.is_object() && value.contains("utf16") && value["utf16"].is_array()) {
    std::u16string text;
    for (const json& unit : value["utf16"]) {
      if (!unit.is_number_unsigned() || unit.get<uint64_t>() == 0 || unit.get<uint64_t>() > 0xFFFF)
        throw JsonError("utf16 code units are numbers from 1 to 65535");
      text += char16_t(unit.get<uint64_t>());
    }
    return text;
  }
  throw JsonError("a text is a string or {\"utf16\": [code units]}");
}

// Numbers are JSON numbers or texts ("0x" hexadecimal or decimal).
uint64_t NumberFromJson(const json& value, uint64_t maximum) {
  uint64_t number = 0;
  if (value.is_number_unsigned()) {
    number = value.get<uint64_t>();
  } else if (value.is_number_integer()) {
    int64_t signed_number = value.get<int64_t>();
    if (signed_number < INT32_MIN || maximum != UINT32_MAX) throw JsonError("number out of range: " + value.dump());
    number = uint64_t(uint32_t(int32_t(signed_number)));
  } else if (value.is_string()) {
    const std::string& text = value.get_ref<const std::string&>();
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const char* digits = text.c_str() + (hex ? 2 : 0);
    char* end = nullptr;
    errno = 0;
    number = strtoull(digits, &end, hex ? 16 : 10);
    if (!*digits || *end || errno || digits[0] == '-' || digits[0] == '+') throw JsonError("not a number: " + text);
  } else {
    throw JsonError("not a number: " + value.dump());
  }
  if (number > maximum) throw JsonError("number out of range: " + value.dump());
  return number;
}

ordered_json FieldJson(const SetupObject* o, unsigned slot, uint8_t type) {
  switch (type) {
    case kFieldInt: return SlotInt(o, slot);
    case kFieldU32: return SlotU32(o, slot);
    case kFieldInt64:
    case kFieldU64: return SlotU64(o, slot);
    case kFieldId:
    case kFieldFileTime: return Hex(SlotU64(o, slot), 16);
    case kFieldU32Array:
    case kFieldU32List: {
      ordered_json items = ordered_json::array();
      const U32Array* a = SlotView<U32Array>(o, slot);
      for (uint32_t i = 0; a->items && i < a->count; ++i) items.push_back(a->items[i]);
      return items;
    }
    case kFieldU64Array:
    case kFieldU64List:
    case kFieldIdList: {
      ordered_json items = ordered_json::array();
      const U64Array* a = SlotView<U64Array>(o, slot);
      for (uint32_t i = 0; a->items && i < a->count; ++i)
        items.push_back(type == kFieldIdList ? ordered_json(Hex(a->items[i], 16)) : ordered_json(a->items[i]));
      return items;
    }
    case kFieldText:
    case kFieldAssemblyText: return TextJson(SlotText(o, slot));
    case kFieldTextList: {
      ordered_json items = ordered_json::array();
      const TextList* list = SlotView<TextList>(o, slot);
      for (uint32_t i = 0; list->items && i < list->count; ++i) items.push_back(TextJson(list->items[i]));
      return items;
    }
    case kFieldLocalized: {
      const LocalizedText* text = SlotLocalized(o, slot);
      ordered_json pairs = ordered_json::array();
      for (uint32_t i = 0; text->pairs && i < text->count; ++i)
        pairs.push_back({{"language", Hex(text->pairs[i].key, text->pairs[i].key > 0xFFFF ? 8 : 4)},
                         {"text", TextJson(text->pairs[i].text)}});
      return {{"default", TextJson(text->text)}, {"pairs", pairs}};
    }
    case kFieldBytes: {
      const ByteBlock* block = SlotView<ByteBlock>(o, slot);
      return HexBytes(block->items, block->items ? block->count : 0);
    }
    default: return nullptr;
  }
}

struct ObjectFields {
  const SetupObject* object;
  ordered_json* fields;
};

void AddField(unsigned slot, uint8_t type, void* context) {
  auto* f = static_cast<ObjectFields*>(context);
  (*f->fields)[std::to_string(slot)] = {{"type", kTypeNames[type]}, {"value", FieldJson(f->object, slot, type)}};
}

// The header blocks that are carried from load to save, shown as hex texts.
struct ReservedBlock {
  const char* name;
  uint32_t offset;
  uint32_t size;
};
const ReservedBlock kReservedBlocks[] = {{"reserved_32", kHeaderReserved32, 8},
                                         {"reserved_56", kHeaderReserved56, 8},
                                         {"reserved_68", kHeaderReserved68, 128},
                                         {"reserved_200", kHeaderReserved200, 56}};

std::string TagText(uint32_t tag) { return std::string(reinterpret_cast<const char*>(&tag), 4); }

ordered_json HeaderJson(ObjectTable* table) {
  const uint8_t* h = table->header;
  char code[40];
  uint32_t data1 = DatabaseHeaderU32(table, kHeaderPackageCode);
  snprintf(code, sizeof code, "{%08X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", data1, h[21], h[20], h[23],
           h[22], h[24], h[25], h[26], h[27], h[28], h[29], h[30], h[31]);
  ordered_json header = {
      {"version", Hex(DatabaseHeaderU32(table, kHeaderVersion), 8)},
      {"package_code", code},
      {"save_time", Hex(DatabaseHeaderU64(table, kHeaderSaveTime), 16)},
      {"installation_time", Hex(DatabaseHeaderU64(table, kHeaderInstallTime), 16)},
      {"object_count", DatabaseHeaderU32(table, kHeaderObjectCount)},
      {"support_files", DatabaseHeaderU32(table, kHeaderSupportFiles)},
  };
  for (const ReservedBlock& b : kReservedBlocks) {
    bool zero = true;
    for (uint32_t i = 0; i < b.size; ++i) zero = zero && h[b.offset + i] == 0;
    if (!zero) header[b.name] = HexBytes(h + b.offset, b.size);
  }
  return header;
}

void GuidFromJson(const json& value, uint8_t code[16]) {
  unsigned d1, d2, d3, b[8];
  if (!value.is_string() ||
      sscanf(value.get_ref<const std::string&>().c_str(), "{%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &d1, &d2, &d3, &b[0],
             &b[1], &b[2], &b[3], &b[4], &b[5], &b[6], &b[7]) != 11 ||
      value.get_ref<const std::string&>().size() != 38)
    throw JsonError("package_code is a GUID: {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
  const uint8_t head[8] = {uint8_t(d1), uint8_t(d1 >> 8), uint8_t(d1 >> 16), uint8_t(d1 >> 24),
                           uint8_t(d2), uint8_t(d2 >> 8), uint8_t(d3), uint8_t(d3 >> 8)};
  for (int i = 0; i < 8; ++i) code[i] = head[i];
  for (int i = 0; i < 8; ++i) code[8 + i] = uint8_t(b[i]);
}

void PackageCodeFromJson(ObjectTable* table, const json& value) {
  uint8_t code[16];
  GuidFromJson(value, code);
  BuilderSetPackageCode(table, code);
}

void HeaderFromJson(ObjectTable* table, const json& header, uint64_t* save_time) {
  if (!header.is_object()) throw JsonError("\"header\" is an object");
  for (const auto& item : header.items()) {
    const std::string& key = item.key();
    const json& value = item.value();
    if (key == "package_code") {
      PackageCodeFromJson(table, value);
    } else if (key == "save_time") {
      *save_time = NumberFromJson(value, UINT64_MAX);
    } else if (key == "installation_time") {
      BuilderSetInstallationTime(table, NumberFromJson(value, UINT64_MAX));
    } else if (key == "support_files") {
      BuilderSetSupportFileCount(table, uint32_t(NumberFromJson(value, UINT32_MAX)));
    } else if (key == "version" || key == "object_count") {
      // written by every save
    } else {
      const ReservedBlock* block = nullptr;
      for (const ReservedBlock& b : kReservedBlocks)
        if (key == b.name) block = &b;
      if (!block) throw JsonError("unknown header field \"" + key + "\"");
      std::vector<uint8_t> bytes = BytesFromHex(value.is_string() ? value.get<std::string>() : "?");
      if (bytes.size() != block->size) throw JsonError(key + " holds " + std::to_string(block->size) + " bytes");
      memcpy(table->header + block->offset, bytes.data(), bytes.size());
    }
  }
}

uint8_t TypeFromJson(const json& value) {
  if (value.is_number_unsigned() && value.get<uint64_t>() > 0 && value.get<uint64_t>() < kFieldTypeLimit)
    return uint8_t(value.get<uint64_t>());
  if (value.is_string())
    for (uint8_t t = 1; t < kFieldTypeLimit; ++t)
      if (value.get_ref<const std::string&>() == kTypeNames[t]) return t;
  throw JsonError("unknown field type " + value.dump());
}

const json& ArrayFromJson(const json& value) {
  if (!value.is_array()) throw JsonError("expected an array, not " + value.dump());
  return value;
}

void SetField(SetupObject* o, unsigned slot, uint8_t type, const json& value) {
  switch (type) {
    case kFieldInt:
    case kFieldU32: BuilderSetU32(o, slot, uint32_t(NumberFromJson(value, UINT32_MAX))); break;
    case kFieldInt64:
    case kFieldU64:
    case kFieldId:
    case kFieldFileTime: BuilderSetU64(o, slot, NumberFromJson(value, UINT64_MAX)); break;
    case kFieldU32Array:
    case kFieldU32List: {
      std::vector<uint32_t> items;
      for (const json& item : ArrayFromJson(value)) items.push_back(uint32_t(NumberFromJson(item, UINT32_MAX)));
      BuilderSetU32List(o, slot, items.data(), uint32_t(items.size()));
      break;
    }
    case kFieldU64Array:
    case kFieldU64List:
    case kFieldIdList: {
      std::vector<uint64_t> items;
      for (const json& item : ArrayFromJson(value)) items.push_back(NumberFromJson(item, UINT64_MAX));
      BuilderSetU64List(o, slot, items.data(), uint32_t(items.size()));
      break;
    }
    case kFieldText:
    case kFieldAssemblyText: BuilderSetText(o, slot, TextFromJson(value).c_str()); break;
    case kFieldTextList: {
      std::vector<std::u16string> texts;
      for (const json& item : ArrayFromJson(value)) texts.push_back(TextFromJson(item));
      std::vector<const char16_t*> pointers;
      for (const std::u16string& t : texts) pointers.push_back(t.c_str());
      BuilderSetTextList(o, slot, pointers.data(), uint32_t(pointers.size()));
      break;
    }
    case kFieldLocalized: {
      // A plain text is a localized text without pairs.
      std::u16string fallback;
      std::vector<std::u16string> texts;
      std::vector<uint32_t> keys;
      if (value.is_object() && !value.contains("utf16")) {
        if (value.contains("default")) fallback = TextFromJson(value["default"]);
        for (const auto& item : value.items())
          if (item.key() != "default" && item.key() != "pairs") throw JsonError("unknown member \"" + item.key() + "\"");
        if (value.contains("pairs")) {
          for (const json& pair : ArrayFromJson(value["pairs"])) {
            if (!pair.is_object() || !pair.contains("language") || !pair.contains("text"))
              throw JsonError("a pair is {\"language\": ..., \"text\": ...}");
            keys.push_back(uint32_t(NumberFromJson(pair["language"], UINT32_MAX)));
            texts.push_back(TextFromJson(pair["text"]));
          }
        }
      } else {
        fallback = TextFromJson(value);
      }
      std::vector<LocalizedPair> pairs;
      for (size_t i = 0; i < texts.size(); ++i) pairs.push_back({const_cast<char16_t*>(texts[i].c_str()), keys[i]});
      BuilderSetLocalized(o, slot, fallback.c_str(), pairs.data(), uint32_t(pairs.size()));
      break;
    }
    case kFieldBytes: {
      if (!value.is_string()) throw JsonError("bytes are a hex text");
      std::vector<uint8_t> bytes = BytesFromHex(value.get<std::string>());
      BuilderSetBytes(o, slot, bytes.data(), uint32_t(bytes.size()));
      break;
    }
    default: break;
  }
}

// {"type": ..., "value": ...}, or the value alone.
void FieldFromJson(SetupObject* o, unsigned slot, const json& field) {
  const ClassDescriptor* cls = ObjectClass(o);
  uint8_t type = ClassFieldType(cls, slot);
  if (!type) throw JsonError("slot " + std::to_string(slot) + " is no stored field of " + TagText(cls->tag));
  bool described = field.is_object() && field.contains("value") && !field.contains("default");
  if (described && field.contains("type") && TypeFromJson(field["type"]) != type)
    throw JsonError("slot " + std::to_string(slot) + " of " + TagText(cls->tag) + " is of type " + kTypeNames[type]);
  try {
    SetField(o, slot, type, described ? field["value"] : field);
  } catch (const JsonError& e) {
    throw JsonError("slot " + std::to_string(slot) + ": " + e.what());
  }
}

void FieldsFromJson(SetupObject* o, const json& fields) {
  if (!fields.is_object()) throw JsonError("\"fields\" is an object keyed by slot");
  for (const auto& item : fields.items()) FieldFromJson(o, unsigned(NumberFromJson(json(item.key()), 255)), item.value());
}

// Runs `step`, turning a JsonError into false and its text.
template <typename Step>
bool Explained(Step step, std::string* error) {
  try {
    step();
    return true;
  } catch (const JsonError& e) {
    *error = e.what();
    return false;
  }
}

void ObjectFromJson(ObjectTable* table, const json& object) {
  if (!object.is_object() || !object.contains("tag") || !object["tag"].is_string() || !object.contains("id"))
    throw JsonError("an object has a \"tag\" and an \"id\"");
  const std::string& tag = object["tag"].get_ref<const std::string&>();
  uint32_t code = 0;
  if (tag.size() == 4) memcpy(&code, tag.data(), 4);
  uint64_t id = NumberFromJson(object["id"], UINT64_MAX);
  uint32_t flags = object.contains("flags") ? uint32_t(NumberFromJson(object["flags"], UINT32_MAX)) : 0;
  SetupObject* o = ObjectCreate(table, code, id);
  if (!o) throw JsonError("no class has the tag \"" + tag + "\"");
  SetObjectFlags(o, flags);
  ObjectTableInsert(table, o);
  if (object.contains("fields")) FieldsFromJson(o, object["fields"]);
}

}  // namespace

ordered_json DatabaseToJson(ObjectTable* table) {
  ordered_json objects = ordered_json::array();
  SetupObject** sorted = ObjectTableSortedById(table);
  for (uint32_t i = 0; i < table->object_count; ++i) {
    const SetupObject* o = sorted[i];
    ordered_json fields = ordered_json::object();
    ObjectFields context{o, &fields};
    ClassForEachField(ObjectClass(o), AddField, &context);
    objects.push_back({{"tag", TagText(ObjectClass(o)->tag)},
                       {"id", Hex(ObjectId(o), 16)},
                       {"flags", Hex(ObjectFlags(o), 8)},
                       {"fields", fields}});
  }
  MemFree(sorted);
  return {{"header", HeaderJson(table)}, {"objects", objects}};
}

std::string DatabaseJsonText(const ordered_json& document) {
  std::string text = "{\n  \"header\": {";
  const char* separator = "\n";
  for (const auto& item : document["header"].items()) {
    text += separator + std::string("    ") + json(item.key()).dump() + ": " + item.value().dump();
    separator = ",\n";
  }
  text += "\n  },\n  \"objects\": [";
  separator = "\n";
  for (const ordered_json& object : document["objects"]) {
    text += separator + std::string("    {\"tag\": ") + object["tag"].dump() + ", \"id\": " + object["id"].dump() +
            ", \"flags\": " + object["flags"].dump() + ", \"fields\": {";
    const char* fieldSeparator = "\n";
    for (const auto& field : object["fields"].items()) {
      text += fieldSeparator + std::string("      ") + json(field.key()).dump() + ": {\"type\": " +
              field.value()["type"].dump() + ", \"value\": " + field.value()["value"].dump() + "}";
      fieldSeparator = ",\n";
    }
    text += object["fields"].empty() ? "}}" : "\n    }}";
    separator = ",\n";
  }
  text += document["objects"].empty() ? "]\n}\n" : "\n  ]\n}\n";
  return text;
}

ObjectTable* DatabaseFromJson(const json& document, uint64_t* save_time, std::string* error) {
  *save_time = 0;
  ObjectTable* table = BuilderCreateTable();
  std::string where;
  try {
    if (!document.is_object()) throw JsonError("a database is an object with \"header\" and \"objects\"");
    where = "header: ";
    if (document.contains("header")) HeaderFromJson(table, document["header"], save_time);
    where.clear();
    if (document.contains("objects")) {
      size_t index = 0;
      for (const json& object : ArrayFromJson(document["objects"])) {
        where = "object " + std::to_string(index++) + ": ";
        ObjectFromJson(table, object);
      }
    }
  } catch (const JsonError& e) {
    *error = where + e.what();
    ObjectTableDestroy(table);
    return nullptr;
  }
  return table;
}

bool DatabaseNumberFromJson(const json& value, uint64_t maximum, uint64_t* number, std::string* error) {
  return Explained([&] { *number = NumberFromJson(value, maximum); }, error);
}

bool DatabaseGuidFromJson(const json& value, uint8_t guid[16], std::string* error) {
  return Explained([&] { GuidFromJson(value, guid); }, error);
}

bool DatabaseHeaderFromJson(ObjectTable* table, const json& header, uint64_t* save_time, std::string* error) {
  return Explained([&] { HeaderFromJson(table, header, save_time); }, error);
}

bool DatabaseFieldFromJson(SetupObject* object, unsigned slot, const json& field, std::string* error) {
  return Explained([&] { FieldFromJson(object, slot, field); }, error);
}
