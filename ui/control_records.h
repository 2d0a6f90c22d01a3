// Control records (custom resource type 64, the resource id of their dialog template): a 24-byte
// header per control — control id, class tag, flags, text colour, background colour, the length of
// the extra data — followed by the extra data. The walk ends at a record whose control id is 0, at
// the end of the resource, or at a record whose extra data runs past the end.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t kControlRecordHeaderSize = 24;
constexpr uint32_t kControlRecordFontMask = 0xFFFF;        // the font record's resource id; 0 keeps the template's
constexpr uint32_t kControlRecordTransparent = 0x10000000;  // transparent background
constexpr uint32_t kSystemColourFlag = 0x80000000;         // bits 0-15: a system colour index; else RGB

struct ControlRecordView {
  uint32_t control_id;
  uint32_t tag;
  uint32_t flags;
  uint32_t text_colour;
  uint32_t background_colour;
  uint32_t extra_length;
  const uint8_t* extra;
};

// The record at `*offset` of [data, data + size): true with `*record` filled and `*offset` moved to
// the next record; false at the end of the walk (see above). A resource shorter than one header
// has no records.
bool ControlRecordNext(const uint8_t* data, size_t size, size_t* offset, ControlRecordView* record);

// The items of a list or combo box record's extra data: a 16-bit item count, then that many
// zero-terminated UTF-16 texts. Each call gives the next item: its first byte and its length in
// characters (without the terminator). Items are read only within the extra data: false after the
// last item, and at an item whose terminator lies past the record's end.
struct ControlRecordItems {
  const ControlRecordView* record;
  size_t offset;      // of the next item in the extra data
  uint32_t left;      // items the count still announces
};
ControlRecordItems ControlRecordItemsBegin(const ControlRecordView* record);
bool ControlRecordItemNext(ControlRecordItems* items, const uint8_t** text, size_t* length);
