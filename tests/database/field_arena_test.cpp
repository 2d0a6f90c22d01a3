#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "database/field_arena.h"
#include "runtime/heap.h"

namespace {

class FieldArenaTest : public ::testing::Test {
 protected:
  void SetUp() override { arena_ = FieldArenaCreate(); }
  void TearDown() override { FieldArenaRelease(arena_); }
  uint8_t* Take(size_t size, size_t alignment = 1) {
    return static_cast<uint8_t*>(FieldArenaAllocate(arena_, size, alignment));
  }
  FieldArena* arena_ = nullptr;
};

}  // namespace

TEST_F(FieldArenaTest, HandsOutAlignedBlocksThatItRecognises) {
  std::vector<uint8_t*> blocks;
  for (size_t size : {1, 3, 8, 7, 30, 16, 5}) {
    for (size_t alignment : {1, 2, 4, 8}) {
      uint8_t* block = Take(size, alignment);
      EXPECT_EQ(uintptr_t(block) % alignment, 0u) << size << " " << alignment;
      memset(block, 0xA5, size);
      blocks.push_back(block);
    }
  }
  for (uint8_t* block : blocks) EXPECT_EQ(FieldArenaOf(block), arena_);
  int local = 0;
  void* heap = MemAlloc(16);
  EXPECT_EQ(FieldArenaOf(&local), nullptr);
  EXPECT_EQ(FieldArenaOf(heap), nullptr);
  FieldBlockFree(blocks[3]);  // arena memory: left alone
  FieldBlockFree(heap);       // a heap block: freed
  FieldBlockFree(nullptr);
}

TEST_F(FieldArenaTest, FillsManyBlocksAndForgetsThemWhenReleased) {
  std::vector<uint8_t*> blocks;
  for (int i = 0; i < 20000; ++i) {  // about 4 MiB: several arena blocks
    blocks.push_back(Take(200, 8));
    memset(blocks.back(), i & 0xFF, 200);
  }
  for (int i = 0; i < 20000; i += 997) {
    EXPECT_EQ(FieldArenaOf(blocks[i]), arena_);
    EXPECT_EQ(FieldArenaOf(blocks[i] + 199), arena_);
    EXPECT_EQ(blocks[i][100], uint8_t(i & 0xFF));
  }
  FieldArena* other = FieldArenaCreate();
  uint8_t* elsewhere = static_cast<uint8_t*>(FieldArenaAllocate(other, 64, 8));
  EXPECT_EQ(FieldArenaOf(elsewhere), other);
  FieldArenaRelease(arena_);
  arena_ = nullptr;
  EXPECT_EQ(FieldArenaOf(blocks[0]), nullptr);
  EXPECT_EQ(FieldArenaOf(elsewhere), other);
  FieldArenaRelease(other);
  EXPECT_EQ(FieldArenaOf(elsewhere), nullptr);
}

TEST_F(FieldArenaTest, TheLatestBlockResizesInPlaceOthersMove) {
  uint8_t* first = Take(10, 2);
  memcpy(first, "0123456789", 10);
  uint8_t* latest = Take(10, 2);
  memcpy(latest, "abcdefghij", 10);
  EXPECT_EQ(FieldArenaResize(arena_, latest, 10, 400, 2), latest);  // grows in place
  EXPECT_EQ(FieldArenaResize(arena_, latest, 400, 4, 2), latest);   // gives the room back...
  EXPECT_EQ(Take(2, 2), latest + 4);                                // ...to the next block
  auto* moved = static_cast<uint8_t*>(FieldArenaResize(arena_, first, 10, 20, 2));
  EXPECT_NE(moved, first);
  EXPECT_EQ(memcmp(moved, "0123456789", 10), 0);
  EXPECT_EQ(FieldArenaResize(arena_, moved, 20, 5, 2), moved);
  EXPECT_EQ(memcmp(latest, "abcd", 4), 0);
}

TEST_F(FieldArenaTest, ALargeRequestGetsABlockOfItsOwn) {
  uint8_t* before = Take(24, 8);
  uint8_t* large = Take(1 << 20, 8);
  memset(large, 1, 1 << 20);
  EXPECT_EQ(FieldArenaOf(large + (1 << 20) - 1), arena_);
  EXPECT_EQ(Take(8, 8), before + 24);  // the room after `before` is still used
  auto* grown = static_cast<uint8_t*>(FieldArenaResize(arena_, large, 1 << 20, 3 << 20, 8));
  EXPECT_EQ(grown[(1 << 20) - 1], 1);
  EXPECT_EQ(FieldArenaOf(grown + (3 << 20) - 1), arena_);
}

TEST(FieldArenaHeap, WithoutAnArenaBlocksAreZeroFilledHeapBlocks) {
  auto* block = static_cast<uint8_t*>(FieldArenaAllocate(nullptr, 16, 8));
  EXPECT_EQ(FieldArenaOf(block), nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], 0);
  memcpy(block, "heap block here", 16);
  block = static_cast<uint8_t*>(FieldArenaResize(nullptr, block, 16, 4096, 8));
  EXPECT_STREQ(reinterpret_cast<char*>(block), "heap block here");
  EXPECT_EQ(block[4095], 0);
  FieldBlockFree(block);
}
