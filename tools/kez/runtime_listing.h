// What kez list shows of an executable besides its package: the texts and versions of its version
// resources and the sizes of its main icon (what the stamping of kez build wrote).
#pragma once

// Prints the version resources and the main icon of the executable at `path` (its part before an
// appended package) to stdout; nothing for a file that is no PE image or has no resources.
void RuntimeListing(const char* path);
