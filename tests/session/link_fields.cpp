#include "tests/session/link_fields.h"

#include <shlobj.h>

#include <fstream>

namespace {

constexpr size_t kShowCommandOffset = 0x3C;  // in the 76-byte link header

std::u16string Text(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

int StoredShowCommand(const std::u16string& file) {
  std::ifstream in(reinterpret_cast<const wchar_t*>(file.c_str()), std::ios::binary);
  unsigned char header[kShowCommandOffset + 4] = {};
  if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return -1;
  const unsigned char* p = header + kShowCommandOffset;
  return int(p[0] | p[1] << 8 | p[2] << 16 | unsigned(p[3]) << 24);
}

void ReadFields(IShellLinkW* link, LinkFields* f) {
  wchar_t text[1024];
  if (SUCCEEDED(link->GetPath(text, 1024, nullptr, SLGP_RAWPATH))) f->path = Text(text);
  if (SUCCEEDED(link->GetArguments(text, 1024))) f->arguments = Text(text);
  if (SUCCEEDED(link->GetWorkingDirectory(text, 1024))) f->working_folder = Text(text);
  if (SUCCEEDED(link->GetDescription(text, 1024))) f->description = Text(text);
  if (SUCCEEDED(link->GetIconLocation(text, 1024, &f->icon_index))) f->icon = Text(text);
  IShellLinkDataList* data = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IShellLinkDataList, reinterpret_cast<void**>(&data)))) {
    data->GetFlags(&f->data_flags);
    data->Release();
  }
}

}  // namespace

LinkFields LinkFieldsRead(const std::u16string& file) {
  LinkFields f;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link))))
    return f;
  IPersistFile* persist = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
      SUCCEEDED(persist->Load(reinterpret_cast<const wchar_t*>(file.c_str()), STGM_READ))) {
    f.loaded = true;
    ReadFields(link, &f);
    f.show_command = StoredShowCommand(file);
  }
  if (persist) persist->Release();
  link->Release();
  return f;
}
