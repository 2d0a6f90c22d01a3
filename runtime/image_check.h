// Checks of the executable's own image headers at start-up: the "MZ" header, the PE signature
// and the optional-header magic of the build (0x10B for 32-bit, 0x20B for 64-bit images).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr uint16_t kImageMagic32 = 0x10B;
constexpr uint16_t kImageMagic64 = 0x20B;
constexpr uint16_t kImageMagicOfThisBuild = sizeof(void*) == 8 ? kImageMagic64 : kImageMagic32;

enum : uint32_t { kSubsystemKindConsole = 1, kSubsystemKindGui = 2 };

struct ImageFacts {
  uint32_t headers_offset;  // offset of the PE signature
  uint32_t subsystem_kind;  // kSubsystemKind*
};

// `image` holds the first `size` bytes of the image. Returns 0 and fills `facts`, or 11
// (ERROR_BAD_FORMAT) when a header is missing, out of range or of another kind.
uint32_t ImageCheckHeaders(const uint8_t* image, size_t size, uint16_t expected_magic, ImageFacts* facts);
