// kez dump FILE: prints a setup database as JSON (README, "Database format"). FILE is a bare
// database file ("kes9").
#include <cstdio>
#include <iostream>

#include "database/class_registry.h"
#include "database/database_file.h"
#include "runtime/errors.h"
#include "runtime/text.h"
#include "tools/kez/commands.h"
#include "tools/kez/database_json.h"

int KezDump(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: kez dump FILE\n", stderr);
    return 2;
  }
  ClassRegistryRegisterSetupClasses();
  std::u16string path = TextFromUtf8(argv[1]);
  BufferedFile stream{};
  uint32_t err = BufferedOpenRead(&stream, path.c_str(), kFileShareRead | kFileSequential);
  if (err) {
    fprintf(stderr, "kez dump: cannot open %s (error %u)\n", argv[1], err);
    return 1;
  }
  ObjectTable* table = nullptr;
  err = DatabaseRead(&stream, 0, &table);
  BufferedClose(&stream);
  if (err == ERROR_BAD_FORMAT) {
    fprintf(stderr, "kez dump: %s is not a setup database (\"kes9\"); packages are not read yet\n", argv[1]);
    return 1;
  }
  if (err) {
    fprintf(stderr, "kez dump: cannot load %s (error %u)\n", argv[1], err);
    return 1;
  }
  std::cout << DatabaseJsonText(DatabaseToJson(table));
  ObjectTableDestroy(table);
  return std::cout.good() ? 0 : 1;
}
