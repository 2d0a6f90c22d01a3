#include "tests/actions/runner_fixture.h"

#include "actions/action_journal.h"
#include "actions/action_runner.h"
#include "expr/variables.h"
#include "session/session_run_control.h"

namespace runner_test {

std::vector<std::u16string> RunnerTest::lines_;

ProbeLog& Probe() {
  static ProbeLog log;
  return log;
}

namespace {

std::string Id(const SetupObject* action) { return std::to_string(ObjectId(action)); }

int32_t ProbeRun(SetupObject* action, ObjectTable*, uint32_t*) {
  Probe().calls.push_back("run:" + Id(action));
  auto effect = Probe().effects.find(ObjectId(action));
  if (effect != Probe().effects.end()) effect->second(action);
  auto& results = Probe().results[ObjectId(action)];
  if (results.empty()) return kResultDone;
  int32_t result = results.front();
  if (results.size() > 1) results.erase(results.begin());
  return result;
}

int32_t ProbeFinalize(SetupObject* action, int32_t, uint32_t*) {
  Probe().calls.push_back("finalize:" + Id(action));
  return 0;
}

int32_t ProbeRollback(SetupObject* action, int32_t, uint32_t*) {
  Probe().calls.push_back("rollback:" + Id(action));
  return 0;
}

void Keep(void*, const char16_t* line, size_t length) { RunnerTest::lines_.emplace_back(line, length); }
const TraceSink kSink = {Keep, nullptr};

}  // namespace

const ActionMethods kProbeMethods = {ProbeRun, ProbeFinalize, ProbeRollback};

void RunnerTest::SetUp() {
  lines_.clear();
  Probe() = ProbeLog{};
  TraceSetSink(&kSink);
  ClassRegistryRegisterSetupClasses();
  FlowActionsRegister();
  ClassSetActionMethods(kProbeTag, &kProbeMethods);
  db_ = BuilderCreateTable();
  installation_ = BuilderAddObject(db_, TagOf("inst"), 1);
  BuilderSetU32(installation_, 14, 0xFFFFFFFF);  // every category aborts
  BuilderSetText(installation_, 20, u"Probe Product");
  for (uint32_t id : {502u, 503u, 505u, 506u, 507u, 508u, 509u}) {
    char16_t name[16];
    TextFormat(name, name + 15, u"Session%u", id);
    Variable(id, name, u"0");
  }
  Variable(501, u"MainText", u"");
  Variable(500, u"DetailText", u"");
  Variable(504, u"Position", u"");
  session_ = SessionCreate(1);
  session_->quiet_level = 2;
  session_->run_mode = kRunModeInstall;
  SessionSetCurrent(session_);
  SessionInstallRunControl();  // quiet: a fault is reported without a message box
  SessionConnectVariables();
}

void RunnerTest::TearDown() {
  JournalFree();
  SessionDisconnectVariables();
  SessionRemoveRunControl();
  SessionFree(session_);
  ObjectTableDestroy(db_);
  TraceSetSink(nullptr);
}

SetupObject* RunnerTest::Variable(uint32_t id, const char16_t* name, const char16_t* value) {
  SetupObject* variable = BuilderAddObject(db_, TagOf("symb"), 0x10000 + id);
  BuilderSetU32(variable, 8, id);
  BuilderSetText(variable, 16, name);
  BuilderSetLocalized(variable, 10, value, nullptr, 0);
  return variable;
}

SetupObject* RunnerTest::Action(uint32_t tag, uint64_t id, uint32_t flags, const char16_t* condition) {
  SetupObject* action = BuilderAddObject(db_, tag, id);
  BuilderSetU32(action, kActionFlags, flags);
  BuilderSetU32(action, kActionArchitectureMask, kAllArchitectures);
  BuilderSetU32(action, kActionCapabilityMask, kAllArchitectures);
  std::u16string name = u"A" + std::u16string(TextFromUtf8(std::to_string(id)));
  BuilderSetText(action, kActionName, name.c_str());
  if (condition) BuilderSetText(action, kActionCondition, condition);
  return action;
}

SetupObject* RunnerTest::Sequence(uint64_t id, const std::vector<uint64_t>& actions) {
  SetupObject* sequence = BuilderAddObject(db_, TagOf("aseq"), id);
  std::u16string name = u"S" + std::u16string(TextFromUtf8(std::to_string(id)));
  BuilderSetText(sequence, kSequenceName, name.c_str());
  BuilderSetIdList(sequence, kSequenceActions, actions.data(), uint32_t(actions.size()));
  return sequence;
}

void RunnerTest::Link() {
  LinkHooks hooks{};
  DatabaseLink(db_, &hooks);
  session_->database = db_;
  VariableSetInt(db_, 505, session_->quiet_level);
  VariableSetInt(db_, 508, session_->run_mode);
}

int32_t RunnerTest::Run(uint64_t sequenceId, uint32_t* context) {
  return RunSequence(db_, ObjectTableFind(db_, TagOf("aseq"), sequenceId), context);
}

bool RunnerTest::Traced(const char16_t* code, const char16_t* arguments) const {
  return CountTraced(code, arguments) > 0;
}

size_t RunnerTest::CountTraced(const char16_t* code, const char16_t* arguments) const {
  size_t count = 0;
  std::u16string prefix = std::u16string(u"QEL:") + code + u"|";
  for (const auto& line : lines_) {
    size_t at = line.find(prefix);
    size_t bar = at == std::u16string::npos ? at : line.find(u'|', at + prefix.size());  // after the time
    if (bar != std::u16string::npos && line.find(arguments, bar) != std::u16string::npos) ++count;
  }
  return count;
}

std::u16string RunnerTest::Value(uint32_t id) {
  char16_t buffer[1024];
  VariableValue(db_, id, buffer, buffer + 1023);
  return buffer;
}

}  // namespace runner_test
