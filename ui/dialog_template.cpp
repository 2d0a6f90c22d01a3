#include "ui/dialog_template.h"

#include <cstring>

#include "runtime/heap.h"
#include "runtime/message_pump.h"
#include "runtime/modules.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/session_window.h"

namespace {

constexpr uint16_t kExtendedSignature = 0xFFFF;
constexpr LANGID kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// The resource in the interface language, the neutral language or US English.
HRSRC FindInLanguages(HMODULE module, LPCWSTR type, uint32_t id, uint16_t language) {
  if (language)
    if (HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), language)) return found;
  if (HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)))
    return found;
  return FindResourceExW(module, type, MAKEINTRESOURCEW(id), kUsEnglish);
}

}  // namespace

const uint8_t* DialogResourceData(LPCWSTR type, uint32_t id, size_t* size) {
  HMODULE module = ModuleInstance();
  HRSRC found = FindInLanguages(module, type, id, SessionLanguage());
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  *size = data ? SizeofResource(module, found) : 0;
  return static_cast<const uint8_t*>(data);
}

void DialogTemplateSetLayout(uint8_t* data, size_t size, uint32_t layout, bool sessionRtl) {
  if (size < kMinimumTemplateSize) return;
  bool extended = data[2] == 0xFF && data[3] == 0xFF && (data[0] | data[1] << 8) == 1;
  uint8_t* field = data + (extended ? 8 : 4);
  uint32_t style;
  memcpy(&style, field, 4);
  if (layout & kLayoutRightToLeft) style |= kLayoutRtlStyle;
  else if (layout & kLayoutLeftToRight) style &= ~kLayoutRtlStyle;
  else if (layout & kLayoutFollowSession) style = sessionRtl ? style | kLayoutRtlStyle : style & ~kLayoutRtlStyle;
  memcpy(field, &style, 4);
}

uint8_t* DialogTemplatePrepare(uint32_t id, uint32_t layout, size_t* size) {
  size_t length = 0;
  const uint8_t* data = DialogResourceData(RT_DIALOG, id, &length);
  if (length < kMinimumTemplateSize) {
    Trace(TR("D3222"), u"%p|%p|0x%04X|%p", ModuleInstance(), RT_DIALOG, SessionLanguage(), MAKEINTRESOURCEW(id));
    return nullptr;
  }
  auto* copy = static_cast<uint8_t*>(MemAlloc(length));
  if (!copy) return nullptr;
  memcpy(copy, data, length);
  SessionState* s = SessionCurrent();
  DialogTemplateSetLayout(copy, length, layout, s && s->right_to_left);
  *size = length;
  return copy;
}

HWND DialogDefaultOwner() {
  if (HWND active = ModelessActive()) return active;
  return SessionMainWindow();
}

HWND DialogCreateModeless(uint32_t id, DLGPROC procedure, uint32_t layout, HWND owner, LPARAM parameter) {
  size_t size = 0;
  uint8_t* prepared = DialogTemplatePrepare(id, layout, &size);
  if (!prepared) return nullptr;
  if (!owner) owner = DialogDefaultOwner();
  HWND window = CreateDialogIndirectParamW(ModuleInstance(), reinterpret_cast<LPCDLGTEMPLATEW>(prepared), owner,
                                           procedure, parameter);
  if (!window) Trace(TR("D3223"), u"%p|%lu", MAKEINTRESOURCEW(id), GetLastError());
  MemFree(prepared);
  return window;
}

INT_PTR DialogRunModal(uint32_t id, DLGPROC procedure, uint32_t layout, HWND owner, LPARAM parameter) {
  size_t size = 0;
  uint8_t* prepared = DialogTemplatePrepare(id, layout, &size);
  if (!prepared) return -1;
  if (!owner) owner = DialogDefaultOwner();
  INT_PTR result = DialogBoxIndirectParamW(ModuleInstance(), reinterpret_cast<LPCDLGTEMPLATEW>(prepared), owner,
                                           procedure, parameter);
  if (result == -1) Trace(TR("D3224"), u"%p|%lu", MAKEINTRESOURCEW(id), GetLastError());
  MemFree(prepared);
  return result;
}
