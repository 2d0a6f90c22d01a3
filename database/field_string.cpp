#include "database/field_string.h"

#include <cstring>

#include "database/stream_values.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/text.h"

uint32_t StringEncodedSize(const char16_t* text) {
  uint32_t size = 0;
  if (text)
    for (const char16_t* p = text; *p; ++p) size += *p < 0x80 ? 1 : *p < 0x800 ? 2 : 3;
  return size;
}

uint32_t StringWrite(BufferedFile* stream, const char16_t* text) {
  uint32_t err = StreamWriteU32(stream, StringEncodedSize(text));
  if (err || !text) return err;
  uint8_t chunk[512];
  size_t used = 0;
  for (const char16_t* p = text; *p && !err; ++p) {
    char16_t u = *p;
    if (u < 0x80) {
      chunk[used++] = uint8_t(u);
    } else if (u < 0x800) {
      chunk[used++] = uint8_t(0xC0 | u >> 6);
      chunk[used++] = uint8_t(0x80 | (u & 0x3F));
    } else {
      chunk[used++] = uint8_t(0xE0 | u >> 12);
      chunk[used++] = uint8_t(0x80 | ((u >> 6) & 0x3F));
      chunk[used++] = uint8_t(0x80 | (u & 0x3F));
    }
    if (used > sizeof chunk - 3) {
      err = StreamWrite(stream, chunk, uint32_t(used));
      used = 0;
    }
  }
  if (!err && used) err = StreamWrite(stream, chunk, uint32_t(used));
  return err;
}

namespace {

// The lenient decoder's state between the bytes of one text, which may span buffer refills.
struct Decoder {
  char16_t* text;
  size_t length;
  size_t capacity;  // units, including room for the terminator
  uint8_t sequence[3];
  unsigned held;    // bytes of the current sequence seen so far
  unsigned needed;  // bytes the current sequence takes
  bool ended;       // a zero ended the text; the remaining bytes are only consumed
};

void Reserve(Decoder* d, size_t units, uint32_t total) {
  if (d->length + units + 1 <= d->capacity) return;
  size_t capacity = d->capacity * 2 > d->length + units + 1 ? d->capacity * 2 : d->length + units + 1;
  if (capacity > uint64_t(total) + 1) capacity = size_t(uint64_t(total) + 1);  // no wrap on 32-bit builds
  d->text = static_cast<char16_t*>(MemReallocFlags(d->text, capacity * sizeof(char16_t), kMemKeep | kMemMustSucceed));
  d->capacity = capacity;
}

void Emit(Decoder* d, char16_t unit) {
  if (unit == 0)
    d->ended = true;
  else
    d->text[d->length++] = unit;
}

void DecodeBytes(Decoder* d, const uint8_t* bytes, uint32_t count) {
  for (uint32_t i = 0; i < count && !d->ended; ++i) {
    uint8_t b = bytes[i];
    if (d->held == 0 && b > 0 && b < 0x80) {  // the common case: plain ASCII
      d->text[d->length++] = b;
      continue;
    }
    if (d->held == 0) {
      if (b < 0x80) {
        Emit(d, b);
        continue;
      }
      d->needed = b < 0xE0 ? 2 : 3;
    }
    d->sequence[d->held++] = b;
    if (d->held < d->needed) continue;
    const uint8_t* s = d->sequence;
    Emit(d, d->needed == 2 ? char16_t(((s[0] << 6) | (s[1] & 0x3F)) & 0x7FF)
                           : char16_t(((s[0] << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F)) & 0xFFFF));
    d->held = 0;
  }
}

}  // namespace

uint32_t StringRead(BufferedFile* stream, char16_t** text) {
  *text = nullptr;
  uint32_t total;
  uint32_t err = StreamReadU32(stream, &total);
  if (err) return err;
  Decoder d{};
  for (uint32_t left = total; left;) {
    uint8_t* bytes;
    uint32_t available;
    err = BufferedAvailable(stream, &bytes, &available);
    if (!err && !available) err = ERROR_HANDLE_EOF;
    if (err) break;
    uint32_t chunk = available < left ? available : left;
    if (!d.ended) Reserve(&d, chunk, total);
    DecodeBytes(&d, bytes, chunk);
    BufferedConsume(stream, chunk);
    left -= chunk;
  }
  if (err) {
    MemFree(d.text);
    return err;
  }
  if (!d.text) Reserve(&d, 0, total);
  d.text[d.length] = 0;
  *text = d.text;
  return ERROR_SUCCESS;
}

char16_t* TextDuplicateN(const char16_t* text, size_t length) {
  auto* copy = static_cast<char16_t*>(MemAllocFlags((length + 1) * sizeof(char16_t), kMemMustSucceed));
  memcpy(copy, text, length * sizeof(char16_t));
  copy[length] = 0;
  return copy;
}

char16_t* TextDuplicate(const char16_t* text) { return text ? TextDuplicateN(text, TextLength(text)) : nullptr; }
