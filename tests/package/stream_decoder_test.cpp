// The decoders on their own, over an input in memory that hands out runs of a chosen size.
#include <gtest/gtest.h>

#include <cstring>

#include "package/package_format.h"
#include "package/stream_decoder.h"
#include "package/stream_encoder.h"
#include "runtime/errors.h"
#include "tests/package/package_test_support.h"

namespace {

struct MemoryInput {
  Bytes bytes;
  size_t position = 0;
  uint32_t run = 1u << 30;
  uint32_t error_at_end = 0;   // returned instead of "no bytes" at the end
  int asked_at_end = 0;        // how often the decoder asked for bytes that were not there

  DecoderInput Input() { return {Available, Consume, this}; }
  static uint32_t Available(void* context, const uint8_t** bytes, uint32_t* count) {
    auto* m = static_cast<MemoryInput*>(context);
    size_t left = m->bytes.size() - m->position;
    *count = uint32_t(left < m->run ? left : m->run);
    *bytes = m->bytes.data() + m->position;
    if (!left) {
      ++m->asked_at_end;
      return m->error_at_end;
    }
    return 0;
  }
  static void Consume(void* context, uint32_t count) { static_cast<MemoryInput*>(context)->position += count; }
};

// The method's stream as the first volume stores it: properties, then the compressed bytes.
Bytes Encode(uint32_t method, const Bytes& data) {
  Bytes out;
  StreamEncoderSettings settings = {method, 1, method == kPackageMethodZlib ? 0u : 1u << 16};
  StreamEncoderOutput output = {[](void* context, const uint8_t* bytes, uint32_t count) -> uint32_t {
                                  auto* o = static_cast<Bytes*>(context);
                                  o->insert(o->end(), bytes, bytes + count);
                                  return 0;
                                },
                                &out};
  StreamEncoder* encoder;
  EXPECT_EQ(StreamEncoderCreate(&settings, &output, &encoder), 0u);
  out.insert(out.begin(), encoder->properties, encoder->properties + encoder->properties_size);
  EXPECT_EQ(StreamEncoderWrite(encoder, data.data(), data.size()), 0u);
  EXPECT_EQ(StreamEncoderFinish(encoder), 0u);
  StreamEncoderDestroy(encoder);
  return out;
}

struct Decoder {
  StreamDecoder* decoder = nullptr;
  ~Decoder() { StreamDecoderDestroy(decoder); }
};

constexpr uint32_t kMethods[] = {kPackageMethodZlib, kPackageMethodLzma, kPackageMethodLzma2};

TEST(StreamDecoder, DecodesPiecewiseWhateverTheInputRuns) {
  Bytes data = TestData(150000, 7, true);
  Bytes tail = TestData(70000, 8, false);
  data.insert(data.end(), tail.begin(), tail.end());
  for (uint32_t method : kMethods) {
    for (uint32_t run : {1u, 7u, 4096u, 1u << 30}) {
      MemoryInput input;
      input.bytes = Encode(method, data);
      input.run = run;
      DecoderInput source = input.Input();
      Decoder d;
      ASSERT_EQ(StreamDecoderCreate(method, &source, &d.decoder), 0u);
      Bytes back(data.size());
      size_t done = 0;
      for (uint32_t piece : {1u, 64u, 1000u, 65536u, 100000u}) {
        if (done >= back.size()) break;
        uint32_t n = uint32_t(std::min<size_t>(piece, back.size() - done));
        uint32_t delivered;
        ASSERT_EQ(StreamDecoderRead(d.decoder, back.data() + done, n, &delivered), 0u);
        EXPECT_EQ(delivered, n);
        done += n;
      }
      uint32_t delivered;
      ASSERT_EQ(StreamDecoderRead(d.decoder, back.data() + done, uint32_t(back.size() - done), &delivered), 0u);
      EXPECT_TRUE(back == data) << std::hex << method << " run " << std::dec << run;
      // The stream's end is known without asking for input behind it (no next volume is sought).
      uint8_t more;
      EXPECT_EQ(StreamDecoderRead(d.decoder, &more, 1, &delivered), uint32_t(ERROR_HANDLE_EOF));
      EXPECT_EQ(delivered, 0u);
      EXPECT_EQ(input.asked_at_end, 0) << std::hex << method << " run " << std::dec << run;
    }
  }
}

TEST(StreamDecoder, ARequestBeyondTheStreamDeliversTheRestAnd38) {
  Bytes data = TestData(5000, 9, true);
  for (uint32_t method : kMethods) {
    MemoryInput input;
    input.bytes = Encode(method, data);
    DecoderInput source = input.Input();
    Decoder d;
    ASSERT_EQ(StreamDecoderCreate(method, &source, &d.decoder), 0u);
    Bytes back(8000);
    uint32_t delivered;
    EXPECT_EQ(StreamDecoderRead(d.decoder, back.data(), 8000, &delivered), uint32_t(ERROR_HANDLE_EOF));
    EXPECT_EQ(delivered, 5000u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
  }
}

TEST(StreamDecoder, ZlibHeadersThatAreRefused) {
  auto header = [](uint8_t cmf, uint8_t flg_without_check) {
    uint8_t flg = flg_without_check;
    flg = uint8_t(flg + (31 - (cmf * 256u + flg) % 31) % 31);
    return Bytes{cmf, flg, 0x03, 0x00};
  };
  struct Case {
    const char* name;
    Bytes bytes;
    uint32_t error;
  };
  Bytes bad_check = header(0x78, 0x00);
  bad_check[1] ^= 1;
  const Case kCases[] = {
      {"accepted", header(0x78, 0x00), 0},
      {"smallest window", header(0x08, 0x00), 0},
      {"preset dictionary", header(0x78, 0x20), ERROR_INVALID_DATA},
      {"fails the modulo-31 test", bad_check, ERROR_INVALID_DATA},
      {"method 7", header(0x77, 0x00), ERROR_INVALID_DATA},
      {"window above 32 KiB", header(0x88, 0x00), ERROR_INVALID_DATA},
      {"only one byte", Bytes{0x78}, ERROR_HANDLE_EOF},
  };
  for (const Case& c : kCases) {
    MemoryInput input;
    input.bytes = c.bytes;
    DecoderInput source = input.Input();
    Decoder d;
    EXPECT_EQ(StreamDecoderCreate(kPackageMethodZlib, &source, &d.decoder), c.error) << c.name;
    EXPECT_EQ(d.decoder == nullptr, c.error != 0) << c.name;
  }
}

TEST(StreamDecoder, PropertiesThatAreRefused) {
  struct Case {
    const char* name;
    uint32_t method;
    Bytes properties;
    uint32_t error;
  };
  const Case kCases[] = {
      {"LZMA lc+lp above 4", kPackageMethodLzma, {uint8_t((2 * 5 + 2) * 9 + 3), 0, 0, 1, 0}, ERROR_CALL_NOT_IMPLEMENTED},
      {"LZMA properties byte above 224", kPackageMethodLzma, {225, 0, 0, 1, 0}, ERROR_CALL_NOT_IMPLEMENTED},
      {"LZMA dictionary too large", kPackageMethodLzma, {93, 0, 0, 0, 0x40}, ERROR_CALL_NOT_IMPLEMENTED},
      {"LZMA2 dictionary property 41", kPackageMethodLzma2, {41}, ERROR_CALL_NOT_IMPLEMENTED},
      {"LZMA2 dictionary of 4 GiB", kPackageMethodLzma2, {40}, ERROR_CALL_NOT_IMPLEMENTED},
      {"LZMA properties cut short", kPackageMethodLzma, {93, 0, 0}, ERROR_HANDLE_EOF},
      {"unknown method", PackageMagic("kez5"), {}, ERROR_UNSUPPORTED_COMPRESSION},
  };
  for (const Case& c : kCases) {
    MemoryInput input;
    input.bytes = c.properties;
    DecoderInput source = input.Input();
    Decoder d;
    EXPECT_EQ(StreamDecoderCreate(c.method, &source, &d.decoder), c.error) << c.name;
    EXPECT_EQ(d.decoder, nullptr) << c.name;
  }
}

// Reads the whole of `data` from a damaged stream: the first error and what the decoder then says.
uint32_t ReadDamaged(uint32_t method, Bytes stream, size_t wanted, MemoryInput* input = nullptr) {
  MemoryInput local;
  MemoryInput* m = input ? input : &local;
  m->bytes = std::move(stream);
  DecoderInput source = m->Input();
  Decoder d;
  uint32_t err = StreamDecoderCreate(method, &source, &d.decoder);
  if (err) return err;
  Bytes back(wanted);
  uint32_t delivered;
  err = StreamDecoderRead(d.decoder, back.data(), uint32_t(wanted), &delivered);
  uint8_t byte;
  EXPECT_EQ(StreamDecoderRead(d.decoder, &byte, 1, &delivered), err) << "a failed decoder stays failed";
  return err;
}

TEST(StreamDecoder, DamagedStreams) {
  Bytes data = TestData(100000, 11, true);
  Bytes zlib = Encode(kPackageMethodZlib, data);
  Bytes lzma = Encode(kPackageMethodLzma, data);
  Bytes lzma2 = Encode(kPackageMethodLzma2, data);

  Bytes adler = zlib;
  adler.back() ^= 1;
  EXPECT_EQ(ReadDamaged(kPackageMethodZlib, adler, data.size()), uint32_t(ERROR_READ_FAULT)) << "Adler-32";
  Bytes deflate = zlib;
  deflate[2] = 0xFF;  // block type 3 does not exist
  EXPECT_EQ(ReadDamaged(kPackageMethodZlib, deflate, data.size()), uint32_t(ERROR_READ_FAULT));
  Bytes cut = zlib;
  cut.resize(cut.size() / 2);
  EXPECT_EQ(ReadDamaged(kPackageMethodZlib, cut, data.size()), uint32_t(ERROR_READ_FAULT)) << "zlib cut short";
  Bytes no_trailer = zlib;
  no_trailer.resize(no_trailer.size() - 2);
  EXPECT_EQ(ReadDamaged(kPackageMethodZlib, no_trailer, data.size()), uint32_t(ERROR_READ_FAULT)) << "half a trailer";

  Bytes range = lzma;
  range[5] = 0x80;  // the range coder's first byte must be 0
  EXPECT_EQ(ReadDamaged(kPackageMethodLzma, range, data.size()), uint32_t(ERROR_INVALID_DATA));
  Bytes control = lzma2;
  control[1] = 0x02;  // the first LZMA2 chunk must reset the dictionary
  EXPECT_EQ(ReadDamaged(kPackageMethodLzma2, control, data.size()), uint32_t(ERROR_INVALID_DATA));
  for (auto [method, stream] : {std::pair{kPackageMethodLzma, lzma}, std::pair{kPackageMethodLzma2, lzma2}}) {
    stream.resize(stream.size() / 2);
    EXPECT_EQ(ReadDamaged(method, stream, data.size()), uint32_t(ERROR_HANDLE_EOF)) << std::hex << method;
  }
}

TEST(StreamDecoder, InputErrorsArePassedOn) {
  Bytes data = TestData(100000, 12, false);
  for (uint32_t method : kMethods) {
    Bytes stream = Encode(method, data);
    stream.resize(stream.size() / 2);
    MemoryInput input;
    input.error_at_end = ERROR_CANCELLED;
    EXPECT_EQ(ReadDamaged(method, stream, data.size(), &input), uint32_t(ERROR_CANCELLED)) << std::hex << method;
  }
}

}  // namespace
