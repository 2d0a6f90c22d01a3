// Host (POSIX) side of the platform services: UTF-16 paths are converted to UTF-8, Windows
// attributes are derived from the file mode (read-only, directory) and errno maps to Windows errors.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <string>

#include "runtime/errors.h"
#include "runtime/platform.h"
#include "runtime/text.h"

namespace {

constexpr uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

uint32_t WindowsError(int error) {
  switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOSPC: return 112;  // ERROR_DISK_FULL
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
  }
}

std::string HostPath(const char16_t* path) {
  std::string p = TextToUtf8(path);
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

uint64_t FileTimeOf(const struct timespec& t) {
  return kUnixEpochAsFileTime + uint64_t(t.tv_sec) * 10000000ULL + uint64_t(t.tv_nsec) / 100;
}

uint32_t AttributesOf(const struct stat& st) {
  uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= kAttributeDirectory;
  if (!(st.st_mode & S_IWUSR)) attributes |= kAttributeReadOnly;
  return attributes ? attributes : kAttributeNormal;
}

}  // namespace

uint64_t PlatformNowFileTime() {
  auto since = std::chrono::system_clock::now().time_since_epoch();
  return kUnixEpochAsFileTime + uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(since).count() / 100);
}

uint32_t PlatformLastError() { return 0; }
void PlatformSetLastError(uint32_t) {}

uint32_t FileOpenRead(const char16_t* path, uint32_t, FileHandle* file) {
  int fd = open(HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return WindowsError(errno);
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    return ERROR_ACCESS_DENIED;
  }
  *file = fd;
  return ERROR_SUCCESS;
}

uint32_t FileCreateWrite(const char16_t* path, uint32_t, FileHandle* file) {
  int fd = open(HostPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return WindowsError(errno);
  *file = fd;
  return ERROR_SUCCESS;
}

uint32_t FileOpenReadWrite(const char16_t* path, FileHandle* file) {
  int fd = open(HostPath(path).c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return WindowsError(errno);
  *file = fd;
  return ERROR_SUCCESS;
}

uint32_t FileRead(FileHandle file, void* buffer, uint32_t count, uint32_t* got) {
  *got = 0;
  while (*got < count) {
    ssize_t n = read(int(file), static_cast<char*>(buffer) + *got, count - *got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WindowsError(errno);
    if (n == 0) break;
    *got += uint32_t(n);
  }
  return ERROR_SUCCESS;
}

uint32_t FileWrite(FileHandle file, const void* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = write(int(file), static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WindowsError(errno);
    done += uint32_t(n);
  }
  return ERROR_SUCCESS;
}

uint32_t FileSeek(FileHandle file, uint64_t position) {
  return lseek(int(file), off_t(position), SEEK_SET) < 0 ? WindowsError(errno) : ERROR_SUCCESS;
}

uint32_t FileSize(FileHandle file, uint64_t* size) {
  struct stat st;
  if (fstat(int(file), &st) != 0) return WindowsError(errno);
  *size = uint64_t(st.st_size);
  return ERROR_SUCCESS;
}

uint32_t FileSetLastWriteTime(FileHandle file, uint64_t filetime) {
  struct timespec times[2];
  times[0].tv_nsec = UTIME_OMIT;
  times[0].tv_sec = 0;
  int64_t units = int64_t(filetime - kUnixEpochAsFileTime);
  int64_t seconds = units / 10000000;
  int64_t rest = units % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  times[1].tv_sec = time_t(seconds);
  times[1].tv_nsec = long(rest * 100);
  return futimens(int(file), times) == 0 ? ERROR_SUCCESS : WindowsError(errno);
}

uint32_t FileClose(FileHandle file) { return close(int(file)) == 0 ? ERROR_SUCCESS : WindowsError(errno); }

uint32_t FileGetAttributes(const char16_t* path, uint32_t* attributes) {
  struct stat st;
  if (stat(HostPath(path).c_str(), &st) != 0) return WindowsError(errno);
  *attributes = AttributesOf(st);
  return ERROR_SUCCESS;
}

uint32_t FileSetAttributes(const char16_t* path, uint32_t attributes) {
  std::string p = HostPath(path);
  struct stat st;
  if (stat(p.c_str(), &st) != 0) return WindowsError(errno);
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & kAttributeReadOnly) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
  return chmod(p.c_str(), mode) == 0 ? ERROR_SUCCESS : WindowsError(errno);
}

uint32_t FileGetFacts(const char16_t* path, FileFacts* facts) {
  struct stat st;
  if (stat(HostPath(path).c_str(), &st) != 0) return WindowsError(errno);
  facts->attributes = AttributesOf(st);
  facts->creation_time = FileTimeOf(st.st_ctim);
  facts->last_write_time = FileTimeOf(st.st_mtim);
  facts->size = S_ISDIR(st.st_mode) ? 0 : uint64_t(st.st_size);
  return ERROR_SUCCESS;
}

uint32_t FileDelete(const char16_t* path) {
  return unlink(HostPath(path).c_str()) == 0 ? ERROR_SUCCESS : WindowsError(errno);
}

uint32_t FileReplace(const char16_t* from, const char16_t* to) {
  std::string target = HostPath(to);
  struct stat st;
  if (stat(target.c_str(), &st) == 0 && (AttributesOf(st) & kAttributeReadOnly)) return ERROR_ACCESS_DENIED;
  return rename(HostPath(from).c_str(), target.c_str()) == 0 ? ERROR_SUCCESS : WindowsError(errno);
}

uint32_t PlatformGetEnvironment(const char16_t* name, char16_t* buffer, uint32_t capacity) {
  if (capacity) buffer[0] = 0;
  const char* value = getenv(TextToUtf8(name).c_str());
  if (!value) return 0;
  std::u16string text = TextFromUtf8(value, strlen(value));
  if (text.size() >= capacity) return uint32_t(text.size());
  memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return uint32_t(text.size());
}

void PlatformSetEnvironment(const char16_t* name, const char16_t* value) {
  if (value) setenv(TextToUtf8(name).c_str(), TextToUtf8(value).c_str(), 1);
  else unsetenv(TextToUtf8(name).c_str());
}

uint32_t PlatformAnsiToText(const char* bytes, uint32_t count, char16_t* out, uint32_t capacity) {
  uint32_t n = count < capacity ? count : capacity;
  for (uint32_t i = 0; i < n; ++i) out[i] = char16_t(static_cast<unsigned char>(bytes[i]));
  return n;
}

uint32_t PlatformTextToAnsi(const char16_t* text, uint32_t count, char* out, uint32_t capacity) {
  uint32_t n = count < capacity ? count : capacity;
  for (uint32_t i = 0; i < n; ++i) out[i] = text[i] < 0x100 ? char(text[i]) : '?';
  return n;
}
