#include "package/package_writer.h"

#include <cstring>

#include "package/package_append.h"
#include "package/package_cipher.h"
#include "package/package_digest.h"
#include "package/package_entry.h"
#include "package/package_reader.h"
#include "package/stream_encoder.h"
#include "runtime/buffered_file.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/platform.h"
#include "runtime/text.h"

struct PackageWriter {
  PackageWriterOptions options;
  uint8_t password[kPasswordBufferSize];
  char16_t first_path[kPackagePathCapacity];
  char16_t executable[kPackagePathCapacity];
  StreamEncoder* encoder;
  BufferedFile out;          // the current volume's file
  uint32_t index;            // of the current volume
  uint32_t volume_count;     // volumes started (their files exist)
  uint64_t header_offset;    // of the current volume in its file
  uint64_t volume_size;      // bytes of the current volume so far
  uint64_t entry_left;       // data bytes the current entry still needs
  uint64_t written;          // compressed bytes emitted into volumes
  uint32_t failure;
};

namespace {

constexpr uint32_t kPiece = 65536;

uint32_t Fail(PackageWriter* w, uint32_t error) {
  if (!w->failure) w->failure = error;
  return w->failure;
}

void VolumePath(const PackageWriter* w, uint32_t index, char16_t* path) {
  if (index == 0) {
    TextCopy(path, path + kPackagePathCapacity - 1, w->first_path);
  } else {
    PackageVolumePathBeside(w->first_path, index, path, path + kPackagePathCapacity - 1);
  }
}

uint32_t Flags(const PackageWriterOptions& o) {
  uint32_t flags = 0;
  if (o.password_length) flags |= kVolumeEnciphered;
  if (o.password_length && o.mask_password) flags |= kVolumeMaskPassword;
  return flags;
}

// The first word of a volume's check pair; the second is it XOR kPackageCheckPairXor.
uint32_t CheckWord(const PackageWriter* w) {
  return LoadLe32(w->options.package_code) ^ LoadLe32(w->options.package_code + 12) ^
         uint32_t(w->options.set_identifier) ^ (w->index * 0x9E3779B9u) ^ 0x3C6EF372u;
}

uint32_t StartVolume(PackageWriter* w) {
  char16_t path[kPackagePathCapacity];
  VolumePath(w, w->index, path);
  uint32_t err = BufferedCreate(&w->out, path, 0);
  if (err) return err;
  w->volume_count = w->index + 1;
  w->header_offset = 0;
  if (w->index == 0 && w->options.executable_image) {
    err = PackageCopyExecutableImage(w->options.executable_image, w->options.executable_image_size, &w->out,
                                     &w->header_offset);
  } else if (w->index == 0 && w->executable[0]) {
    err = PackageCopyExecutable(w->executable, &w->out, &w->header_offset);
  }
  uint8_t header[kVolumeHeaderSize] = {};  // written again when the volume is complete
  if (!err) err = BufferedWrite(&w->out, header, sizeof header);
  if (!err) err = BufferedFlush(&w->out);
  if (!err && w->options.password_length) err = PackageCipherAttach(&w->out, w->password, w->options.password_length);
  uint8_t pair[kCheckPairSize];
  StoreLe32(pair, CheckWord(w));
  StoreLe32(pair + 4, LoadLe32(pair) ^ kPackageCheckPairXor);
  if (!err) err = BufferedWrite(&w->out, pair, sizeof pair);
  uint32_t properties = w->index == 0 ? w->encoder->properties_size : 0;
  if (!err) err = BufferedWrite(&w->out, w->encoder->properties, properties);
  w->volume_size = kVolumeHeaderSize + kCheckPairSize + properties;
  return err;
}

// The volume's header with its length and the digest of its stored bytes 16 .. length-1.
uint32_t WriteHeader(const PackageWriter* w, FileHandle file) {
  PackageVolumeHeader header = {};
  header.method = w->options.method;
  header.version = kPackageFormatVersion;
  header.flags = Flags(w->options);
  header.index = w->index;
  header.length = w->volume_size;
  header.set_identifier = w->options.set_identifier;
  memcpy(header.package_code, w->options.package_code, 16);
  uint8_t bytes[kVolumeHeaderSize];
  PackageVolumeHeaderEncode(&header, bytes);

  PackageDigest digest;
  PackageDigestInit(&digest);
  PackageDigestUpdate(&digest, bytes + 16, kVolumeHeaderSize - 16);
  auto* piece = static_cast<uint8_t*>(MemAllocFlags(kPiece, kMemMustSucceed));
  uint32_t err = FileSeek(file, w->header_offset + kVolumeHeaderSize);
  for (uint64_t left = w->volume_size - kVolumeHeaderSize; left && !err;) {
    uint32_t want = left < kPiece ? uint32_t(left) : kPiece;
    uint32_t got = 0;
    err = FileRead(file, piece, want, &got);
    if (!err && got != want) err = ERROR_HANDLE_EOF;
    if (!err) PackageDigestUpdate(&digest, piece, want);
    left -= want;
  }
  MemFree(piece);
  PackageDigestFinal(&digest, bytes);
  if (!err) err = FileSeek(file, w->header_offset);
  if (!err) err = FileWrite(file, bytes, sizeof bytes);
  return err;
}

// Closes the current volume (the last buffer still enciphered) and rewrites its header.
uint32_t EndVolume(PackageWriter* w) {
  uint32_t err = BufferedFlush(&w->out);
  PackageCipherDetach(&w->out);
  uint32_t closeErr = BufferedClose(&w->out);
  if (!err) err = closeErr;
  if (err) return err;
  char16_t path[kPackagePathCapacity];
  VolumePath(w, w->index, path);
  FileHandle file;
  if ((err = FileOpenReadWrite(path, &file))) return err;
  err = WriteHeader(w, file);
  closeErr = FileClose(file);
  return err ? err : closeErr;
}

// The encoder's output: into the current volume, starting the next one at the volume limit.
uint32_t Emit(void* context, const uint8_t* bytes, uint32_t count) {
  auto* w = static_cast<PackageWriter*>(context);
  uint64_t limit = w->options.volume_limit;
  while (count) {
    if (limit && w->volume_size >= limit) {
      uint32_t err = EndVolume(w);
      if (err) return err;
      ++w->index;
      if ((err = StartVolume(w))) return err;
    }
    uint32_t n = count;
    if (limit && limit - w->volume_size < n) n = uint32_t(limit - w->volume_size);
    if (uint32_t err = BufferedWrite(&w->out, bytes, n)) return err;
    w->volume_size += n;
    w->written += n;
    bytes += n;
    count -= n;
  }
  return ERROR_SUCCESS;
}

uint32_t CheckOptions(const char16_t* path, const PackageWriterOptions* o) {
  if (!path || !o || TextLength(path) >= kPackagePathCapacity) return ERROR_INVALID_PARAMETER;
  if (o->executable && TextLength(o->executable) >= kPackagePathCapacity) return ERROR_INVALID_PARAMETER;
  if (!PackageIsMethod(o->method)) return ERROR_UNSUPPORTED_COMPRESSION;
  if (o->volume_limit && o->volume_limit < kPackageMinimumVolumeLimit) return ERROR_INVALID_PARAMETER;
  if (o->password_length > kPasswordBufferSize || (o->password_length && !o->password)) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

void DeleteVolumes(const PackageWriter* w) {
  char16_t path[kPackagePathCapacity];
  for (uint32_t k = 0; k < w->volume_count; ++k) {
    VolumePath(w, k, path);
    FileDelete(path);
  }
}

void Free(PackageWriter* w) {
  PackageCipherDetach(&w->out);
  BufferedClose(&w->out);
  StreamEncoderDestroy(w->encoder);
  PackageWipe(w, sizeof *w);
  MemFree(w);
}

}  // namespace

uint32_t PackageWriterCreate(const char16_t* path, const PackageWriterOptions* options, PackageWriter** writer) {
  *writer = nullptr;
  uint32_t err = CheckOptions(path, options);
  if (err) return err;
  auto* w = MemNew<PackageWriter>();
  w->options = *options;
  if (options->password_length) memcpy(w->password, options->password, options->password_length);
  w->options.password = nullptr;
  w->options.executable = nullptr;
  TextCopy(w->first_path, w->first_path + kPackagePathCapacity - 1, path);
  if (options->executable) TextCopy(w->executable, w->executable + kPackagePathCapacity - 1, options->executable);
  w->out.file = kNoFile;

  StreamEncoderSettings settings = {options->method, options->level, options->dictionary_size};
  StreamEncoderOutput output = {Emit, w};
  err = StreamEncoderCreate(&settings, &output, &w->encoder);
  if (!err) err = StartVolume(w);
  w->options.executable_image = nullptr;  // the caller's memory is not needed beyond volume 0's start
  if (err) return PackageWriterFinish(w, err, nullptr);
  *writer = w;
  return ERROR_SUCCESS;
}

uint32_t PackageWriterWriteStream(PackageWriter* writer, const void* data, size_t size) {
  if (writer->failure) return writer->failure;
  if (writer->entry_left) return Fail(writer, ERROR_INCORRECT_SIZE);
  uint32_t err = StreamEncoderWrite(writer->encoder, data, size);
  return err ? Fail(writer, err) : ERROR_SUCCESS;
}

uint32_t PackageWriterBeginEntry(PackageWriter* writer, const PackageEntryHeader* header) {
  PackageEntryHeader h = *header;
  if (!h.magic) h.magic = kPackageEntryMagic;
  uint8_t bytes[kEntryHeaderSize];
  PackageEntryHeaderEncode(&h, bytes);
  uint32_t err = PackageWriterWriteStream(writer, bytes, sizeof bytes);
  if (!err) writer->entry_left = h.size;
  return err;
}

uint32_t PackageWriterWriteData(PackageWriter* writer, const void* data, size_t size) {
  if (writer->failure) return writer->failure;
  if (size > writer->entry_left) return Fail(writer, ERROR_INCORRECT_SIZE);
  uint32_t err = StreamEncoderWrite(writer->encoder, data, size);
  if (err) return Fail(writer, err);
  writer->entry_left -= size;
  return ERROR_SUCCESS;
}

uint32_t PackageWriterAddMemory(PackageWriter* writer, const PackageEntryHeader* header, const void* data) {
  uint32_t err = PackageWriterBeginEntry(writer, header);
  if (!err && header->size > SIZE_MAX) err = Fail(writer, ERROR_INVALID_PARAMETER);
  if (!err) err = PackageWriterWriteData(writer, data, size_t(header->size));
  return err;
}

uint32_t PackageWriterAddFile(PackageWriter* writer, uint64_t id, const char16_t* path) {
  if (writer->failure) return writer->failure;
  PackageEntryHeader header;
  uint32_t err = PackageEntryHeaderFromFile(path, &header);
  BufferedFile in{};
  if (!err) err = BufferedOpenRead(&in, path, kFileShareRead | kFileSequential);
  if (err) return Fail(writer, err);
  header.id = id;
  err = PackageWriterBeginEntry(writer, &header);
  for (uint64_t left = header.size; left && !err;) {
    uint8_t* bytes;
    uint32_t count;
    err = BufferedAvailable(&in, &bytes, &count);
    if (!err && !count) err = Fail(writer, ERROR_INCORRECT_SIZE);  // the file shrank meanwhile
    if (count > left) count = uint32_t(left);
    if (!err) err = PackageWriterWriteData(writer, bytes, count);
    BufferedConsume(&in, count);
    left -= count;
  }
  BufferedClose(&in);
  return err ? Fail(writer, err) : ERROR_SUCCESS;
}

uint64_t PackageWriterBytesWritten(const PackageWriter* writer) { return writer->written; }

uint32_t PackageWriterFinish(PackageWriter* writer, uint32_t error, uint32_t* volume_count) {
  if (volume_count) *volume_count = 0;
  if (error) Fail(writer, error);
  if (!writer->failure && writer->entry_left) Fail(writer, ERROR_INCORRECT_SIZE);
  if (!writer->failure) {
    uint32_t err = StreamEncoderFinish(writer->encoder);
    if (!err) err = EndVolume(writer);
    if (err) Fail(writer, err);
  }
  uint32_t err = writer->failure;
  if (err) {
    PackageCipherDetach(&writer->out);
    BufferedClose(&writer->out);
    DeleteVolumes(writer);
  } else if (volume_count) {
    *volume_count = writer->volume_count;
  }
  Free(writer);
  return err;
}
