// A buffered byte stream over a file or over memory, read front to back or written front to back.
// Files on disk get a 16 KiB buffer, memory streams 4 KiB. Two optional hooks transform bytes in
// place: the fill hook sees every run of bytes as it is read into the buffer, the flush hook every
// run before it is written (the package cipher uses them). A failing hook fails the fill with 6001
// or the flush with 6000.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/platform.h"

using BufferHook = uint32_t (*)(void* context, uint8_t* bytes, uint32_t count);

struct BufferedFile;
struct StreamBackend {
  uint32_t (*read)(BufferedFile* stream, void* buffer, uint32_t count, uint32_t* got);  // short only at the end
  uint32_t (*write)(BufferedFile* stream, const void* buffer, uint32_t count);
  uint32_t (*seek)(BufferedFile* stream, uint64_t position);
  uint32_t (*close)(BufferedFile* stream);
};

struct BufferedFile {
  const StreamBackend* backend;
  FileHandle file;          // file streams
  const uint8_t* source;    // memory reader: the bytes
  uint8_t* sink;            // memory writer: the bytes written so far (owned)
  size_t memory_size;       // memory: bytes in source / sink
  size_t memory_capacity;   // memory writer: allocated bytes
  size_t memory_position;   // memory: next byte to read or write
  uint8_t* buffer;
  uint32_t capacity;
  uint32_t position;        // reading: next unread byte of the buffer
  uint32_t length;          // reading: valid bytes in the buffer; writing: pending bytes
  uint64_t offset;          // stream offset of buffer[0]
  bool writing;
  BufferHook fill_hook;
  BufferHook flush_hook;
  void* hook_context;
};

constexpr uint32_t kDiskBufferSize = 262144;
constexpr uint32_t kMemoryBufferSize = 4096;

// Opening. Each returns 0 or a Windows error and leaves the stream closed on error.
uint32_t BufferedOpenRead(BufferedFile* stream, const char16_t* path, uint32_t flags);  // kFile* flags
uint32_t BufferedCreate(BufferedFile* stream, const char16_t* path, uint32_t flags);
void BufferedOpenMemory(BufferedFile* stream, const void* data, size_t size);
void BufferedCreateMemory(BufferedFile* stream);

// Reads up to `count` bytes; `*got` is less only at the end of the stream.
uint32_t BufferedRead(BufferedFile* stream, void* destination, uint32_t count, uint32_t* got);
// Reads exactly `count` bytes; 38 (ERROR_HANDLE_EOF) when the stream ends first.
uint32_t BufferedReadExact(BufferedFile* stream, void* destination, uint32_t count);
// The unread bytes of the buffer, refilled first when it is empty; *count is 0 at the end.
uint32_t BufferedAvailable(BufferedFile* stream, uint8_t** bytes, uint32_t* count);
void BufferedConsume(BufferedFile* stream, uint32_t count);
// Unread bytes already in the buffer, without refilling (for hooks attached after the fill).
uint8_t* BufferedUnread(BufferedFile* stream, uint32_t* count);

uint32_t BufferedWrite(BufferedFile* stream, const void* source, uint32_t count);
uint32_t BufferedFlush(BufferedFile* stream);

// Moves to an absolute position, dropping (reading) or flushing (writing) the buffer.
uint32_t BufferedSeek(BufferedFile* stream, uint64_t position);
uint64_t BufferedTell(const BufferedFile* stream);

void BufferedSetHooks(BufferedFile* stream, BufferHook fill, BufferHook flush, void* context);

// File streams: flushes, then sets the last-write time on the open file.
uint32_t BufferedSetLastWriteTime(BufferedFile* stream, uint64_t filetime);
// Flushes (when writing) and closes; returns the first error. A closed stream may be closed again.
uint32_t BufferedClose(BufferedFile* stream);
// Memory writer: hands over the bytes written (owned by the caller, MemFree) before closing.
uint8_t* BufferedTakeMemory(BufferedFile* stream, size_t* size);
bool BufferedIsOpen(const BufferedFile* stream);
