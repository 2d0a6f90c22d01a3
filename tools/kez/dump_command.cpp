// kez dump FILE [--password P]: prints a setup database as JSON (README, "Database format"). FILE is
// a bare database file ("kes9") or a package, whose database entry is read.
#include <cstdio>
#include <iostream>
#include <vector>

#include "database/class_registry.h"
#include "database/database_file.h"
#include "package/package_classify.h"
#include "package/package_format.h"
#include "runtime/errors.h"
#include "runtime/text.h"
#include "tools/kez/commands.h"
#include "tools/kez/database_json.h"
#include "tools/kez/package_access.h"

namespace {

// Largest database entry read into memory; a setup database is far smaller.
constexpr uint64_t kMaximumDatabaseEntry = 1u << 30;

uint32_t ReadDatabaseEntry(const PackageArguments& arguments, std::vector<uint8_t>* bytes) {
  PackageReader* reader = PackageReaderCreate();
  uint32_t err = OpenPackage(reader, arguments, nullptr);
  PackageEntryHeader header{};
  if (!err) err = PackageFindEntry(reader, &header, kEntryIdDatabase);
  if (!err && header.size > kMaximumDatabaseEntry) err = ERROR_INVALID_DATA;
  if (!err) {
    bytes->resize(size_t(header.size));
    err = PackageReadData(reader, bytes->data(), uint32_t(header.size));
  }
  PackageReaderDestroy(reader);
  return err;
}

}  // namespace

int KezDump(int argc, char** argv) {
  PackageArguments arguments;
  if (!ParsePackageArguments(argc, argv, false, &arguments)) {
    fputs("usage: kez dump FILE [--password P]\n", stderr);
    return 2;
  }
  ClassRegistryRegisterSetupClasses();
  std::u16string path = TextFromUtf8(arguments.path);
  PackageFileKind kind;
  uint64_t volume_offset;
  uint32_t err = PackageClassifyFile(path.c_str(), true, &kind, &volume_offset);
  if (err) return ReportError(std::string("cannot read ") + arguments.path, err);

  BufferedFile stream{};
  std::vector<uint8_t> entry;
  if (kind == kFileIsDatabase) {
    err = BufferedOpenRead(&stream, path.c_str(), kFileShareRead | kFileSequential);
  } else if (kind == kFileHoldsNoPackage) {
    err = ERROR_BAD_FORMAT;
  } else {
    err = ReadDatabaseEntry(arguments, &entry);
    if (!err) BufferedOpenMemory(&stream, entry.data(), entry.size());
  }
  if (err) return ReportError(std::string("cannot read the database of ") + arguments.path, err);

  ObjectTable* table = nullptr;
  err = DatabaseRead(&stream, 0, &table);
  BufferedClose(&stream);
  if (err) return ReportError(std::string("cannot load the database of ") + arguments.path, err);
  std::cout << DatabaseJsonText(DatabaseToJson(table));
  ObjectTableDestroy(table);
  return std::cout.good() ? 0 : 1;
}
