// System functions: datenow, errmsg, rkaccess, shpath, strlower, strupper.
#include <shlobj.h>
#include <windows.h>

#include "expr/functions.h"
#include "expr/main_window.h"
#include "expr/registry_read.h"
#include "expr/substitute.h"
#include "runtime/guid_text.h"
#include "runtime/number_parse.h"
#include "runtime/proc_address.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

using KnownFolderProc = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);

constexpr DWORD kKnownFolderDontVerify = 0x4000;  // KF_FLAG_DONT_VERIFY

HRESULT KnownFolderPath(const Guid& id, char16_t* start, char16_t* end) {
  static const KnownFolderProc known = ProcAddress<KnownFolderProc>(GetModuleHandleW(L"shell32.dll"),
                                                                    "SHGetKnownFolderPath");
  if (!known) return E_NOTIMPL;
  KNOWNFOLDERID folder;
  static_assert(sizeof(folder) == sizeof(id), "GUID layout");
  memcpy(&folder, &id, sizeof(id));
  PWSTR path = nullptr;
  HRESULT hr = known(folder, kKnownFolderDontVerify, nullptr, &path);
  if (SUCCEEDED(hr)) TextCopy(start, end, reinterpret_cast<const char16_t*>(path));
  CoTaskMemFree(path);
  return hr;
}

char16_t* CaseMapped(const char16_t* text, char16_t* start, char16_t* end, bool upper) {
  char16_t* out = TextCopy(start, end, text);
  if (out > start) {
    auto* w = reinterpret_cast<LPWSTR>(start);
    DWORD n = DWORD(out - start);
    if (upper) CharUpperBuffW(w, n);
    else CharLowerBuffW(w, n);
  }
  return out;
}

}  // namespace

EXPR_FUNCTION(datenow) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return DateShifted(start, end, now.wYear, now.wMonth, now.wDay, call.args[0], call.args[1], call.args[2]);
}

EXPR_FUNCTION(errmsg) {
  char16_t codeText[64];
  const char16_t* argument = call.args[0];
  if (!*argument) {
    const ExprResolver& r = *call.resolver;
    const char16_t* stored = r.variable_raw_by_id ? r.variable_raw_by_id(r.context, 456) : nullptr;
    SubstituteLevel(r, stored, codeText, codeText + 63, nullptr, nullptr, nullptr, call.depth + 1, call.stop);
    argument = codeText;
  }
  DWORD code = NumberParseU32(argument);
  char16_t* out = TextCopy(start, end, u"");
  if (start > end) return out;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                           nullptr, code, 0, reinterpret_cast<LPWSTR>(start), DWORD(end - start + 1), nullptr);
  out = start + n;
  while (out > start && IsBlank(out[-1])) --out;
  *out = 0;
  return out;
}

EXPR_FUNCTION(rkaccess) {
  HKEY root;
  const char16_t* subkey;
  HKEY key;
  bool opens = RegistryParseRoot(call.args[0], &root, &subkey) &&
               RegOpenKeyExW(root, reinterpret_cast<LPCWSTR>(subkey), 0, KEY_READ | RegistryNativeViewFlag(), &key) ==
                   ERROR_SUCCESS;
  if (opens) RegCloseKey(key);
  return TextCopy(start, end, opens ? u"1" : u"0");
}

EXPR_FUNCTION(shpath) {
  const char16_t* id = call.args[0];
  char16_t* out = TextCopy(start, end, u"");
  if (start > end) return out;
  HRESULT hr;
  if (id[0] == u'{') {
    Guid folder;
    GuidParse(id, &folder);
    hr = KnownFolderPath(folder, start, end);
  } else {
    wchar_t path[MAX_PATH];
    hr = SHGetFolderPathW(ExprMainWindow(), int(NumberParse32(id)), nullptr, SHGFP_TYPE_CURRENT, path);
    if (SUCCEEDED(hr)) TextCopy(start, end, reinterpret_cast<const char16_t*>(path));
  }
  if (FAILED(hr)) {
    Trace(TR("W1534"), u"%s|0x%08lX", id, uint32_t(hr));
    return TextCopy(start, end, u"");
  }
  return start + TextLength(start);
}

EXPR_FUNCTION(strlower) { return CaseMapped(call.args[0], start, end, false); }
EXPR_FUNCTION(strupper) { return CaseMapped(call.args[0], start, end, true); }
