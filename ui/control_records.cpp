#include "ui/control_records.h"

namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

bool ControlRecordNext(const uint8_t* data, size_t size, size_t* offset, ControlRecordView* record) {
  if (!data || *offset > size || size - *offset < kControlRecordHeaderSize) return false;
  const uint8_t* header = data + *offset;
  uint32_t id = ReadU32(header);
  uint32_t extra = ReadU32(header + 20);
  size_t left = size - *offset - kControlRecordHeaderSize;
  if (id == 0 || extra > left) return false;
  *record = ControlRecordView{id, ReadU32(header + 4), ReadU32(header + 8), ReadU32(header + 12), ReadU32(header + 16),
                              extra, header + kControlRecordHeaderSize};
  *offset += kControlRecordHeaderSize + extra;
  return true;
}

ControlRecordItems ControlRecordItemsBegin(const ControlRecordView* record) {
  ControlRecordItems items{record, 2, 0};
  if (record->extra && record->extra_length >= 2) items.left = uint32_t(record->extra[0]) | uint32_t(record->extra[1]) << 8;
  return items;
}

bool ControlRecordItemNext(ControlRecordItems* items, const uint8_t** text, size_t* length) {
  if (!items->left) return false;
  const uint8_t* extra = items->record->extra;
  size_t size = items->record->extra_length;
  for (size_t at = items->offset; at + 1 < size; at += 2) {
    if (extra[at] || extra[at + 1]) continue;
    *text = extra + items->offset;
    *length = (at - items->offset) / 2;
    items->offset = at + 2;
    --items->left;
    return true;
  }
  items->left = 0;
  return false;
}
