// The decoders of the package stream: one StreamDecoder per method, with two operations, destroy
// and read. A decoder pulls its compressed input from a DecoderInput (the package reader, which
// moves on to the next volume when one is used up), so it never sees volume boundaries. Nothing is
// decoded ahead of what read asks for.
#pragma once
#include <cstdint>

struct DecoderInput {
  // The next run of compressed bytes, without consuming them; *count is 0 when the input has
  // ended. Returns 0 or the error that stopped the input (which the decoders pass on).
  uint32_t (*available)(void* context, const uint8_t** bytes, uint32_t* count);
  // Consumes `count` bytes of the run last returned by available.
  void (*consume)(void* context, uint32_t count);
  void* context;
};

struct StreamDecoder;
struct StreamDecoderMethods {
  void (*destroy)(StreamDecoder* decoder);
  // Fills `buffer` with `count` decoded bytes and reports how many it delivered (also on error).
  // Returns 0 when all were delivered; 38 when the stream ended first; another error when the
  // stream is damaged or its input failed. After an error the decoder stays failed.
  uint32_t (*read)(StreamDecoder* decoder, void* buffer, uint32_t count, uint32_t* delivered);
};

struct StreamDecoder {
  const StreamDecoderMethods* methods;
  DecoderInput input;
};

// The largest LZMA or LZMA2 dictionary the reader accepts: a stream asking for more has no decoder.
constexpr uint32_t kMaxDictionarySize = 512u << 20;

// Creates the decoder of a method magic (kPackageMethod*), reading what the method keeps in front
// of its data from the input: the zlib header (tested at once), the 5 LZMA property bytes or the
// 1 LZMA2 property byte. Returns 0, or the reason there is no decoder (618 for an unknown method;
// 13 for a refused zlib header; 120 for unsupported LZMA properties or too large a dictionary;
// 14 when memory runs out; an input error, 38 when the input ends first).
uint32_t StreamDecoderCreate(uint32_t method, const DecoderInput* input, StreamDecoder** decoder);

inline uint32_t StreamDecoderRead(StreamDecoder* decoder, void* buffer, uint32_t count, uint32_t* delivered) {
  return decoder->methods->read(decoder, buffer, count, delivered);
}
// Frees the decoder's state and buffers; null is accepted.
inline void StreamDecoderDestroy(StreamDecoder* decoder) {
  if (decoder) decoder->methods->destroy(decoder);
}

// Implementation helpers shared by the decoders.
uint32_t ZlibDecoderCreate(const DecoderInput* input, StreamDecoder** decoder);
uint32_t LzmaDecoderCreate(uint32_t method, const DecoderInput* input, StreamDecoder** decoder);
// Reads exactly `count` bytes from the input; 38 when it ends first.
uint32_t DecoderInputReadExact(const DecoderInput* input, uint8_t* out, uint32_t count);
