// The two arguments that end a run at once: "/?" shows the usage message, "/help" opens the
// online help page.
#pragma once
#include <cstdint>

#include "session/command_line_switches.h"

constexpr char16_t kHelpAddress[] = u"https://docs.ostrel.example/setup/command-line";
constexpr uint32_t kDefaultMessageTimeoutMs = 300000;  // what variable 530 means while it is 0

// The switch actions of a real run: usage message box, shell-opened help page, the user's
// default language.
extern const SwitchActions kSystemSwitchActions;
