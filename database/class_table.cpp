// The class table. One row per class: tag, instance size in slots, parent, own stored fields as
// (slot, type) pairs in serialized order, destroy procedure, method table. Slots of a class that no
// schema names are run-time members (zero at creation, never stored). Field type codes: 1 int,
// 2 64-bit value, 3 u32, 4 u64, 5/7 u32 array, 6/8 u64 array, 9 object id, 10 id list, 11/12 text,
// 13 text list, 14 localized text, 15 byte block, 16 FILETIME (class_descriptor.h).
#include "database/class_table.h"

#include "database/field_types.h"
#include "database/pointer_list.h"

namespace {

// Own fields as (slot, type) pairs, then the end pair (slot count, 0).
template <uint8_t End, uint8_t... Pairs>
constexpr uint8_t Schema[sizeof...(Pairs) + 2] = {Pairs..., End, kFieldEnd};

// Positions of the parent classes in the table below.
enum : unsigned {
  kObjt = 0, kAseq = 1, kA000 = 3, kA005 = 4, kA215 = 14,
  kCmp9 = 75, kInsi = 77, kSysx = 81, kSvca = 86, kC000 = 92,
};

// Destroy procedures: each frees what its class owns among its run-time slots.
void DestroyA005(SetupObject* o) { PointerListFree(SlotPointerList(o, 22)); }
void DestroyA209(SetupObject* o) { FieldFree(o, 25, kFieldText); }
void DestroyInst(SetupObject* o) {
  FieldFree(o, 29, kFieldText);
  FieldFree(o, 30, kFieldText);
}
void DestroyPres(SetupObject* o) { PointerListFree(SlotPointerList(o, 10)); }
void DestroyCmp9(SetupObject* o) { PointerListFree(SlotPointerList(o, 34)); }
void DestroyFile(SetupObject* o) { FieldFree(o, 47, kFieldText); }
void DestroyShct(SetupObject* o) { FieldFree(o, 36, kFieldText); }
void DestroySysx(SetupObject* o) {
  FieldFree(o, 25, kFieldText);
  FieldFree(o, 26, kFieldText);
  FieldFree(o, 27, kFieldText);
}
void DestroyCust(SetupObject* o) {
  FieldFree(o, 15, kFieldText);
  FieldFree(o, 16, kFieldText);
  FieldFree(o, 17, kFieldText);
}

constexpr uint8_t kNone = kNoMethods;
constexpr uint8_t kAction = kActionMethods;
constexpr uint8_t kControl = kControlMethods;

}  // namespace

#define P(index) (&kSetupClassTable[index])

// clang-format off
constexpr ClassDescriptor kSetupClassTable[kSetupClassCount + 1] = {
  // tag          slots  parent     own fields (slot, type) in serialized order                                        destroy      methods
  {TagOf("objt"),   8, nullptr,   Schema<8>,                                                                              nullptr,     kNone},    // object header
  {TagOf("aseq"),  12, P(kObjt),  Schema<12, 8,11, 9,10, 11,3>,                                                           nullptr,     kNone},    // action sequence
  {TagOf("preh"),  18, P(kAseq),  Schema<18, 12,3, 13,3, 14,3, 15,1, 16,11>,                                              nullptr,     kNone},    // prerequisite
  {TagOf("a000"),  22, P(kObjt),  Schema<22, 8,3, 9,3, 10,3, 11,1, 12,3, 14,11, 15,11, 16,14, 19,14>,                     nullptr,     kAction},  // action base
  {TagOf("a005"),  26, P(kA000),  Schema<26>,                                                                             DestroyA005, kAction},  // base of a115-a124
  {TagOf("a001"),  24, P(kA000),  Schema<24, 22,9>,                                                                       nullptr,     kAction},  // run a sequence
  {TagOf("a002"),  24, P(kA000),  Schema<24, 22,9>,                                                                       nullptr,     kAction},  // transfer to a sequence
  {TagOf("a006"),  24, P(kA000),  Schema<24, 22,9>,                                                                       nullptr,     kAction},  // go to an action
  {TagOf("a207"),  24, P(kA000),  Schema<24, 22,11, 23,1>,                                                                nullptr,     kAction},  // set an option's state
  {TagOf("a200"),  26, P(kA000),  Schema<26, 22,3, 23,3, 24,1>,                                                           nullptr,     kAction},  // message box
  {TagOf("a201"),  26, P(kA000),  Schema<26, 22,9, 24,3>,                                                                 nullptr,     kAction},  // run a dialog
  {TagOf("a202"),  26, P(kA000),  Schema<26, 22,9, 24,1>,                                                                 nullptr,     kAction},  // end a dialog
  {TagOf("a203"),  30, P(kA000),  Schema<30, 22,9, 24,14, 27,1, 28,1>,                                                    nullptr,     kAction},  // window state
  {TagOf("a208"),  24, P(kA000),  Schema<24, 22,11, 23,11>,                                                               nullptr,     kAction},  // call a DLL function
  {TagOf("a215"),  26, P(kA000),  Schema<26, 22,3, 23,1, 24,11>,                                                          nullptr,     kAction},  // base of a205, a206, a210
  {TagOf("a205"),  30, P(kA215),  Schema<30, 26,11, 27,11, 28,1>,                                                         nullptr,     kAction},  // run an external script
  {TagOf("a206"),  32, P(kA215),  Schema<32, 28,11, 29,11, 30,11, 31,11, 26,9>,                                           nullptr,     kAction},  // run an external program
  {TagOf("a210"),  30, P(kA215),  Schema<30, 26,1, 27,3, 28,11, 29,11>,                                                   nullptr,     kAction},  // uninstall an application
  {TagOf("a211"),  26, P(kA000),  Schema<26, 22,11, 23,11, 24,11, 25,1>,                                                  nullptr,     kAction},  // post-boot action
  {TagOf("a212"),  32, P(kA000),  Schema<32, 22,14, 25,14, 28,1, 29,3, 30,11>,                                            nullptr,     kAction},  // standard file dialog
  {TagOf("a213"),  26, P(kA000),  Schema<26, 22,11, 23,14>,                                                               nullptr,     kAction},  // set an internal variable
  {TagOf("a214"),  30, P(kA000),  Schema<30, 22,3, 23,11, 24,14, 27,14>,                                                  nullptr,     kAction},  // search for a file
  {TagOf("a209"),  28, P(kA000),  Schema<28, 22,3, 23,11, 24,11>,                                                         DestroyA209, kAction},  // download a file
  {TagOf("a115"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // install files
  {TagOf("a116"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // remove files
  {TagOf("a117"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // create shortcuts
  {TagOf("a118"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // remove shortcuts
  {TagOf("a119"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // install registry settings
  {TagOf("a120"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // remove registry settings
  {TagOf("a121"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // install INI entries
  {TagOf("a122"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // remove INI entries
  {TagOf("a123"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // install environment variables
  {TagOf("a124"),  26, P(kA005),  Schema<26>,                                                                             nullptr,     kAction},  // remove environment variables
  {TagOf("a204"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},  // actions without fields of their own
  {TagOf("a141"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a142"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a135"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a136"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a125"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a126"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a127"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a128"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a131"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a132"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a133"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a134"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a100"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a101"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a102"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a104"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a105"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a106"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a107"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a108"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a109"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a110"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a111"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a112"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a113"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a114"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a137"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a138"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a139"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a143"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a144"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a145"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},
  {TagOf("a003"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},  // go back
  {TagOf("a004"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kAction},  // terminate the sequence
  {TagOf("a129"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kNone},    // does nothing
  {TagOf("a130"),  22, P(kA000),  Schema<22>,                                                                             nullptr,     kNone},    // does nothing
  {TagOf("symb"),  34, P(kObjt),  Schema<34, 8,3, 9,3, 16,11, 10,14, 13,14>,                                              nullptr,     kNone},    // variable
  {TagOf("inst"),  32, P(kObjt),  Schema<32, 8,9, 10,9, 12,3, 13,1, 14,3, 15,3, 16,3, 17,11, 18,11, 19,11, 20,11,
                                             21,11, 22,11, 23,10, 25,1, 26,3, 27,3, 28,11>,                               DestroyInst, kNone},    // installation record
  {TagOf("reqs"),  20, P(kObjt),  Schema<20, 8,11, 9,14, 12,3, 13,3, 14,1, 15,1, 16,1, 17,1, 18,3>,                      nullptr,     kNone},    // requirements
  {TagOf("pres"),  14, P(kObjt),  Schema<14, 8,10>,                                                                       DestroyPres, kNone},    // prerequisite list
  {TagOf("stof"),  10, P(kObjt),  Schema<10, 8,11, 9,11>,                                                                 nullptr,     kNone},    // support file
  {TagOf("cmp9"),  46, P(kObjt),  Schema<46, 8,11, 9,11, 10,11, 11,11, 12,14, 15,14, 18,10, 20,7, 22,3, 23,3, 24,3,
                                             25,1, 26,4, 28,4, 30,1, 31,1, 32,1, 33,1>,                                   DestroyCmp9, kNone},    // option
  {TagOf("asm9"),  60, P(kCmp9),  Schema<60, 46,9, 48,9, 50,4, 52,12, 53,11, 54,11, 55,10>,                               nullptr,     kNone},    // assembly option
  {TagOf("insi"),  16, P(kObjt),  Schema<16, 8,10, 10,1, 11,1, 12,1, 13,3>,                                               nullptr,     kNone},    // base of installed items
  {TagOf("fldr"),  24, P(kInsi),  Schema<24, 16,9, 18,11, 19,11, 20,11, 21,3>,                                            nullptr,     kNone},    // folder
  {TagOf("file"),  50, P(kInsi),  Schema<50, 16,9, 18,9, 20,4, 22,3, 23,3, 24,1, 25,1, 26,14, 29,11, 30,11, 31,11,
                                             32,11, 33,11, 34,11, 35,11, 36,16, 38,16, 40,4, 42,4, 44,15>,                DestroyFile, kNone},    // file
  {TagOf("shct"),  38, P(kInsi),  Schema<38, 16,9, 18,9, 20,14, 23,14, 26,14, 29,11, 30,11, 31,11, 32,1, 33,1, 34,3>,     DestroyShct, kNone},    // shortcut
  {TagOf("sysx"),  28, P(kInsi),  Schema<28, 16,3, 17,3, 18,14, 21,14, 24,11>,                                            DestroySysx, kNone},    // base of settings
  {TagOf("regk"),  20, P(kInsi),  Schema<20, 16,11, 17,11, 18,1, 19,1>,                                                   nullptr,     kNone},    // registry key
  {TagOf("regv"),  34, P(kSysx),  Schema<34, 28,9, 30,3, 31,3>,                                                           nullptr,     kNone},    // registry value
  {TagOf("iniv"),  34, P(kSysx),  Schema<34, 28,14, 31,14>,                                                               nullptr,     kNone},    // INI value
  {TagOf("evar"),  30, P(kSysx),  Schema<30, 28,3>,                                                                       nullptr,     kNone},    // environment variable
  {TagOf("svca"),  22, P(kInsi),  Schema<22, 16,11, 17,11, 18,3, 19,3>,                                                   nullptr,     kNone},    // service operation
  {TagOf("svc "),  38, P(kSvca),  Schema<38, 22,9, 24,11, 25,11, 26,11, 27,11, 28,11, 29,3, 30,3, 31,3, 32,14, 35,14>,    nullptr,     kNone},    // service to create
  {TagOf("lang"),  12, P(kObjt),  Schema<12, 8,3, 9,3, 10,11, 11,11>,                                                     nullptr,     kNone},    // language
  {TagOf("cust"),  18, P(kObjt),  Schema<18, 8,11, 9,11, 10,11, 11,11, 12,3, 13,1, 14,1>,                                 DestroyCust, kNone},    // registry key record
  {TagOf("fsta"),  16, P(kObjt),  Schema<16, 8,9, 10,9, 12,1, 13,11, 14,11>,                                              nullptr,     kNone},    // file journal entry
  {TagOf("dlg "),  18, P(kObjt),  Schema<18, 8,10, 10,10, 12,3, 13,1>,                                                    nullptr,     kNone},    // dialog
  {TagOf("c000"),  14, P(kObjt),  Schema<14, 8,3, 9,3, 10,11, 11,11>,                                                     nullptr,     kNone},    // control base
  {TagOf("c003"),  20, P(kC000),  Schema<20, 14,9, 16,11, 17,11>,                                                         nullptr,     kControl}, // check box
  {TagOf("c005"),  16, P(kC000),  Schema<16, 14,13>,                                                                      nullptr,     kControl}, // combo box
  {TagOf("c006"),  16, P(kC000),  Schema<16, 14,13>,                                                                      nullptr,     kControl}, // list box
  {TagOf("c009"),  18, P(kC000),  Schema<18, 14,9, 16,11>,                                                                nullptr,     kControl}, // radio button
  {TagOf("c016"),  16, P(kC000),  Schema<16, 14,3>,                                                                       nullptr,     kControl}, // rich-text box
  {TagOf("c010"),  16, P(kC000),  Schema<16, 14,1>,                                                                       nullptr,     kControl}, // static text
  {TagOf("c002"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kControl}, // push button
  {TagOf("c004"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kControl}, // edit box
  {TagOf("c008"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kControl}, // option tree
  {TagOf("c011"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kNone},    // bitmap panel
  {TagOf("c012"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kControl}, // icon picture
  {TagOf("c013"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kNone},    // group box
  {TagOf("c014"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kControl}, // frame or colour panel
  {TagOf("c015"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kControl}, // link text
  {TagOf("c017"),  14, P(kC000),  Schema<14>,                                                                             nullptr,     kControl}, // progress bar
  {0, 0, nullptr, nullptr, nullptr, kNone},
};
// clang-format on

#undef P

namespace {

constexpr bool ParentsAreWhereNamed() {
  return kSetupClassTable[kObjt].tag == TagOf("objt") && kSetupClassTable[kAseq].tag == TagOf("aseq") &&
         kSetupClassTable[kA000].tag == TagOf("a000") && kSetupClassTable[kA005].tag == TagOf("a005") &&
         kSetupClassTable[kA215].tag == TagOf("a215") && kSetupClassTable[kCmp9].tag == TagOf("cmp9") &&
         kSetupClassTable[kInsi].tag == TagOf("insi") && kSetupClassTable[kSysx].tag == TagOf("sysx") &&
         kSetupClassTable[kSvca].tag == TagOf("svca") && kSetupClassTable[kC000].tag == TagOf("c000");
}

constexpr unsigned SlotsOf(uint8_t type) {
  return type == kFieldInt || type == kFieldU32 || type == kFieldText || type == kFieldAssemblyText ? 1
         : type == kFieldLocalized                                                                   ? 3
         : type > kFieldEnd && type < kFieldTypeLimit                                                ? 2
                                                                                                     : 0;
}

// Every own field lies between the parent's end and the class's end and has a known type; the
// schema ends with (slot count, 0).
constexpr bool SchemaFits(const ClassDescriptor& c) {
  unsigned first = c.parent ? c.parent->slot_count : 0;
  const uint8_t* p = c.schema;
  for (; p[1] != kFieldEnd; p += 2)
    if (p[0] < first || p[0] < kHeaderSlots || SlotsOf(p[1]) == 0 || p[0] + SlotsOf(p[1]) > c.slot_count)
      return false;
  return p[0] == c.slot_count;
}

constexpr bool TableIsConsistent() {
  for (size_t i = 0; i < kSetupClassCount; ++i)
    if (!kSetupClassTable[i].tag || !SchemaFits(kSetupClassTable[i])) return false;
  return kSetupClassTable[kSetupClassCount].tag == 0;
}

static_assert(ParentsAreWhereNamed(), "the parent positions name the parent classes");
static_assert(TableIsConsistent(), "every schema fits its class");

}  // namespace
