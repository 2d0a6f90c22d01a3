#include "session/command_line_switches.h"

#include "runtime/number_parse.h"
#include "runtime/text.h"
#include "session/command_line_split.h"
#include "session/session_password.h"

namespace {

// Letters that are always switches; any other letter may begin a verb.
bool IsSwitchLetter(char16_t letter) {
  for (const char16_t* c = u"abcdeflpqsuz?"; *c; ++c)
    if (*c == letter) return true;
  return false;
}

// The number of a switch with an optional decimal value: `absent` when there is none.
int32_t DecimalOr(const char16_t* value, int32_t absent) {
  if (!*value) return absent;
  int64_t number = NumberParseDecimal64(value);
  return number > INT32_MAX ? INT32_MAX : number < INT32_MIN ? INT32_MIN : int32_t(number);
}

void SetVerb(SessionState* s, int32_t mode, const char16_t* folder) {
  s->run_mode = mode;
  SessionSetText(&s->install_folder, folder);
}

// "/l" forms: "l:N" language request, "log:PATH" log path; "l", "l0" and "l1" change nothing.
void ParseLanguageOrLog(SessionState* s, const char16_t* value, const SwitchActions* actions) {
  if (value[0] == u':') {
    auto language = uint16_t(NumberParseU32(value + 1));
    s->language_request = (language & 0x3FF) ? language : actions->user_default_language();
  } else if (TextCompareNoCaseN(value, u"og:", 3) == 0) {
    SessionSetText(&s->log_path, value + 3);
  }
}

void ParseErrorMask(SessionState* s, const char16_t* value) {
  if (*value < u'0' || *value > u'9') return;
  uint32_t mask = NumberParseU32(value);
  s->error_abort_mask = mask ? mask | 0x80000000u : 0;
}

// A letter switch; `value` follows the letter.
void ParseLetter(SessionState* s, uint32_t index, char16_t letter, const char16_t* value,
                 const SwitchActions* actions) {
  bool text = value[0] == u':';
  switch (letter) {
    case u'a': s->value_a = DecimalOr(value, 5); break;
    case u'b': s->restart_mode = DecimalOr(value, 0); break;
    case u'c': if (*value) s->verification_option = DecimalOr(value, 0); break;
    case u'd': if (text) SessionSetText(&s->database_path, value + 1); break;
    case u'e': ParseErrorMask(s, value); break;
    case u'f':
      if (!*value) {
        s->force = 1;
        s->error_abort_mask = 0;
      }
      break;
    case u'l': ParseLanguageOrLog(s, value, actions); break;
    case u'p':
      if (text) {
        SessionStorePassword(s, value + 1);
        ArgumentReplace(&s->arguments, index, u"/p:*HIDDEN*");
      }
      break;
    case u'q': s->quiet_level = DecimalOr(value, 1); break;
    case u's': if (text) SessionSetText(&s->source_folder, value + 1); break;
    case u'u': s->keep_flag = DecimalOr(value, 1); break;
    case u'z': if (text) SessionSetText(&s->package_folder, value + 1); break;
  }
}

// A verb; returns false for "help", which ends the run.
bool ParseVerb(SessionState* s, const char16_t* word, const SwitchActions* actions) {
  static const struct {
    const char16_t* name;
    int32_t mode;
  } kVerbs[] = {{u"remove", kRunModeRemove}, {u"register", kRunModeRegister}, {u"repair", kRunModeRepair},
                {u"resume", kRunModeResume}};
  if (TextCompareNoCaseN(word, u"install", 7) == 0) {
    SetVerb(s, kRunModeInstall, word[7] == u':' ? word + 8 : nullptr);
    return true;
  }
  for (const auto& verb : kVerbs)
    if (TextEqualNoCase(word, verb.name)) SetVerb(s, verb.mode, nullptr);
  if (TextEqualNoCase(word, u"help")) {
    actions->open_help(s);
    return false;
  }
  return true;
}

}  // namespace

int CommandLineParseSwitches(SessionState* session, const SwitchActions* actions) {
  for (uint32_t i = 1; i < session->arguments.count; ++i) {
    const char16_t* argument = session->arguments.texts[i];
    if ((argument[0] != u'/' && argument[0] != u'-') || !argument[1]) continue;
    char16_t letter = AsciiLower(argument[1]);
    if (letter == u'?') {
      if (argument[2]) continue;
      actions->show_usage(session);
      return kParseEndRun;
    }
    if (IsSwitchLetter(letter)) ParseLetter(session, i, letter, argument + 2, actions);
    else if (!ParseVerb(session, argument + 1, actions)) return kParseEndRun;
  }
  return kParseContinue;
}
