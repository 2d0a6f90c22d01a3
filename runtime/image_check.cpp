#include "runtime/image_check.h"

#include "runtime/errors.h"

namespace {

constexpr size_t kNewHeaderOffsetField = 0x3C;  // e_lfanew
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSubsystemOffset = 68;  // in the optional header, the same for both magics

uint16_t Read16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Read32(const uint8_t* p) { return uint32_t(Read16(p)) | (uint32_t(Read16(p + 2)) << 16); }

}  // namespace

uint32_t ImageCheckHeaders(const uint8_t* image, size_t size, uint16_t expected_magic, ImageFacts* facts) {
  if (size < kNewHeaderOffsetField + 4 || Read16(image) != 0x5A4D) return ERROR_BAD_FORMAT;
  uint32_t offset = Read32(image + kNewHeaderOffsetField);
  size_t optional = size_t(offset) + 4 + kFileHeaderSize;
  if (offset > size || optional + kSubsystemOffset + 2 > size) return ERROR_BAD_FORMAT;
  if (Read32(image + offset) != 0x4550 || Read16(image + optional) != expected_magic) return ERROR_BAD_FORMAT;
  facts->headers_offset = offset;
  facts->subsystem_kind = Read16(image + optional + kSubsystemOffset) == 3 ? kSubsystemKindConsole : kSubsystemKindGui;
  return ERROR_SUCCESS;
}
