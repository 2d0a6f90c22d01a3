// The encoders of the package stream, counterparts of the decoders, used by the package writer.
// An encoder takes the decoded stream in pieces and hands its compressed output, in runs of at
// most 64 KiB, to an output callback; its memory is bounded by the method's own state.
#pragma once
#include <cstddef>
#include <cstdint>

struct StreamEncoderOutput {
  uint32_t (*emit)(void* context, const uint8_t* bytes, uint32_t count);  // 0 or the error that stops encoding
  void* context;
};

struct StreamEncoder;
struct StreamEncoderMethods {
  void (*destroy)(StreamEncoder* encoder);
  uint32_t (*write)(StreamEncoder* encoder, const void* data, size_t count);
  // Ends the stream (zlib's Adler-32 trailer, the LZMA end marker, LZMA2's end byte).
  uint32_t (*finish)(StreamEncoder* encoder);
};

struct StreamEncoder {
  const StreamEncoderMethods* methods;
  StreamEncoderOutput output;
  uint8_t properties[5];      // what the first volume stores after its check pair
  uint32_t properties_size;   // 0 (zlib), 5 (LZMA), 1 (LZMA2)
};

struct StreamEncoderSettings {
  uint32_t method;           // kPackageMethod*
  uint32_t level;            // 0-9: zlib's level, or the LZMA preset
  uint32_t dictionary_size;  // LZMA, LZMA2: 0 for the preset's; at least 4096
};

// Returns 0; 618 for an unknown method; 87 for a level above 9 or a dictionary outside
// 4096 .. kMaxDictionarySize; 14 when the encoder's memory cannot be had.
uint32_t StreamEncoderCreate(const StreamEncoderSettings* settings, const StreamEncoderOutput* output,
                             StreamEncoder** encoder);
inline uint32_t StreamEncoderWrite(StreamEncoder* encoder, const void* data, size_t count) {
  return encoder->methods->write(encoder, data, count);
}
inline uint32_t StreamEncoderFinish(StreamEncoder* encoder) { return encoder->methods->finish(encoder); }
inline void StreamEncoderDestroy(StreamEncoder* encoder) {
  if (encoder) encoder->methods->destroy(encoder);
}
