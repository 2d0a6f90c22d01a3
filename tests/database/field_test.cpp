#include <gtest/gtest.h>

#include <string>

#include "database/field_string.h"
#include "database/field_types.h"
#include "database/localized_text.h"
#include "database/object_table.h"
#include "runtime/errors.h"
#include "runtime/text.h"
#include "tests/database/database_test_support.h"

namespace {

Bytes Encode(const char16_t* text) {
  BufferedFile out{};
  BufferedCreateMemory(&out);
  EXPECT_EQ(StringWrite(&out, text), 0u);
  return WrittenBytes(&out);
}

// Reads a stored text from bytes; *left gets the unread byte count.
uint32_t Decode(const Bytes& bytes, std::u16string* text, size_t* left = nullptr) {
  BufferedFile in{};
  BufferedOpenMemory(&in, bytes.data(), bytes.size());
  char16_t* decoded = nullptr;
  uint32_t err = StringRead(&in, &decoded);
  if (!err) {
    EXPECT_NE(decoded, nullptr);
    *text = decoded;
  }
  if (left) *left = bytes.size() - size_t(BufferedTell(&in));
  MemFree(decoded);
  BufferedClose(&in);
  return err;
}

Bytes Counted(Bytes body) {
  Bytes bytes;
  AppendU32(&bytes, uint32_t(body.size()));
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

}  // namespace

TEST(FieldString, EncodesEachCodeUnitOnItsOwn) {
  struct Case {
    const char16_t* text;
    Bytes body;
  } cases[] = {
      {u"", {}},
      {u"Az", {'A', 'z'}},
      {u"\u00FC", {0xC3, 0xBC}},
      {u"\u07FF\u0800", {0xDF, 0xBF, 0xE0, 0xA0, 0x80}},
      {u"\u20AC", {0xE2, 0x82, 0xAC}},
      {u"\U0001F600", {0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}},  // two surrogates, six bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Encode(c.text), Counted(c.body)) << TextToUtf8(c.text);
    std::u16string back;
    EXPECT_EQ(Decode(Counted(c.body), &back), 0u);
    EXPECT_EQ(back, c.text);
  }
  EXPECT_EQ(Encode(nullptr), Counted({}));
}

// Runs of one-byte units of every length up to a few words, broken by wide units, written after
// a prefix of every length so that each text meets the end of the stream's buffer at every point:
// the bytes are those of the unit-by-unit form.
TEST(FieldString, RunsOfPlainUnitsEncodeLikeSingleUnitsAtEveryBufferPosition) {
  auto unitBytes = [](char16_t u, Bytes* out) {
    if (u < 0x80) {
      out->push_back(uint8_t(u));
    } else if (u < 0x800) {
      out->insert(out->end(), {uint8_t(0xC0 | u >> 6), uint8_t(0x80 | (u & 0x3F))});
    } else {
      out->insert(out->end(),
                  {uint8_t(0xE0 | u >> 12), uint8_t(0x80 | ((u >> 6) & 0x3F)), uint8_t(0x80 | (u & 0x3F))});
    }
  };
  std::u16string text;
  for (int run = 0; run < 10; ++run) {
    for (int i = 0; i < run; ++i) text += char16_t(u'a' + i);
    text += run % 2 ? u'\u00E9' : u'\u4E2D';
  }
  text += u"tail";
  Bytes body;
  for (char16_t u : text) unitBytes(u, &body);
  for (uint32_t prefix = kMemoryBufferSize - 200; prefix <= kMemoryBufferSize; ++prefix) {
    BufferedFile out{};
    BufferedCreateMemory(&out);
    Bytes expected(prefix, 0x5A);
    ASSERT_EQ(BufferedWrite(&out, expected.data(), prefix), 0u);
    ASSERT_EQ(StringWrite(&out, text.c_str()), 0u);
    Bytes counted = Counted(body);
    expected.insert(expected.end(), counted.begin(), counted.end());
    ASSERT_EQ(WrittenBytes(&out), expected) << "prefix " << prefix;
  }
}

TEST(FieldString, DecodesLenientlyAndConsumesEveryByte) {
  struct Case {
    Bytes body;
    std::u16string text;
  } cases[] = {
      {{0xC3, 0x41}, u"\u00C1"},                  // continuation not tested
      {{0x80, 0x80, 'x'}, u""},                   // a decoded 0 ends the text
      {{0xFF, 0xFF, 0xFF}, u"\uFFFF"},
      {{'A', 0, 'B'}, u"A"},                      // a zero byte ends the text early
      {{'A', 0xE2, 0x82}, u"A"},                  // a cut-off sequence is dropped
      {{0xC3}, u""},
  };
  for (const Case& c : cases) {
    std::u16string back;
    size_t left = 99;
    Bytes bytes = Counted(c.body);
    bytes.push_back('!');
    EXPECT_EQ(Decode(bytes, &back, &left), 0u);
    EXPECT_EQ(back, std::u16string(c.text.c_str()));
    EXPECT_EQ(left, 1u);
  }
}

TEST(FieldString, LongTextsCrossBufferRefills) {
  std::u16string text;
  for (int i = 0; i < 5000; ++i) text += char16_t(i % 3 == 0 ? u'x' : i % 3 == 1 ? u'\u00E9' : u'\u4E2D');
  std::u16string back;
  EXPECT_EQ(Decode(Encode(text.c_str()), &back), 0u);
  EXPECT_EQ(back, text);
}

TEST(FieldString, ALengthBeyondTheStreamFailsAtItsEnd) {
  Bytes bytes;
  AppendU32(&bytes, 0xFFFFFFFF);
  bytes.insert(bytes.end(), {'a', 'b', 'c'});
  std::u16string back;
  EXPECT_EQ(Decode(bytes, &back), uint32_t(ERROR_HANDLE_EOF));
  EXPECT_EQ(Decode({1, 0}, &back), uint32_t(ERROR_HANDLE_EOF));
}

class FieldTypes : public DatabaseTest {
 protected:
  void SetUp() override {
    table_ = BuilderCreateTable();
    object_ = ObjectCreate(table_, Tag("file"), 1);  // 50 slots: room for any field at slot 40
  }
  void TearDown() override {
    for (uint8_t type = 1; type < kFieldTypeLimit; ++type) FieldFree(object_, kSlot, type);
    ObjectDestroy(object_);
    ObjectTableDestroy(table_);
  }
  uint32_t Read(const Bytes& bytes, uint8_t type) {
    BufferedFile in{};
    BufferedOpenMemory(&in, bytes.data(), bytes.size());
    uint32_t err = FieldRead(&in, object_, kSlot, type);
    BufferedClose(&in);
    return err;
  }
  Bytes Write(uint8_t type) {
    BufferedFile out{};
    BufferedCreateMemory(&out);
    EXPECT_EQ(FieldWrite(&out, object_, kSlot, type), 0u);
    return WrittenBytes(&out);
  }
  static constexpr unsigned kSlot = 40;
  ObjectTable* table_ = nullptr;
  SetupObject* object_ = nullptr;
};

// One stored value per type; a cut at every byte fails with the stream's error and leaves the field
// as it was, and a whole value reads back into the same stored bytes.
TEST_F(FieldTypes, EveryTypeRoundTripsAndFailsCleanlyWhenCut) {
  Bytes text = {3, 0, 0, 0, 'a', 0xC3, 0xA9};
  struct Case {
    uint8_t type;
    Bytes stored;
  } cases[] = {
      {kFieldInt, {0xFE, 0xFF, 0xFF, 0xFF}},
      {kFieldU32, {1, 2, 3, 4}},
      {kFieldInt64, {1, 2, 3, 4, 5, 6, 7, 8}},
      {kFieldU64, {1, 2, 3, 4, 5, 6, 7, 0x88}},
      {kFieldId, {9, 0, 0, 0, 0, 0, 0, 0x80}},
      {kFieldFileTime, {0, 0, 0, 0, 0, 0, 0xD9, 0x01}},
      {kFieldU32Array, {2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}},
      {kFieldU32List, {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}},
      {kFieldU64Array, {1, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {kFieldU64List, {1, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
      {kFieldIdList, {2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}},
      {kFieldText, text},
      {kFieldAssemblyText, text},
      {kFieldTextList, {2, 0, 0, 0, 1, 0, 0, 0, 'x', 0, 0, 0, 0}},
      {kFieldLocalized, {1, 0, 0, 0, 'd', 1, 0, 0, 0, 0x07, 0x04, 0, 0, 2, 0, 0, 0, 'd', 'e'}},
      {kFieldBytes, {3, 0, 0, 0, 0, 0xFF, 7}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.type));
    for (size_t cut = 0; cut < c.stored.size(); ++cut) {
      EXPECT_EQ(Read(Bytes(c.stored.begin(), c.stored.begin() + cut), c.type), uint32_t(ERROR_HANDLE_EOF));
      for (unsigned s = 0; s < FieldTypeSlots(c.type); ++s) EXPECT_EQ(ObjectSlots(object_)[kSlot + s], 0u) << cut;
    }
    ASSERT_EQ(Read(c.stored, c.type), 0u);
    EXPECT_EQ(Write(c.type), c.stored);
    FieldFree(object_, kSlot, c.type);  // values own nothing and keep their slots
    for (unsigned s = 0; s < FieldTypeSlots(c.type); ++s) ObjectSlots(object_)[kSlot + s] = 0;
  }
}

TEST_F(FieldTypes, ZeroCountsLeaveTheFieldUntouched) {
  const uint32_t numbers[] = {5, 6};
  U32Array* array = SlotView<U32Array>(object_, kSlot);
  array->items = static_cast<uint32_t*>(MemAllocFlags(sizeof numbers, kMemMustSucceed));
  memcpy(array->items, numbers, sizeof numbers);
  array->count = 2;
  EXPECT_EQ(Read({0, 0, 0, 0}, kFieldU32List), 0u);
  EXPECT_EQ(array->count, 2u);
  EXPECT_EQ(array->items[1], 6u);
  FieldFree(object_, kSlot, kFieldU32List);

  // A localized text with no pairs still gets its default text.
  EXPECT_EQ(Read({0, 0, 0, 0, 0, 0, 0, 0}, kFieldLocalized), 0u);
  const LocalizedText* text = SlotLocalized(object_, kSlot);
  ASSERT_NE(text->text, nullptr);
  EXPECT_EQ(text->text[0], 0);
  EXPECT_EQ(text->pairs, nullptr);
}

TEST_F(FieldTypes, AbsurdCountsFailAtTheStreamsEnd) {
  for (uint8_t type : {kFieldU32Array, kFieldU64List, kFieldIdList, kFieldTextList, kFieldLocalized, kFieldBytes}) {
    Bytes bytes;
    if (type == kFieldLocalized) AppendU32(&bytes, 0);
    AppendU32(&bytes, 0xFFFFFFFF);
    bytes.insert(bytes.end(), 24, 0);
    EXPECT_EQ(Read(bytes, type), uint32_t(ERROR_HANDLE_EOF)) << int(type);
  }
  EXPECT_EQ(Read({1, 2, 3, 4}, kFieldEnd), uint32_t(ERROR_BAD_FORMAT));
  EXPECT_EQ(Read({1, 2, 3, 4}, 17), uint32_t(ERROR_BAD_FORMAT));
}

namespace {

// A localized text with pairs (key, text), built from literals.
struct Localized {
  Localized(const char16_t* fallback, std::initializer_list<std::pair<uint32_t, const char16_t*>> pairs) {
    value.text = TextDuplicate(fallback);
    LocalizedTextGrow(&value, uint32_t(pairs.size()));
    uint32_t i = 0;
    for (const auto& p : pairs) value.pairs[i++] = {TextDuplicate(p.second), p.first};
  }
  ~Localized() { LocalizedTextFree(&value); }
  LocalizedText value{};
};

std::u16string For(const LocalizedText* text, uint16_t language) { return LocalizedTextFor(text, language); }

}  // namespace

TEST(LocalizedText, SelectsExactThenSamePrimaryLanguageThenDefault) {
  Localized text(u"default", {{0x0407, u"de-DE"}, {0x0807, u"de-CH"}, {0x0409, u"en-US"}});
  EXPECT_EQ(For(&text.value, 0x0807), u"de-CH");
  EXPECT_EQ(For(&text.value, 0x0407), u"de-DE");
  EXPECT_EQ(For(&text.value, 0x0C07), u"de-CH");  // the last pair of the same primary language
  EXPECT_EQ(For(&text.value, 0x0809), u"en-US");
  EXPECT_EQ(For(&text.value, 0x040C), u"default");
  LocalizedText empty{};
  EXPECT_EQ(For(&empty, 0x0409), u"");
}

TEST(LocalizedText, ReducesToOneLanguage) {
  Localized text(u"default", {{0x0407, u"de-DE"}, {0x0409, u"en-US"}});
  LocalizedTextReduce(&text.value, 0x0C07);
  EXPECT_EQ(text.value.count, 0u);
  EXPECT_EQ(text.value.pairs, nullptr);
  EXPECT_EQ(std::u16string(text.value.text), u"de-DE");

  Localized other(u"default", {{0x0407, u"de-DE"}});
  LocalizedTextReduce(&other.value, 0x0411);  // no pair: the default stays
  EXPECT_EQ(std::u16string(other.value.text), u"default");
  EXPECT_EQ(other.value.count, 0u);
}

TEST(LocalizedText, SwapsAndGrows) {
  Localized a(u"a", {{0x0407, u"a-de"}});
  Localized b(u"b", {});
  LocalizedTextSwap(&a.value, &b.value);
  EXPECT_EQ(std::u16string(a.value.text), u"b");
  EXPECT_EQ(b.value.count, 1u);
  LocalizedTextGrow(&b.value, 3);
  EXPECT_EQ(b.value.count, 3u);
  EXPECT_EQ(std::u16string(b.value.pairs[0].text), u"a-de");
  EXPECT_EQ(b.value.pairs[2].text, nullptr);
  LocalizedTextGrow(&b.value, 1);
  EXPECT_EQ(b.value.count, 3u);
}

TEST(U32Array, IndexOfFindsTheFirstMatch) {
  uint32_t items[] = {4, 9, 4};
  U32Array array{items, 3};
  EXPECT_EQ(U32ArrayIndexOf(&array, 4), 0);
  EXPECT_EQ(U32ArrayIndexOf(&array, 9), 1);
  EXPECT_EQ(U32ArrayIndexOf(&array, 5), -1);
  U32Array empty{};
  EXPECT_EQ(U32ArrayIndexOf(&empty, 0), -1);
}
