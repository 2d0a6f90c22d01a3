// Writes the seed inputs of pe_version_fuzzer: small PE images with and without a version resource.
//   pe_version_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/package/fake_executable.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: pe_version_seeds FOLDER\n");
    return 2;
  }
  const FakeVersion version = {0x0001000200030004ULL, 0x0005000600070008ULL};
  const struct {
    const char* name;
    bool pe64;
    const FakeVersion* version;
  } kSeeds[] = {{"pe32-version.seed", false, &version}, {"pe64-version.seed", true, &version}, {"pe32-plain.seed", false, nullptr}};
  for (const auto& seed : kSeeds) {
    Bytes image = FakeExecutable(seed.pe64, seed.version, 0x800);
    std::ofstream(std::filesystem::path(argv[1]) / seed.name, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), image.size());
  }
  return 0;
}
