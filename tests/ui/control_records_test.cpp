// The walk over a template's control records: each record with its header fields and extra data,
// the end at control id 0, at the end of the resource and at a record that runs past it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ui/control_records.h"

namespace {

void Put(std::vector<uint8_t>* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes->push_back(uint8_t(value >> (8 * i)));
}

// A record: id, tag "c010", flags, colours, then `extra` bytes of data (the length field may lie).
void Record(std::vector<uint8_t>* bytes, uint32_t id, uint32_t flags, const std::vector<uint8_t>& extra,
            uint32_t claimed_length) {
  Put(bytes, id);
  bytes->insert(bytes->end(), {'c', '0', '1', '0'});
  Put(bytes, flags);
  Put(bytes, 0x80000012);
  Put(bytes, 0x00FFFFFF);
  Put(bytes, claimed_length);
  bytes->insert(bytes->end(), extra.begin(), extra.end());
}

std::vector<ControlRecordView> Walk(const std::vector<uint8_t>& bytes) {
  std::vector<ControlRecordView> records;
  size_t offset = 0;
  ControlRecordView record;
  while (ControlRecordNext(bytes.data(), bytes.size(), &offset, &record)) records.push_back(record);
  return records;
}

}  // namespace

TEST(ControlRecords, ReadsEveryRecordWithItsExtraData) {
  std::vector<uint8_t> bytes;
  Record(&bytes, 1001, 0x10000041, {}, 0);
  Record(&bytes, 1050, 0, {2, 0, 'a', 0, 'b', 0}, 6);
  auto records = Walk(bytes);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].control_id, 1001u);
  EXPECT_EQ(memcmp(&records[0].tag, "c010", 4), 0);
  EXPECT_EQ(records[0].flags & kControlRecordFontMask, 0x41u);
  EXPECT_TRUE(records[0].flags & kControlRecordTransparent);
  EXPECT_EQ(records[0].text_colour, 0x80000012u);
  EXPECT_EQ(records[0].background_colour, 0x00FFFFFFu);
  EXPECT_EQ(records[1].extra_length, 6u);
  EXPECT_EQ(records[1].extra, bytes.data() + 2 * 24 + 0);
  EXPECT_EQ(records[1].extra[2], 'a');
}

TEST(ControlRecords, TheWalkEnds) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    size_t records;
  };
  std::vector<Case> cases;
  std::vector<uint8_t> bytes;
  Record(&bytes, 1001, 0, {}, 0);
  Record(&bytes, 0, 0, {}, 0);
  Record(&bytes, 1002, 0, {}, 0);
  cases.push_back({"at a record with control id 0", bytes, 1});
  bytes.clear();
  Record(&bytes, 1001, 0, {}, 0);
  Record(&bytes, 1002, 0, {1, 2, 3}, 4);
  cases.push_back({"at a record whose extra data runs past the resource", bytes, 1});
  bytes.clear();
  Record(&bytes, 1001, 0, {}, 0);
  Record(&bytes, 1002, 0, {}, 0xFFFFFFF0);
  cases.push_back({"at a length that would wrap around", bytes, 1});
  bytes.clear();
  Record(&bytes, 1001, 0, {}, 0);
  bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
  cases.push_back({"at a tail shorter than a header", bytes, 1});
  cases.push_back({"in a resource shorter than a header", std::vector<uint8_t>(23, 1), 0});
  for (const Case& c : cases) EXPECT_EQ(Walk(c.bytes).size(), c.records) << c.what;
  size_t offset = 0;
  ControlRecordView record;
  EXPECT_FALSE(ControlRecordNext(nullptr, 0, &offset, &record)) << "a missing resource";
}

TEST(ControlRecords, ListItemsAreReadWithinTheRecord) {
  struct Case {
    const char* what;
    std::vector<uint8_t> extra;
    std::vector<std::u16string> items;
  };
  const Case cases[] = {
      {"two items", {2, 0, 'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0}, {u"ab", u"c"}},
      {"an empty item", {2, 0, 0, 0, 'x', 0, 0, 0}, {u"", u"x"}},
      {"the count claims more than the record holds", {9, 0, 'a', 0, 0, 0}, {u"a"}},
      {"the last item has no terminator", {2, 0, 'a', 0, 0, 0, 'b', 0, 'c', 0}, {u"a"}},
      {"an odd byte at the end", {1, 0, 'a', 0, 0}, {}},
      {"fewer items than texts", {1, 0, 'a', 0, 0, 0, 'b', 0, 0, 0}, {u"a"}},
      {"no count", {5}, {}},
  };
  for (const Case& c : cases) {
    ControlRecordView record{1050, 0, 0, 0, 0, uint32_t(c.extra.size()), c.extra.data()};
    ControlRecordItems walk = ControlRecordItemsBegin(&record);
    std::vector<std::u16string> items;
    const uint8_t* text;
    size_t length;
    while (ControlRecordItemNext(&walk, &text, &length)) {
      std::u16string item(length, u'\0');
      memcpy(&item[0], text, length * 2);
      items.push_back(item);
    }
    EXPECT_EQ(items, c.items) << c.what;
  }
}
