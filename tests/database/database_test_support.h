// Helpers shared by the database tests.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "runtime/heap.h"

inline uint32_t Tag(const char* name) {
  uint32_t tag;
  memcpy(&tag, name, 4);
  return tag;
}

using Bytes = std::vector<uint8_t>;

// The bytes written to a memory stream, which is closed.
inline Bytes WrittenBytes(BufferedFile* out) {
  size_t size = 0;
  uint8_t* data = BufferedTakeMemory(out, &size);
  BufferedClose(out);
  Bytes bytes(data, data + size);
  MemFree(data);
  return bytes;
}

inline Bytes SaveBytes(ObjectTable* table, uint64_t save_time = 0x01D0000000000000ull) {
  uint8_t* data = nullptr;
  size_t size = 0;
  EXPECT_EQ(BuilderSaveToMemory(table, save_time, &data, &size), 0u);
  Bytes bytes(data, data + size);
  MemFree(data);
  return bytes;
}

inline uint32_t ReadBytes(const Bytes& bytes, ObjectTable** table, uint32_t seed = 0) {
  BufferedFile stream{};
  BufferedOpenMemory(&stream, bytes.data(), bytes.size());
  uint32_t err = DatabaseRead(&stream, seed, table);
  BufferedClose(&stream);
  return err;
}

// The header of an empty database, then whatever the caller appends.
inline Bytes HeaderBytes() {
  Bytes bytes(kDatabaseHeaderSize, 0);
  const uint32_t fixed[2] = {kDatabaseMagic, kDatabaseVersion};
  memcpy(bytes.data(), fixed, sizeof fixed);
  return bytes;
}

inline void AppendU32(Bytes* bytes, uint32_t value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  bytes->insert(bytes->end(), p, p + 4);
}
inline void AppendRecord(Bytes* bytes, const char* tag, uint32_t flags, uint64_t id) {
  AppendU32(bytes, Tag(tag));
  AppendU32(bytes, flags);
  AppendU32(bytes, uint32_t(id));
  AppendU32(bytes, uint32_t(id >> 32));
}
inline void AppendEnd(Bytes* bytes) { AppendRecord(bytes, "EoF!", 0, 0); }

class DatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ClassRegistryRegisterSetupClasses(); }
};
