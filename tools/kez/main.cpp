// kez: builds installation packages and looks inside packages and setup databases.
#include <cstdio>
#include <cstring>

#include "tools/kez/commands.h"

namespace {

const KezCommand kCommands[] = {
    {"list", "FILE [--password P]", KezList},
    {"extract", "FILE DIR [--password P]", KezExtract},
    {"dump", "FILE [--password P]", KezDump},
    {"undump", "JSON OUT", KezUndump},
    {"build", "PROJECT.json -o OUT [--runtime SETUP.EXE] [-q]", KezBuild},
    {"new", "NAME [-o FOLDER]", KezNew},
    {nullptr, nullptr, nullptr},
};

int Usage() {
  fputs("usage: kez COMMAND ARGUMENTS...\n", stderr);
  for (const KezCommand* c = kCommands; c->name; ++c) fprintf(stderr, "  kez %s %s\n", c->name, c->usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const KezCommand* c = kCommands; c->name; ++c)
    if (strcmp(c->name, argv[1]) == 0) return c->run(argc - 1, argv + 1);
  return Usage();
}
