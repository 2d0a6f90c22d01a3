// Where an installed product's run finds its package: a run from the product's saved database
// (Setup.dat) carries no package, so the files that a repair must write again come from the
// package folder the installation used.
#pragma once

struct ObjectTable;
struct SessionState;

// For a run without a package of its own and without z:, the package folder becomes the value
// "KezPath" under the product's registry key (variable 411; the 64-bit view when the installation
// record's flag 0x1000 is set), else the package folder the saved database keeps (variable 524).
// Traces I1197 (product, key, error) when the key cannot be opened, I1198 (product, key, folder,
// result) when it can, I1196 (the folder taken).
void PackageLocationFind(SessionState* session, ObjectTable* database);
