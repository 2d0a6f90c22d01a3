#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package/package_cipher.h"
#include "runtime/heap.h"

namespace {

// Standard RC4, which resets j to 0 after the key schedule; `schedule_j` receives the j that the
// schedule ended with.
std::vector<uint8_t> Rc4Keystream(const std::string& key, size_t count, uint8_t* schedule_j) {
  uint8_t s[256];
  for (int k = 0; k < 256; ++k) s[k] = uint8_t(k);
  uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = uint8_t(j + s[i] + uint8_t(key[i % key.size()]));
    std::swap(s[i], s[j]);
  }
  *schedule_j = j;
  std::vector<uint8_t> out(count);
  uint8_t i = 0;
  j = 0;
  for (size_t k = 0; k < count; ++k) {
    i = uint8_t(i + 1);
    j = uint8_t(j + s[i]);
    std::swap(s[i], s[j]);
    out[k] = s[uint8_t(s[i] + s[j])];
  }
  return out;
}

std::vector<uint8_t> PackageKeystream(const std::string& key, size_t count) {
  PackageCipher cipher;
  PackageCipherKey(&cipher, reinterpret_cast<const uint8_t*>(key.data()), uint32_t(key.size()));
  std::vector<uint8_t> out(count, 0);
  PackageCipherApply(&cipher, out.data(), uint32_t(count));
  return out;
}

TEST(PackageCipher, ReferenceRc4MatchesItsPublishedVector) {
  uint8_t j;
  std::vector<uint8_t> stream = Rc4Keystream("Key", 9, &j);
  const std::string plain = "Plaintext";
  const uint8_t expected[] = {0xBB, 0xF3, 0x16, 0xE8, 0xD9, 0x40, 0xAF, 0x0A, 0xD3};
  for (size_t k = 0; k < plain.size(); ++k) EXPECT_EQ(uint8_t(plain[k] ^ stream[k]), expected[k]);
}

TEST(PackageCipher, KeepsTheScheduleJAndSoDiffersFromRc4) {
  int differing = 0, equal = 0;
  for (int n = 0; n < 2000 && (differing < 20 || equal < 1); ++n) {
    std::string key = "key" + std::to_string(n);
    uint8_t j;
    std::vector<uint8_t> rc4 = Rc4Keystream(key, 256, &j);
    std::vector<uint8_t> ours = PackageKeystream(key, 256);
    if (j == 0) {
      EXPECT_EQ(ours, rc4) << key;  // the only keys for which both agree
      ++equal;
    } else {
      EXPECT_NE(ours, rc4) << key;
      differing += ours[0] != rc4[0];
    }
  }
  EXPECT_GE(equal, 1);
  EXPECT_GE(differing, 20);
}

TEST(PackageCipher, EncipheringTwiceRestoresTheBytes) {
  std::vector<uint8_t> data(1000);
  for (size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(k * 31);
  std::vector<uint8_t> copy = data;
  PackageCipher a, b;
  const uint8_t key[] = {1, 2, 3};
  PackageCipherKey(&a, key, 3);
  PackageCipherKey(&b, key, 3);
  PackageCipherApply(&a, copy.data(), 400);
  PackageCipherApply(&a, copy.data() + 400, 600);  // the keystream runs on across calls
  EXPECT_NE(copy, data);
  PackageCipherApply(&b, copy.data(), 1000);
  EXPECT_EQ(copy, data);
}

// A stream whose first 64 bytes are plain and the rest enciphered, like a volume: the reader reads
// the plain part, attaches the key, deciphers what is already buffered, and reads on.
TEST(PackageCipher, AttachedToABufferedFile) {
  std::vector<uint8_t> plain(20000);
  for (size_t k = 0; k < plain.size(); ++k) plain[k] = uint8_t(k % 251);
  const uint8_t key[] = "secret";

  BufferedFile out{};
  BufferedCreateMemory(&out);
  BufferedWrite(&out, plain.data(), 64);
  BufferedFlush(&out);
  ASSERT_EQ(PackageCipherAttach(&out, key, 6), 0u);
  BufferedWrite(&out, plain.data() + 64, uint32_t(plain.size() - 64));
  BufferedFlush(&out);
  PackageCipherDetach(&out);
  size_t size;
  uint8_t* stored = BufferedTakeMemory(&out, &size);
  BufferedClose(&out);
  ASSERT_EQ(size, plain.size());
  EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 64, stored));
  EXPECT_FALSE(std::equal(plain.begin() + 64, plain.end(), stored + 64));

  BufferedFile in{};
  BufferedOpenMemory(&in, stored, size);
  std::vector<uint8_t> back(size);
  ASSERT_EQ(BufferedReadExact(&in, back.data(), 64), 0u);
  ASSERT_EQ(PackageCipherAttach(&in, key, 6), 0u);
  PackageCipherApplyNow(&in);
  ASSERT_EQ(BufferedReadExact(&in, back.data() + 64, uint32_t(size - 64)), 0u);
  EXPECT_EQ(back, plain);
  PackageCipherDetach(&in);
  EXPECT_EQ(in.fill_hook, nullptr);
  BufferedClose(&in);
  MemFree(stored);
}

TEST(PackageCipher, DetachLeavesOtherHooksAndRefusesEmptyKeys) {
  BufferedFile file{};
  BufferedCreateMemory(&file);
  BufferHook other = [](void*, uint8_t*, uint32_t) -> uint32_t { return 0; };
  BufferedSetHooks(&file, other, other, nullptr);
  PackageCipherDetach(&file);
  EXPECT_EQ(file.fill_hook, other);
  EXPECT_EQ(PackageCipherAttach(&file, nullptr, 0), 87u);
  BufferedClose(&file);
}

}  // namespace
