// Trace records: one log line per notable step, "%08lX|QEL:%c%04u|%04X-%08lX%08lX|" followed by
// the record's arguments. A record code holds the record number minus 1 in bits 0-12, the
// severity in bits 13-15 (an index into "DIAQUWEF") and 0x0007 in bits 16-31. Each call site has
// its own code, written as TR("I0069"), so that the log's text finds the line that wrote it.
// Writing a record never changes the thread's last-error value.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <type_traits>

constexpr uint32_t TraceCodeOf(const char (&name)[6]) {
  constexpr const char kLetters[] = "DIAQUWEF";
  uint32_t severity = 8;
  for (uint32_t i = 0; i < 8; ++i)
    if (kLetters[i] == name[0]) severity = i;
  uint32_t number = 0;
  for (int i = 1; i < 5; ++i) {
    if (name[i] < '0' || name[i] > '9') severity = 8;
    number = number * 10 + uint32_t(name[i] - '0');
  }
  if (severity > 7 || number < 1 || number > 8192) throw "bad trace record name";  // compile-time error
  return 0x00070000u | (severity << 13) | (number - 1);
}
#define TR(name) (std::integral_constant<uint32_t, TraceCodeOf(name)>::value)

// A formatted record: the format and its values (TextFormat conventions), after the header's bar.
void Trace(uint32_t code, const char16_t* format, ...);
void TraceV(uint32_t code, const char16_t* format, va_list args);
// A listed record: `count` texts (const char16_t*), each appended after a "|".
void TraceList(uint32_t code, unsigned count, ...);
void TraceListArray(uint32_t code, unsigned count, const char16_t* const* texts);

// Builds the line of a record, as it is written (with the final line feed), into `line`, which
// holds kTraceLineCapacity characters; returns its length. Exposed for tests.
constexpr size_t kTraceLineCapacity = 16385;
size_t TraceFormatLine(char16_t* line, uint32_t code, uint16_t language, uint64_t filetime,
                       const char16_t* format, va_list args);
size_t TraceListLine(char16_t* line, uint32_t code, uint16_t language, uint64_t filetime, unsigned count,
                     const char16_t* const* texts);

// Where records go. The Windows runtime sends them to the log file; without a sink they are dropped.
struct TraceSink {
  void (*write_line)(void* context, const char16_t* line, size_t length);
  void* context;
};
void TraceSetSink(const TraceSink* sink);
// The current user-interface language, printed in every record.
void TraceSetLanguage(uint16_t language);
uint16_t TraceLanguage();
