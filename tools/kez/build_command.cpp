// kez build PROJECT.json -o OUT [--runtime SETUP.EXE] [-q]: builds the packages that a project
// describes (README, "Building packages") into the folder OUT.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "runtime/text.h"
#include "tools/kez/commands.h"
#include "tools/kez/project_build.h"

namespace {

int Usage() {
  fputs("usage: kez build PROJECT.json -o OUT [--runtime SETUP.EXE] [-q]\n", stderr);
  return 2;
}

std::u16string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? u"." : TextFromUtf8(path.substr(0, cut == 0 ? 1 : cut));
}

}  // namespace

int KezBuild(int argc, char** argv) {
  const char* project = nullptr;
  ProjectBuildOptions options;
  for (int k = 1; k < argc; ++k) {
    if (strcmp(argv[k], "-o") == 0 && k + 1 < argc) {
      options.output = TextFromUtf8(argv[++k]);
    } else if (strcmp(argv[k], "--runtime") == 0 && k + 1 < argc) {
      options.runtime = TextFromUtf8(argv[++k]);
    } else if (strcmp(argv[k], "-q") == 0) {
      options.quiet = true;
    } else if (!project && argv[k][0] != '-') {
      project = argv[k];
    } else {
      return Usage();
    }
  }
  if (!project || options.output.empty()) return Usage();
  std::ifstream input(project, std::ios::binary);
  std::stringstream text;
  text << input.rdbuf();
  if (!input) {
    fprintf(stderr, "kez build: cannot read %s\n", project);
    return 1;
  }
  std::string message;
  uint32_t err = ProjectBuild(text.str(), FolderOf(project), options, &message);
  if (err) {
    fprintf(stderr, "kez build: %s: %s\n", project, message.c_str());
    return 1;
  }
  return 0;
}
