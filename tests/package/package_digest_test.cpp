#include <gtest/gtest.h>

#include <string>

#include "package/package_digest.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t k = 0; k < count; ++k) {
    text += kDigits[bytes[k] >> 4];
    text += kDigits[bytes[k] & 15];
  }
  return text;
}

std::string DigestOf(const std::string& message) {
  PackageDigest digest;
  PackageDigestInit(&digest);
  PackageDigestUpdate(&digest, message.data(), message.size());
  uint8_t out[16];
  PackageDigestFinal(&digest, out);
  return Hex(out, 16);
}

TEST(PackageDigest, KnownValues) {
  struct Case {
    std::string message;
    const char* digest;
  };
  const Case kCases[] = {
      {"", "a1b759b21e7ea462e81c223a5bad6650"},
      {"abc", "efb22be11336a0fde38f397d543f6e71"},
      // 55 bytes still fit one final block with the padding; 56 need a second one.
      {std::string(55, 'a'), "fd082f2a4637feb715b0d81b9ec8ed84"},
      {std::string(56, 'a'), "9d9f14cee64a0b64958c91a92f39a1be"},
      {std::string(64, 'a'), "a47f5e11ab707032b949c109b1a78ea8"},
      {std::string(1000, 'a'), "3f3c7f4f49b0c3615d00c09e7d4a4a6b"},
  };
  for (const Case& c : kCases) EXPECT_EQ(DigestOf(c.message), c.digest) << c.message.size() << " bytes";
}

TEST(PackageDigest, PiecesGiveTheSameDigestAsOneUpdate) {
  std::string message;
  for (int k = 0; k < 200; ++k) message += char('a' + k % 26);
  for (size_t length : {55u, 56u, 63u, 64u, 65u, 127u, 128u, 200u}) {
    std::string whole = DigestOf(message.substr(0, length));
    for (size_t split = 0; split <= length; split += 7) {
      PackageDigest digest;
      PackageDigestInit(&digest);
      PackageDigestUpdate(&digest, message.data(), split);
      for (size_t k = split; k < length; ++k) PackageDigestUpdate(&digest, message.data() + k, 1);
      uint8_t out[16];
      PackageDigestFinal(&digest, out);
      EXPECT_EQ(Hex(out, 16), whole) << length << " split at " << split;
    }
  }
}

}  // namespace
