#include "runtime/trace.h"

#include "runtime/heap.h"
#include "runtime/platform.h"
#include "runtime/text.h"

namespace {

TraceSink g_sink{};
uint16_t g_language;

constexpr char kSeverityLetters[] = "DIAQUWEF";
constexpr size_t kRecordCharacters = 16383;  // a record's text is cut beyond this

char16_t* FormatPrefix(char16_t* line, char16_t* end, uint32_t code, uint16_t language, uint64_t filetime) {
  return TextFormat(line, end, u"%08lX|QEL:%c%04u|%04X-%08lX%08lX", code,
                    char16_t(kSeverityLetters[(code >> 13) & 7]), (code & 0x1FFF) + 1, unsigned(language),
                    uint32_t(filetime >> 32), uint32_t(filetime));
}

// Carriage returns go, line feeds become "#", and the record ends with one line feed.
size_t FinishLine(char16_t* line, char16_t* textEnd) {
  char16_t* out = line;
  for (char16_t* p = line; p < textEnd; ++p) {
    if (*p == u'\r') continue;
    *out++ = *p == u'\n' ? u'#' : *p;
  }
  *out++ = u'\n';
  *out = 0;
  return size_t(out - line);
}

void Write(const char16_t* line, size_t length) {
  if (g_sink.write_line) g_sink.write_line(g_sink.context, line, length);
}

}  // namespace

size_t TraceFormatLine(char16_t* line, uint32_t code, uint16_t language, uint64_t filetime,
                       const char16_t* format, va_list args) {
  char16_t* end = line + kRecordCharacters;
  char16_t* p = FormatPrefix(line, end, code, language, filetime);
  p = TextCopy(p, end, u"|");
  p = TextFormatV(p, end, format, args);
  return FinishLine(line, p);
}

size_t TraceListLine(char16_t* line, uint32_t code, uint16_t language, uint64_t filetime, unsigned count,
                     const char16_t* const* texts) {
  char16_t* end = line + kRecordCharacters;
  char16_t* p = FormatPrefix(line, end, code, language, filetime);
  for (unsigned i = 0; i < count; ++i) {
    p = TextCopy(p, end, u"|");
    p = TextCopy(p, end, texts[i]);
  }
  return FinishLine(line, p);
}

void TraceV(uint32_t code, const char16_t* format, va_list args) {
  uint32_t lastError = PlatformLastError();
  uint64_t now = PlatformNowFileTime();
  auto* line = static_cast<char16_t*>(MemAllocFlags(kTraceLineCapacity * sizeof(char16_t), kMemMustSucceed));
  size_t length = TraceFormatLine(line, code, g_language, now, format, args);
  Write(line, length);
  MemFree(line);
  PlatformSetLastError(lastError);
}

void Trace(uint32_t code, const char16_t* format, ...) {
  va_list args;
  va_start(args, format);
  TraceV(code, format, args);
  va_end(args);
}

void TraceListArray(uint32_t code, unsigned count, const char16_t* const* texts) {
  uint32_t lastError = PlatformLastError();
  uint64_t now = PlatformNowFileTime();
  auto* line = static_cast<char16_t*>(MemAllocFlags(kTraceLineCapacity * sizeof(char16_t), kMemMustSucceed));
  size_t length = TraceListLine(line, code, g_language, now, count, texts);
  Write(line, length);
  MemFree(line);
  PlatformSetLastError(lastError);
}

void TraceList(uint32_t code, unsigned count, ...) {
  const char16_t* texts[16];
  unsigned n = count < 16 ? count : 16;
  va_list args;
  va_start(args, count);
  for (unsigned i = 0; i < n; ++i) texts[i] = va_arg(args, const char16_t*);
  va_end(args);
  TraceListArray(code, n, texts);
}

void TraceSetSink(const TraceSink* sink) { g_sink = sink ? *sink : TraceSink{}; }
void TraceSetLanguage(uint16_t language) { g_language = language; }
uint16_t TraceLanguage() { return g_language; }
