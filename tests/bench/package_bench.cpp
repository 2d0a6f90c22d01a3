// Package reading speed and memory, side by side with plain decoding of the same stream.
//   package_bench [MIB] [FOLDER]
// For zlib, LZMA and LZMA2, with incompressible and with compressible data (MIB mebibytes decoded,
// 64 by default), it writes a package in FOLDER (the temporary folder by default) and prints: the
// reader's decoded MB/s without and with the digest check, liblzma's or zlib's own decoding of the
// same raw stream from memory, and the reader's peak memory (each reader run is a process of its
// own, measured by its peak resident size). Each speed is the best of five runs. Finally the digest's MB/s.
// Not run by CTest.
#include <sys/wait.h>
#include <unistd.h>

#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "package/package_digest.h"
#include "package/package_reader.h"
#include "package/package_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
constexpr uint32_t kDictionary = 8u << 20;
constexpr size_t kPiece = 1u << 20;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Fills `piece` with the next bytes of the test data: random bytes, or text from a small
// vocabulary that compresses about 3 to 4 times.
void NextPiece(Bytes& piece, bool compressible, uint64_t* state) {
  static const char* kWords[] = {"setup ", "package ", "volume ", "entry ", "header ", "stream ", "digest ",
                                 "cipher ", "archive ", "install ", "folder ", "registry ", "\r\n", "file ", "0x1F ", "KezPath "};
  uint64_t x = *state;
  for (size_t k = 0; k < piece.size();) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    if (!compressible) {
      for (int b = 0; b < 8 && k < piece.size(); ++b) piece[k++] = uint8_t(x >> (8 * b));
      continue;
    }
    const char* word = kWords[x & 15];
    for (const char* c = word; *c && k < piece.size(); ++c) piece[k++] = uint8_t(*c);
  }
  *state = x;
}

bool WritePackage(const std::u16string& path, uint32_t method, bool compressible, uint64_t size) {
  PackageWriterOptions options = {};
  options.method = method;
  options.level = method == kPackageMethodZlib ? 6 : 2;
  options.dictionary_size = method == kPackageMethodZlib ? 0 : kDictionary;
  PackageWriter* writer;
  if (PackageWriterCreate(path.c_str(), &options, &writer)) return false;
  PackageEntryHeader header = {};
  header.id = 1;
  header.size = size;
  uint32_t err = PackageWriterBeginEntry(writer, &header);
  Bytes piece(kPiece);
  uint64_t state = 88172645463325252ULL;
  for (uint64_t left = size; left && !err; left -= piece.size()) {
    piece.resize(size_t(left < kPiece ? left : kPiece));
    NextPiece(piece, compressible, &state);
    err = PackageWriterWriteData(writer, piece.data(), piece.size());
  }
  return PackageWriterFinish(writer, err, nullptr) == 0;
}

// The process's peak resident memory (VmHWM): that of its own image, unlike getrusage's maxrss,
// which also counts the parent's pages that a forked child had before it ran exec.
long PeakKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, 6, "VmHWM:") == 0) return atol(line.c_str() + 6);
  return 0;
}

struct Measure {
  double seconds;  // the best of the runs
  long peak_kib;   // the largest peak memory of the runs
};

// Runs "package_bench MODE PATH ARGUMENT" as a fresh process `runs` times: the best time and the
// largest peak memory that it reports. Every measurement runs in a process of its own, so that
// each pays the same page faults for its dictionary.
Measure InProcess(const char* mode, const std::filesystem::path& path, uint32_t argument, int runs) {
  Measure best = {1e30, 0};
  for (int k = 0; k < runs; ++k) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, 0};
    std::string text_argument = std::to_string(argument);
    pid_t pid = fork();
    if (pid == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      execl("/proc/self/exe", "package_bench", mode, path.c_str(), text_argument.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char text[64] = {};
    ssize_t got = read(fds[0], text, sizeof text - 1);
    close(fds[0]);
    int status;
    waitpid(pid, &status, 0);
    double seconds = -1;
    long peak = 0;
    if (got <= 0 || sscanf(text, "%lf %ld", &seconds, &peak) != 2 || seconds <= 0) return {-1, 0};
    best.seconds = std::min(best.seconds, seconds);
    best.peak_kib = std::max(best.peak_kib, peak);
  }
  return best;
}

double ReadWithReader(const std::u16string& path, uint32_t verify_mode) {
  auto start = Clock::now();
  PackageReader* reader = PackageReaderCreate();
  PackageEntryHeader header;
  uint32_t err = PackageOpen(reader, path.c_str(), nullptr, 0, verify_mode, nullptr, nullptr);
  if (!err) err = PackageNextEntry(reader, &header);
  if (!err) err = PackageSkipEntry(reader, &header);
  PackageReaderDestroy(reader);
  return err ? -1 : Seconds(start);
}

// Plain decoding of the volume's raw stream (behind header, check pair and properties) from memory.
double DecodePlain(const Bytes& volume, uint32_t method) {
  const uint8_t* stream = volume.data() + kVolumeHeaderSize + kCheckPairSize;
  size_t size = volume.size() - kVolumeHeaderSize - kCheckPairSize;
  Bytes out(65536);
  auto start = Clock::now();
  bool ok = false;
  if (method == kPackageMethodZlib) {
    z_stream z = {};
    inflateInit(&z);
    z.next_in = const_cast<Bytef*>(stream);
    z.avail_in = uInt(size);
    int ret;
    do {
      z.next_out = out.data();
      z.avail_out = uInt(out.size());
      ret = inflate(&z, Z_NO_FLUSH);
    } while (ret == Z_OK);
    ok = ret == Z_STREAM_END;
    inflateEnd(&z);
  } else {
    uint32_t properties = method == kPackageMethodLzma ? kLzmaPropertiesSize : kLzma2PropertiesSize;
    lzma_filter filters[2] = {};
    filters[0].id = method == kPackageMethodLzma ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA2;
    filters[1].id = LZMA_VLI_UNKNOWN;
    lzma_stream s = LZMA_STREAM_INIT;
    if (lzma_properties_decode(&filters[0], nullptr, stream, properties) == LZMA_OK &&
        lzma_raw_decoder(&s, filters) == LZMA_OK) {
      s.next_in = stream + properties;
      s.avail_in = size - properties;
      lzma_ret ret;
      do {
        s.next_out = out.data();
        s.avail_out = out.size();
        ret = lzma_code(&s, LZMA_RUN);
      } while (ret == LZMA_OK);
      ok = ret == LZMA_STREAM_END;
    }
    free(filters[0].options);
    lzma_end(&s);
  }
  return ok ? Seconds(start) : -1;
}

double DigestSpeed(uint64_t size) {
  Bytes block(kPiece, 0x5A);
  PackageDigest digest;
  PackageDigestInit(&digest);
  auto start = Clock::now();
  for (uint64_t done = 0; done < size; done += block.size()) PackageDigestUpdate(&digest, block.data(), block.size());
  uint8_t out[16];
  PackageDigestFinal(&digest, out);
  return size / 1e6 / Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "--read") == 0) {
    double seconds = ReadWithReader(std::filesystem::path(argv[2]).u16string(), uint32_t(atoi(argv[3])));
    printf("%.6f %ld\n", seconds, PeakKib());
    return 0;
  }
  if (argc == 4 && strcmp(argv[1], "--plain") == 0) {
    std::ifstream in(argv[2], std::ios::binary);
    Bytes volume((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    printf("%.6f %ld\n", DecodePlain(volume, uint32_t(strtoul(argv[3], nullptr, 10))), PeakKib());
    return 0;
  }
  uint64_t mib = argc > 1 ? strtoull(argv[1], nullptr, 10) : 64;
  std::filesystem::path folder = argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
  uint64_t size = mib << 20;
  const struct {
    uint32_t method;
    const char* name;
    const char* dictionary;
  } kMethods[] = {{kPackageMethodZlib, "zlib", "32 KiB"}, {kPackageMethodLzma, "LZMA", "8 MiB"}, {kPackageMethodLzma2, "LZMA2", "8 MiB"}};

  printf("decoded %llu MiB per package; MB/s of decoded bytes (10^6 bytes per second)\n\n", (unsigned long long)mib);
  printf("%-6s %-15s %10s %10s %12s %10s %8s %11s %11s\n", "method", "data", "packed MiB", "reader", "reader+dig",
         "plain", "reader/", "reader peak", "dictionary");
  printf("%-6s %-15s %10s %10s %12s %10s %8s %11s\n", "", "", "", "MB/s", "MB/s", "MB/s", "plain", "MiB");
  constexpr int kRuns = 5;
  for (auto method : kMethods) {
    for (bool compressible : {false, true}) {
      std::filesystem::path path = folder / "package_bench.kez";
      if (!WritePackage(path.u16string(), method.method, compressible, size)) {
        fprintf(stderr, "package_bench: writing the %s package failed\n", method.name);
        return 1;
      }
      Measure plain_reader = InProcess("--read", path, 0, kRuns);
      Measure verified_reader = InProcess("--read", path, kVerifyAlways, kRuns);
      double plain = InProcess("--plain", path, method.method, kRuns).seconds;
      double packed = std::filesystem::file_size(path) / 1048576.0;
      std::filesystem::remove(path);
      double decoded = (size + kEntryHeaderSize) / 1e6;
      long peak = verified_reader.peak_kib > plain_reader.peak_kib ? verified_reader.peak_kib : plain_reader.peak_kib;
      printf("%-6s %-15s %10.1f %10.1f %12.1f %10.1f %8.3f %11.1f %11s\n", method.name,
             compressible ? "compressible" : "incompressible", packed, decoded / plain_reader.seconds,
             decoded / verified_reader.seconds, decoded / plain, plain / plain_reader.seconds, peak / 1024.0,
             method.dictionary);
    }
  }
  printf("digest: %.1f MB/s\n", DigestSpeed(size));
  return 0;
}
