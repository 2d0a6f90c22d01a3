// Little-endian integers on the buffered streams, taken straight from the stream's buffer when it
// holds them (the common case) and through the exact-length read or write otherwise. The byte
// order of the stored form is the machine's own on every target of this project (x86, x64, Arm64).
#pragma once
#include <cstdint>
#include <cstring>

#include "runtime/buffered_file.h"

inline uint32_t StreamRead(BufferedFile* stream, void* value, uint32_t size) {
  if (stream->length - stream->position >= size) {
    memcpy(value, stream->buffer + stream->position, size);
    stream->position += size;
    return 0;
  }
  return BufferedReadExact(stream, value, size);
}
inline uint32_t StreamReadU32(BufferedFile* stream, uint32_t* value) { return StreamRead(stream, value, 4); }
inline uint32_t StreamReadU64(BufferedFile* stream, uint64_t* value) { return StreamRead(stream, value, 8); }

inline uint32_t StreamWrite(BufferedFile* stream, const void* value, uint32_t size) {
  if (stream->capacity - stream->length >= size) {
    memcpy(stream->buffer + stream->length, value, size);
    stream->length += size;
    return 0;
  }
  return BufferedWrite(stream, value, size);
}
inline uint32_t StreamWriteU32(BufferedFile* stream, uint32_t value) { return StreamWrite(stream, &value, 4); }
inline uint32_t StreamWriteU64(BufferedFile* stream, uint64_t value) { return StreamWrite(stream, &value, 8); }
