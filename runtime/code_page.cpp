#include "runtime/code_page.h"

OutputCodePages ChooseOutputCodePages(bool utf8Valid, uint32_t ansiCodePage, uint32_t consoleCodePage,
                                      StdOutputKind standardOutput) {
  if (!utf8Valid) return {ansiCodePage, consoleCodePage};
  return {kCodePageUtf8, standardOutput == StdOutputKind::kCharacter ? consoleCodePage : kCodePageUtf8};
}
