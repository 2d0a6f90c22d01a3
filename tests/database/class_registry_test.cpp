#include <gtest/gtest.h>

#include <set>
#include <string>

#include "database/class_registry.h"
#include "database/class_table.h"
#include "runtime/errors.h"
#include "runtime/text.h"

namespace {

class RegistryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ClassRegistryRegisterSetupClasses(); }
};
const auto* const kRegistry = ::testing::AddGlobalTestEnvironment(new RegistryEnvironment);

std::string Utf8(const char16_t* text) { return TextToUtf8(text); }

}  // namespace

TEST(ClassTable, HoldsEveryClassOnceAndEveryChainEndsAtTheHeader) {
  std::set<uint32_t> tags;
  for (const ClassDescriptor* c = kSetupClassTable; c->tag; ++c) {
    EXPECT_TRUE(tags.insert(c->tag).second) << Utf8(TagDebugName(c->tag));
    EXPECT_EQ(ClassLookup(c->tag), c);
    const ClassDescriptor* root = c;
    while (root->parent) root = root->parent;
    EXPECT_EQ(root->tag, TagOf("objt"));
  }
  EXPECT_EQ(tags.size(), kSetupClassCount);
}

TEST(ClassTable, SchemasKeepTheirSerializedOrder) {
  struct Case {
    const char* tag;
    std::vector<uint8_t> own;  // (slot, type) pairs
  } cases[] = {
      {"a206", {28, 11, 29, 11, 30, 11, 31, 11, 26, 9}},
      {"symb", {8, 3, 9, 3, 16, 11, 10, 14, 13, 14}},
      {"asm9", {46, 9, 48, 9, 50, 4, 52, 12, 53, 11, 54, 11, 55, 10}},
  };
  for (const Case& c : cases) {
    const ClassDescriptor* cls = ClassLookup(TagOf(*reinterpret_cast<const char(*)[5]>(c.tag)));
    ASSERT_NE(cls, nullptr) << c.tag;
    std::vector<uint8_t> own;
    for (const uint8_t* p = cls->schema; p[1]; p += 2) own.insert(own.end(), {p[0], p[1]});
    EXPECT_EQ(own, c.own) << c.tag;
  }
  // A class's full list starts with its ancestors' fields.
  std::vector<unsigned> slots;
  ClassForEachField(
      ClassLookup(TagOf("a206")), [](unsigned slot, uint8_t, void* v) { static_cast<std::vector<unsigned>*>(v)->push_back(slot); },
      &slots);
  EXPECT_EQ(slots, (std::vector<unsigned>{8, 9, 10, 11, 12, 14, 15, 16, 19, 22, 23, 24, 28, 29, 30, 31, 26}));
  EXPECT_EQ(ClassFieldType(ClassLookup(TagOf("file")), 44), kFieldBytes);
  EXPECT_EQ(ClassFieldType(ClassLookup(TagOf("file")), 8), kFieldIdList);  // from insi
  EXPECT_EQ(ClassFieldType(ClassLookup(TagOf("file")), 17), kFieldEnd);    // second slot of an id
  EXPECT_EQ(ClassFieldType(ClassLookup(TagOf("file")), 47), kFieldEnd);    // run-time slot
}

TEST(ClassRegistry, LooksUpIsAAndClassOf) {
  EXPECT_EQ(ClassLookup(TagOf("zzzz")), nullptr);
  EXPECT_EQ(ClassLookup(0), nullptr);
  const ClassDescriptor* regv = ClassLookup(TagOf("regv"));
  EXPECT_TRUE(ClassIsA(regv, TagOf("sysx")));
  EXPECT_TRUE(ClassIsA(regv, TagOf("insi")));
  EXPECT_TRUE(ClassIsA(regv, TagOf("objt")));
  EXPECT_FALSE(ClassIsA(regv, TagOf("iniv")));
  EXPECT_FALSE(ObjectIsA(nullptr, TagOf("objt")));
  const ClassDescriptor* none = ClassOf(nullptr);
  EXPECT_EQ(none->tag, 0u);
  EXPECT_EQ(none->slot_count, 0u);
  EXPECT_EQ(none->destroy, nullptr);
  EXPECT_EQ(ClassActionMethods(none), nullptr);
}

TEST(ClassRegistry, DebugNamesRotateThroughFourBuffers) {
  const char16_t* names[5];
  names[0] = TagDebugName(TagOf("file"));
  names[1] = TagDebugName(TagOf("svc "));
  names[2] = TagDebugName(TagOf("a000"));
  names[3] = TagDebugName(TagOf("dlg "));
  EXPECT_EQ(Utf8(names[0]), "file (656C6966)");
  EXPECT_EQ(Utf8(names[1]), "svc  (20637673)");
  EXPECT_EQ(Utf8(names[3]), "dlg  (20676C64)");
  names[4] = TagDebugName(TagOf("lang"));
  EXPECT_EQ(names[4], names[0]);
  EXPECT_EQ(Utf8(names[1]), "svc  (20637673)");  // still intact
}

TEST(ClassRegistry, MethodTablesAreRegisteredPerClassKind) {
  static const ActionMethods kInstallFiles = {
      [](SetupObject*, ObjectTable*, uint32_t*) -> int32_t { return 1; }, nullptr, nullptr};
  static const ControlMethods kCheckBox = {nullptr, nullptr};

  EXPECT_EQ(ClassSetActionMethods(TagOf("a115"), &kInstallFiles), 0u);
  EXPECT_EQ(ClassActionMethods(ClassLookup(TagOf("a115"))), &kInstallFiles);
  // a000 and the flow actions have a table whose entries are empty; a129 and data classes have none.
  const ActionMethods* base = ClassActionMethods(ClassLookup(TagOf("a000")));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base->run, nullptr);
  EXPECT_NE(ClassActionMethods(ClassLookup(TagOf("a003"))), nullptr);
  EXPECT_EQ(ClassActionMethods(ClassLookup(TagOf("a129"))), nullptr);
  EXPECT_EQ(ClassActionMethods(ClassLookup(TagOf("file"))), nullptr);
  EXPECT_EQ(ClassSetActionMethods(TagOf("a129"), &kInstallFiles), uint32_t(ERROR_INVALID_FUNCTION));
  EXPECT_EQ(ClassSetActionMethods(TagOf("zzzz"), &kInstallFiles), uint32_t(ERROR_UNSUPPORTED_TYPE));

  EXPECT_EQ(ClassSetControlMethods(TagOf("c003"), &kCheckBox), 0u);
  EXPECT_EQ(ClassControlMethods(ClassLookup(TagOf("c003"))), &kCheckBox);
  EXPECT_NE(ClassControlMethods(ClassLookup(TagOf("c002"))), nullptr);
  EXPECT_EQ(ClassControlMethods(ClassLookup(TagOf("c011"))), nullptr);
  EXPECT_EQ(ClassControlMethods(ClassLookup(TagOf("c013"))), nullptr);
  EXPECT_EQ(ClassSetControlMethods(TagOf("a115"), &kCheckBox), uint32_t(ERROR_INVALID_FUNCTION));

  ClassRegistryRegisterSetupClasses();  // registering again forgets the tables
  EXPECT_NE(ClassActionMethods(ClassLookup(TagOf("a115"))), &kInstallFiles);
}
