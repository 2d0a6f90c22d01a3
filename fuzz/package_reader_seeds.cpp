// Writes the seed inputs of package_reader_fuzzer: small packages of every method, plain and
// enciphered with the fuzzer's password, in one volume and in several, stand-alone and appended
// to an executable.
//   package_reader_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/package_fuzz_volumes.h"
#include "package/package_writer.h"
#include "tests/package/fake_executable.h"

namespace fs = std::filesystem;

namespace {

Bytes Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteEntries(PackageWriter* writer) {
  std::vector<uint8_t> text(3000), noise(20000);
  for (size_t k = 0; k < text.size(); ++k) text[k] = uint8_t("package entry "[k % 14]);
  uint32_t x = 1;
  for (auto& b : noise) b = uint8_t((x = x * 1103515245u + 12345u) >> 24);
  PackageEntryHeader header = {};
  header.attributes = 0x20;
  header.last_write_time = 0x01D9000000000000ULL;
  const std::vector<uint8_t>* data[] = {&text, nullptr, &noise};
  const uint64_t ids[] = {kEntryIdDatabase, 0x10, 0x20};
  for (int k = 0; k < 3; ++k) {
    header.id = ids[k];
    header.size = data[k] ? data[k]->size() : 0;
    if (PackageWriterAddMemory(writer, &header, data[k] ? data[k]->data() : nullptr)) return false;
  }
  return true;
}

bool WriteSeed(const fs::path& work, const fs::path& seed, uint32_t method, bool enciphered, bool volumes,
               bool executable) {
  fs::remove_all(work);
  fs::create_directories(work);
  PackageWriterOptions options = {};
  options.method = method;
  options.level = 1;
  options.dictionary_size = method == kPackageMethodZlib ? 0 : 1u << 16;
  options.set_identifier = 7;
  options.package_code[0] = 0x42;
  if (enciphered) {
    options.password = reinterpret_cast<const uint8_t*>(kFuzzPassword);
    options.password_length = sizeof kFuzzPassword - 1;
  }
  if (volumes) options.volume_limit = 6000;
  std::u16string stub = (work / "stub.exe").u16string();
  if (executable) {
    Bytes image = FakeExecutable(false, nullptr, 0x4000);
    std::ofstream(work / "stub.exe", std::ios::binary).write(reinterpret_cast<const char*>(image.data()), image.size());
    options.executable = stub.c_str();
  }
  PackageWriter* writer;
  if (PackageWriterCreate((work / "Setup.kez").u16string().c_str(), &options, &writer)) return false;
  uint32_t count = 0;
  if (PackageWriterFinish(writer, WriteEntries(writer) ? 0 : 1, &count)) return false;

  Bytes input = Slurp(work / "Setup.kez");
  for (uint32_t k = 1; k < count; ++k) {
    char name[32];
    snprintf(name, sizeof name, "Disk%04u.kez", k + 1);
    Bytes volume = Slurp(work / name);
    input.insert(input.end(), kVolumeSeparator, kVolumeSeparator + kVolumeSeparatorSize);
    input.insert(input.end(), volume.begin(), volume.end());
  }
  std::ofstream(seed, std::ios::binary).write(reinterpret_cast<const char*>(input.data()), input.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: package_reader_seeds FOLDER\n");
    return 2;
  }
  fs::path folder = argv[1];
  fs::path work = folder / ".work";
  const struct {
    uint32_t method;
    const char* name;
  } kMethods[] = {{kPackageMethodZlib, "zlib"}, {kPackageMethodLzma, "lzma"}, {kPackageMethodLzma2, "lzma2"}};
  int status = 0;
  for (auto method : kMethods) {
    for (int variant = 0; variant < 8; ++variant) {
      bool enciphered = variant & 1, volumes = variant & 2, executable = variant & 4;
      std::string name = std::string(method.name) + (enciphered ? "-enciphered" : "-plain") +
                         (volumes ? "-volumes" : "-single") + (executable ? "-exe" : "") + ".seed";
      if (!WriteSeed(work, folder / name, method.method, enciphered, volumes, executable)) {
        fprintf(stderr, "package_reader_seeds: %s failed\n", name.c_str());
        status = 1;
      }
    }
  }
  fs::remove_all(work);
  return status;
}
