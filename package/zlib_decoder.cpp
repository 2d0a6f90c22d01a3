// The zlib method ("kez2"): a zlib stream (2-byte header, raw deflate data, big-endian Adler-32 of
// the decoded bytes). The header and the trailer are handled here; zlib's raw inflate decodes the
// deflate blocks straight from the volume file's buffer.
#include <zlib.h>

#include "package/codec_memory.h"
#include "package/stream_decoder.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

namespace {

struct ZlibDecoder {
  StreamDecoder base;
  z_stream z;
  uint32_t adler;     // Adler-32 of the bytes produced so far
  bool ended;         // the trailer has been read and matched
  uint32_t failure;   // the error that left the decoder unusable
};


// A stream is refused unless (CMF * 256 + FLG) is a multiple of 31, the method is 8 (deflate), the
// window is at most 32 KiB and no preset dictionary is asked for.
bool HeaderAccepted(uint8_t cmf, uint8_t flg) {
  return (cmf * 256u + flg) % 31 == 0 && (cmf & 0x0F) == 8 && (cmf >> 4) <= 7 && !(flg & 0x20);
}

uint32_t Fail(ZlibDecoder* d, uint32_t error) {
  d->failure = error;
  return error;
}

// The 4-byte trailer after the final block; an input that ends before it is a read fault.
uint32_t CheckTrailer(ZlibDecoder* d) {
  uint8_t trailer[4];
  uint32_t err = DecoderInputReadExact(&d->base.input, trailer, 4);
  if (err) return Fail(d, err == ERROR_HANDLE_EOF ? ERROR_READ_FAULT : err);
  uint32_t stored = uint32_t(trailer[0]) << 24 | uint32_t(trailer[1]) << 16 | uint32_t(trailer[2]) << 8 | trailer[3];
  if (stored != d->adler) return Fail(d, ERROR_READ_FAULT);
  d->ended = true;
  return ERROR_SUCCESS;
}

// Feeds inflate the next run of input; an input that ends inside the stream is a read fault,
// an input error is passed on unchanged (a cancel stays a cancel).
uint32_t Refill(ZlibDecoder* d) {
  const uint8_t* bytes;
  uint32_t count;
  uint32_t err = d->base.input.available(d->base.input.context, &bytes, &count);
  if (err) return Fail(d, err);
  if (!count) return Fail(d, ERROR_READ_FAULT);
  d->z.next_in = const_cast<Bytef*>(bytes);
  d->z.avail_in = count;
  return ERROR_SUCCESS;
}

uint32_t ZlibRead(StreamDecoder* decoder, void* buffer, uint32_t count, uint32_t* delivered) {
  auto* d = reinterpret_cast<ZlibDecoder*>(decoder);
  *delivered = 0;
  if (d->failure) return d->failure;
  d->z.next_out = static_cast<Bytef*>(buffer);
  d->z.avail_out = count;
  uint32_t err = ERROR_SUCCESS;
  while (d->z.avail_out && !d->ended) {
    if (!d->z.avail_in && (err = Refill(d))) break;
    Bytef* out = d->z.next_out;
    uInt before = d->z.avail_in;
    int ret = inflate(&d->z, Z_NO_FLUSH);
    d->base.input.consume(d->base.input.context, before - d->z.avail_in);
    d->adler = uint32_t(adler32(d->adler, out, uInt(d->z.next_out - out)));
    if (ret == Z_STREAM_END) {
      d->z.avail_in = 0;  // the rest of the run is the trailer, read through the input
      err = CheckTrailer(d);
      break;
    }
    if (ret != Z_OK) {
      err = Fail(d, ERROR_READ_FAULT);
      break;
    }
  }
  *delivered = count - d->z.avail_out;
  if (!err && d->z.avail_out) err = ERROR_HANDLE_EOF;
  return err;
}

void ZlibDestroy(StreamDecoder* decoder) {
  auto* d = reinterpret_cast<ZlibDecoder*>(decoder);
  inflateEnd(&d->z);
  MemFree(d);
}

const StreamDecoderMethods kZlibMethods = {
    ZlibDestroy,  // destroy
    ZlibRead,     // read
};

}  // namespace

uint32_t ZlibDecoderCreate(const DecoderInput* input, StreamDecoder** decoder) {
  uint8_t header[2];
  uint32_t err = DecoderInputReadExact(input, header, 2);
  if (err) return err;
  if (!HeaderAccepted(header[0], header[1])) return ERROR_INVALID_DATA;

  auto* d = MemNew<ZlibDecoder>();
  d->base.methods = &kZlibMethods;
  d->base.input = *input;
  d->z.zalloc = CodecZlibAlloc;
  d->z.zfree = CodecZlibFree;
  d->adler = 1;
  if (inflateInit2(&d->z, -int((header[0] >> 4) + 8)) != Z_OK) {
    MemFree(d);
    return ERROR_OUTOFMEMORY;
  }
  *decoder = &d->base;
  return ERROR_SUCCESS;
}
