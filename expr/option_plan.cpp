#include "expr/option_plan.h"

#include "database/class_registry.h"
#include "expr/installable_item.h"
#include "expr/option_object.h"
#include "expr/option_states.h"
#include "expr/resolver.h"
#include "expr/variables.h"
#include "runtime/heap.h"
#include "runtime/trace.h"
#include "session/session_state.h"

namespace {

constexpr unsigned kFileSize = 20;  // file: u64
constexpr int kMaxDepth = 64;

enum : uint32_t {
  kVarExtraBytes = 401,
  kVarFreeBytes = 428,
  kVarFreeAfterInstallation = 429,
  kVarNeededBytes = 430,
  kVarRequiredBytes = 520,
  kVarFreedBytes = 521,
};

enum class Plan { kInstall, kRemove, kNeither };

struct Totals {
  Plan plan;
  uint64_t required;
  uint64_t freed;
};

Plan PlanOf(int32_t runMode) {
  if (runMode == kRunModeInstall || runMode == kRunModeRepair || runMode == kRunModeResume) return Plan::kInstall;
  return runMode == kRunModeRemove ? Plan::kRemove : Plan::kNeither;
}

int32_t RunMode() {
  SessionState* s = SessionCurrent();
  return s ? SessionRunMode(s) : kRunModeUnknown;
}

const char16_t* Name(const SetupObject* option) {
  const char16_t* name = SlotText(option, kOptionName);
  return name ? name : u"";
}

SetupObject* Parent(const SetupObject* option) { return SlotPointer<SetupObject>(option, kOptionParent); }

bool Clear(ObjectTable*, SetupObject* option, void*) {
  SetSlotU32(option, kOptionMarked, 0);
  SetSlotU32(option, kOptionSelectedDescendants, 0);
  return true;
}

bool SelectForRemoval(ObjectTable* db, SetupObject* option, void*) {
  OptionStoreSelection(db, option, kSelectionSelected);
  return true;
}

// Visits only selected options: one is effectively selected when its parent is (or it has none).
bool Mark(ObjectTable*, SetupObject* option, void*) {
  if (OptionSelection(option) < kSelectionSelected) return false;
  SetupObject* parent = Parent(option);
  if (parent && !SlotU32(parent, kOptionMarked)) return false;
  SetSlotU32(option, kOptionMarked, 1);
  for (int depth = 0; parent && depth < kMaxDepth; parent = Parent(parent), ++depth)
    SetSlotU32(parent, kOptionSelectedDescendants, SlotU32(parent, kOptionSelectedDescendants) + 1);
  return true;
}

bool Decide(ObjectTable*, SetupObject* option, void* context) {
  auto* totals = static_cast<Totals*>(context);
  bool installed = SlotInt(option, kOptionInstalled) == kOptionStateInstalled;
  bool installs = SlotU32(option, kOptionMarked) && OptionSelection(option) >= kSelectionSelected;
  int32_t after = installs ? kOptionStateInstalled : kOptionStateNotInstalled;
  int32_t action = installs ? kOptionActionInstall : installed ? kOptionActionRemove : kOptionActionNone;
  if (totals->plan == Plan::kNeither) {
    after = installed ? kOptionStateInstalled : kOptionStateNotInstalled;
    action = kOptionActionNone;
  }
  SetSlotU32(option, kOptionAfter, uint32_t(after));
  SetSlotU32(option, kOptionAction, uint32_t(action));
  if (action == kOptionActionInstall) totals->required += SlotU64(option, kOptionInstallSize);
  if (action == kOptionActionRemove) totals->freed += SlotU64(option, kOptionRemovalSize);
  Trace(TR("I1601"), u"%s|%d|%u|%d|%d", Name(option), OptionSelection(option), SlotU32(option, kOptionMarked), after,
        action);
  return true;
}

// The files that belong to no option count by the run mode.
void AddFilesWithoutOption(const ObjectTable* db, Totals* totals) {
  for (uint32_t i = 0; i < db->files.count; ++i) {
    const SetupObject* file = db->files.items[i];
    if (SlotView<U64Array>(file, kItemOptions)->count) continue;
    if (totals->plan == Plan::kInstall) totals->required += SlotU64(file, kFileSize);
    if (totals->plan == Plan::kRemove) totals->freed += SlotU64(file, kFileSize);
  }
}

int32_t CombinedAction(const ObjectTable* db, const U64Array* options) {
  bool removes = false;
  for (uint32_t i = 0; i < options->count; ++i) {
    const SetupObject* option = ObjectTableFind(db, TagOf("cmp9"), options->items[i]);
    int32_t action = option ? SlotInt(option, kOptionAction) : kOptionActionNone;
    if (action == kOptionActionInstall) return kOptionActionInstall;
    removes = removes || action == kOptionActionRemove;
  }
  return removes ? kOptionActionRemove : kOptionActionNone;
}

bool Commit(ObjectTable*, SetupObject* option, void*) {
  int32_t after = SlotInt(option, kOptionAfter);
  if (after == kOptionStateInstalled || after == kOptionStateNotInstalled)
    SetSlotU32(option, kOptionInstalled, uint32_t(after));
  int32_t selection = OptionSelection(option);
  if (selection >= kSelectionNotSelected && selection <= kSelectionFixed)
    SetSlotU32(option, kOptionStateIfFalse, uint32_t(selection));
  Trace(TR("I1604"), u"%s|%d|%d", Name(option), SlotInt(option, kOptionInstalled),
        SlotInt(option, kOptionStateIfFalse));
  return true;
}

}  // namespace

void OptionsComputeActionsAndSizes(ObjectTable* db) {
  Totals totals{PlanOf(RunMode()), 0, 0};
  OptionsForEach(db, Clear, nullptr);
  if (totals.plan == Plan::kInstall) {
    OptionsForEach(db, Mark, nullptr);
    totals.required += VariableU64(db, kVarExtraBytes);
  } else if (totals.plan == Plan::kRemove) {
    OptionsForEach(db, SelectForRemoval, nullptr);
  }
  OptionsForEach(db, Decide, &totals);
  AddFilesWithoutOption(db, &totals);
  // Measured now: the folder's free space changes without its variable changing.
  VariablesMeasureFreeSpace(db);
  uint64_t available = VariableU64(db, kVarFreeBytes);
  VariableSetU64(db, kVarRequiredBytes, totals.required);
  VariableSetU64(db, kVarNeededBytes, totals.required);
  VariableSetU64(db, kVarFreedBytes, totals.freed);
  VariableSetU64(db, kVarFreeAfterInstallation, available > totals.required ? available - totals.required : 0);
  Trace(TR("I1602"), u"%I64u|%I64u|%I64u", totals.required, totals.freed, available);
}

int32_t ItemEffectiveMode(const ObjectTable* db, const SetupObject* item, int32_t runMode) {
  const U64Array* options = SlotView<U64Array>(item, kItemOptions);
  int32_t action = kOptionActionNone;
  if (options->count) action = CombinedAction(db, options);
  else if (PlanOf(runMode) == Plan::kInstall) action = kOptionActionInstall;
  else if (PlanOf(runMode) == Plan::kRemove) action = kOptionActionRemove;
  if (action == kOptionActionInstall) return SlotInt(item, kItemInstallMode);
  return action == kOptionActionRemove ? SlotInt(item, kItemRemovalMode) : 0;
}

void OptionsDecideItemModes(ObjectTable* db) {
  OptionsComputeActionsAndSizes(db);
  int32_t runMode = RunMode();
  SetupObject** objects = ObjectTableSortedById(db);
  for (uint32_t i = 0; i < db->object_count; ++i) {
    SetupObject* item = objects[i];
    if (!ObjectIsA(item, TagOf("insi"))) continue;
    int32_t mode = ItemEffectiveMode(db, item, runMode);
    SetSlotU32(item, kItemEffectiveMode, uint32_t(mode));
    Trace(TR("I1603"), u"%s|%016I64X|%d", TagDebugName(ObjectClass(item)->tag), ObjectId(item), mode);
  }
  MemFree(objects);
}

void OptionsCommitInstalledStates(ObjectTable* db) { OptionsForEach(db, Commit, nullptr); }
