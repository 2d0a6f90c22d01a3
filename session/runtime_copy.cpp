#include "session/runtime_copy.h"

#include <windows.h>

#include <cstring>

#include "actions/abort_on_failure.h"
#include "install/file_journal.h"
#include "install/file_ops.h"
#include "install/session_temp_folder.h"
#include "package/package_classify.h"
#include "package/package_format.h"
#include "resources/string_ids.h"
#include "runtime/error_text.h"
#include "runtime/file_utils.h"
#include "runtime/fs_redirection.h"
#include "runtime/heap.h"
#include "runtime/process_context.h"
#include "runtime/system_calls.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "ui/message_box.h"

namespace {

constexpr size_t kPathCapacity = 1024;
constexpr uint32_t kLeastPackageOffset = 0x10000;
constexpr uint32_t kDosHeaderSize = 0x40;
constexpr uint32_t kNewHeaderOffset = 0x3C;
constexpr uint32_t kChecksumInOptionalHeader = 64;
constexpr uint32_t kSecurityEntry32 = 128;  // data directory 4 of a 32-bit optional header (0x10B)
constexpr uint32_t kSecurityEntry64 = 144;  // and of a 64-bit one (0x20B)

// Checks the marker, the package offset and the locator's checksum of a DOS header.
uint32_t CheckHeader(const uint8_t* header, PackageLocator* locator) {
  if (LoadLe32(header + kPackageMarkerOffset) != PackageMarker()) return ERROR_BAD_FORMAT;
  PackageLocatorDecode(header + kPackageLocatorOffset, locator);
  if (locator->package_offset < kLeastPackageOffset) return ERROR_BAD_FORMAT;
  if (PackageLocatorChecksum(header + kPackageLocatorOffset) != LoadLe32(header + kLocatorChecksumOffset))
    return ERROR_CRC;
  return ERROR_SUCCESS;
}

uint32_t ReadOwnHeader(HANDLE self, PackageLocator* locator) {
  uint8_t header[kDosHeaderSize];
  DWORD read = 0;
  if (!ReadFile(self, header, sizeof header, &read, nullptr)) return GetLastError();
  return read == sizeof header ? CheckHeader(header, locator) : uint32_t(ERROR_BAD_FORMAT);
}

// Reads the first `length` bytes of `from`; fewer when the file is shorter (*read tells).
uint32_t ReadHead(HANDLE from, uint8_t* buffer, uint32_t length, uint32_t* read) {
  *read = 0;
  while (*read < length) {
    DWORD got = 0;
    if (!ReadFile(from, buffer + *read, length - *read, &got, nullptr)) return GetLastError();
    if (!got) break;
    *read += got;
  }
  return ERROR_SUCCESS;
}

// Copies the first `length` bytes of `from` into a new file `to`, in one write.
uint32_t CopyHead(HANDLE from, const char16_t* to, uint32_t length) {
  auto* buffer = static_cast<uint8_t*>(MemAlloc(length));
  if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
  uint32_t read = 0, written = 0;
  uint32_t err = ReadHead(from, buffer, length, &read);
  HANDLE out = err ? INVALID_HANDLE_VALUE
                   : Sys().CreateFileW(W(to), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (!err && out == INVALID_HANDLE_VALUE) err = GetLastError();
  DWORD done = 0;
  if (!err && !Sys().WriteFile(out, buffer, read, &done, nullptr)) err = GetLastError();
  written = done;
  if (out != INVALID_HANDLE_VALUE && !CloseHandle(out) && !err) err = GetLastError();
  MemFree(buffer);
  if (!err && written != length) err = ERROR_INCORRECT_SIZE;
  return err;
}

uint32_t MakeStandAlone(const char16_t* path, uint32_t size) {
  if (!Sys().SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL)) return GetLastError();
  HANDLE file = Sys().CreateFileW(W(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  uint32_t err = ERROR_SUCCESS;
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0) : nullptr;
  if (!view) err = GetLastError();
  else err = RuntimeCopyRestoreImage(static_cast<uint8_t*>(view), size);
  if (view && !FlushViewOfFile(view, 0) && !err) err = GetLastError();
  if (view) UnmapViewOfFile(view);
  if (mapping) CloseHandle(mapping);
  CloseHandle(file);
  return err;
}

uint32_t MakeCopy(const char16_t* target) {
  HANDLE self = CreateFileW(W(Process()->executable_path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (self == INVALID_HANDLE_VALUE) return GetLastError();
  PackageLocator locator{};
  uint32_t err = ReadOwnHeader(self, &locator);
  if (!err) err = SetFilePointer(self, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ? GetLastError() : 0;
  if (!err) err = CopyHead(self, target, locator.package_offset);
  CloseHandle(self);
  if (!err) err = MakeStandAlone(target, locator.package_offset);
  return err;
}

uint32_t Failed(SessionState* s, const char16_t* path, uint32_t err) {
  Trace(TR("E1190"), u"%s|%lu", path, err);
  QelShowMessageBox(static_cast<HWND>(s->main_window), MB_OK | MB_ICONERROR, IDOK, MessageBoxTimeout(),
                    MessageTextId(IDS_FILE_INSTALL_ERROR), path, err, ErrorTextOfThread(err));
  AbortOnFailure(kFailureFiles, false);
  FileDeleteForced(path);
  return err;
}

}  // namespace

uint32_t RuntimeCopyRestoreImage(uint8_t* image, uint32_t size) {
  PackageLocator locator;
  if (uint32_t err = CheckHeader(image, &locator)) return err;
  uint32_t optional = LoadLe32(image + kNewHeaderOffset) + 24;
  if (optional < kDosHeaderSize || optional > size - 2) return ERROR_BAD_FORMAT;
  uint16_t magic = LoadLe16(image + optional);
  uint32_t security = optional + (magic == 0x10B ? kSecurityEntry32 : kSecurityEntry64);
  if ((magic != 0x10B && magic != 0x20B) || security > size - 8) return ERROR_BAD_FORMAT;
  StoreLe32(image + optional + kChecksumInOptionalHeader, locator.image_checksum);
  StoreLe32(image + security, locator.security_offset);
  StoreLe32(image + security + 4, locator.security_size);
  memset(image + kPackageMarkerOffset, 0, kNewHeaderOffset - kPackageMarkerOffset);
  return ERROR_SUCCESS;
}

uint32_t RuntimeCopyStage(SessionState* s, ObjectTable* db) {
  char16_t target[kPathCapacity];
  uint32_t err = SessionTempFolderPath(db, target, kPathCapacity - 16);
  TextAppend(target, target + kPathCapacity - 1, u"\\SetupExe.$$$");
  if (err) return Failed(s, target, err);
  FsRedirectionScope native;
  err = MakeCopy(target);
  if (err) return Failed(s, target, err);
  FileJournalStage(db, target, 0, u"<KesProductFolder>", u"Setup.exe");
  TraceList(TR("A1191"), 1, target);
  return ERROR_SUCCESS;
}
