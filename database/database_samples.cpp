#include "database/database_samples.h"

#include <string>

#include "database/class_registry.h"
#include "database/class_table.h"
#include "database/database_builder.h"

namespace {

struct Fill {
  SetupObject* object;
  uint32_t variant;
};

void FillField(unsigned slot, uint8_t type, void* context) {
  auto* fill = static_cast<Fill*>(context);
  SetupObject* o = fill->object;
  uint32_t v = fill->variant;
  std::u16string text = u"Slot " + std::u16string(1, char16_t(u'A' + slot % 26)) + u" \u00FC\u20AC\U0001F600 #";
  text += char16_t(u'0' + v % 10);
  switch (type) {
    case kFieldInt: BuilderSetInt(o, slot, -int32_t(slot * 1000 + v + 1)); break;
    case kFieldU32: BuilderSetU32(o, slot, 0x80000000u | slot << 16 | (v & 0xFFFF)); break;
    case kFieldInt64:
    case kFieldU64:
    case kFieldFileTime: BuilderSetU64(o, slot, 0x01D9000000000000ull + uint64_t(slot) * 0x100000001ull + v); break;
    case kFieldId: BuilderSetId(o, slot, 0xABCD000000000000ull | uint64_t(v) << 8 | slot); break;
    case kFieldU32Array:
    case kFieldU32List: {
      const uint32_t items[] = {slot, v, 0xFFFFFFFF};
      BuilderSetU32List(o, slot, items, 3);
      break;
    }
    case kFieldU64Array:
    case kFieldU64List:
    case kFieldIdList: {
      const uint64_t items[] = {uint64_t(v) + 1, 0xFFFFFFFF00000000ull | slot};
      BuilderSetU64List(o, slot, items, 2);
      break;
    }
    case kFieldText:
    case kFieldAssemblyText: BuilderSetText(o, slot, text.c_str()); break;
    case kFieldTextList: {
      const char16_t* texts[] = {text.c_str(), u"second"};
      BuilderSetTextList(o, slot, texts, 2);
      break;
    }
    case kFieldLocalized: {
      std::u16string german = u"Deutsch " + text;
      const LocalizedPair pairs[] = {{const_cast<char16_t*>(german.c_str()), 0x0407},
                                     {const_cast<char16_t*>(u"Fran\u00E7ais"), 0x040C}};
      BuilderSetLocalized(o, slot, text.c_str(), pairs, 2);
      break;
    }
    case kFieldBytes: {
      const uint8_t bytes[] = {0, 1, 0xFE, uint8_t(slot), uint8_t(v)};
      BuilderSetBytes(o, slot, bytes, sizeof bytes);
      break;
    }
    default: break;
  }
}

}  // namespace

void SampleFillEveryField(SetupObject* object, uint32_t variant) {
  Fill fill{object, variant};
  ClassForEachField(ObjectClass(object), FillField, &fill);
}

ObjectTable* SampleEveryClass(uint32_t per_class) {
  ObjectTable* table = BuilderCreateTable();
  const uint8_t code[16] = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 1, 2, 3, 4, 5, 6, 7, 8};
  BuilderSetPackageCode(table, code);
  BuilderSetInstallationTime(table, 0x01DA000000000001ull);
  BuilderSetSupportFileCount(table, 3);
  uint64_t id = 1;
  for (uint32_t n = 0; n < per_class; ++n)
    for (const ClassDescriptor* cls = kSetupClassTable; cls->tag; ++cls) {
      SetupObject* object = BuilderAddObject(table, cls->tag, id, 0x100 | n);
      SampleFillEveryField(object, uint32_t(id++));
    }
  return table;
}
