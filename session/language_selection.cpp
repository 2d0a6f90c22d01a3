#include "session/language_selection.h"

#include "session/session_state.h"

namespace {

constexpr uint16_t kPrimaryMask = 0x3FF;
constexpr uint16_t kPrimaryNeverMatched = 26;

uint16_t IdOf(const SetupObject* language) { return uint16_t(SlotU32(language, kLanguageId)); }
uint16_t Primary(uint16_t language) { return uint16_t(language & kPrimaryMask); }

bool PrimaryMatches(uint16_t a, uint16_t b) {
  return Primary(a) == Primary(b) && Primary(a) != kPrimaryNeverMatched;
}

}  // namespace

LanguageSelection LanguageSelect(SetupObject* const* languages, uint32_t count, uint16_t request, uint16_t userDefault) {
  if (count == 0) return {nullptr, true};
  if (count == 1) return {languages[0], true};
  bool requested = request != kNoLanguageRequest;
  SetupObject* byDefault = nullptr;
  SetupObject* byRequestPrimary = nullptr;
  SetupObject* byUserExact = nullptr;
  SetupObject* byUserPrimary = nullptr;
  for (uint32_t i = 0; i < count; ++i) {
    SetupObject* language = languages[i];
    uint16_t id = IdOf(language);
    uint32_t flags = SlotU32(language, kLanguageFlags);
    if ((flags & kLanguageForced) || (requested && id == request)) return {language, true};
    if (flags & kLanguageDefault) byDefault = language;
    if (requested && PrimaryMatches(id, request)) byRequestPrimary = language;
    if (id == userDefault) byUserExact = language;
    else if (!byUserPrimary && PrimaryMatches(id, userDefault)) byUserPrimary = language;
  }
  if (byRequestPrimary) return {byRequestPrimary, true};
  if (byUserExact) return {byUserExact, false};
  if (byUserPrimary) return {byUserPrimary, false};
  return {byDefault ? byDefault : languages[0], false};
}

bool LanguageIsRightToLeft(uint16_t language) {
  switch (Primary(language)) {
    case 1: case 13: case 32: case 41: case 90: return true;
    default: return false;
  }
}
