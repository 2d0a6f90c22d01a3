#include "runtime/os_version.h"

#include "runtime/text.h"

void OsVersionCorrect(OsVersionFields* v) {
  const char16_t* text = v->service_pack_text;
  if (v->platform_id == 1) {
    v->build &= 0xFFFF;
    if (v->service_pack_major == 0 && text[0] && text[1] >= u'A') v->service_pack_major = uint16_t(text[1] - 64);
    if (v->major == 4 && v->minor == 10 && v->build >= 3000) v->minor = 90;
  } else if (v->platform_id == 2 && v->service_pack_major == 0 && text[0] == u'S') {
    bool longEnough = true;
    for (int i = 1; i < 14 && longEnough; ++i) longEnough = text[i] != 0;
    if (longEnough && text[8] == u'P' && text[13] >= u'0' && text[13] <= u'9')
      v->service_pack_major = uint16_t(text[13] - u'0');
  }
}

namespace {

constexpr uint32_t kPlatformWindows9x = 1;
constexpr uint32_t kPlatformNt = 2;
constexpr uint8_t kProductWorkstation = 1;
constexpr uint8_t kProductDomainController = 2;
constexpr uint8_t kProductServer = 3;
constexpr uint16_t kSuitePersonal = 0x200;

uint32_t ServerEdition(uint16_t suite) {
  static const struct {
    uint16_t suite;
    uint32_t edition;
  } kServers[] = {{0x2, 10}, {0x80, 8}, {0x400, 17}, {0x4000, 18}, {0x2000, 21}, {0x4, 25}, {0x21, 9}};
  for (const auto& row : kServers)
    if (suite & row.suite) return row.edition;
  return 7;
}

}  // namespace

uint32_t OsEditionFromVersion(uint32_t platform, uint8_t* type, uint16_t suite, const char16_t* options) {
  if (platform == kPlatformWindows9x) return 2;
  if (platform != kPlatformNt) return 0;
  if (*type == 0) {
    const char16_t* text = options ? options : u"";
    // "LanmanNT" is a domain controller's value and "ServerNT" a server's (the system's own meaning
    // of the two texts).
    if (TextEqualNoCase(text, u"LANMANNT")) {
      *type = kProductDomainController;
      return 7;
    }
    if (TextEqualNoCase(text, u"SERVERNT")) {
      *type = kProductServer;
      return 10;
    }
    *type = kProductWorkstation;
    return 6;
  }
  if (*type == kProductWorkstation) return (suite & kSuitePersonal) ? 3 : 6;
  return ServerEdition(suite);
}

bool OsEditionIsServerCore(uint32_t edition) { return edition == 12 || edition == 13 || edition == 14 || edition == 29; }
