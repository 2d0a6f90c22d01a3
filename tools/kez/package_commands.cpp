// kez list FILE [--password P]: the volume headers and every entry header of a package.
// kez extract FILE DIR [--password P]: every entry as a file named by its id in 16 hexadecimal
// digits, with the entry's last-write time and attributes.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string>

#include "package/package_reader.h"
#include "runtime/errors.h"
#include "runtime/text.h"
#include "tools/kez/commands.h"
#include "tools/kez/package_access.h"

namespace {

// A FILETIME as "YYYY-MM-DD hh:mm:ss" (UTC).
std::string TimeText(uint64_t filetime) {
  if (!filetime) return "-";
  int64_t seconds = int64_t(filetime / 10000000ULL) - 11644473600LL;
  int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  int64_t rest = seconds - days * 86400;
  // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  int64_t day = doy - (153 * mp + 2) / 5 + 1;
  int64_t month = mp < 10 ? mp + 3 : mp - 9;
  int64_t year = yoe + era * 400 + (month <= 2);
  char text[96];
  snprintf(text, sizeof text, "%04" PRId64 "-%02" PRId64 "-%02" PRId64 " %02" PRId64 ":%02" PRId64 ":%02" PRId64, year,
           month, day, rest / 3600, rest / 60 % 60, rest % 60);
  return text;
}

std::string VersionText(uint64_t version) {
  char text[32];
  snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(version >> 48), unsigned(version >> 32 & 0xFFFF),
           unsigned(version >> 16 & 0xFFFF), unsigned(version & 0xFFFF));
  return text;
}

const char* MethodName(uint32_t method) {
  switch (method) {
    case kPackageMethodZlib: return "kez2 (zlib)";
    case kPackageMethodLzma: return "kez3 (LZMA)";
    case kPackageMethodLzma2: return "kez4 (LZMA2)";
    default: return "unknown";
  }
}

void PrintVolume(PackageReader* reader) {
  const PackageVolumeHeader& h = reader->header;
  const uint8_t* c = h.package_code;
  printf("volume %u  %s\n", unsigned(h.index - 1), TextToUtf8(reader->path).c_str());
  printf("  method %s  version 0x%08X  flags 0x%08X%s\n", MethodName(h.method), unsigned(h.version),
         unsigned(h.flags), (h.flags & kVolumeEnciphered) ? " (enciphered)" : "");
  printf("  length %" PRIu64 "  set identifier 0x%016" PRIX64 "\n", h.length, h.set_identifier);
  printf("  package code {%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}\n", unsigned(LoadLe32(c)),
         unsigned(LoadLe16(c + 4)), unsigned(LoadLe16(c + 6)), c[8], c[9], c[10], c[11], c[12], c[13], c[14], c[15]);
  printf("  digest ");
  for (uint8_t b : h.digest) printf("%02x", b);
  printf("\n");
}

void PrintEntry(const PackageEntryHeader& e) {
  printf("entry %016" PRIX64 "  size %" PRIu64 "  created %s  written %s  attributes 0x%08X  product %s  file %s\n",
         e.id, e.size, TimeText(e.creation_time).c_str(), TimeText(e.last_write_time).c_str(), unsigned(e.attributes),
         VersionText(e.product_version).c_str(), VersionText(e.file_version).c_str());
}

// Walks the entries, calling `each` for every header; the first error, or 0 at the stream's end.
template <typename Each>
uint32_t WalkEntries(PackageReader* reader, Each each) {
  for (;;) {
    PackageEntryHeader header;
    uint32_t err = PackageNextEntry(reader, &header);
    if (err) return err == ERROR_HANDLE_EOF ? ERROR_SUCCESS : err;
    if ((err = each(header))) return err;
  }
}

int Run(int argc, char** argv, bool extract) {
  PackageArguments arguments;
  if (!ParsePackageArguments(argc, argv, extract, &arguments)) {
    fprintf(stderr, "usage: kez %s\n", extract ? "extract FILE DIR [--password P]" : "list FILE [--password P]");
    return 2;
  }
  if (extract) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::u8path(arguments.folder), ec);
    if (ec) return ReportError(arguments.folder, ERROR_PATH_NOT_FOUND);
  }
  PackageReader* reader = PackageReaderCreate();
  uint32_t err = OpenPackage(reader, arguments, extract ? nullptr : PrintVolume);
  std::string what = arguments.path;
  if (!err) {
    err = WalkEntries(reader, [&](const PackageEntryHeader& header) -> uint32_t {
      if (!extract) {
        PrintEntry(header);
        return PackageSkipEntry(reader, &header);
      }
      char name[17];
      snprintf(name, sizeof name, "%016" PRIX64, header.id);
      std::filesystem::path target = std::filesystem::u8path(arguments.folder) / name;
      uint32_t result = PackageExtractEntry(reader, &header, target.u16string().c_str());
      if (result) what = target.u8string();
      if (!result) printf("%s\n", target.u8string().c_str());
      return result;
    });
  }
  PackageReaderDestroy(reader);
  return err ? ReportError(what, err) : 0;
}

}  // namespace

int KezList(int argc, char** argv) { return Run(argc, argv, false); }
int KezExtract(int argc, char** argv) { return Run(argc, argv, true); }
