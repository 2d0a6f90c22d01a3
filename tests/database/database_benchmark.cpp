// Benchmark (not a CTest test): a generated database of about 200,000 objects spread over every
// class, with every stored field filled. Prints objects per second for load, link and save beside
// the time to merely read the same file into memory, and the memory the loaded table takes.
//   build/host/tests/database/database_benchmark [OBJECTS] [FILE]
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "database/class_registry.h"
#include "database/class_table.h"
#include "database/database_builder.h"
#include "database/database_file.h"
#include "database/database_link.h"
#include "database/database_samples.h"
#include "runtime/text.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long ResidentKiB() {
  long pages = 0;
  FILE* statm = fopen("/proc/self/statm", "r");
  if (statm && fscanf(statm, "%*s %ld", &pages) != 1) pages = 0;
  if (statm) fclose(statm);
  return pages * 4;
}

long PeakKiB() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Row(const char* what, double seconds, uint32_t objects, double baseline) {
  printf("%-28s %9.3f s %12.0f objects/s %8.2fx plain read\n", what, seconds, objects / seconds, seconds / baseline);
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t wanted = argc > 1 ? uint32_t(strtoul(argv[1], nullptr, 10)) : 200000;
  std::string name = argc > 2 ? argv[2] : "database_benchmark.dat";
  std::u16string path = TextFromUtf8(name);
  ClassRegistryRegisterSetupClasses();

  ObjectTable* generated = SampleEveryClass(uint32_t((wanted + kSetupClassCount - 1) / kSetupClassCount));
  uint32_t objects = generated->object_count;
  if (BuilderSaveToPath(generated, 1, path.c_str())) return fputs("cannot write the database\n", stderr), 1;
  ObjectTableDestroy(generated);

  BufferedFile stream{};
  std::chrono::steady_clock::time_point start;
  double plainRead = 1e9;
  uint64_t fileSize = 0;
  for (int run = 0; run < 3; ++run) {
    start = std::chrono::steady_clock::now();
    BufferedOpenRead(&stream, path.c_str(), kFileShareRead | kFileSequential);
    FileSize(stream.file, &fileSize);
    auto* bytes = static_cast<uint8_t*>(malloc(size_t(fileSize)));
    uint32_t got = 0;
    for (uint64_t done = 0; done < fileSize; done += got)
      if (BufferedRead(&stream, bytes + done, uint32_t(std::min<uint64_t>(fileSize - done, 1 << 20)), &got) || !got)
        break;
    BufferedClose(&stream);
    plainRead = std::min(plainRead, Seconds(start));
    free(bytes);
  }

  // The machine may be shared: each step runs three times and the fastest run counts.
  ObjectTable* table = nullptr;
  double load = 1e9;
  long tableKiB = 0;
  for (int run = 0; run < 3; ++run) {
    ObjectTableDestroy(table);
    long before = ResidentKiB();
    start = std::chrono::steady_clock::now();
    BufferedOpenRead(&stream, path.c_str(), kFileShareRead | kFileSequential);
    uint32_t err = DatabaseRead(&stream, 0x12345678, &table);
    BufferedClose(&stream);
    load = std::min(load, Seconds(start));
    if (err) return fprintf(stderr, "load failed: %u\n", err), 1;
    tableKiB = ResidentKiB() - before;
  }

  LinkHooks hooks = DatabasePlatformLinkHooks();
  start = std::chrono::steady_clock::now();
  DatabaseLink(table, &hooks);
  double link = Seconds(start);

  double save = 1e9;
  for (int run = 0; run < 3; ++run) {
    start = std::chrono::steady_clock::now();
    uint32_t err = BuilderSaveToPath(table, 1, path.c_str());
    save = std::min(save, Seconds(start));
    if (err) return fprintf(stderr, "save failed: %u\n", err), 1;
  }
  ObjectTableDestroy(table);

  printf("%u objects of %zu classes, file %.1f MiB\n", objects, kSetupClassCount, double(fileSize) / 1048576.0);
  printf("%-28s %9.3f s %12s %8s\n", "plain read into memory", plainRead, "", "1.00x");
  Row("load", load, objects, plainRead);
  Row("link", link, objects, plainRead);
  Row("save", save, objects, plainRead);
  printf("loaded table %.1f MiB resident, process peak %.1f MiB\n", tableKiB / 1024.0, PeakKiB() / 1024.0);
  return 0;
}
