// The remembered package password: at most 63 bytes of ANSI text in a 64-byte buffer of the
// session that never holds the plain text; it is scrambled as soon as it is stored.
#pragma once
#include <cstdint>

#include "session/session_state.h"

// Converts `text` to the ANSI code page, cuts it to 63 bytes (never inside a character) and stores
// it scrambled. Local copies are wiped.
void SessionStorePassword(SessionState* session, const char16_t* text);

// Unscrambles the password into `plain` (kRememberedPasswordSize bytes) and returns its length. The
// caller wipes `plain` (WipeMemory) after use.
uint32_t SessionRevealPassword(const SessionState* session, uint8_t* plain);
