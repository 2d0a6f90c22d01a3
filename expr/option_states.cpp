#include "expr/option_states.h"

#include "actions/architecture.h"
#include "expr/database_resolver.h"
#include "expr/option_object.h"
#include "expr/option_plan.h"
#include "expr/variables.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

constexpr int kMaxDepth = 64;

HWND g_listeners[kMaxOptionListeners];
unsigned g_listenerCount;

const char16_t* Text(const SetupObject* option, unsigned slot) {
  const char16_t* text = SlotText(option, slot);
  return text ? text : u"";
}

void Walk(ObjectTable* db, PointerList* options, OptionVisit visit, void* context, int depth) {
  if (depth > kMaxDepth) return;
  for (uint32_t i = 0; i < options->count; ++i) {
    SetupObject* option = options->items[i];
    if (visit(db, option, context)) Walk(db, SlotPointerList(option, kOptionChildren), visit, context, depth + 1);
  }
}

bool InLanguageList(const SetupObject* option, uint16_t language) {
  const U32Array* languages = SlotView<U32Array>(option, kOptionLanguages);
  for (uint32_t i = 0; languages->items && i < languages->count; ++i)
    if (uint16_t(languages->items[i]) == language) return true;
  return false;
}

// The state a request asks for.
int32_t Requested(ObjectTable* db, SetupObject* option, int32_t request) {
  int32_t current = OptionSelection(option);
  switch (request) {
    case 1: return kSelectionUnavailable;
    case 2: return kSelectionUnavailableToo;
    case 3: return kSelectionNotSelected;
    case 4: return kSelectionSelected;
    case 5: return kSelectionFixed;
    case 6:
      if (current == kSelectionNotSelected) return kSelectionSelected;
      return current == kSelectionSelected ? kSelectionNotSelected : current;
    case 7:
    case 8: return current;
    default: return OptionEvaluate(db, option);
  }
}

bool InRadioGroup(const SetupObject* option) { return (SlotU32(option, kOptionFlags) & kOptionRadio) != 0; }

PointerList* Siblings(ObjectTable* db, SetupObject* option) {
  SetupObject* parent = SlotPointer<SetupObject>(option, kOptionParent);
  return parent ? SlotPointerList(parent, kOptionChildren) : &db->options;
}

// The first other member of the option's radio group in `state`, or null.
SetupObject* FirstMember(ObjectTable* db, SetupObject* option, int32_t state) {
  PointerList* siblings = Siblings(db, option);
  for (uint32_t i = 0; i < siblings->count; ++i) {
    SetupObject* member = siblings->items[i];
    if (member != option && InRadioGroup(member) && OptionSelection(member) == state) return member;
  }
  return nullptr;
}

void Announce(SetupObject* option, HWND skip) {
  HWND listeners[kMaxOptionListeners];  // a listener may leave while it is told
  unsigned count = g_listenerCount;
  for (unsigned i = 0; i < count; ++i) listeners[i] = g_listeners[i];
  for (unsigned i = 0; i < count; ++i)
    if (listeners[i] != skip) SendMessageW(listeners[i], kOptionChangedMessage, 0, reinterpret_cast<LPARAM>(option));
}

void Change(ObjectTable* db, SetupObject* option, int32_t state, HWND skip) {
  Trace(TR("I1606"), u"%s|%d|%d", Text(option, kOptionName), OptionSelection(option), state);
  OptionStoreSelection(db, option, state);
  Announce(option, skip);
}

// Sets the state with the rules of radio groups: selecting a member deselects the selected ones
// first, leaving the selected state selects the first unselected one.
void Apply(ObjectTable* db, SetupObject* option, int32_t state, HWND skip) {
  int32_t current = OptionSelection(option);
  bool radio = InRadioGroup(option);
  if (radio && state >= kSelectionSelected)
    while (SetupObject* selected = FirstMember(db, option, kSelectionSelected))
      Change(db, selected, kSelectionNotSelected, skip);
  Change(db, option, state, skip);
  if (radio && current == kSelectionSelected && state < kSelectionSelected)
    if (SetupObject* next = FirstMember(db, option, kSelectionNotSelected)) Change(db, next, kSelectionSelected, skip);
}

}  // namespace

int32_t OptionSelection(const SetupObject* option) { return SlotInt(option, kOptionSelection); }

void OptionStoreSelection(ObjectTable* db, SetupObject* option, int32_t state) {
  SetSlotU32(option, kOptionSelection, uint32_t(state));
  const char16_t* name = Text(option, kOptionVariable);
  if (!*name) return;
  char16_t text[16];
  TextFormat(text, text + 15, u"%d", state);
  VariableSetObject(db, VariableFind(db, name), text);
}

int32_t OptionEvaluate(ObjectTable* db, SetupObject* option) {
  const char16_t* name = Text(option, kOptionName);
  const MachineArchitectures& machine = Machine();
  uint32_t architectures = SlotU32(option, kOptionArchitectureMask);
  if (!(architectures & machine.native)) {
    Trace(TR("I1609"), u"%s|0x%08X|0x%08X", name, architectures, machine.native);
    return kSelectionUnavailable;
  }
  uint32_t capabilities = SlotU32(option, kOptionCapabilityMask);
  int32_t match = SlotInt(option, kOptionCapabilityMatch);
  if (!ArchitectureMatches(capabilities, machine.runnable, match)) {
    Trace(TR("I1610"), u"%s|0x%08X|0x%08X|%d", name, capabilities, machine.runnable, match);
    return kSelectionUnavailable;
  }
  if ((SlotU32(option, kOptionFlags) & kOptionLanguageList) && !InLanguageList(option, VariablesLanguage())) {
    Trace(TR("I1611"), u"%s|0x%04X", name, VariablesLanguage());
    return kSelectionUnavailable;
  }
  const char16_t* condition = Text(option, kOptionCondition);
  int result = EvaluateCondition(db, condition, name);
  int32_t state = SlotInt(option, result == 1 ? kOptionStateIfTrue : kOptionStateIfFalse);
  Trace(TR("I1608"), u"%s|%s|%d|%d|%d", name, condition, result, OptionSelection(option), state);
  return state;
}

void OptionsInitialize(ObjectTable* db) {
  OptionsForEach(
      db,
      [](ObjectTable* db, SetupObject* option, void*) {
        OptionStoreSelection(db, option, OptionEvaluate(db, option));
        return true;
      },
      nullptr);
  OptionsComputeActionsAndSizes(db);
}

bool OptionSetState(ObjectTable* db, SetupObject* option, int32_t request, HWND skip) {
  int32_t current = OptionSelection(option);
  int32_t state = Requested(db, option, request);
  if (state == current) return false;
  bool deselects = InRadioGroup(option) && state == kSelectionNotSelected;
  if (deselects && (request != 6 || !FirstMember(db, option, kSelectionNotSelected))) {
    Trace(TR("I1607"), u"%s|%d|%d", Text(option, kOptionName), request, current);
    return false;
  }
  Apply(db, option, state, skip);
  OptionsComputeActionsAndSizes(db);
  return true;
}

bool OptionListen(HWND window) {
  for (unsigned i = 0; i < g_listenerCount; ++i)
    if (g_listeners[i] == window) return true;
  if (g_listenerCount >= kMaxOptionListeners) return false;
  g_listeners[g_listenerCount++] = window;
  return true;
}

void OptionUnlisten(HWND window) {
  for (unsigned i = 0; i < g_listenerCount; ++i) {
    if (g_listeners[i] != window) continue;
    for (unsigned j = i + 1; j < g_listenerCount; ++j) g_listeners[j - 1] = g_listeners[j];
    g_listeners[--g_listenerCount] = nullptr;
    return;
  }
}

void OptionsForEach(ObjectTable* db, OptionVisit visit, void* context) { Walk(db, &db->options, visit, context, 0); }
