// Which code pages the runtime's own 8-bit output uses: the log file, and text written to the
// console or to a redirected standard output.
#pragma once
#include <cstdint>

constexpr uint32_t kCodePageUtf8 = 65001;

enum class StdOutputKind { kUnknown, kDisk, kCharacter, kPipe };

struct OutputCodePages {
  uint32_t log;      // 8-bit text the runtime writes itself
  uint32_t console;  // text written to standard output and error
};

// UTF-8 for both when the system knows code page 65001; a real console (a character device)
// keeps its own code page. Without UTF-8 the log uses the ANSI code page.
OutputCodePages ChooseOutputCodePages(bool utf8_valid, uint32_t ansi_code_page, uint32_t console_code_page,
                                      StdOutputKind standard_output);
