// The operating-system version as the runtime records it, with the corrections that older
// systems need (9x build numbers and service packs, NT service packs given only as text).
#pragma once
#include <cstdint>

struct OsVersionFields {
  uint32_t platform_id;  // 1 the 9x platform, 2 NT
  uint32_t major;
  uint32_t minor;
  uint32_t build;
  uint16_t service_pack_major;
  char16_t service_pack_text[128];
};

// Applies the corrections in place:
// - 9x: the build is its low 16 bits; with service pack 0, a second service-pack character of "A"
//   or later gives service pack (character - 64); 4.10 with a build of 3000 or more becomes 4.90.
// - NT: with service pack 0 and a text "S???????P????N...", a digit N (the 14th character) is the
//   service pack.
void OsVersionCorrect(OsVersionFields* version);
