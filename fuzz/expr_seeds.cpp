// Writes the seed inputs of expr_fuzzer (UTF-16 little-endian texts) into the folder given.
#include <cstdio>
#include <string>

namespace {

const char* const kSeeds[] = {
    "<Name>",
    "a < b and <Name=!default>",
    "`<Name>` `` <?Folder> <!lit> <%OS> <#Key> <#a.ini?s?k>",
    "<@HKEY_LOCAL_MACHINE\\Software\\v> <@64:HKEY_LOCAL_MACHINE\\Software\\?|v>",
    "<$Opt> <$strtrim( ab )> <$part(a;b,;,-1)> <$eval(`<Eval>`)>",
    "<Self> <Grow> <Ping> <Cond> <Wider>",
    "<<Name>> <$ifte(Ver > 1.9,<Name>,no)>",
    "<$dateadd(20250131,1,1)> <$instr(-1,abc,c)> <$srcpath(Key)>",
    "1.10 > 1.9 AND \"10\" > \"9\" OR NOT (010 = 8)",
    "Name ~= \"VALUE\" IMP <Folder> >< \"App\" EQV Num << 0",
    "!Opt = 3 XOR $Opt = 2 AND %OS >> \"NT\"",
    "((((((1))))))",
    "~\"x\" = y",
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  int index = 0;
  for (const char* seed : kSeeds) {
    std::string path = std::string(argv[1]) + "/seed" + std::to_string(index++);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 1;
    for (const char* p = seed; *p; ++p) {
      fputc(*p, f);
      fputc(0, f);
    }
    fclose(f);
  }
  return 0;
}
