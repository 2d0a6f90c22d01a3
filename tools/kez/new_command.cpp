// kez new NAME [-o FOLDER]: writes a starter project for the product NAME into FOLDER (default NAME).
#include <cstdio>
#include <cstring>

#include "runtime/text.h"
#include "tools/kez/commands.h"
#include "tools/kez/project_starter.h"

namespace {

int Usage() {
  fputs("usage: kez new NAME [-o FOLDER]\n", stderr);
  return 2;
}

}  // namespace

int KezNew(int argc, char** argv) {
  const char* name = nullptr;
  const char* folder = nullptr;
  for (int k = 1; k < argc; ++k) {
    if (strcmp(argv[k], "-o") == 0 && k + 1 < argc) folder = argv[++k];
    else if (!name && argv[k][0] != '-') name = argv[k];
    else return Usage();
  }
  if (!name) return Usage();
  std::string message;
  if (ProjectStarterWrite(TextFromUtf8(folder ? folder : name), name, &message)) {
    fprintf(stderr, "kez new: %s\n", message.c_str());
    return 1;
  }
  printf("kez new: %s/project.json written; put the product's files in %s/payload, then\n"
         "  kez build %s/project.json -o OUT --runtime SETUP.EXE\n",
         folder ? folder : name, folder ? folder : name, folder ? folder : name);
  return 0;
}
