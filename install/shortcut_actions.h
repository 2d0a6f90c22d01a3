// a117 Creating shortcuts and a118 Removing shortcuts: the database's shortcut items (shct) made or
// removed by their effective modes, with "._rb" copies of the shortcut files found before, so that a
// rollback puts them back and a commit deletes them.
#pragma once

// Registers the two method tables (after the class table is registered).
void ShortcutActionsRegister();

// Extension-library events of the two actions.
enum : unsigned {
  kEventShortcutsCreating = 16,
  kEventShortcutsCreated = 17,
  kEventShortcutsRemoving = 24,
  kEventShortcutsRemoved = 25,
};
