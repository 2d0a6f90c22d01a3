#include "session/session_password.h"

#include <cstring>

#include "runtime/platform.h"
#include "runtime/scramble.h"
#include "runtime/text.h"

void SessionStorePassword(SessionState* session, const char16_t* text) {
  uint8_t plain[kRememberedPasswordSize] = {};
  uint32_t used = 0;
  for (const char16_t* c = text; *c;) {
    uint32_t units = (c[0] >= 0xD800 && c[0] < 0xDC00 && c[1] >= 0xDC00 && c[1] < 0xE000) ? 2 : 1;
    char bytes[8];
    uint32_t count = PlatformTextToAnsi(c, units, bytes, sizeof bytes);
    if (used + count > kRememberedPasswordSize - 1) break;
    memcpy(plain + used, bytes, count);
    WipeMemory(bytes, sizeof bytes);
    used += count;
    c += units;
  }
  memcpy(session->password, plain, kRememberedPasswordSize);
  WipeMemory(plain, sizeof plain);
  Scramble(session->password, kRememberedPasswordSize, session->password_seed);
}

uint32_t SessionRevealPassword(const SessionState* session, uint8_t* plain) {
  memcpy(plain, session->password, kRememberedPasswordSize);
  Unscramble(plain, kRememberedPasswordSize, session->password_seed);
  plain[kRememberedPasswordSize - 1] = 0;
  return uint32_t(strlen(reinterpret_cast<const char*>(plain)));
}
