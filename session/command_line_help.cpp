#include "session/command_line_help.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include "resources/string_ids.h"
#include "runtime/trace.h"
#include "ui/message_box.h"

namespace {

void ShowUsage(SessionState*) {
  QelShowMessageBox(nullptr, MB_OK | MB_ICONINFORMATION, IDOK, kDefaultMessageTimeoutMs, MessageTextId(IDS_USAGE),
                    kHelpAddress);
}

void OpenHelp(SessionState*) {
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOZONECHECKS | SEE_MASK_NOASYNC;
  info.lpVerb = L"open";
  info.lpFile = reinterpret_cast<const wchar_t*>(kHelpAddress);
  info.nShow = SW_SHOWNORMAL;
  if (ShellExecuteExW(&info)) Trace(TR("I1104"), u"%s", kHelpAddress);
  else Trace(TR("W1105"), u"%s|%lu", kHelpAddress, uint32_t(GetLastError()));
  if (SUCCEEDED(com)) CoUninitialize();
}

uint16_t UserDefaultLanguage() { return GetUserDefaultLangID(); }

}  // namespace

const SwitchActions kSystemSwitchActions = {
    ShowUsage,            // show_usage
    OpenHelp,             // open_help
    UserDefaultLanguage,  // user_default_language
};
