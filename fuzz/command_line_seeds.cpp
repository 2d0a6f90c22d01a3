// Writes seed inputs of command_line_fuzzer into the folder given as the argument.
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string seeds[] = {
      "Setup.exe /q2 /b0 /l:0x407 /log:C:\\x.log NAME=1 $Docs=7",
      "\"C:\\Program Files\\Setup.exe\" /install:C:\\Apps\\Tool /p:\"pass word\" 'a''b' `c`",
      "\xEF\xBB\xBFS /e0x100 -Q /?\r\n# comment\r\n/help",
      std::string("\xFF\xFES\0 \0/\0f\0", 10),
      std::string("\xFE\xFF\0S\0 \0-\0u\0""3", 12),
  };
  int index = 0;
  for (const std::string& seed : seeds) {
    std::string path = std::string(argv[1]) + "/seed" + std::to_string(index++);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return 1;
    fwrite(seed.data(), 1, seed.size(), file);
    fclose(file);
  }
  return 0;
}
