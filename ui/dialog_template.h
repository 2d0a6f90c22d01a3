// Dialog templates of the program's resources: lookup in the interface language (falling back to
// the neutral language and then to US English), the right-to-left layout, and creating dialogs from
// the prepared copy.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

// Layout flags.
enum : uint32_t {
  kLayoutFollowSession = 0x1,  // right to left exactly when the session reads right to left
  kLayoutRightToLeft = 0x2,
  kLayoutLeftToRight = 0x4,
};

constexpr size_t kMinimumTemplateSize = 18;
constexpr uint32_t kLayoutRtlStyle = 0x00400000;  // WS_EX_LAYOUTRTL

// Sets or clears the right-to-left layout style in a template by the layout flags (`session_rtl`
// answers flag 1). The extended style is at offset 8 of an extended template, 4 of a classic one.
void DialogTemplateSetLayout(uint8_t* data, size_t size, uint32_t layout, bool session_rtl);

// A resource of the program (the instance module) in the interface language, else the neutral
// language, else US English; null (size 0) when there is none.
const uint8_t* DialogResourceData(LPCWSTR type, uint32_t id, size_t* size);

// A prepared heap copy (MemFree) of template `id` and its size; null, with a D record (module,
// type, language, name) when it cannot be found or is shorter than 18 bytes.
uint8_t* DialogTemplatePrepare(uint32_t id, uint32_t layout, size_t* size);

// The owner of a dialog without one: the active modeless dialog, else the main window.
HWND DialogDefaultOwner();

// A modeless dialog from template `id` (not shown); null when it cannot be created.
HWND DialogCreateModeless(uint32_t id, DLGPROC procedure, uint32_t layout, HWND owner, LPARAM parameter);
// A modal dialog; returns its end code, or -1 with a D record (template, error) when it cannot be
// created.
INT_PTR DialogRunModal(uint32_t id, DLGPROC procedure, uint32_t layout, HWND owner, LPARAM parameter);
