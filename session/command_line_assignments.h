// Variable and option assignments given on the command line, read from the argument vector in
// order (the program path is skipped). Pure functions: they yield name/value pairs, and the
// variables and options subsystems apply them.
#pragma once
#include <cstdint>

#include "session/argument_vector.h"

constexpr uint32_t kAssignmentNameCapacity = 256;  // names are cut to 255 characters

struct VariableAssignment {
  char16_t name[kAssignmentNameCapacity];
  const char16_t* value;  // points into the argument
};

struct OptionAssignment {
  char16_t name[kAssignmentNameCapacity];
  int32_t state;  // clamped to 0-5
};

// The next variable assignment at or after argument *index: an argument that is not a switch
// ("/" or "-"), does not begin with "$" and has "=" after at least one character sets the variable
// named by the text before the first "=" to the text after it. Advances *index past it; false when
// there is none.
bool NextVariableAssignment(const ArgumentVector* arguments, uint32_t* index, VariableAssignment* assignment);

// The next option assignment: "$NAME=N" with a non-empty name; N takes its base from the prefix
// and is clamped to 0-5.
bool NextOptionAssignment(const ArgumentVector* arguments, uint32_t* index, OptionAssignment* assignment);
