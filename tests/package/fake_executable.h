// A minimal PE image for tests and fuzz seeds: DOS and PE headers, a 32-bit or 64-bit optional
// header with a checksum and a security-directory entry, and one resource section that holds a
// version resource when a version is given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct FakeVersion {
  uint64_t product;  // most significant 32 bits first
  uint64_t file;
};
// Padded with zeros to `size` bytes (at least 0x800).
Bytes FakeExecutable(bool pe64, const FakeVersion* version, size_t size);
constexpr uint32_t kFakeChecksum = 0x0001E2F1;
constexpr uint32_t kFakeSecurityOffset = 0x3000;
constexpr uint32_t kFakeSecuritySize = 0x200;
// Where the version block lies in the file, for tests that damage it.
constexpr uint32_t kFakeVersionBlockOffset = 0x458;
constexpr uint32_t kFakeVersionBlockSize = 92;
