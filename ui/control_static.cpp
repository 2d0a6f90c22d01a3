// c010 static text: shows its variable as text, as a size in kilobytes or as a percentage.
#include <windows.h>

#include "resources/string_ids.h"
#include "runtime/number_parse.h"
#include "runtime/text.h"
#include "session/session_window.h"
#include "ui/control_framework.h"
#include "ui/control_methods.h"
#include "ui/string_table.h"

namespace {

constexpr unsigned kDisplayKind = 14;  // int
constexpr size_t kShownCapacity = 1024;

void SetFromText(ControlInstance* instance, void* window, SetupObject*, const char16_t* text) {
  char16_t shown[kShownCapacity];
  StaticDisplayText(SlotInt(instance->control, kDisplayKind), text ? text : u"", SessionLanguage(), shown,
                    shown + kShownCapacity - 1);
  SetWindowTextW(static_cast<HWND>(window), reinterpret_cast<const wchar_t*>(shown));
}

}  // namespace

char16_t* StaticDisplayText(int32_t kind, const char16_t* text, uint16_t language, char16_t* start, char16_t* end) {
  if (kind == kDisplaySize) {
    int64_t parsed = NumberParseDecimal64(text);
    uint64_t bytes = parsed < 0 ? 0 : uint64_t(parsed);
    char16_t* out = TextFormat(start, end, u"%I64u", (bytes + 1023) / 1024);
    return StringLoad(IDS_KILOBYTES, language, out, end);
  }
  if (kind == kDisplayPercent) {
    int64_t thousandths = NumberParseDecimal64(text);
    if (thousandths < 0) return TextCopy(start, end, u"");
    return TextFormat(start, end, u"%u %%", uint32_t((thousandths + 9) / 10));
  }
  return TextCopy(start, end, text);
}

const ControlMethods kStaticTextMethods = {
    nullptr,      // handler
    SetFromText,  // set-from-text
};
