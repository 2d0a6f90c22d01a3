// The output folder of a build, replaced as a whole: a build writes into a staging folder beside
// it ("OUT.kez-build"), and only a complete build takes the output folder's place, so the folder
// always holds one complete build and nothing of an earlier one.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

// The renames of a replacement, through a table that tests replace to make one fail.
struct OutputFolderCalls {
  void (*rename)(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& code);
};
OutputFolderCalls* OutputFolderSystem();

// The Windows error of a file-system failure.
uint32_t OutputFolderError(const std::error_code& code);

// True when `path` is the folder `folder` or lies inside it (compared as Windows does on Windows).
bool OutputFolderHolds(const std::filesystem::path& folder, const std::filesystem::path& path);

// Makes an empty staging folder "OUT.kez-build" beside `output`. Returns 0 or the error, with
// *message.
uint32_t OutputFolderStage(const std::filesystem::path& output, std::filesystem::path* staging, std::string* message);

// Puts the staging folder in the output folder's place: the old output folder, if any, is renamed
// "OUT.kez-old" (a stale one removed first), the staging folder takes the name OUT, and the old
// output is removed (what cannot be removed goes with the next build). When the second rename
// fails the old output folder gets its name back. Returns 0 or the error, with *message; the
// staging folder is left for the caller.
uint32_t OutputFolderReplace(const std::filesystem::path& staging, const std::filesystem::path& output,
                             std::string* message);
