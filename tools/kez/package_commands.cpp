// kez list FILE [--password P]: the version resources and main icon of an executable, the volume
// headers and every entry header of a package.
// kez extract FILE DIR [--password P]: every entry as a file named by its id in 16 hexadecimal
// digits, with the entry's last-write time and attributes.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string>

#include "package/package_reader.h"
#include "runtime/calendar.h"
#include "runtime/errors.h"
#include "runtime/text.h"
#include "runtime/version_text.h"
#include "tools/kez/commands.h"
#include "tools/kez/package_access.h"
#include "tools/kez/runtime_listing.h"

namespace {

// A FILETIME as "YYYY-MM-DD hh:mm:ss" (UTC).
std::string TimeText(uint64_t filetime) {
  if (!filetime) return "-";
  DateTime t = CalendarFromFileTime(filetime);
  char text[48];
  snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

std::string PackedVersionText(uint64_t version) {
  char16_t text[32];
  VersionText(text, text + 31, version);
  return TextToUtf8(text);
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
         PackedVersionText(e.product_version).c_str(), PackedVersionText(e.file_version).c_str());
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
  if (!extract) RuntimeListing(arguments.path);
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
