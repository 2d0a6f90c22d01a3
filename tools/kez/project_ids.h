// Ids and package codes that the package builder derives from a project, so that the same project
// always gives the same database and packages.
#pragma once
#include <cstdint>
#include <string>

// The id of an object known by its symbolic name: 0x4000000000000000 | (FNV-1a-64 of the name's
// UTF-8 bytes & 0x3FFFFFFFFFFFFFFF). Bit 63 clear and bit 62 set keep it away from the reserved
// entry ids (upper 48 bits all set) and from the small fixed ids of built-in variables.
uint64_t ProjectIdFromName(const std::string& name);

// A package code (16 bytes, Windows GUID layout) from the project's text: bytes 0-7 are the FNV-1a-64
// of the text, bytes 8-15 the FNV-1a-64 of the text with the offset basis complemented; then the GUID
// is marked as version 8 (custom) of the RFC 4122 variant.
void ProjectPackageCode(const std::string& text, uint8_t code[16]);
