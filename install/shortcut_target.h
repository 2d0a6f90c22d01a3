// Whether a shortcut's target is an address or a path; the rule needs no shell.
#pragma once

// True when the target is an address: a colon at character position 2 or later (a scheme of two or
// more characters before it, "https:", "mailto:"). "C:\..." and a name without a colon are paths.
bool ShortcutTargetIsAddress(const char16_t* target);
