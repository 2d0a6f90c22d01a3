// Writing the packages of a project plan: the main package (database, support files, icon, read-me,
// extension library, and the payload when it stays inside), the external set or the downloaded main
// package that carries the payload otherwise, and one package per own-package option.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "database/database_builder.h"
#include "package/package_format.h"
#include "package/package_writer.h"
#include "runtime/errors.h"
#include "runtime/heap.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "tools/kez/project_plan.h"

namespace {

constexpr uint64_t kReportEvery = 64ull << 20;

// One package to write: its first file, where its volumes split, its set identifier, its entries.
struct PackageJob {
  std::u16string file_name;
  const std::vector<uint8_t>* executable;  // null: a stand-alone volume
  uint64_t volume_limit;
  uint64_t set_identifier;
  bool with_database;          // the main package: database, support files, icon, read-me, extension
  const std::vector<ProjectEntry>* payload;
};

std::string Amount(uint64_t bytes) {
  static const char* const kUnits[] = {"bytes", "KiB", "MiB", "GiB", "TiB"};
  double value = double(bytes);
  int unit = 0;
  while (value >= 1024 && unit < 4) {
    value /= 1024;
    ++unit;
  }
  char text[32];
  snprintf(text, sizeof text, unit ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  return text;
}

// What one package took in and gave out so far.
struct Counter {
  ProjectProgress* progress;
  std::string package;
  uint64_t files;
  uint64_t bytes_read;
};

void Report(const Counter& c, uint64_t written, const char* what) {
  if (!c.progress->sink) return;
  char line[320];
  double ratio = c.bytes_read ? 100.0 * double(written) / double(c.bytes_read) : 0.0;
  snprintf(line, sizeof line, "%s %s: %" PRIu64 " entries, %s read, %s written (%.1f%%)", what, c.package.c_str(),
           c.files, Amount(c.bytes_read).c_str(), Amount(written).c_str(), ratio);
  c.progress->sink(line, c.progress->context);
}

// Counts an entry; a line for every kReportEvery bytes read, over all packages.
void Counted(Counter* c, const PackageWriter* writer, uint64_t size) {
  ProjectProgress* p = c->progress;
  ++c->files;
  c->bytes_read += size;
  p->bytes_read += size;
  if (p->bytes_read < p->next_report) return;
  p->next_report = p->bytes_read + kReportEvery;
  Report(*c, PackageWriterBytesWritten(writer), "writing");
}

uint64_t FileSizeOf(const std::u16string& path) {
  FileFacts facts;
  return FileGetFacts(path.c_str(), &facts) ? 0 : facts.size;
}

uint32_t AddDatabase(PackageWriter* writer, const ProjectPlan& plan, Counter* counter) {
  uint8_t* bytes = nullptr;
  size_t size = 0;
  uint32_t err = BuilderSaveToMemory(plan.table, plan.save_time, &bytes, &size);
  if (err) return err;
  PackageEntryHeader header = {};
  header.id = kEntryIdDatabase;
  header.size = size;
  header.creation_time = header.last_write_time = plan.save_time;
  header.attributes = kAttributeNormal;
  err = PackageWriterAddMemory(writer, &header, bytes);
  MemFree(bytes);
  if (!err) Counted(counter, writer, size);
  return err;
}

uint32_t AddEntries(PackageWriter* writer, const std::vector<ProjectEntry>& entries, Counter* counter,
                    std::string* failed) {
  for (const ProjectEntry& entry : entries) {
    if (uint32_t err = PackageWriterAddFile(writer, entry.id, entry.source.c_str())) {
      *failed = TextToUtf8(entry.source);
      return err;
    }
    Counted(counter, writer, FileSizeOf(entry.source));
  }
  return ERROR_SUCCESS;
}

std::vector<ProjectEntry> FixedEntries(const ProjectPlan& plan) {
  std::vector<ProjectEntry> entries = plan.support_files;
  if (!plan.icon.empty()) entries.push_back({kEntryIdIcon, plan.icon});
  if (!plan.readme.empty()) entries.push_back({kEntryIdReadme, plan.readme});
  if (!plan.extension.empty()) entries.push_back({kEntryIdExtension, plan.extension});
  return entries;
}

std::u16string VolumeName(uint32_t index) {
  char16_t name[16];
  TextFormat(name, name + 15, u"Disk%04u.kez", index + 1);
  return name;
}

uint32_t WritePackage(const ProjectPlan& plan, const std::u16string& folder, const PackageJob& job,
                      ProjectProgress* progress, std::vector<std::u16string>* written, std::string* message) {
  const ProjectOutput& out = plan.output;
  PackageWriterOptions options = {};
  options.method = out.method;
  options.level = out.level;
  options.dictionary_size = out.dictionary_size;
  options.volume_limit = job.volume_limit;
  options.set_identifier = job.set_identifier;
  memcpy(options.package_code, plan.package_code, 16);
  options.password = reinterpret_cast<const uint8_t*>(out.password.data());
  options.password_length = uint32_t(out.password.size());
  options.mask_password = out.mask_password;
  if (job.executable) {
    options.executable_image = job.executable->data();
    options.executable_image_size = job.executable->size();
  }

  std::string package = TextToUtf8(job.file_name);
  Counter counter = {progress, package, 0, 0};
  std::u16string path = folder + u"/" + job.file_name;
  PackageWriter* writer = nullptr;
  std::string failed;
  uint32_t err = PackageWriterCreate(path.c_str(), &options, &writer);
  if (err) {
    *message = "cannot start " + package + " (error " + std::to_string(err) + ")";
    return err;
  }
  if (job.with_database) {
    err = AddDatabase(writer, plan, &counter);
    if (!err) err = AddEntries(writer, FixedEntries(plan), &counter, &failed);
  }
  if (!err) err = AddEntries(writer, *job.payload, &counter, &failed);
  uint32_t volumes = 0;
  err = PackageWriterFinish(writer, err, &volumes);
  if (err) {
    *message = "cannot write " + package + (failed.empty() ? "" : " from " + failed) + " (error " + std::to_string(err) + ")";
    return err;
  }
  uint64_t bytes = job.executable ? 0 - uint64_t(job.executable->size()) : 0;
  written->push_back(job.file_name);
  for (uint32_t k = 1; k < volumes; ++k) written->push_back(VolumeName(k));
  for (size_t k = written->size() - volumes; k < written->size(); ++k) bytes += FileSizeOf(folder + u"/" + (*written)[k]);
  if (volumes > 1) counter.package += " and " + std::to_string(volumes - 1) + " more volumes";
  Report(counter, bytes, "wrote");
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t ProjectWritePackages(const ProjectPlan& plan, const std::vector<uint8_t>& runtime, const std::u16string& folder,
                              ProjectProgress* progress, std::vector<std::u16string>* written, std::string* message) {
  const ProjectOutput& out = plan.output;
  const std::vector<ProjectEntry> none;
  bool inside = out.payload == PayloadPlace::kPackage;
  PackageJob main = {out.package_name, runtime.empty() ? nullptr : &runtime,
                     inside ? out.volume_size : 0, 0, true, inside ? &plan.payload : &none};
  uint32_t err = WritePackage(plan, folder, main, progress, written, message);
  if (!err && out.payload == PayloadPlace::kExternal) {
    PackageJob set = {VolumeName(0), nullptr, out.volume_size, 0, false, &plan.payload};
    err = WritePackage(plan, folder, set, progress, written, message);
  }
  if (!err && out.payload == PayloadPlace::kDownloaded) {
    PackageJob downloaded = {u"_KesMain.kez", nullptr, 0, plan.installation_id, false, &plan.payload};
    err = WritePackage(plan, folder, downloaded, progress, written, message);
  }
  for (const ProjectOptionPackage& option : plan.options) {
    if (err) break;
    PackageJob job = {option.file_name, nullptr, 0, option.option_id, false, &option.files};
    err = WritePackage(plan, folder, job, progress, written, message);
  }
  return err;
}
