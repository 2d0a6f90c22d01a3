// The password prompt (template 3): asks for the password of an enciphered package volume.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

constexpr size_t kPasswordPromptCapacity = 64;  // at most 63 characters are read

struct PasswordPromptOptions {
  bool incorrect;  // "Incorrect password. Please try again." instead of "... requires a password."
  bool masked;     // the edit field shows "*" for what is typed
};

// Shows the prompt modally over `owner` (null: the default owner), captioned with the session's
// title. On OK `typed` (kPasswordPromptCapacity characters) holds the text and the result is
// ERROR_SUCCESS; Cancel gives ERROR_CANCELLED, a dialog that cannot be created
// ERROR_INVALID_PASSWORD. The caller wipes `typed` after use.
uint32_t PasswordPromptShow(HWND owner, const PasswordPromptOptions& options, char16_t* typed);
