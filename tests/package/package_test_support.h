// Fixtures of the package tests: a temporary folder, whole-file helpers, test data, a minimal PE
// executable (optionally with a version resource) and packages built with the writer.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "package/package_format.h"
#include "package/package_writer.h"
#include "tests/package/fake_executable.h"

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::u16string Path(const std::string& name) const;
  const std::filesystem::path& Root() const { return root_; }

 private:
  std::filesystem::path root_;
};

Bytes ReadBytes(const std::u16string& path);
void WriteBytes(const std::u16string& path, const Bytes& bytes);
bool Exists(const std::u16string& path);

// `size` bytes: incompressible (a pseudo-random sequence from `seed`) or compressible text.
Bytes TestData(size_t size, uint32_t seed, bool compressible);

// Changes the byte at `offset` of the file (XOR `mask`) and, when `redigest`, stores the digest
// that the volume at `volume_offset` now has, so that only the change itself is tested.
void DamageByte(const std::u16string& path, uint64_t offset, uint8_t mask);
void RewriteDigest(const std::u16string& path, uint64_t volume_offset);
// Writes a header field of the volume at `volume_offset` and rewrites the digest.
void PatchVolumeU32(const std::u16string& path, uint64_t volume_offset, uint32_t field_offset, uint32_t value);

struct TestEntry {
  PackageEntryHeader header;
  Bytes data;
};
TestEntry MakeEntry(uint64_t id, Bytes data, uint32_t attributes = 0x20);

// Options for a small, quick package of `method`.
PackageWriterOptions TestOptions(uint32_t method);
// Writes `entries` as a package; returns the writer's error.
uint32_t WritePackage(const std::u16string& path, const PackageWriterOptions& options,
                      const std::vector<TestEntry>& entries, uint32_t* volumes = nullptr);
