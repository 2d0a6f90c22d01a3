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

// The edition number of a system without GetProductInfo, from its version record: the 9x platform
// 2; NT workstations 3 (personal suite, 0x200) or 6; NT servers by suite: 0x2 → 10, 0x80 → 8,
// 0x400 → 17, 0x4000 → 18, 0x2000 → 21, 0x4 → 25, 0x1 or 0x20 → 9, otherwise 7; other platforms 0.
// An NT record without a product type (0) takes the registry's ProductOptions text
// `product_options`: "LANMANNT" → 7 and type 2 (domain controller), "SERVERNT" → 10 and type 3
// (server), anything else → 6 and type 1 (workstation); the type is written into `*product_type`.
uint32_t OsEditionFromVersion(uint32_t platform_id, uint8_t* product_type, uint16_t suite_mask,
                              const char16_t* product_options);

// Edition numbers of the server-core installations (the session's server flag).
bool OsEditionIsServerCore(uint32_t edition);
