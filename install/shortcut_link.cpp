#include "install/shortcut_link.h"

#include "install/file_ops.h"

namespace {

constexpr DWORD kLinkRunAsAdministrator = 0x2000;

// The data-list interface of the link object ({45E2B4AE-B1C3-11D0-B92F-00A0C90312E1}).
constexpr IID kIidShellLinkDataList = {0x45E2B4AE, 0xB1C3, 0x11D0, {0xB9, 0x2F, 0x00, 0xA0, 0xC9, 0x03, 0x12, 0xE1}};

bool Given(const char16_t* text) { return text && *text; }

}  // namespace

HRESULT ShortcutLinkCreate(ShortcutLink* link, const char16_t** failed_call) {
  *link = {};
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&link->link));
  if (FAILED(result)) {
    link->link = nullptr;
    *failed_call = u"CoCreateInstance(IID_IShellLink)";
    return result;
  }
  result = link->link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&link->file));
  if (FAILED(result)) {
    link->file = nullptr;
    ShortcutLinkRelease(link);
    *failed_call = u"QueryInterface(IID_IPersistFile)";
    return result;
  }
  if (FAILED(link->link->QueryInterface(kIidShellLinkDataList, reinterpret_cast<void**>(&link->data_list))))
    link->data_list = nullptr;
  return S_OK;
}

void ShortcutLinkSet(const ShortcutLink& link, const ShortcutLinkFields& fields) {
  IShellLinkW* l = link.link;
  l->SetPath(W(fields.target));
  l->SetShowCmd(fields.show_command);
  if (Given(fields.arguments)) l->SetArguments(W(fields.arguments));
  if (Given(fields.working_folder)) l->SetWorkingDirectory(W(fields.working_folder));
  if (Given(fields.description)) l->SetDescription(W(fields.description));
  if (Given(fields.icon_path)) l->SetIconLocation(W(fields.icon_path), fields.icon_index);
  DWORD flags = 0;
  if (link.data_list && fields.run_as_administrator && SUCCEEDED(link.data_list->GetFlags(&flags)))
    link.data_list->SetFlags(flags | kLinkRunAsAdministrator);
}

HRESULT ShortcutLinkSave(const ShortcutLink& link, const char16_t* path) {
  return link.file->Save(W(path), TRUE);
}

void ShortcutLinkRelease(ShortcutLink* link) {
  if (link->data_list) link->data_list->Release();
  if (link->file) link->file->Release();
  if (link->link) link->link->Release();
  *link = {};
}
