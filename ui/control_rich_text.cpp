// c016 rich-text box: on binding, margins, word wrap, link detection and the content of its rich-text
// resource; a bound variable replaces that content with a file (when its value names one) or with
// its text. Clicked links are opened by the shell; a verb (0x8083) is performed by the shell on the
// content saved as a temporary rich-text file.
#include <windows.h>

#include <richedit.h>
#include <shellapi.h>

#include "install/file_journal.h"
#include "install/file_slots.h"
#include "runtime/file_utils.h"
#include "runtime/heap.h"
#include "runtime/random.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/dialog_messages.h"
#include "ui/rich_text_class.h"
#include "ui/rich_text_content.h"

namespace {

constexpr unsigned kTextResource = 14;  // u32: the resource id when the window text names none
constexpr int kMargin = 5;
constexpr LPARAM kTextLimit = 1048575;
constexpr int kNameAttempts = 16;

uint32_t ResourceId(const ControlInstance* instance) {
  uint32_t id = RichTextCreationId(instance->window);
  return id ? id : SlotU32(instance->control, kTextResource) & 0xFFFF;
}

void Prepare(ControlInstance* instance) {
  HWND window = instance->window;
  SendMessageW(window, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(kMargin, kMargin));
  SendMessageW(window, EM_SETTARGETDEVICE, 0, 0);
  SendMessageW(window, EM_AUTOURLDETECT, TRUE, 0);
  SendMessageW(window, EM_SETEVENTMASK, 0, SendMessageW(window, EM_GETEVENTMASK, 0, 0) | ENM_LINK);
  SendMessageW(window, EM_EXLIMITTEXT, 0, kTextLimit);
  RichTextLoadResource(window, ResourceId(instance));
}

// A released mouse button over a link opens the link's text.
bool OpenLink(HWND window, const ENLINK* link) {
  if (link->msg != WM_LBUTTONUP && link->msg != WM_RBUTTONUP) return false;
  CHARRANGE range = link->chrg;
  if (range.cpMax <= range.cpMin) return false;
  CHARRANGE previous{};
  SendMessageW(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&previous));
  SendMessageW(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  auto* text = MemNew<wchar_t>(size_t(range.cpMax - range.cpMin) + 1);
  SendMessageW(window, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(text));
  SendMessageW(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&previous));
  ShellExecuteW(window, L"open", text, nullptr, nullptr, SW_SHOWNORMAL);
  MemFree(text);
  return true;
}

// A new file "QEL<8 hex digits>.rtf" in the temporary folder, its path in `path`;
// INVALID_HANDLE_VALUE when none could be made.
HANDLE CreateTemporaryRtf(char16_t* path, char16_t* end) {
  for (int i = 0; i < kNameAttempts; ++i) {
    TempFileNameFrom(path, end, u"QEL", u".rtf", RandomNext32());
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

// The content is saved as rich text into a new temporary file that the file journal deletes at the
// end of the run, and the shell performs `verb` on it (a file that could not be written completely
// is only deleted).
void PerformVerb(ControlInstance* instance, const char16_t* verb) {
  if (!verb || !*verb) return;
  char16_t path[MAX_PATH + 1];
  HANDLE file = CreateTemporaryRtf(path, path + MAX_PATH);
  if (file == INVALID_HANDLE_VALUE) return;
  bool saved = RichTextSaveRtf(instance->window, file);
  CloseHandle(file);
  FileJournalSetState(FileJournalAdd(instance->database, path, ObjectId(instance->control)), kEntryTemporary);
  if (saved)
    ShellExecuteW(instance->window, reinterpret_cast<const wchar_t*>(verb), reinterpret_cast<const wchar_t*>(path),
                  nullptr, nullptr, SW_SHOWNORMAL);
}

// A value naming a file shows the file; an empty value keeps the resource's content.
void SetFromText(ControlInstance* instance, void* window, SetupObject*, const char16_t* text) {
  auto* box = static_cast<HWND>(window);
  if (!text || !*text) RichTextLoadResource(box, ResourceId(instance));
  else if (!RichTextLoadFile(box, text)) RichTextLoadText(box, text);
}

int Handler(ControlInstance* instance, void*, uint32_t message, uintptr_t wParam, intptr_t lParam, intptr_t* result) {
  switch (message) {
    case kControlBindMessage:
      Prepare(instance);
      return 0;
    case kControlVerbMessage:
      PerformVerb(instance, reinterpret_cast<const char16_t*>(lParam));
      *result = 0;
      return 1;
    case kReflectedCommand:
      // The dialog selects all of a text box it gives the focus to; a read-only text starts unselected.
      if (HIWORD(wParam) == EN_SETFOCUS) SendMessageW(instance->window, EM_SETSEL, 0, 0);
      return 0;
    case kReflectedNotify: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->code != EN_LINK) return 0;
      *result = OpenLink(instance->window, reinterpret_cast<const ENLINK*>(lParam)) ? 1 : 0;
      return 1;
    }
  }
  return 0;
}

}  // namespace

const ControlMethods kRichTextMethods = {
    Handler,      // handler
    SetFromText,  // set-from-text
};
