// Helpers of the Windows runtime tests: files, folders and child processes.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace test_support {

inline const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// Creates a new folder named `prefix` and eight hex digits in the temporary folder and returns its
// path. Folders made within one tick get different names: a name that exists is passed over.
inline std::u16string CreateUniqueTempFolder(const char16_t* prefix) {
  static DWORD serial = GetTickCount() ^ (GetCurrentProcessId() << 16);
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  for (;;) {
    wchar_t suffix[16];
    wsprintfW(suffix, L"%08lX", serial++);
    std::u16string path = reinterpret_cast<const char16_t*>(temp);
    path += prefix;
    path += reinterpret_cast<const char16_t*>(suffix);
    if (CreateDirectoryW(W(path), nullptr) || GetLastError() != ERROR_ALREADY_EXISTS) return path;
  }
}

// A registry value as "TYPE:DATA" for the tests: strings (REG_SZ, REG_EXPAND_SZ) as UTF-8 text
// without the terminator, REG_DWORD in decimal, any other type as upper-case hex bytes; "<no key>" or
// "<absent>" when there is nothing to read. `view` adds KEY_WOW64_32KEY or KEY_WOW64_64KEY.
inline std::string RegistryValueText(HKEY root, const std::u16string& subkey, const char16_t* name, REGSAM view = 0) {
  HKEY key;
  if (RegOpenKeyExW(root, W(subkey), 0, KEY_READ | view, &key)) return "<no key>";
  BYTE data[4096];
  DWORD size = sizeof data, type = 0;
  LSTATUS status = RegQueryValueExW(key, reinterpret_cast<LPCWSTR>(name), nullptr, &type, data, &size);
  RegCloseKey(key);
  if (status) return "<absent>";
  std::string out = std::to_string(type) + ":";
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    int units = size / 2 ? int(size / 2 - 1) : 0;
    char text[8192];
    int length = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWSTR>(data), units, text, sizeof text, nullptr,
                                     nullptr);
    return out + std::string(text, size_t(length));
  }
  if (type == REG_DWORD) return out + std::to_string(*reinterpret_cast<DWORD*>(data));
  static const char kHex[] = "0123456789ABCDEF";
  for (DWORD i = 0; i < size; ++i) out += std::string{kHex[data[i] >> 4], kHex[data[i] & 15]};
  return out;
}

// A fresh folder in the temporary folder, removed with its files by the destructor.
class TempFolder {
 public:
  explicit TempFolder(const char16_t* prefix) : path_(CreateUniqueTempFolder(prefix)) {}
  ~TempFolder() {
    for (const auto& name : Files()) DeleteFileW(W(path_ + u"\\" + name));
    RemoveDirectoryW(W(path_));
  }
  const std::u16string& path() const { return path_; }
  std::u16string File(const char16_t* name) const { return path_ + u"\\" + name; }
  std::vector<std::u16string> Files() const {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(W(path_ + u"\\*"), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
      if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        names.push_back(reinterpret_cast<const char16_t*>(data.cFileName));
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
  }

 private:
  std::u16string path_;
};

// The whole file, read while others may still write it; empty when it cannot be read.
inline std::string ReadBytes(const std::u16string& path) {
  HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD got = 0;
  if (!bytes.empty()) ReadFile(file, &bytes[0], DWORD(bytes.size()), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

inline void WriteBytes(const std::u16string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written;
  WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start + 1));
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// `text` as a regular expression that matches it literally.
inline std::string RegexEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

// The folder of this test program, with its final separator.
inline std::u16string ProgramFolder() {
  wchar_t path[MAX_PATH + 1];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::u16string folder(reinterpret_cast<const char16_t*>(path), n);
  return folder.substr(0, folder.find_last_of(u"\\/") + 1);
}

// A message-only window of a class registered for `procedure`.
inline HWND MessageWindow(const wchar_t* class_name, WNDPROC procedure) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = class_name;
  RegisterClassW(&windowClass);
  return CreateWindowW(class_name, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

struct Finished {
  DWORD exit_code;
  std::string error_output;
  bool timed_out;
};

// Starts `command_line` with TMP and TEMP pointing at `temp_folder` (the caller's own values are
// restored at once). Returns false with the last error kept where the program cannot start.
inline bool StartProgram(const std::u16string& command_line, const std::u16string& temp_folder,
                         STARTUPINFOW* startup, BOOL inherit_handles, PROCESS_INFORMATION* process) {
  wchar_t tmp[MAX_PATH + 1], temp[MAX_PATH + 1];
  GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH + 1);
  GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH + 1);
  SetEnvironmentVariableW(L"TMP", W(temp_folder));
  SetEnvironmentVariableW(L"TEMP", W(temp_folder));
  std::u16string line = command_line;
  BOOL started = CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(&line[0]), nullptr, nullptr, inherit_handles, 0,
                                nullptr, nullptr, startup, process);
  DWORD error = GetLastError();
  SetEnvironmentVariableW(L"TMP", tmp);
  SetEnvironmentVariableW(L"TEMP", temp);
  SetLastError(error);
  return started != FALSE;
}

// Waits for a started program and returns its exit code (STILL_ACTIVE where it did not end in time);
// closes its handles.
inline DWORD FinishProgram(PROCESS_INFORMATION* process, DWORD timeout_ms) {
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process->hProcess, timeout_ms) == WAIT_OBJECT_0) GetExitCodeProcess(process->hProcess, &code);
  CloseHandle(process->hProcess);
  CloseHandle(process->hThread);
  return code;
}

// Runs `command_line` with TMP and TEMP pointing at `temp_folder`, collecting standard error.
inline Finished RunProgram(const std::u16string& command_line, const std::u16string& temp_folder,
                           DWORD timeout_ms = 300000) {
  Finished result{0, {}, false};
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  CreatePipe(&readEnd, &writeEnd, &inherit, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  bool started = StartProgram(command_line, temp_folder, &startup, TRUE, &process);
  DWORD startError = GetLastError();
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    result.exit_code = startError;
    result.timed_out = true;
    return result;
  }
  // Reading until the end of the pipe would also wait for every process that inherited its write end
  // (under Wine, the desktop process started by the program's first window does): read what is there
  // while the program runs, and what is left once it has ended.
  DWORD started_at = GetTickCount();
  bool ended = false;
  for (;;) {
    DWORD available = 0;
    char buffer[4096];
    DWORD got = 0;
    while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available &&
           ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got)
      result.error_output.append(buffer, got);
    if (ended || GetTickCount() - started_at >= timeout_ms) break;
    ended = WaitForSingleObject(process.hProcess, 20) == WAIT_OBJECT_0;
  }
  CloseHandle(readEnd);
  result.exit_code = FinishProgram(&process, 0);
  result.timed_out = result.exit_code == STILL_ACTIVE;
  return result;
}

#ifdef SETUP_EXE_RELATIVE_PATH
// The full path of the Setup.exe built beside this test program (the test target defines where).
inline std::u16string SetupPath() {
  std::u16string relative = ProgramFolder() + SETUP_EXE_RELATIVE_PATH;
  wchar_t full[MAX_PATH + 1];
  GetFullPathNameW(W(relative), MAX_PATH + 1, full, nullptr);
  return reinterpret_cast<const char16_t*>(full);
}
#endif

}  // namespace test_support
