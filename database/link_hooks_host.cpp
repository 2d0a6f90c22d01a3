// Hosts have no locale list and no 32-bit-on-64-bit mode: every language is accepted.
#include "database/database_link.h"

LinkHooks DatabasePlatformLinkHooks() { return LinkHooks{nullptr, false}; }
