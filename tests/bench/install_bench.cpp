// Installation speed beside plain extraction, and the rollback beside the installation.
//   install_bench [MIB] [FOLDER]
// Writes a payload of MIB mebibytes (256 by default; a third text, a third random bytes, a third
// repetitive binary) in 2,000 files in 50 folders under FOLDER (the temporary folder by default),
// builds it into an LZMA2 Setup.exe with this tree's runtime, and prints side by side: every entry
// extracted with the package reader, `Setup.exe /q2` installing the product, and the rollback of the
// same installation after a failure forced just after the files (the time between the log's
// rollback records). Also the installing process's peak working set. Not run by CTest.
#include <windows.h>

#include <psapi.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "package/package_reader.h"
#include "runtime/file_utils.h"
#include "runtime/text.h"
#include "tests/runtime/windows_test_support.h"
#include "tools/kez/project_build.h"

namespace {

using Clock = std::chrono::steady_clock;
using test_support::W;
constexpr int kFolders = 50, kFilesPerFolder = 40;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string FileBytes(size_t size, int kind, uint64_t* state) {
  static const char* kWords[] = {"count ", "lines ", "tally ", "file ", "sample ", "total ", "\r\n", "value "};
  std::string bytes;
  bytes.reserve(size);
  uint64_t x = *state;
  while (bytes.size() < size) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    if (kind == 0) bytes += kWords[x & 7];
    else if (kind == 1) bytes.append(reinterpret_cast<const char*>(&x), 8);
    else bytes.append(64, char('A' + (x & 3)));
  }
  *state = x;
  bytes.resize(size);
  return bytes;
}

void WritePayload(const std::u16string& root, uint64_t total) {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  size_t size = size_t(total / (kFolders * kFilesPerFolder));
  for (int f = 0; f < kFolders; ++f) {
    std::u16string folder = root + u"\\payload\\folder" + TextFromUtf8(std::to_string(f));
    CreateDirectoryW(W(root + u"\\payload"), nullptr);
    CreateDirectoryW(W(folder), nullptr);
    for (int i = 0; i < kFilesPerFolder; ++i)
      test_support::WriteBytes(folder + u"\\file" + TextFromUtf8(std::to_string(i)) + u".dat",
                               FileBytes(size, (f * kFilesPerFolder + i) % 3, &state));
  }
}

std::string JsonPath(const std::u16string& path) {
  std::string text;
  for (char c : TextToUtf8(path)) text += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return text;
}

// The product in the short form; with `fail` a fatal message box follows the files.
std::string ProjectText(const std::u16string& product, bool fail) {
  std::string objects = !fail ? "" : R"(, "objects": [
      {"tag": "a200", "name": "fail", "fields": {"name": "Fail", "flags": "0x10000", "style": 16}},
      {"tag": "aseq", "name": "installing", "fields": {"name": "Installing", "actions": ["@prepare",
        "@resolve_paths", "@create_folders", "@install_files", "@fail", "@complete"]}}])";
  return R"({"output": {"package": "Setup.exe", "method": "lzma2", "level": 3},
    "product": {"name": "Bench", "folder": ")" + JsonPath(product) + R"(", "files": [{"source": "payload/**"}]})" +
         objects + "}";
}

std::u16string BuildSetup(const std::u16string& root, const std::u16string& out, bool fail) {
  ProjectBuildOptions options;
  options.output = out;
  options.runtime = test_support::SetupPath();
  options.quiet = true;
  std::string message;
  if (ProjectBuild(ProjectText(root + u"\\product", fail), root, options, &message)) {
    fprintf(stderr, "install_bench: %s\n", message.c_str());
    return u"";
  }
  return out + u"\\Setup.exe";
}

double ExtractAll(const std::u16string& package, const std::u16string& folder) {
  CreateDirectoryW(W(folder), nullptr);
  Clock::time_point start = Clock::now();
  PackageReader* reader = PackageReaderCreate();
  if (PackageOpen(reader, package.c_str(), nullptr, 0, kVerifyAlways, nullptr, nullptr)) return -1;
  PackageEntryHeader header;
  for (int n = 0; !PackageNextEntry(reader, &header); ++n)
    PackageExtractEntry(reader, &header, (folder + u"\\" + TextFromUtf8(std::to_string(n))).c_str());
  PackageClose(reader);
  PackageReaderDestroy(reader);
  return Seconds(start);
}

struct SetupTimes {
  double seconds = -1;
  uint64_t peak_bytes = 0;
  DWORD exit_code = 0;
};

SetupTimes RunSetup(const std::u16string& setup, const std::u16string& temp) {
  CreateDirectoryW(W(temp), nullptr);
  SetEnvironmentVariableW(L"TMP", W(temp));
  SetEnvironmentVariableW(L"TEMP", W(temp));
  std::u16string command = u"\"" + setup + u"\" /q2";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  SetupTimes times;
  Clock::time_point start = Clock::now();
  if (!CreateProcessW(nullptr, const_cast<wchar_t*>(W(command)), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return times;
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT)
    if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) times.peak_bytes = memory.PeakWorkingSetSize;
  times.seconds = Seconds(start);
  GetExitCodeProcess(process.hProcess, &times.exit_code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return times;
}

// The FILETIME of the first log record with `code` ("QEL:I0057", or with its first text:
// "QEL:I1701|...|Install files"), 0 when there is none.
uint64_t RecordTime(const std::string& log, const char* code, const char* text = nullptr) {
  // A record is "sequence|code|language-time|first text|...".
  auto first_text = [&](size_t record) { return log.find('|', log.find('|', record) + 1) + 1; };
  size_t at = log.find(std::string(code) + "|");
  while (text && at != std::string::npos && log.compare(first_text(at), strlen(text), text) != 0)
    at = log.find(std::string(code) + "|", at + 1);
  if (at == std::string::npos) return 0;
  size_t dash = log.find('-', at);
  return dash == std::string::npos ? 0 : std::stoull(log.substr(dash + 1, 16), nullptr, 16);
}

std::string NewestLog(const std::u16string& temp) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(W(temp + u"\\*.log"), &found);
  if (find == INVALID_HANDLE_VALUE) return "";
  FindClose(find);
  return test_support::ReadBytes(temp + u"\\" + reinterpret_cast<const char16_t*>(found.cFileName));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  uint64_t mib = argc > 1 ? _wtoi(argv[1]) : 256;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::u16string root = argc > 2 ? reinterpret_cast<const char16_t*>(argv[2]) : reinterpret_cast<const char16_t*>(temp);
  root += u"\\install_bench";
  FolderDeleteTree(root.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  CreateDirectoryW(W(root), nullptr);
  printf("install_bench: %s MiB in %d files, LZMA2\n", std::to_string(mib).c_str(), kFolders * kFilesPerFolder);
  WritePayload(root, mib << 20);
  std::u16string setup = BuildSetup(root, root + u"\\out", false);
  std::u16string failing = BuildSetup(root, root + u"\\out-fail", true);
  if (setup.empty() || failing.empty()) return 1;

  double plain = ExtractAll(setup, root + u"\\plain");
  SetupTimes install = RunSetup(setup, root + u"\\temp-install");
  std::string install_log = NewestLog(root + u"\\temp-install");
  uint64_t files_from = RecordTime(install_log, "QEL:I1701", "Install files");
  uint64_t files_to = RecordTime(install_log, "QEL:I1708", "Install files");
  double files = files_from && files_to >= files_from ? double(files_to - files_from) / 1e7 : -1;
  FolderDeleteTree((root + u"\\product").c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  SetupTimes failed = RunSetup(failing, root + u"\\temp-fail");
  std::string log = NewestLog(root + u"\\temp-fail");
  uint64_t from = RecordTime(log, "QEL:I0057"), to = RecordTime(log, "QEL:I0058");
  double rollback = from && to >= from ? double(to - from) / 1e7 : -1;

  printf("%-34s %8.2f s\n", "plain extraction (package reader)", plain);
  printf("%-34s %8.2f s  %.2fx plain  (exit %lu)\n", "Setup.exe /q2 installing", install.seconds,
         install.seconds / plain, install.exit_code);
  printf("%-34s %8.2f s  %.2fx plain\n", "  of which a115 installing files", files, files / plain);
  printf("%-34s %8.2f s  %.2fx the install  (exit %lu)\n", "rollback after the files", rollback,
         rollback / install.seconds, failed.exit_code);
  printf("%-34s %8.1f MiB\n", "installing process, peak working set", double(install.peak_bytes) / (1 << 20));
  FolderDeleteTree(root.c_str(), kTreeDeleteFiles | kTreeDeleteSubfolders);
  return 0;
}
