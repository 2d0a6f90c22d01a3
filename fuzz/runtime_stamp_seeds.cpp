// Writes the seed inputs of runtime_stamp_fuzzer: small runtimes of the layouts the stamping treats
// differently (32 and 64 bits, resources in place, before a data section, inside another section,
// none, debug sections with COFF symbols, a certificate) and an icon file.
//   runtime_stamp_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/tools/pe_fixture.h"

namespace {

void Write(const char* folder, const char* name, const Bytes& bytes) {
  std::ofstream(std::filesystem::path(folder) / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: runtime_stamp_seeds FOLDER\n");
    return 2;
  }
  std::vector<Resource> resources = FixtureIconGroup(1, 0, 1, {{16, 0xFF000000}});
  resources.push_back(FixtureVersion(0, {{u"ProductName", u"Runtime"}}, 0x0001000000000000ULL));
  resources.push_back({{u"NAMED", 0}, {u"", 5}, {u"", 0x409}, 0, Bytes(24, 7)});
  FixtureImage runtime = FixtureRuntime(resources);
  const FixtureSection text = {".text", kFixtureCode, 0x200}, data = {".data", kFixtureData, 0x200},
                       rsrc = {".rsrc", kFixtureReadOnly, 0, FixtureRole::kResources},
                       reloc = {".reloc", kFixtureDiscardable, 0, FixtureRole::kRelocations};
  runtime.sections = {text, data, rsrc, reloc};
  Write(argv[1], "pe32-runtime.seed", FixtureBuild(runtime));
  FixtureImage debug = runtime;
  debug.pe64 = true;
  debug.symbols = true;
  debug.sections.push_back({".debug_info", kFixtureDiscardable, 0x300});
  debug.certificate_size = 0x40;
  Write(argv[1], "pe64-debug-signed.seed", FixtureBuild(debug));
  FixtureImage fixed = runtime;
  fixed.sections = {text, rsrc, data, reloc};
  Write(argv[1], "pe32-resources-before-data.seed", FixtureBuild(fixed));
  FixtureImage inside = runtime;
  inside.resource_start = 0x40;
  Write(argv[1], "pe32-resources-inside.seed", FixtureBuild(inside));
  FixtureImage none = runtime;
  none.sections = {text, data, reloc};
  Write(argv[1], "pe32-no-resources.seed", FixtureBuild(none));
  Write(argv[1], "icon.seed", FixtureIconWithPng({{16, 0xFF102030}, {32, 0xFF405060}}, 64));
  return 0;
}
