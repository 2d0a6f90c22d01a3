// The input format of the package reader fuzzer: one or more volume files, separated by
// kVolumeSeparator. The first is opened as "Setup.kez" (a stand-alone volume or an executable
// with a package), the others are "Disk0002.kez", "Disk0003.kez", ... beside it. Enciphered
// seeds use kFuzzPassword, which the fuzzer offers first.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

constexpr char kVolumeSeparator[] = "\n=KEZ-NEXT-VOLUME=\n";
constexpr size_t kVolumeSeparatorSize = sizeof kVolumeSeparator - 1;
constexpr char kFuzzPassword[] = "fuzz-password";

struct VolumeImage {
  const uint8_t* bytes;
  size_t size;
};

inline std::vector<VolumeImage> SplitVolumes(const uint8_t* data, size_t size) {
  std::vector<VolumeImage> volumes;
  size_t start = 0;
  for (size_t k = 0; k + kVolumeSeparatorSize <= size; ++k) {
    if (memcmp(data + k, kVolumeSeparator, kVolumeSeparatorSize) == 0) {
      volumes.push_back({data + start, k - start});
      start = k + kVolumeSeparatorSize;
      k = start - 1;
    }
  }
  volumes.push_back({data + start, size - start});
  return volumes;
}
