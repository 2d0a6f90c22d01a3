#include "actions/action_runner.h"

#include "actions/abort_on_failure.h"
#include "actions/action_journal.h"
#include "actions/action_object.h"
#include "actions/architecture.h"
#include "database/class_registry.h"
#include "database/localized_text.h"
#include "expr/database_resolver.h"
#include "expr/variables.h"
#include "runtime/fault_guard.h"
#include "runtime/fault_injection.h"
#include "runtime/heap.h"
#include "runtime/text.h"
#include "runtime/trace.h"
#include "session/session_state.h"
#include "session/session_window.h"
#include "ui/message_box.h"
#include "ui/progress.h"
#include "ui/string_table.h"

namespace {

constexpr uint32_t kTagSequence = TagOf("aseq");
constexpr uint32_t kTagAction = TagOf("a000");
constexpr uint32_t kTagPrepare = TagOf("a100");
constexpr uint32_t kTagRunDialog = TagOf("a201");
constexpr unsigned kFrameDialogs = 32;
constexpr size_t kProgressTextCapacity = 1024;

// One running sequence: the modeless dialogs started inside it.
struct RunnerFrame {
  RunnerFrame* outer;
  HWND dialogs[kFrameDialogs];
  unsigned count;
};

RunnerFrame* g_innermost;
int32_t g_nesting;
int32_t g_progressStep;

SessionState* Session() { return SessionCurrent(); }

const char16_t* SequenceName(const SetupObject* sequence) {
  const char16_t* name = SlotText(sequence, kSequenceName);
  return name ? name : u"";
}

bool Confirmed(SetupObject* action) {
  const char16_t* question = LocalizedTextFor(SlotLocalized(action, kActionConfirmation), SessionLanguage());
  // Unattended runs take Yes: the author asked for a confirmation, not for a stop.
  int answer = QelShowMessageBox(SessionMainWindow(),
                                 MB_YESNO | MB_ICONQUESTION | kMessageUnformatted | kMessageSubstitute, IDYES,
                                 MessageBoxTimeout(), question);
  return answer == IDYES;
}

// The description, loaded from the progress text id when empty, substituted and published.
void PublishDescription(ObjectTable* db, SetupObject* action) {
  LocalizedText* description = SlotLocalized(action, kActionDescription);
  const char16_t* text = LocalizedTextFor(description, SessionLanguage());
  if (!*text) {
    char16_t loaded[kProgressTextCapacity];
    char16_t* end = StringLoad(SlotU32(action, kActionProgressTextId), SessionLanguage(), loaded, loaded + kProgressTextCapacity - 1);
    LocalizedTextFree(description);
    description->text = MemNew<char16_t>(size_t(end - loaded) + 1);
    TextCopy(description->text, description->text + (end - loaded), loaded);
    text = description->text;
  }
  auto* substituted = MemNew<char16_t>(kSubstituteBufferCapacity);
  Substitute(db, text, substituted, substituted + kSubstituteBufferCapacity - 1);
  TraceList(TR("I1701"), 2, ActionName(action), substituted);
  if (!(ActionFlags(action) & kActionFlagSilent)) ProgressMainTextDirect(substituted);
  MemFree(substituted);
}

// Actions whose class has no run method: the built-in flow actions, or a class whose subsystem has
// not registered its methods (skipped with a record naming it).
int32_t RunBuiltIn(ObjectTable* db, SetupObject* action, uint32_t* context, uint64_t* target) {
  uint32_t tag = ObjectClass(action)->tag;
  switch (tag) {
    case TagOf("a000"): return kResultSkipped;
    case TagOf("a001"): {
      SetupObject* sequence = ObjectTableFind(db, kTagSequence, SlotU64(action, kActionTarget));
      if (!sequence) {
        Trace(TR("W1702"), u"%s|%016I64X", ActionName(action), SlotU64(action, kActionTarget));
        return kResultMissing;
      }
      return RunSequence(db, sequence, context);
    }
    case TagOf("a002"): *target = SlotU64(action, kActionTarget); return kResultTransfer;
    case TagOf("a003"): return kResultBack;
    case TagOf("a004"): return kResultTerminate;
    case TagOf("a006"): *target = SlotU64(action, kActionTarget); return kResultGoTo;
    case TagOf("a129"):
    case TagOf("a130"): return kResultSkipped;
    default:
      Trace(TR("W1703"), u"%s|%s", ActionName(action), TagDebugName(tag));
      return kResultSkipped;
  }
}

// The index to go back to from `index` (results 4 and 5): the nearest earlier action that exists,
// is a dialog action for result 5, and passes its pre-checks; the first action when none does.
uint32_t StepBack(ObjectTable* db, const U64Array* actions, uint32_t index, bool dialogsOnly) {
  for (uint32_t i = index; i-- > 0;) {
    SetupObject* earlier = ObjectTableFind(db, kTagAction, actions->items[i]);
    if (!earlier || (dialogsOnly && ObjectClass(earlier)->tag != kTagRunDialog)) continue;
    if (CheckAction(db, earlier)) return i;
  }
  return 0;
}

// The index to go on at for result 7: the target after the current action, else before it; the
// next action (with a record) when the target is missing or is the current action.
uint32_t GoTo(const U64Array* actions, uint32_t index, uint64_t target) {
  for (uint32_t i = index + 1; i < actions->count; ++i)
    if (actions->items[i] == target) return i;
  for (uint32_t i = 0; i < index; ++i)
    if (actions->items[i] == target) return i;
  Trace(TR("W1704"), u"%016I64X|%u", target, index);
  return index + 1;
}

struct SequenceRun {
  ObjectTable* db;
  SetupObject* sequence;
  uint32_t* context;
};

intptr_t WalkSequence(void* argument) {
  auto* run = static_cast<SequenceRun*>(argument);
  ObjectTable* db = run->db;
  const U64Array* actions = SlotView<U64Array>(run->sequence, kSequenceActions);
  for (uint32_t index = 0; index < actions->count;) {
    SetupObject* action = ObjectTableFind(db, kTagAction, actions->items[index]);
    if (!action) {
      Trace(TR("W1705"), u"%s|%016I64X", SequenceName(run->sequence), actions->items[index]);
      ++index;
      continue;
    }
    if (ObjectClass(action)->tag == kTagPrepare && index + 1 < actions->count) {
      g_progressStep = 50 / int32_t(actions->count - index);
      ProgressSetPosition(0, false);
    }
    uint64_t target = 0;
    int32_t result = RunAction(db, action, run->context, &target);
    switch (result) {
      case kResultFatal:
      case kResultCancelled:
        return result;
      case kResultFailed:
      case kResultMissing:
      case kResultStop:
      case kResultTerminate:
        return kResultDone;
      case kResultDone:
      case kResultDoneToo:
      case kResultSkipped:
        ++index;
        break;
      case kResultTransfer: {
        SetupObject* next = ObjectTableFind(db, kTagSequence, target);
        if (!next) {
          Trace(TR("W1706"), u"%s|%016I64X", ActionName(action), target);
          return kResultMissing;
        }
        run->sequence = next;
        actions = SlotView<U64Array>(next, kSequenceActions);
        index = 0;
        break;
      }
      case kResultBack:
      case kResultBackToDialog:
        index = StepBack(db, actions, index, result == kResultBackToDialog);
        break;
      case kResultGoTo:
        index = GoTo(actions, index, target);
        break;
      default:
        Trace(TR("W1707"), u"%s|%d", ActionName(action), result);
        return kResultDone;
    }
  }
  return kResultDone;
}

void CloseFrameDialogs(const RunnerFrame* frame) {
  for (unsigned i = 0; i < frame->count; ++i)
    if (IsWindow(frame->dialogs[i])) SendMessageW(frame->dialogs[i], kDialogEndMessage, kDialogEndByRunner, 0);
}

}  // namespace

bool CheckAction(ObjectTable* db, SetupObject* action) {
  const MachineArchitectures& machine = Machine();
  uint32_t architectures = SlotU32(action, kActionArchitectureMask);
  if (!(architectures & machine.native)) {
    Trace(TR("I1714"), u"%s|0x%08X|0x%08X", ActionName(action), architectures, machine.native);
    return false;
  }
  uint32_t capabilities = SlotU32(action, kActionCapabilityMask);
  int32_t mode = SlotInt(action, kActionCapabilityMatch);
  if (!ArchitectureMatches(capabilities, machine.runnable, mode)) {
    Trace(TR("I1715"), u"%s|0x%08X|0x%08X|%d", ActionName(action), capabilities, machine.runnable, mode);
    return false;
  }
  const char16_t* condition = SlotText(action, kActionCondition);
  if (EvaluateCondition(db, condition ? condition : u"", ActionName(action)) == 0) {
    Trace(TR("I1716"), u"%s", ActionName(action));
    return false;
  }
  if (ActionFlags(action) & kActionFlagFullUiOnly) {
    int32_t level = Session() ? SessionQuietLevel(Session()) : 0;
    if (level != 0) {
      Trace(TR("I1717"), u"%s|%d", ActionName(action), level);
      return false;
    }
  }
  return true;
}

int32_t RunAction(ObjectTable* db, SetupObject* action, uint32_t* context, uint64_t* target) {
  if (!db || !action) return kResultMissing;
  if (!CheckAction(db, action)) return kResultSkipped;
  uint32_t flags = ActionFlags(action);
  if ((flags & kActionFlagConfirm) && !Confirmed(action)) return kResultSkipped;
  PublishDescription(db, action);
  const ActionMethods* methods = ClassActionMethods(ObjectClass(action));
  if (!methods || !methods->run) return RunBuiltIn(db, action, context, target);
  switch (FaultInjectionActionDue()) {  // test builds only
    case FaultAtAction::kFail:  // as if the action's operation had been refused
      AbortOnFailure(kFailureAlways, true);
      return kResultFailed;
    case FaultAtAction::kCancelled:  // as if Cancel had closed the page
      return kResultTerminate;
    case FaultAtAction::kNone:
      break;
  }
  int32_t result = methods->run(action, db, context);
  Trace(TR("I1708"), u"%s|%d", ActionName(action), result);
  if (!(flags & kActionFlagNotJournaled)) JournalAppend(db, action, context, result);
  if (!(flags & kActionFlagSilent)) ProgressAdvance(g_progressStep);
  return result;
}

int32_t RunSequence(ObjectTable* db, SetupObject* sequence, uint32_t* context) {
  if (g_nesting >= kMaxSequenceNesting) {
    Trace(TR("E1709"), u"%s|%d", SequenceName(sequence), g_nesting);
    AbortOnFailure(kFailureAlways, true);
    return kResultFatal;
  }
  RunnerFrame frame{};
  frame.outer = g_innermost;
  g_innermost = &frame;
  int32_t depth = ++g_nesting;
  Trace(TR("I1719"), u"%s|%d", SequenceName(sequence), depth);
  SequenceRun run{db, sequence, context};
  intptr_t walked = kResultFailed;
  if (!RuntimeGuardedCall(WalkSequence, &run, &walked)) {
    walked = kResultFailed;
    g_innermost = &frame;  // the frames of nested runs were abandoned with the fault
    g_nesting = depth;
  }
  auto result = int32_t(walked);
  Trace(TR("I1721"), u"%s|%d", SequenceName(sequence), result);
  if (g_innermost == &frame) {
    if (result != 0) CloseFrameDialogs(&frame);
    g_innermost = frame.outer;
  } else {
    Trace(TR("W1722"), u"%s", SequenceName(sequence));
  }
  if (g_nesting > 0) --g_nesting;
  return result;
}

bool RunTopLevelSequences(SessionState* session) {
  ObjectTable* db = session ? session->database : nullptr;
  SetupObject* installation = db ? db->installation : nullptr;
  if (!installation) return false;
  SessionSetPhase(session, kPhaseRunning);
  constexpr unsigned kFirstSequence = 8, kSecondSequence = 10;
  g_nesting = 0;
  SetupObject* first = ObjectTableFind(db, kTagSequence, SlotU64(installation, kFirstSequence));
  if (!first) {
    Trace(TR("E1723"), u"%016I64X", SlotU64(installation, kFirstSequence));
    SessionRecordExitCode(session, 19);
  } else if (RunSequence(db, first, nullptr) < 0) {
    SessionRecordExitCode(session, 19);
  }
  SetupObject* second = ObjectTableFind(db, kTagSequence, SlotU64(installation, kSecondSequence));
  if (second) {
    g_nesting = 0;
    if (RunSequence(db, second, nullptr) < 0) SessionRecordExitCode(session, 19);
  }
  return true;
}

void RunnerRegisterModelessDialog(HWND dialog) {
  if (!g_innermost) return;
  if (g_innermost->count == kFrameDialogs) {
    Trace(TR("W1724"), u"%p", dialog);
    return;
  }
  g_innermost->dialogs[g_innermost->count++] = dialog;
}

int32_t RunnerNesting() { return g_nesting; }
