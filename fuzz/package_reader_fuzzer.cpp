// Fuzzes the package reader over whole volume images in memory: classification, header tests,
// the integrity pass, the password procedure, the three decoders and the switch to further
// volumes, then the walk over the entries.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/package_fuzz_volumes.h"
#include "package/package_reader.h"
#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/text.h"

namespace {

constexpr uint64_t kDecodeBudget = 32u << 20;  // bytes decoded per input, so a run stays short
constexpr uint64_t kSkipAtOnce = 1u << 20;

struct Volumes {
  std::vector<VolumeImage> images;
};

// "…/Setup.kez" is image 0, "…/Disk%04u.kez" image %u - 1.
int ImageOf(const char16_t* path) {
  std::string name = TextToUtf8(path);
  name = name.substr(name.find_last_of("/\\") + 1);
  if (name == "Setup.kez") return 0;
  unsigned number;
  if (sscanf(name.c_str(), "Disk%4u.kez", &number) == 1 && number >= 2) return int(number - 1);
  return -1;
}

uint32_t OpenImage(void* context, const char16_t* path, BufferedFile* file) {
  const auto* volumes = static_cast<const Volumes*>(context);
  int k = ImageOf(path);
  if (k < 0 || size_t(k) >= volumes->images.size()) return ERROR_FILE_NOT_FOUND;
  BufferedOpenMemory(file, volumes->images[k].bytes, volumes->images[k].size);
  return ERROR_SUCCESS;
}

uint32_t ImageAttributes(void*, const char16_t*, uint32_t* attributes) {
  *attributes = kAttributeArchive;
  return ERROR_SUCCESS;
}

uint32_t Password(PackageReader*, uint32_t attempt, uint8_t* buffer, uint32_t* length) {
  const char* text = attempt == 0 ? kFuzzPassword : attempt == 1 ? "wrong" : nullptr;
  if (!text) return ERROR_INVALID_PASSWORD;
  *length = uint32_t(strlen(text));
  memcpy(buffer, text, *length);
  return ERROR_SUCCESS;
}

bool NextVolume(PackageReader* reader, uint32_t index, uint32_t last_error, char16_t* path) {
  if (last_error) return false;
  PackageVolumePathBeside(reader->path, index, path, path + kPackagePathCapacity - 1);
  return true;
}

void Walk(PackageReader* reader) {
  uint64_t budget = kDecodeBudget;
  PackageEntryHeader header;
  while (PackageNextEntry(reader, &header) == 0) {
    if (header.size <= kSkipAtOnce && header.size <= budget) {
      if (PackageSkipEntry(reader, &header)) return;
      budget -= header.size;
      continue;
    }
    // A large entry: read as far as the budget goes.
    static uint8_t piece[65536];
    for (uint64_t left = header.size; left; ) {
      uint32_t n = uint32_t(left < sizeof piece ? left : sizeof piece);
      if (n > budget || PackageReadData(reader, piece, n)) return;
      budget -= n;
      left -= n;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Volumes volumes{SplitVolumes(data, size)};
  PackageVolumeFiles files = {OpenImage, ImageAttributes, &volumes};
  PackageReader* reader = PackageReaderCreate();
  reader->files = &files;
  reader->password_provider = Password;
  reader->next_volume_provider = NextVolume;
  reader->verify_progress = [](uint32_t, void*, uint32_t, uint32_t) -> uint32_t { return 0; };
  for (uint32_t mode : {uint32_t(kVerifyAlways), 0u}) {
    if (PackageOpen(reader, u"fuzz/Setup.kez", nullptr, 0, mode, nullptr, nullptr) == 0) Walk(reader);
    PackageClose(reader);
  }
  PackageReaderDestroy(reader);
  return 0;
}
