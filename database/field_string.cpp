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

namespace {

// True for a unit stored as one byte other than the terminator: 1 to 0x7F.
bool OneByte(char16_t unit) { return char16_t(unit - 1) < 0x7F; }

// Stores the two or three bytes of a unit of 0x80 or more.
uint8_t* EncodeWide(char16_t u, uint8_t* out) {
  if (u < 0x800) {
    out[0] = uint8_t(0xC0 | u >> 6);
    out[1] = uint8_t(0x80 | (u & 0x3F));
    return out + 2;
  }
  out[0] = uint8_t(0xE0 | u >> 12);
  out[1] = uint8_t(0x80 | ((u >> 6) & 0x3F));
  out[2] = uint8_t(0x80 | (u & 0x3F));
  return out + 3;
}

// Encodes the units of `text` into `out` while twelve bytes of room are left before `limit`;
// returns the position after the last byte written and sets *rest to the first unit not encoded
// (its terminator when the whole text fitted). Runs of one-byte units go four at a time, in one
// store. A unit is read only once the one before it is known not to be the terminator, so no read
// passes the end of the text. Inlined: a call costs a tenth of the encoding of a short text.
[[gnu::always_inline]] inline uint8_t* EncodeUnits(const char16_t* text, uint8_t* out, const uint8_t* limit,
                                                   const char16_t** rest) {
  const char16_t* p = text;
  const uint8_t* stop = limit - 12;
  while (out <= stop) {
    char16_t u0 = p[0];
    if (!OneByte(u0)) {
      if (!u0) break;
      out = EncodeWide(u0, out);
      ++p;
      continue;
    }
    char16_t u1 = p[1];
    if (!OneByte(u1)) {
      *out++ = uint8_t(u0);
      ++p;
      continue;
    }
    char16_t u2 = p[2];
    if (!OneByte(u2)) {
      out[0] = uint8_t(u0);
      out[1] = uint8_t(u1);
      out += 2;
      p += 2;
      continue;
    }
    char16_t u3 = p[3];
    if (!OneByte(u3)) {
      out[0] = uint8_t(u0);
      out[1] = uint8_t(u1);
      out[2] = uint8_t(u2);
      out += 3;
      p += 3;
      continue;
    }
    uint32_t four = uint32_t(u0) | uint32_t(u1) << 8 | uint32_t(u2) << 16 | uint32_t(u3) << 24;
    memcpy(out, &four, 4);  // the bytes in memory order on these little-endian targets
    out += 4;
    p += 4;
  }
  *rest = p;
  return out;
}

// Encodes the text straight into the stream's buffer behind room for its count, and writes the
// count in front once the length is known. False, with the stream as it was, when the rest of the
// buffer cannot hold it all.
bool WriteInBuffer(BufferedFile* stream, const char16_t* text) {
  if (stream->capacity - stream->length < 4) return false;
  uint8_t* count = stream->buffer + stream->length;
  const char16_t* rest;
  uint8_t* end = EncodeUnits(text, count + 4, stream->buffer + stream->capacity, &rest);
  if (*rest) return false;
  uint32_t size = uint32_t(end - count - 4);
  memcpy(count, &size, 4);
  stream->length = uint32_t(end - stream->buffer);
  return true;
}

// A text longer than a whole buffer: the count first, then the bytes in runs.
uint32_t WriteInRuns(BufferedFile* stream, const char16_t* text) {
  uint32_t err = StreamWriteU32(stream, StringEncodedSize(text));
  uint8_t chunk[512];
  for (const char16_t* p = text; *p && !err;) {
    uint8_t* end = EncodeUnits(p, chunk, chunk + sizeof chunk, &p);
    err = StreamWrite(stream, chunk, uint32_t(end - chunk));
  }
  return err;
}

}  // namespace

uint32_t StringWrite(BufferedFile* stream, const char16_t* text) {
  if (!text) return StreamWriteU32(stream, 0);
  for (bool flushed = false;; flushed = true) {
    if (WriteInBuffer(stream, text)) return ERROR_SUCCESS;
    if (flushed) return WriteInRuns(stream, text);
    uint32_t err = BufferedFlush(stream);
    if (err) return err;
  }
}

namespace {

// The unit of a sequence of `needed` (2 or 3) bytes.
char16_t SequenceUnit(const uint8_t* s, unsigned needed) {
  return needed == 2 ? char16_t(((s[0] << 6) | (s[1] & 0x3F)) & 0x7FF)
                     : char16_t(((s[0] << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F)) & 0xFFFF);
}

// True when the eight bytes are plain ASCII other than 0: no high bit set and no zero byte.
bool PlainAscii8(const uint8_t* bytes) {
  constexpr uint64_t kLow = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  uint64_t word;
  memcpy(&word, bytes, 8);
  return ((((word - kLow) & ~word) | word) & kHigh) == 0;
}

// Decodes a text that lies whole in `bytes` into `out` (room for count units); returns the number
// of units.
size_t DecodeWhole(const uint8_t* bytes, uint32_t count, char16_t* out) {
  const uint8_t* end = bytes + count;
  char16_t* start = out;
  while (bytes < end) {
    if (end - bytes >= 8 && PlainAscii8(bytes)) {  // runs of plain ASCII, eight at a time
      for (int i = 0; i < 8; ++i) out[i] = bytes[i];
      out += 8;
      bytes += 8;
      continue;
    }
    uint8_t b = *bytes;
    if (b - 1u < 0x7Fu) {  // plain ASCII other than 0
      *out++ = b;
      ++bytes;
      continue;
    }
    unsigned needed = b == 0 ? 1 : b < 0xE0 ? 2 : 3;
    if (size_t(end - bytes) < needed) break;
    char16_t unit = needed == 1 ? 0 : SequenceUnit(bytes, needed);
    if (!unit) break;
    *out++ = unit;
    bytes += needed;
  }
  return size_t(out - start);
}

// Gives back the room a text did not use: the text keeps `length` units and its terminator.
char16_t* Trim(char16_t* text, size_t length, size_t capacity, FieldArena* arena) {
  text[length] = 0;
  if (length + 1 == capacity) return text;
  return static_cast<char16_t*>(
      FieldArenaResize(arena, text, capacity * sizeof(char16_t), (length + 1) * sizeof(char16_t), alignof(char16_t)));
}

// The lenient decoder's state between the bytes of one text, which may span buffer refills.
struct Decoder {
  FieldArena* arena;
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
  void* grown = d->text ? FieldArenaResize(d->arena, d->text, d->capacity * sizeof(char16_t),
                                           capacity * sizeof(char16_t), alignof(char16_t))
                        : FieldArenaAllocate(d->arena, capacity * sizeof(char16_t), alignof(char16_t));
  d->text = static_cast<char16_t*>(grown);
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
    Emit(d, SequenceUnit(d->sequence, d->needed));
    d->held = 0;
  }
}

// A text that spans buffer refills: decoded run by run as the bytes arrive.
uint32_t ReadInRuns(BufferedFile* stream, uint32_t total, FieldArena* arena, char16_t** text) {
  Decoder d{};
  d.arena = arena;
  uint32_t err = ERROR_SUCCESS;
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
    FieldBlockFree(d.text);
    return err;
  }
  if (!d.text) Reserve(&d, 0, total);
  *text = Trim(d.text, d.length, d.capacity, arena);
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t StringRead(BufferedFile* stream, char16_t** text, FieldArena* arena) {
  *text = nullptr;
  uint32_t total;
  uint32_t err = StreamReadU32(stream, &total);
  if (err) return err;
  if (stream->length - stream->position < total) return ReadInRuns(stream, total, arena, text);
  auto* decoded = static_cast<char16_t*>(
      FieldArenaAllocate(arena, (size_t(total) + 1) * sizeof(char16_t), alignof(char16_t)));
  size_t length = DecodeWhole(stream->buffer + stream->position, total, decoded);
  stream->position += total;
  *text = Trim(decoded, length, size_t(total) + 1, arena);
  return ERROR_SUCCESS;
}

char16_t* TextDuplicateN(const char16_t* text, size_t length) {
  auto* copy = static_cast<char16_t*>(MemAllocFlags((length + 1) * sizeof(char16_t), kMemMustSucceed));
  memcpy(copy, text, length * sizeof(char16_t));
  copy[length] = 0;
  return copy;
}

char16_t* TextDuplicate(const char16_t* text) { return text ? TextDuplicateN(text, TextLength(text)) : nullptr; }
