#include "tools/kez/package_access.h"

#include <cstdio>
#include <cstring>

#include "runtime/errors.h"
#include "runtime/text.h"

namespace {

uint32_t CommandLinePassword(PackageReader* reader, uint32_t attempt, uint8_t* buffer, uint32_t* length) {
  const char* password = static_cast<const char*>(reader->host);
  size_t size = strlen(password);
  if (attempt > 0 || size == 0 || size > *length) return ERROR_INVALID_PASSWORD;
  memcpy(buffer, password, size);
  *length = uint32_t(size);
  return ERROR_SUCCESS;
}

bool VolumeBesideThePrevious(PackageReader* reader, uint32_t index, uint32_t last_error, char16_t* path) {
  if (last_error || index == 0) return false;
  PackageVolumePathBeside(reader->path, index, path, path + kPackagePathCapacity - 1);
  return true;
}

const char* ErrorText(uint32_t error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return "the file does not exist";
    case ERROR_PATH_NOT_FOUND: return "the folder does not exist";
    case ERROR_ACCESS_DENIED: return "access denied";
    case ERROR_BAD_FORMAT: return "the file holds no package";
    case ERROR_INVALID_DATA: return "the package data are invalid";
    case ERROR_NO_MORE_FILES: return "no next volume";
    case ERROR_CRC: return "the volume's digest does not match: the file is damaged";
    case ERROR_READ_FAULT: return "the compressed stream is damaged";
    case ERROR_HANDLE_EOF: return "the package ends too early";
    case ERROR_INVALID_PASSWORD: return "wrong password";
    case ERROR_INVALID_TARGET_HANDLE: return "a volume of another package";
    case ERROR_UNSUPPORTED_COMPRESSION: return "unsupported compression method";
    case ERROR_INVALID_INDEX: return "a volume out of order";
    case ERROR_FILE_ENCRYPTED: return "the package is enciphered: give --password";
    default: return "failed";
  }
}

}  // namespace

bool ParsePackageArguments(int argc, char** argv, bool with_folder, PackageArguments* arguments) {
  for (int k = 1; k < argc; ++k) {
    if (strcmp(argv[k], "--password") == 0 && k + 1 < argc) {
      arguments->password = argv[++k];
    } else if (!arguments->path) {
      arguments->path = argv[k];
    } else if (with_folder && !arguments->folder) {
      arguments->folder = argv[k];
    } else {
      return false;
    }
  }
  return arguments->path && (!with_folder || arguments->folder);
}

uint32_t OpenPackage(PackageReader* reader, const PackageArguments& arguments, PackageVolumeOpened on_volume) {
  if (arguments.password) {
    reader->host = const_cast<char*>(arguments.password);
    reader->password_provider = CommandLinePassword;
  }
  reader->next_volume_provider = VolumeBesideThePrevious;
  reader->volume_opened = on_volume;
  std::u16string path = TextFromUtf8(arguments.path);
  return PackageOpen(reader, path.c_str(), nullptr, 0, kVerifyAlways, nullptr, nullptr);
}

int ReportError(const std::string& what, uint32_t error) {
  fprintf(stderr, "kez: %s: error %u (%s)\n", what.c_str(), unsigned(error), ErrorText(error));
  return 1;
}
