#include "runtime/buffered_file.h"

#include <cstring>

#include "runtime/errors.h"
#include "runtime/heap.h"

namespace {

uint32_t FileBackendRead(BufferedFile* s, void* buffer, uint32_t count, uint32_t* got) {
  return FileRead(s->file, buffer, count, got);
}
uint32_t FileBackendWrite(BufferedFile* s, const void* buffer, uint32_t count) {
  return FileWrite(s->file, buffer, count);
}
uint32_t FileBackendSeek(BufferedFile* s, uint64_t position) { return FileSeek(s->file, position); }
uint32_t FileBackendClose(BufferedFile* s) {
  uint32_t err = FileClose(s->file);
  s->file = kNoFile;
  return err;
}

const StreamBackend kFileBackend = {
    FileBackendRead,   // read
    FileBackendWrite,  // write
    FileBackendSeek,   // seek
    FileBackendClose,  // close
};

uint32_t MemoryRead(BufferedFile* s, void* buffer, uint32_t count, uint32_t* got) {
  size_t left = s->memory_position < s->memory_size ? s->memory_size - s->memory_position : 0;
  *got = count < left ? count : uint32_t(left);
  memcpy(buffer, s->source + s->memory_position, *got);
  s->memory_position += *got;
  return ERROR_SUCCESS;
}

uint32_t MemoryWrite(BufferedFile* s, const void* buffer, uint32_t count) {
  size_t needed = s->memory_position + count;
  if (needed > s->memory_capacity) {
    size_t capacity = MemGrowCapacity(s->memory_capacity, needed, SIZE_MAX);
    s->sink = static_cast<uint8_t*>(MemReallocFlags(s->sink, capacity, kMemKeep | kMemMustSucceed));
    s->memory_capacity = capacity;
  }
  memcpy(s->sink + s->memory_position, buffer, count);
  s->memory_position = needed;
  if (needed > s->memory_size) s->memory_size = needed;
  return ERROR_SUCCESS;
}

uint32_t MemorySeek(BufferedFile* s, uint64_t position) {
  if (position > SIZE_MAX) return ERROR_INVALID_PARAMETER;
  s->memory_position = size_t(position);
  return ERROR_SUCCESS;
}

uint32_t MemoryClose(BufferedFile* s) {
  MemFree(s->sink);
  s->sink = nullptr;
  s->source = nullptr;
  return ERROR_SUCCESS;
}

const StreamBackend kMemoryBackend = {
    MemoryRead,   // read
    MemoryWrite,  // write
    MemorySeek,   // seek
    MemoryClose,  // close
};

void Start(BufferedFile* s, const StreamBackend* backend, uint32_t capacity, bool writing) {
  memset(s, 0, sizeof *s);
  s->file = kNoFile;
  s->backend = backend;
  s->capacity = capacity;
  s->buffer = static_cast<uint8_t*>(MemAllocFlags(capacity, kMemMustSucceed));
  s->writing = writing;
}

// Reads the next run of bytes into the empty buffer.
uint32_t Fill(BufferedFile* s) {
  s->offset += s->length;
  s->position = 0;
  s->length = 0;
  uint32_t got = 0;
  uint32_t err = s->backend->read(s, s->buffer, s->capacity, &got);
  if (err) return err;
  if (got && s->fill_hook && s->fill_hook(s->hook_context, s->buffer, got)) return ERROR_DECRYPTION_FAILED;
  s->length = got;
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t BufferedOpenRead(BufferedFile* stream, const char16_t* path, uint32_t flags) {
  FileHandle file;
  uint32_t err = FileOpenRead(path, flags, &file);
  if (err) return err;
  Start(stream, &kFileBackend, kDiskBufferSize, false);
  stream->file = file;
  return ERROR_SUCCESS;
}

uint32_t BufferedCreate(BufferedFile* stream, const char16_t* path, uint32_t flags) {
  FileHandle file;
  uint32_t err = FileCreateWrite(path, flags, &file);
  if (err) return err;
  Start(stream, &kFileBackend, kDiskBufferSize, true);
  stream->file = file;
  return ERROR_SUCCESS;
}

void BufferedOpenMemory(BufferedFile* stream, const void* data, size_t size) {
  Start(stream, &kMemoryBackend, kMemoryBufferSize, false);
  stream->source = static_cast<const uint8_t*>(data);
  stream->memory_size = size;
}

void BufferedCreateMemory(BufferedFile* stream) { Start(stream, &kMemoryBackend, kMemoryBufferSize, true); }

uint32_t BufferedAvailable(BufferedFile* stream, uint8_t** bytes, uint32_t* count) {
  *count = 0;
  if (stream->position >= stream->length) {
    uint32_t err = Fill(stream);
    if (err) return err;
  }
  *bytes = stream->buffer + stream->position;
  *count = stream->length - stream->position;
  return ERROR_SUCCESS;
}

void BufferedConsume(BufferedFile* stream, uint32_t count) {
  uint32_t left = stream->length - stream->position;
  stream->position += count < left ? count : left;
}

uint8_t* BufferedUnread(BufferedFile* stream, uint32_t* count) {
  *count = stream->length - stream->position;
  return stream->buffer + stream->position;
}

uint32_t BufferedRead(BufferedFile* stream, void* destination, uint32_t count, uint32_t* got) {
  auto* out = static_cast<uint8_t*>(destination);
  *got = 0;
  while (*got < count) {
    uint8_t* bytes;
    uint32_t available;
    uint32_t err = BufferedAvailable(stream, &bytes, &available);
    if (err) return err;
    if (!available) break;
    uint32_t n = count - *got < available ? count - *got : available;
    memcpy(out + *got, bytes, n);
    BufferedConsume(stream, n);
    *got += n;
  }
  return ERROR_SUCCESS;
}

uint32_t BufferedReadExact(BufferedFile* stream, void* destination, uint32_t count) {
  uint32_t got;
  uint32_t err = BufferedRead(stream, destination, count, &got);
  if (err) return err;
  return got == count ? ERROR_SUCCESS : ERROR_HANDLE_EOF;
}

uint32_t BufferedFlush(BufferedFile* stream) {
  if (!stream->writing || !stream->length) return ERROR_SUCCESS;
  if (stream->flush_hook && stream->flush_hook(stream->hook_context, stream->buffer, stream->length))
    return ERROR_ENCRYPTION_FAILED;
  uint32_t err = stream->backend->write(stream, stream->buffer, stream->length);
  stream->offset += stream->length;
  stream->length = 0;
  return err;
}

uint32_t BufferedWrite(BufferedFile* stream, const void* source, uint32_t count) {
  const auto* in = static_cast<const uint8_t*>(source);
  while (count) {
    if (stream->length == stream->capacity) {
      uint32_t err = BufferedFlush(stream);
      if (err) return err;
    }
    uint32_t room = stream->capacity - stream->length;
    uint32_t n = count < room ? count : room;
    memcpy(stream->buffer + stream->length, in, n);
    stream->length += n;
    in += n;
    count -= n;
  }
  return ERROR_SUCCESS;
}

uint32_t BufferedSeek(BufferedFile* stream, uint64_t position) {
  uint32_t err = BufferedFlush(stream);
  if (err) return err;
  err = stream->backend->seek(stream, position);
  if (err) return err;
  stream->offset = position;
  stream->position = 0;
  stream->length = 0;
  return ERROR_SUCCESS;
}

uint64_t BufferedTell(const BufferedFile* stream) {
  return stream->offset + (stream->writing ? stream->length : stream->position);
}

void BufferedSetHooks(BufferedFile* stream, BufferHook fill, BufferHook flush, void* context) {
  stream->fill_hook = fill;
  stream->flush_hook = flush;
  stream->hook_context = context;
}

uint32_t BufferedSetLastWriteTime(BufferedFile* stream, uint64_t filetime) {
  uint32_t err = BufferedFlush(stream);
  if (err) return err;
  return stream->file == kNoFile ? ERROR_INVALID_HANDLE : FileSetLastWriteTime(stream->file, filetime);
}

uint32_t BufferedClose(BufferedFile* stream) {
  if (!stream->backend) return ERROR_SUCCESS;
  uint32_t err = BufferedFlush(stream);
  uint32_t closeErr = stream->backend->close(stream);
  MemFree(stream->buffer);
  memset(stream, 0, sizeof *stream);
  stream->file = kNoFile;
  return err ? err : closeErr;
}

uint8_t* BufferedTakeMemory(BufferedFile* stream, size_t* size) {
  BufferedFlush(stream);
  uint8_t* bytes = stream->sink;
  *size = stream->memory_size;
  stream->sink = nullptr;
  stream->memory_size = stream->memory_capacity = stream->memory_position = 0;
  return bytes;
}

bool BufferedIsOpen(const BufferedFile* stream) { return stream->backend != nullptr; }
