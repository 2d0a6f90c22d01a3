#include "runtime/os_version.h"

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
