// The switches and verbs of the command line. An argument is a switch when it begins with "/" or
// "-"; the next character (ASCII case folded) selects it and the rest is its value:
//
//   ?        usage message, the run ends          q[N]    quiet level (1 without N)
//   a[N]     value A (5 without N)                s:TEXT  source folder
//   bN       restart mode (0 without N)           u[N]    keep-flag (1 without N)
//   cN       verification option                  z:TEXT  package folder
//   d:PATH   database or package path             l:N     language request (base by prefix; a
//   eN       error-abort mask, only when a digit          primary language of 0 takes the user's
//            follows; N != 0 adds bit 31                  default language); l, l0, l1: no effect
//   f        force (mask 0)                       log:PATH end-of-run log path
//   p:TEXT   password (ANSI, 63 bytes, scrambled)
//
// Numbers of a, b, c, q, u are signed decimal, those of e and l: take their base from the prefix;
// a bad number reads as 0. Other letters are verbs, compared whole ignoring ASCII case: install
// (first seven letters; "install:FOLDER" with the colon eighth), remove, register, repair, resume,
// and help (opens the online help, the run ends). Anything else is ignored.
#pragma once
#include <cstdint>

#include "session/session_state.h"

// What parsing needs from the system (tests give their own).
struct SwitchActions {
  void (*show_usage)(SessionState* session);   // "/?"
  void (*open_help)(SessionState* session);    // "/help"
  uint16_t (*user_default_language)();
};

enum : int { kParseEndRun = 0, kParseContinue = 1 };

// Parses session->arguments left to right into the session (a later switch overrides an earlier
// one). Returns kParseEndRun after "/?" or "/help" (the run ends with exit code 9), else
// kParseContinue. Password arguments are overwritten with "/p:*HIDDEN*" once stored.
int CommandLineParseSwitches(SessionState* session, const SwitchActions* actions);
