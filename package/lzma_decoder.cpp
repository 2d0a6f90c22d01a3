// The LZMA ("kez3") and LZMA2 ("kez4") methods through liblzma's raw decoders. The streams carry no
// uncompressed size and need no end marker: the decoder runs until the request is met, pulling
// compressed bytes into a 64 KiB input buffer as it needs them.
#include <lzma.h>

#include <cstring>

#include "package/codec_memory.h"
#include "package/package_format.h"
#include "package/stream_decoder.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

namespace {

constexpr uint32_t kInputBufferSize = 65536;

struct LzmaDecoder {
  StreamDecoder base;
  lzma_stream stream;
  uint8_t* input;   // kInputBufferSize bytes
  bool starved;     // the last decoder call used up its input with output space left
  bool ended;       // the decoder met the stream's end marker
  uint32_t failure;
};


// liblzma's results as Windows errors. liblzma names its results differently from the decoder
// library whose codes the package format was first described with; each result takes the error
// of the code with the same meaning:
//
//   liblzma result          meaning                                  like code   Windows error
//   LZMA_OK                 progress, or the request is met          OK (0)      0
//   LZMA_STREAM_END         end marker met (handled before mapping)  -           (38 if bytes are due)
//   LZMA_DATA_ERROR         corrupt compressed data                  (1)         13 ERROR_INVALID_DATA
//   LZMA_MEM_ERROR          allocation failed                        (2)         14 ERROR_OUTOFMEMORY
//   LZMA_MEMLIMIT_ERROR     over the memory limit                    (2)         14 ERROR_OUTOFMEMORY
//   LZMA_OPTIONS_ERROR      unsupported properties                   (4)         120 ERROR_CALL_NOT_IMPLEMENTED
//   LZMA_UNSUPPORTED_CHECK  unsupported integrity check              (4)         120 ERROR_CALL_NOT_IMPLEMENTED
//   LZMA_PROG_ERROR         bad arguments                            (5)         87 ERROR_INVALID_PARAMETER
//   LZMA_BUF_ERROR          no progress possible: input ran out      (6)         38 ERROR_HANDLE_EOF
//   LZMA_FORMAT_ERROR       not a recognised format                  (17)        11 ERROR_BAD_FORMAT
//   LZMA_NO_CHECK, LZMA_GET_CHECK, LZMA_SEEK_NEEDED
//                           notices raw decoders never give          (13-15)     1 ERROR_INVALID_FUNCTION
//   anything else                                                    (higher)    22 ERROR_BAD_COMMAND
//
// The decoder library's CRC (3), read (8), write (9), progress (10), thread (12) and archive (16)
// results have no liblzma counterpart in raw decoding.
uint32_t WindowsErrorOf(lzma_ret result) {
  switch (result) {
    case LZMA_OK: return ERROR_SUCCESS;
    case LZMA_DATA_ERROR: return ERROR_INVALID_DATA;
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR: return ERROR_OUTOFMEMORY;
    case LZMA_OPTIONS_ERROR:
    case LZMA_UNSUPPORTED_CHECK: return ERROR_CALL_NOT_IMPLEMENTED;
    case LZMA_PROG_ERROR: return ERROR_INVALID_PARAMETER;
    case LZMA_BUF_ERROR: return ERROR_HANDLE_EOF;
    case LZMA_FORMAT_ERROR: return ERROR_BAD_FORMAT;
    case LZMA_NO_CHECK:
    case LZMA_GET_CHECK:
    case LZMA_SEEK_NEEDED: return ERROR_INVALID_FUNCTION;
    default: return ERROR_BAD_COMMAND;
  }
}

uint32_t Fail(LzmaDecoder* d, uint32_t error) {
  d->failure = error;
  return error;
}

// Copies the next run of compressed bytes, at most 64 KiB, into the input buffer.
uint32_t Refill(LzmaDecoder* d) {
  const uint8_t* bytes;
  uint32_t count;
  uint32_t err = d->base.input.available(d->base.input.context, &bytes, &count);
  if (err) return Fail(d, err);
  if (!count) return Fail(d, ERROR_HANDLE_EOF);
  if (count > kInputBufferSize) count = kInputBufferSize;
  memcpy(d->input, bytes, count);
  d->base.input.consume(d->base.input.context, count);
  d->stream.next_in = d->input;
  d->stream.avail_in = count;
  return ERROR_SUCCESS;
}

// Input is fetched only when the decoder has shown that it needs it: after a request that filled
// the output, the decoder first runs on what it holds (a pending match, the end marker), so the
// reader is not sent to look for a next volume behind the last one.
uint32_t LzmaRead(StreamDecoder* decoder, void* buffer, uint32_t count, uint32_t* delivered) {
  auto* d = reinterpret_cast<LzmaDecoder*>(decoder);
  *delivered = 0;
  if (d->failure) return d->failure;
  d->stream.next_out = static_cast<uint8_t*>(buffer);
  d->stream.avail_out = count;
  uint32_t err = ERROR_SUCCESS;
  while (d->stream.avail_out && !d->ended) {
    if (!d->stream.avail_in && d->starved && (err = Refill(d))) break;
    lzma_ret result = lzma_code(&d->stream, LZMA_RUN);
    d->starved = !d->stream.avail_in && d->stream.avail_out;
    if (result == LZMA_STREAM_END) {
      d->ended = true;
    } else if ((err = WindowsErrorOf(result))) {
      Fail(d, err);
      break;
    }
  }
  *delivered = count - uint32_t(d->stream.avail_out);
  if (!err && d->stream.avail_out) err = ERROR_HANDLE_EOF;
  return err;
}

void LzmaDestroy(StreamDecoder* decoder) {
  auto* d = reinterpret_cast<LzmaDecoder*>(decoder);
  lzma_end(&d->stream);
  MemFree(d->input);
  MemFree(d);
}

const StreamDecoderMethods kLzmaMethods = {
    LzmaDestroy,  // destroy
    LzmaRead,     // read
};

// Decodes the properties into a raw filter chain and starts the decoder; the options block that
// lzma_properties_decode allocates is freed again here.
uint32_t StartDecoder(LzmaDecoder* d, uint32_t method, const uint8_t* properties, uint32_t size) {
  lzma_filter filters[2] = {};
  filters[0].id = method == kPackageMethodLzma ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA2;
  filters[1].id = LZMA_VLI_UNKNOWN;
  lzma_ret result = lzma_properties_decode(&filters[0], &kCodecLzmaAllocator, properties, size);
  if (result != LZMA_OK) return WindowsErrorOf(result);
  auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
  uint32_t err = ERROR_CALL_NOT_IMPLEMENTED;
  if (options->dict_size <= kMaxDictionarySize) err = WindowsErrorOf(lzma_raw_decoder(&d->stream, filters));
  MemFree(options);
  return err;
}

}  // namespace

uint32_t LzmaDecoderCreate(uint32_t method, const DecoderInput* input, StreamDecoder** decoder) {
  uint8_t properties[kLzmaPropertiesSize];
  uint32_t size = method == kPackageMethodLzma ? kLzmaPropertiesSize : kLzma2PropertiesSize;
  uint32_t err = DecoderInputReadExact(input, properties, size);
  if (err) return err;

  auto* d = MemNew<LzmaDecoder>();
  d->base.methods = &kLzmaMethods;
  d->base.input = *input;
  d->stream = LZMA_STREAM_INIT;
  d->stream.allocator = &kCodecLzmaAllocator;
  d->starved = true;
  err = StartDecoder(d, method, properties, size);
  if (err) {
    lzma_end(&d->stream);
    MemFree(d);
    return err;
  }
  d->input = static_cast<uint8_t*>(MemAllocFlags(kInputBufferSize, kMemMustSucceed));
  *decoder = &d->base;
  return ERROR_SUCCESS;
}
