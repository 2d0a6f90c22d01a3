// A small world for the runner's tests: a database built with the builder API (installation record,
// the session's variables, sequences and actions), the session that runs it quietly, a probe action
// class whose run, finalize and rollback methods are scripted per action, and the trace records.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "actions/action_object.h"
#include "actions/flow_actions.h"
#include "database/class_registry.h"
#include "database/database_builder.h"
#include "database/database_link.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/session_variables.h"

namespace runner_test {

constexpr uint32_t kProbeTag = TagOf("a102");  // a class whose methods belong to later work
constexpr uint32_t kAllArchitectures = kArchitectureX86 | kArchitectureX64 | kArchitectureArm64;

// What the probe class did, in order: "run:<id>", "finalize:<id>", "rollback:<id>".
struct ProbeLog {
  std::vector<std::string> calls;
  std::map<uint64_t, std::vector<int32_t>> results;  // run results per action, taken in turn (last repeats)
  std::map<uint64_t, void (*)(SetupObject*)> effects;  // run before the result is returned
};
ProbeLog& Probe();
extern const ActionMethods kProbeMethods;

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A variable with a fixed id.
  SetupObject* Variable(uint32_t id, const char16_t* name, const char16_t* value);
  // An action of the tag, running everywhere, with name "A<id>".
  SetupObject* Action(uint32_t tag, uint64_t id, uint32_t flags = 0, const char16_t* condition = nullptr);
  SetupObject* Sequence(uint64_t id, const std::vector<uint64_t>& actions);
  // Links the database (variable list sorted) and makes it the session's.
  void Link();
  int32_t Run(uint64_t sequence_id, uint32_t* context = nullptr);

  // Records with the code (as "I1716") whose arguments contain `arguments`.
  bool Traced(const char16_t* code, const char16_t* arguments = u"") const;
  size_t CountTraced(const char16_t* code, const char16_t* arguments = u"") const;
  std::u16string Value(uint32_t id);

  ObjectTable* db_ = nullptr;
  SessionState* session_ = nullptr;
  SetupObject* installation_ = nullptr;

 public:
  static std::vector<std::u16string> lines_;  // trace records of the test
};

}  // namespace runner_test
