// kez undump JSON OUT: writes the setup database that a JSON file describes (README, "Database
// format"). The save time is the JSON's "save_time" when it has one, else the current time.
#include <cstdio>
#include <fstream>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "tools/kez/commands.h"
#include "tools/kez/database_json.h"

int KezUndump(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: kez undump JSON OUT\n", stderr);
    return 2;
  }
  ClassRegistryRegisterSetupClasses();
  std::ifstream input(argv[1], std::ios::binary);
  if (!input) {
    fprintf(stderr, "kez undump: cannot open %s\n", argv[1]);
    return 1;
  }
  nlohmann::json document = nlohmann::json::parse(input, nullptr, false);
  if (document.is_discarded()) {
    fprintf(stderr, "kez undump: %s is not valid JSON\n", argv[1]);
    return 1;
  }
  uint64_t save_time = 0;
  std::string error;
  ObjectTable* table = DatabaseFromJson(document, &save_time, &error);
  if (!table) {
    fprintf(stderr, "kez undump: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  std::u16string out = TextFromUtf8(argv[2]);
  uint32_t err = BuilderSaveToPath(table, save_time ? save_time : PlatformNowFileTime(), out.c_str());
  ObjectTableDestroy(table);
  if (err) {
    fprintf(stderr, "kez undump: cannot write %s (error %u)\n", argv[2], err);
    return 1;
  }
  return 0;
}
