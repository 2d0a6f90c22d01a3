#include "package/stream_encoder.h"

#include <lzma.h>
#include <zlib.h>

#include "package/codec_memory.h"
#include "package/package_format.h"
#include "package/stream_decoder.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

namespace {

constexpr uint32_t kOutputSize = 65536;

struct ZlibEncoder {
  StreamEncoder base;
  z_stream z;
  uint8_t output[kOutputSize];
};

struct LzmaEncoder {
  StreamEncoder base;
  lzma_stream stream;
  uint8_t output[kOutputSize];
};


uint32_t Emit(StreamEncoder* base, const uint8_t* bytes, uint32_t count) {
  return count ? base->output.emit(base->output.context, bytes, count) : ERROR_SUCCESS;
}

// Runs deflate over the pending input; `flush` Z_FINISH ends the stream.
uint32_t Deflate(ZlibEncoder* e, int flush) {
  for (;;) {
    e->z.next_out = e->output;
    e->z.avail_out = kOutputSize;
    int ret = deflate(&e->z, flush);
    if (ret != Z_OK && ret != Z_STREAM_END && ret != Z_BUF_ERROR) return ERROR_WRITE_FAULT;
    if (uint32_t err = Emit(&e->base, e->output, kOutputSize - e->z.avail_out)) return err;
    if (flush == Z_FINISH ? ret == Z_STREAM_END : (e->z.avail_in == 0 && e->z.avail_out != 0)) return ERROR_SUCCESS;
  }
}

uint32_t ZlibWrite(StreamEncoder* encoder, const void* data, size_t count) {
  auto* e = reinterpret_cast<ZlibEncoder*>(encoder);
  const auto* in = static_cast<const Bytef*>(data);
  while (count) {
    uInt piece = count > 0x40000000 ? 0x40000000 : uInt(count);
    e->z.next_in = const_cast<Bytef*>(in);
    e->z.avail_in = piece;
    if (uint32_t err = Deflate(e, Z_NO_FLUSH)) return err;
    in += piece;
    count -= piece;
  }
  return ERROR_SUCCESS;
}

uint32_t ZlibFinish(StreamEncoder* encoder) { return Deflate(reinterpret_cast<ZlibEncoder*>(encoder), Z_FINISH); }

void ZlibDestroy(StreamEncoder* encoder) {
  auto* e = reinterpret_cast<ZlibEncoder*>(encoder);
  deflateEnd(&e->z);
  MemFree(e);
}

const StreamEncoderMethods kZlibMethods = {
    ZlibDestroy,  // destroy
    ZlibWrite,    // write
    ZlibFinish,   // finish
};

uint32_t LzmaRun(LzmaEncoder* e, lzma_action action) {
  for (;;) {
    e->stream.next_out = e->output;
    e->stream.avail_out = kOutputSize;
    lzma_ret ret = lzma_code(&e->stream, action);
    if (ret != LZMA_OK && ret != LZMA_STREAM_END) return ret == LZMA_MEM_ERROR ? ERROR_OUTOFMEMORY : ERROR_WRITE_FAULT;
    if (uint32_t err = Emit(&e->base, e->output, uint32_t(kOutputSize - e->stream.avail_out))) return err;
    if (action == LZMA_FINISH ? ret == LZMA_STREAM_END : (e->stream.avail_in == 0 && e->stream.avail_out != 0))
      return ERROR_SUCCESS;
  }
}

uint32_t LzmaWrite(StreamEncoder* encoder, const void* data, size_t count) {
  auto* e = reinterpret_cast<LzmaEncoder*>(encoder);
  e->stream.next_in = static_cast<const uint8_t*>(data);
  e->stream.avail_in = count;
  return LzmaRun(e, LZMA_RUN);
}

uint32_t LzmaFinish(StreamEncoder* encoder) { return LzmaRun(reinterpret_cast<LzmaEncoder*>(encoder), LZMA_FINISH); }

void LzmaDestroy(StreamEncoder* encoder) {
  auto* e = reinterpret_cast<LzmaEncoder*>(encoder);
  lzma_end(&e->stream);
  MemFree(e);
}

const StreamEncoderMethods kLzmaMethods = {
    LzmaDestroy,  // destroy
    LzmaWrite,    // write
    LzmaFinish,   // finish
};

uint32_t CreateZlib(const StreamEncoderSettings* settings, StreamEncoder** encoder) {
  auto* e = MemNew<ZlibEncoder>();
  e->base.methods = &kZlibMethods;
  e->z.zalloc = CodecZlibAlloc;
  e->z.zfree = CodecZlibFree;
  if (deflateInit2(&e->z, int(settings->level), Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
    MemFree(e);
    return ERROR_OUTOFMEMORY;
  }
  *encoder = &e->base;
  return ERROR_SUCCESS;
}

// A raw LZMA1 or LZMA2 encoder with the preset's options and the given dictionary; the properties
// are encoded for the first volume.
uint32_t CreateLzma(const StreamEncoderSettings* settings, StreamEncoder** encoder) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, settings->level)) return ERROR_INVALID_PARAMETER;
  if (settings->dictionary_size) options.dict_size = settings->dictionary_size;
  lzma_filter filters[2] = {};
  filters[0].id = settings->method == kPackageMethodLzma ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA2;
  filters[0].options = &options;
  filters[1].id = LZMA_VLI_UNKNOWN;

  auto* e = MemNew<LzmaEncoder>();
  e->base.methods = &kLzmaMethods;
  e->base.properties_size = settings->method == kPackageMethodLzma ? kLzmaPropertiesSize : kLzma2PropertiesSize;
  e->stream = LZMA_STREAM_INIT;
  e->stream.allocator = &kCodecLzmaAllocator;
  lzma_ret ret = lzma_properties_encode(&filters[0], e->base.properties);
  if (ret == LZMA_OK) ret = lzma_raw_encoder(&e->stream, filters);
  if (ret != LZMA_OK) {
    lzma_end(&e->stream);
    MemFree(e);
    return ret == LZMA_MEM_ERROR ? ERROR_OUTOFMEMORY : ERROR_INVALID_PARAMETER;
  }
  *encoder = &e->base;
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t StreamEncoderCreate(const StreamEncoderSettings* settings, const StreamEncoderOutput* output,
                             StreamEncoder** encoder) {
  *encoder = nullptr;
  if (settings->level > 9) return ERROR_INVALID_PARAMETER;
  if (settings->dictionary_size && (settings->dictionary_size < 4096 || settings->dictionary_size > kMaxDictionarySize))
    return ERROR_INVALID_PARAMETER;
  uint32_t err;
  if (settings->method == kPackageMethodZlib) {
    err = CreateZlib(settings, encoder);
  } else if (settings->method == kPackageMethodLzma || settings->method == kPackageMethodLzma2) {
    err = CreateLzma(settings, encoder);
  } else {
    return ERROR_UNSUPPORTED_COMPRESSION;
  }
  if (!err) (*encoder)->output = *output;
  return err;
}
