#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/buffered_file.h"
#include "runtime/errors.h"
#include "runtime/heap.h"

TEST(BufferedMemory, WritesThenReadsBackAcrossBufferBoundaries) {
  std::vector<uint8_t> data(10000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
  BufferedFile out{};
  BufferedCreateMemory(&out);
  ASSERT_EQ(BufferedWrite(&out, data.data(), 3000), 0u);
  ASSERT_EQ(BufferedWrite(&out, data.data() + 3000, 7000), 0u);
  size_t size;
  uint8_t* bytes = BufferedTakeMemory(&out, &size);
  EXPECT_EQ(BufferedClose(&out), 0u);
  ASSERT_EQ(size, data.size());

  BufferedFile in{};
  BufferedOpenMemory(&in, bytes, size);
  std::vector<uint8_t> back(size);
  EXPECT_EQ(BufferedReadExact(&in, back.data(), 5), 0u);
  EXPECT_EQ(BufferedReadExact(&in, back.data() + 5, uint32_t(size - 5)), 0u);
  EXPECT_EQ(back, data);
  uint8_t extra;
  EXPECT_EQ(BufferedReadExact(&in, &extra, 1), uint32_t(ERROR_HANDLE_EOF));
  BufferedClose(&in);
  MemFree(bytes);
}

TEST(BufferedMemory, HooksTransformEveryRun) {
  auto flip = [](void*, uint8_t* p, uint32_t n) -> uint32_t {
    for (uint32_t i = 0; i < n; ++i) p[i] ^= 0x5A;
    return 0;
  };
  BufferedFile out{};
  BufferedCreateMemory(&out);
  BufferedSetHooks(&out, nullptr, flip, nullptr);
  std::string text(5000, 'k');
  BufferedWrite(&out, text.data(), uint32_t(text.size()));
  size_t size;
  uint8_t* bytes = BufferedTakeMemory(&out, &size);
  BufferedClose(&out);
  EXPECT_EQ(bytes[0], 'k' ^ 0x5A);

  BufferedFile in{};
  BufferedOpenMemory(&in, bytes, size);
  BufferedSetHooks(&in, flip, nullptr, nullptr);
  std::string back(size, 0);
  EXPECT_EQ(BufferedReadExact(&in, back.data(), uint32_t(size)), 0u);
  EXPECT_EQ(back, text);
  BufferedClose(&in);
  MemFree(bytes);
}

TEST(BufferedMemory, FailingHookFailsTheFill) {
  uint8_t data[4] = {1, 2, 3, 4};
  BufferedFile in{};
  BufferedOpenMemory(&in, data, 4);
  BufferedSetHooks(&in, [](void*, uint8_t*, uint32_t) -> uint32_t { return 1; }, nullptr, nullptr);
  uint8_t byte;
  EXPECT_EQ(BufferedReadExact(&in, &byte, 1), uint32_t(ERROR_DECRYPTION_FAILED));
  BufferedClose(&in);
}

TEST(BufferedMemory, SeekDropsTheBuffer) {
  uint8_t data[100];
  for (int i = 0; i < 100; ++i) data[i] = uint8_t(i);
  BufferedFile in{};
  BufferedOpenMemory(&in, data, sizeof data);
  uint8_t b;
  BufferedReadExact(&in, &b, 1);
  EXPECT_EQ(BufferedSeek(&in, 64), 0u);
  EXPECT_EQ(BufferedTell(&in), 64u);
  BufferedReadExact(&in, &b, 1);
  EXPECT_EQ(b, 64);
  BufferedClose(&in);
}

TEST(BufferedDisk, MissingFileReportsTheSystemError) {
  BufferedFile in{};
  uint32_t err = BufferedOpenRead(&in, u"no-such-folder-4711/file.bin", 0);
  EXPECT_TRUE(err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) << err;
  EXPECT_FALSE(BufferedIsOpen(&in));
}
