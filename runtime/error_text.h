// The text of a Windows error code: from the system's message table, then from the tables of
// netmsg.dll, wininet.dll and mscoree.dll when the process has already loaded them (they are never
// loaded for this), else "(no details available)". Trailing white space (the system's line break)
// is removed. The thread's last-error value is the same afterwards.
#pragma once
#include <cstdint>

constexpr char16_t kNoErrorDetails[] = u"(no details available)";

// Writes the text into [start, end]; returns the pointer to the terminating NUL.
char16_t* ErrorText(uint32_t code, char16_t* start, char16_t* end);
// The text in the calling thread's error-text buffer (1,031 characters), valid until the thread's
// next call.
const char16_t* ErrorTextOfThread(uint32_t code);
