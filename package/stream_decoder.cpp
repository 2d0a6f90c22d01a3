#include "package/stream_decoder.h"

#include <cstring>

#include "package/package_format.h"
#include "runtime/errors.h"

uint32_t StreamDecoderCreate(uint32_t method, const DecoderInput* input, StreamDecoder** decoder) {
  *decoder = nullptr;
  if (method == kPackageMethodZlib) return ZlibDecoderCreate(input, decoder);
  if (method == kPackageMethodLzma || method == kPackageMethodLzma2) return LzmaDecoderCreate(method, input, decoder);
  return ERROR_UNSUPPORTED_COMPRESSION;
}

uint32_t DecoderInputReadExact(const DecoderInput* input, uint8_t* out, uint32_t count) {
  while (count) {
    const uint8_t* bytes;
    uint32_t available;
    uint32_t err = input->available(input->context, &bytes, &available);
    if (err) return err;
    if (!available) return ERROR_HANDLE_EOF;
    uint32_t n = available < count ? available : count;
    memcpy(out, bytes, n);
    input->consume(input->context, n);
    out += n;
    count -= n;
  }
  return ERROR_SUCCESS;
}
