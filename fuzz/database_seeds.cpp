// Writes seed databases for database_fuzzer into the folder given as the argument.
#include <cstdio>
#include <string>

#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_samples.h"
#include "runtime/heap.h"

namespace {

bool Write(const std::string& path, ObjectTable* table) {
  uint8_t* bytes = nullptr;
  size_t size = 0;
  bool ok = BuilderSaveToMemory(table, 0x01D0000000000000ull, &bytes, &size) == 0;
  FILE* file = ok ? fopen(path.c_str(), "wb") : nullptr;
  ok = file && fwrite(bytes, 1, size, file) == size;
  if (file) ok = fclose(file) == 0 && ok;
  MemFree(bytes);
  ObjectTableDestroy(table);
  if (!ok) fprintf(stderr, "database_seeds: cannot write %s\n", path.c_str());
  return ok;
}

// A small linked database: installation record, option tree, folders and files, variables.
ObjectTable* SmallInstallation() {
  ObjectTable* table = BuilderCreateTable();
  const uint64_t options[] = {30};
  BuilderSetIdList(BuilderAddObject(table, TagOf("inst"), 1), 23, options, 1);
  const uint64_t children[] = {31};
  BuilderSetIdList(BuilderAddObject(table, TagOf("cmp9"), 30), 18, children, 1);
  BuilderAddObject(table, TagOf("asm9"), 31);
  BuilderAddObject(table, TagOf("fldr"), 40);
  BuilderSetId(BuilderAddObject(table, TagOf("file"), 50), 16, 40);
  SetupObject* variable = BuilderAddObject(table, TagOf("symb"), 60);
  BuilderSetText(variable, 16, u"Secret");
  BuilderSetU32(variable, 9, 0x11);
  BuilderSetLocalized(variable, 10, u"one", nullptr, 0);
  BuilderSetLocalized(variable, 13, u"two", nullptr, 0);
  BuilderSetU32(BuilderAddObject(table, TagOf("lang"), 70), 8, 0x0409);
  const uint64_t prerequisites[] = {81};
  BuilderSetIdList(BuilderAddObject(table, TagOf("pres"), 80), 8, prerequisites, 1);
  BuilderAddObject(table, TagOf("preh"), 81);
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: database_seeds FOLDER\n", stderr);
    return 2;
  }
  ClassRegistryRegisterSetupClasses();
  std::string folder = argv[1];
  bool ok = Write(folder + "/empty.dat", BuilderCreateTable());
  ok = Write(folder + "/every_class.dat", SampleEveryClass(1)) && ok;
  ok = Write(folder + "/installation.dat", SmallInstallation()) && ok;
  return ok ? 0 : 1;
}
