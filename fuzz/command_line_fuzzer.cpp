// Response-file decoding, splitting, switch parsing, assignments and the joined line on arbitrary
// bytes (without reading files).
#include <cstddef>
#include <cstdint>

#include "runtime/heap.h"
#include "session/command_line_assignments.h"
#include "session/command_line_split.h"
#include "session/command_line_switches.h"
#include "session/command_line_values.h"

namespace {

const SwitchActions kNoActions = {[](SessionState*) {}, [](SessionState*) {}, []() -> uint16_t { return 0x0409; }};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t length = 0;
  char16_t* text = ResponseFileDecode(data, size, &length);
  SessionState* session = SessionCreate(0x12345678);
  CommandLineSplit(text, false, &session->arguments);
  CommandLineParseSwitches(session, &kNoActions);
  VariableAssignment variable;
  for (uint32_t i = 0; NextVariableAssignment(&session->arguments, &i, &variable);) {
  }
  OptionAssignment option;
  for (uint32_t i = 0; NextOptionAssignment(&session->arguments, &i, &option);) {
  }
  MemFree(CommandLineJoin(&session->arguments));
  MemFree(CommandLineHidePasswords(text));
  SessionFree(session);
  MemFree(text);
  return 0;
}
