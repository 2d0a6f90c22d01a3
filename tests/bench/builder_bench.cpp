// Package builder benchmark (run by hand, not by CTest):
//   builder_bench [MIB] [FOLDER] [LEVEL] [DICT_MIB]
// Generates MIB (1024) mebibytes of mixed files in FOLDER/builder-bench (a third compressible text,
// a third random bytes, a third repetitive binary, 16 MiB per file) and their concatenation, then
// builds a zlib, an LZMA and an LZMA2 package of them with kez_builder at LEVEL (1) and a dictionary
// of DICT_MIB (4) mebibytes, each in a child process, and prints its MB/s and peak memory beside
// gzip -LEVEL and xz -T1 --lzma1/--lzma2=preset=LEVEL,dict=DICT_MIB MiB on the concatenated data.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/kez/project_build.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kFileSize = 16u << 20;

uint64_t Next(uint64_t* state) {
  *state ^= *state << 13;
  *state ^= *state >> 7;
  *state ^= *state << 17;
  return *state;
}

// Kind 0: text of words; 1: random bytes; 2: records of a repeating binary layout.
std::vector<char> MakeData(int kind, uint64_t seed) {
  static const char* const kWords[] = {"setup", "package", "volume", "entry", "install", "folder", "file",
                                       "option", "registry", "value", "the", "a", "of", "and", "to", "with"};
  std::vector<char> data;
  data.reserve(kFileSize);
  uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  while (data.size() < kFileSize) {
    uint64_t r = Next(&state);
    if (kind == 0) {
      const char* word = kWords[r % 16];
      data.insert(data.end(), word, word + strlen(word));
      data.push_back(r % 11 == 0 ? '\n' : ' ');
    } else if (kind == 1) {
      for (int i = 0; i < 8; ++i) data.push_back(char(r >> (8 * i)));
    } else {
      uint32_t record[8] = {0x46494C45u, uint32_t(data.size() / 32), 0, 0x20, uint32_t(r % 5), 0xFFFFFFFFu, 0, 0};
      const char* bytes = reinterpret_cast<const char*>(record);
      data.insert(data.end(), bytes, bytes + sizeof record);
    }
  }
  data.resize(kFileSize);
  return data;
}

void Generate(const fs::path& in, const fs::path& all, int files) {
  fs::create_directories(in);
  std::ofstream concatenated(all, std::ios::binary);
  for (int k = 0; k < files; ++k) {
    std::vector<char> data = MakeData(k % 3, uint64_t(k) + 1);
    std::ofstream(in / ("f" + std::to_string(k)), std::ios::binary).write(data.data(), std::streamsize(data.size()));
    concatenated.write(data.data(), std::streamsize(data.size()));
  }
}

std::string Project(int files, const char* method, unsigned level, unsigned dictionary) {
  std::string objects = R"({"tag": "inst", "name": "installation"})";
  for (int k = 0; k < files; ++k)
    objects += ",\n{\"tag\": \"file\", \"name\": \"f" + std::to_string(k) + "\", \"source\": \"in/f" + std::to_string(k) + "\"}";
  std::string dictionary_member =
      std::string(method) == "zlib" ? "" : ", \"dictionary_size\": " + std::to_string(dictionary);
  return std::string("{\"output\": {\"package\": \"bench.kez\", \"method\": \"") + method +
         "\", \"level\": " + std::to_string(level) + dictionary_member + "},\n\"objects\": [" + objects + "]}";
}

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Peak resident memory of this process in KiB.
long PeakKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// Builds in a child process, so that each method's peak memory is its own.
bool BuildInChild(const fs::path& work, const std::string& project, double* seconds, long* peak_kib, uint64_t* size) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return false;
  auto start = std::chrono::steady_clock::now();
  pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    ProjectBuildOptions options;
    options.output = (work / "out").u16string();
    options.quiet = true;
    std::string message;
    uint32_t err = ProjectBuild(project, work.u16string(), options, &message);
    if (err) fprintf(stderr, "build failed: %s\n", message.c_str());
    long peak = PeakKib();
    ssize_t ignored = write(pipe_ends[1], &peak, sizeof peak);
    (void)ignored;
    _exit(err ? 1 : 0);
  }
  close(pipe_ends[1]);
  *peak_kib = 0;
  ssize_t got = read(pipe_ends[0], peak_kib, sizeof *peak_kib);
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  *seconds = Seconds(start);
  *size = fs::file_size(work / "out" / "bench.kez");
  fs::remove_all(work / "out");
  return got == sizeof *peak_kib && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool RunTool(const std::string& command, const fs::path& output, double* seconds, uint64_t* size) {
  auto start = std::chrono::steady_clock::now();
  int status = std::system(command.c_str());
  *seconds = Seconds(start);
  *size = fs::exists(output) ? fs::file_size(output) : 0;
  fs::remove(output);
  return status == 0;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned mib = argc > 1 ? unsigned(atoi(argv[1])) : 1024;
  fs::path folder = argc > 2 ? fs::path(argv[2]) : fs::current_path();
  unsigned level = argc > 3 ? unsigned(atoi(argv[3])) : 1;
  unsigned dict_mib = argc > 4 ? unsigned(atoi(argv[4])) : 4;
  int files = int((uint64_t(mib) << 20) / kFileSize);
  if (files < 3) files = 3;
  double total = double(files) * double(kFileSize);
  fs::path work = fs::absolute(folder) / "builder-bench";
  fs::path all = work / "all.bin";
  printf("generating %d files of 16 MiB (%.0f MiB) in %s\n", files, total / (1 << 20), work.c_str());
  Generate(work / "in", all, files);

  struct Method {
    const char* name;
    std::string tool;  // the reference program's command, writing to the file `reference`
  };
  std::string dict = std::to_string(dict_mib) + "MiB";
  fs::path reference = work / "reference.out";
  std::string quoted_all = "'" + all.string() + "'", quoted_out = " > '" + reference.string() + "'";
  const Method methods[] = {
      {"zlib", "gzip -" + std::to_string(level) + " -c " + quoted_all + quoted_out},
      {"lzma", "xz -k -T1 --format=lzma --lzma1=preset=" + std::to_string(level) + ",dict=" + dict + " -c " +
                   quoted_all + quoted_out},
      {"lzma2", "xz -k -T1 --format=xz --lzma2=preset=" + std::to_string(level) + ",dict=" + dict + " -c " +
                    quoted_all + quoted_out},
  };
  printf("level %u, dictionary %u MiB (LZMA, LZMA2)\n", level, dict_mib);
  printf("%-6s %12s %10s %12s %12s %10s %12s\n", "method", "kez MB/s", "ratio", "peak memory", "tool MB/s",
         "ratio", "tool");
  for (const Method& m : methods) {
    double kez_seconds = 0, tool_seconds = 0;
    long peak = 0;
    uint64_t kez_size = 0, tool_size = 0;
    bool kez_ok = BuildInChild(work, Project(files, m.name, level, dict_mib << 20), &kez_seconds, &peak, &kez_size);
    bool tool_ok = RunTool(m.tool, reference, &tool_seconds, &tool_size);
    printf("%-6s %12.1f %9.1f%% %9.1f MiB %12.1f %9.1f%% %12s%s\n", m.name, total / 1e6 / kez_seconds,
           100.0 * double(kez_size) / total, double(peak) / 1024, total / 1e6 / tool_seconds,
           100.0 * double(tool_size) / total, m.tool.substr(0, m.tool.find(' ')).c_str(),
           kez_ok && tool_ok ? "" : "  (failed)");
    fflush(stdout);
  }
  fs::remove_all(work);
  return 0;
}
