// Benchmark (not a CTest test): a generated database of about 200,000 objects spread over every
// class, with every stored field filled. Prints load and link beside a plain read of the same file,
// save beside a plain write of the same bytes (each also split into the program's and the system's
// part), and the resident memory of the loaded table beside the file's size. Times are the
// process's CPU time (user and system) per run, the mean of at least three runs and a quarter of a
// second: on a shared machine the elapsed time mostly measures the other processes, and Wine's
// process clock ticks in 10 ms steps. Built in every tree; the 32-bit build runs under Wine with a
// smaller count:
//   build/host/tests/database/database_benchmark [OBJECTS] [FILE]
//   scripts/wine-run wow64 build/win32/wineprefix build/win32/tests/database/database_benchmark.exe 20000
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <malloc.h>
#include <sys/resource.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "database/class_registry.h"
#include "database/class_table.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "database/database_link.h"
#include "database/database_samples.h"
#include "runtime/heap.h"
#include "runtime/text.h"

namespace {

constexpr int kMinRuns = 3;
constexpr double kMinSeconds = 0.25;
constexpr uint32_t kChunk = 1 << 20;

#ifdef _WIN32
PROCESS_MEMORY_COUNTERS MemoryCounters() {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters;
}
double ResidentMiB() { return MemoryCounters().WorkingSetSize / 1048576.0; }
double SystemCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  return (uint64_t(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) / 1e7;
}
double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto seconds = [](FILETIME t) { return (uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; };
  return seconds(kernel) + seconds(user);
}
double PeakMiB() { return MemoryCounters().PeakWorkingSetSize / 1048576.0; }
void ReturnFreedMemory() {}
#else
double ResidentMiB() {
  long pages = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  if (statm && fscanf(statm, "%*s %ld", &pages) != 1) pages = 0;
  if (statm) fclose(statm);
  return pages * 4 / 1024.0;
}
double PeakMiB() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}
double SystemCpuSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}
double CpuSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](timeval t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
// Hands the freed heap back to the system, so that the next measurement starts from a clean slate.
void ReturnFreedMemory() { malloc_trim(0); }
#endif

// The CPU time per run; *system receives the part spent in the system's own code.
template <typename Step>
double CpuPerRun(Step step, double* system = nullptr) {
  double start = CpuSeconds();
  double systemStart = SystemCpuSeconds();
  double spent = 0;
  int runs = 0;
  while (runs < kMinRuns || spent < kMinSeconds) {
    if (!step()) return -1;
    ++runs;
    spent = CpuSeconds() - start;
  }
  if (system) *system = (SystemCpuSeconds() - systemStart) / runs;
  return spent / runs;
}

uint8_t* ReadWhole(const char16_t* path, uint64_t* size) {
  BufferedFile stream{};
  if (BufferedOpenRead(&stream, path, kFileShareRead | kFileSequential)) return nullptr;
  FileSize(stream.file, size);
  auto* bytes = static_cast<uint8_t*>(MemAllocFlags(size_t(*size), kMemMustSucceed));
  uint32_t got = 0;
  for (uint64_t done = 0; done < *size; done += got)
    if (BufferedRead(&stream, bytes + done, uint32_t(std::min<uint64_t>(*size - done, kChunk)), &got) || !got) break;
  BufferedClose(&stream);
  return bytes;
}

bool WriteWhole(const char16_t* path, const uint8_t* bytes, uint64_t size) {
  BufferedFile stream{};
  uint32_t err = BufferedCreate(&stream, path, 0);
  for (uint64_t done = 0; !err && done < size; done += kChunk)
    err = BufferedWrite(&stream, bytes + done, uint32_t(std::min<uint64_t>(size - done, kChunk)));
  uint32_t closeErr = BufferedClose(&stream);
  return !err && !closeErr;
}

uint32_t Load(const char16_t* path, ObjectTable** table) {
  BufferedFile stream{};
  uint32_t err = BufferedOpenRead(&stream, path, kFileShareRead | kFileSequential);
  if (!err) err = DatabaseRead(&stream, 0x12345678, table);
  BufferedClose(&stream);
  return err;
}

void Row(const char* what, double seconds, uint32_t objects, const char* against, double baseline, const char* goal) {
  printf("%-12s %8.3f s %11.0f objects/s %7.2fx %-11s %s\n", what, seconds, objects / seconds, seconds / baseline,
         against, goal);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t wanted = argc > 1 ? uint32_t(strtoul(argv[1], nullptr, 10)) : 200000;
  std::string name = argc > 2 ? argv[2] : "database_benchmark.dat";
  std::u16string path = TextFromUtf8(name);
  std::u16string plainPath = TextFromUtf8(name + ".plain");
  ClassRegistryRegisterSetupClasses();

  ObjectTable* generated = SampleEveryClass(uint32_t((wanted + kSetupClassCount - 1) / kSetupClassCount));
  uint32_t objects = generated->object_count;
  if (BuilderSaveToPath(generated, 1, path.c_str())) return fputs("cannot write the database\n", stderr), 1;
  ObjectTableDestroy(generated);
  ReturnFreedMemory();

  uint64_t fileSize = 0;
  uint8_t* bytes = nullptr;
  double plainRead = CpuPerRun([&] {
    MemFree(bytes);
    bytes = ReadWhole(path.c_str(), &fileSize);
    return bytes != nullptr;
  });
  double plainWriteSystem = 0;
  double plainWrite = CpuPerRun([&] { return WriteWhole(plainPath.c_str(), bytes, fileSize); }, &plainWriteSystem);
  MemFree(bytes);
  FileDelete(plainPath.c_str());
  ReturnFreedMemory();

  // The resident memory of the table is measured on the first load, before any other table has
  // left freed memory behind.
  ObjectTable* table = nullptr;
  double before = ResidentMiB();
  uint32_t err = Load(path.c_str(), &table);
  double tableMiB = ResidentMiB() - before;
  double load = CpuPerRun([&] {
    ObjectTableDestroy(table);
    table = nullptr;
    err = Load(path.c_str(), &table);
    return err == 0;
  });
  if (err) return fprintf(stderr, "load failed: %u\n", err), 1;

  LinkHooks hooks = DatabasePlatformLinkHooks();
  double link = CpuPerRun([&] {
    DatabaseLink(table, &hooks);
    return true;
  });

  double saveSystem = 0;
  double save = CpuPerRun([&] { return (err = BuilderSaveToPath(table, 1, path.c_str())) == 0; }, &saveSystem);
  if (err) return fprintf(stderr, "save failed: %u\n", err), 1;
  ObjectTableDestroy(table);

  double fileMiB = double(fileSize) / 1048576.0;
  printf("%u objects of %zu classes, file %.1f MiB, %zu-bit build\n", objects, kSetupClassCount, fileMiB,
         sizeof(void*) * 8);
  printf("%-12s %8.3f s\n", "plain read", plainRead);
  Row("load", load, objects, "plain read", plainRead, "(goal 3x)");
  Row("link", link, objects, "plain read", plainRead, "");
  Row("save", save, objects, "plain write", plainWrite, "(goal 1.5x)");
  printf("%-12s %8.3f s\n", "plain write", plainWrite);
  printf("%-12s %8.3f s in the program, %.3f s in the system; plain write %.3f s and %.3f s\n", "save split",
         save - saveSystem, saveSystem, plainWrite - plainWriteSystem, plainWriteSystem);
  printf("loaded table %.1f MiB resident, %.2fx the file (goal 2x); process peak %.1f MiB\n", tableMiB,
         tableMiB / fileMiB, PeakMiB());
  return 0;
}
