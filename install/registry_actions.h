// a119 Installing registry settings and a120 Removing registry settings: the database's key items
// (regk) and value items (regv) applied by their effective modes, and their rollback, which puts
// back every value the action changed with its exact bytes and type.
#pragma once

// Registers the two method tables (after the class table is registered).
void RegistryActionsRegister();

// Extension-library events of the two actions.
enum : unsigned {
  kEventRegistryInstalling = 18,
  kEventRegistryInstalled = 19,
  kEventRegistryRemoving = 26,
  kEventRegistryRemoved = 27,
};
