// What the package commands of kez share: opening a package with the command line's password and
// the volumes of a set found by their names, and error messages with the Windows error number.
#pragma once
#include <cstdint>
#include <string>

#include "package/package_reader.h"

struct PackageArguments {
  const char* path = nullptr;
  const char* folder = nullptr;    // extract: where the entries go
  const char* password = nullptr;  // --password
};

// Parses FILE [DIR] [--password P]; `with_folder` asks for DIR. False on a usage error.
bool ParsePackageArguments(int argc, char** argv, bool with_folder, PackageArguments* arguments);

// Opens the package (verifying every volume's digest). Later volumes are taken from
// "Disk%04u.kez" beside the previous one; `on_volume` is told of every volume opened.
uint32_t OpenPackage(PackageReader* reader, const PackageArguments& arguments, PackageVolumeOpened on_volume);

// Prints "kez: WHAT: error N (text)" to stderr and returns the exit code 1.
int ReportError(const std::string& what, uint32_t error);
