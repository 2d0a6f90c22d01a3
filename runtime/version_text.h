// Four-part versions "major.minor.build.revision". A version is packed into 64 bits: the high
// 32-bit word holds major (upper 16 bits) and minor, the low word build and revision, so packed
// versions compare as unsigned numbers.
#pragma once
#include <cstdint>

constexpr uint64_t VersionPack(uint32_t major, uint32_t minor, uint32_t build, uint32_t revision) {
  return (uint64_t(major & 0xFFFF) << 48) | (uint64_t(minor & 0xFFFF) << 32) | (uint64_t(build & 0xFFFF) << 16) |
         uint64_t(revision & 0xFFFF);
}

// "%u.%u.%u.%u" from the four numbers, most significant first.
char16_t* VersionText(char16_t* start, char16_t* end, uint64_t version);
// The same from the two 32-bit words of a version resource's fixed part.
inline char16_t* VersionTextWords(char16_t* start, char16_t* end, uint32_t high, uint32_t low) {
  return VersionText(start, end, (uint64_t(high) << 32) | low);
}

// Reads up to four decimal numbers separated by "." or ",", blanks skipped around them; stops at
// the first character that is neither a separator nor part of a number. Missing numbers are 0 and
// each number is taken modulo 65536. `*stop` (optional) receives where reading stopped.
uint64_t VersionParse(const char16_t* text, const char16_t** stop = nullptr);
// The strict variant: only "." separates, and no blanks are skipped after a number.
uint64_t VersionParseStrict(const char16_t* text, const char16_t** stop = nullptr);

// Whether the text starts (after blanks) with two or more decimal digit groups joined by ".",
// the mark of a version rather than a number.
bool VersionTextLooksLike(const char16_t* text);
