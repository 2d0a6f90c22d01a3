#include "session/command_line_values.h"

#include "runtime/heap.h"
#include "runtime/text.h"

namespace {

bool NeedsQuotes(const char16_t* argument) {
  if (!*argument) return true;
  for (const char16_t* c = argument; *c; ++c)
    for (const char16_t* special = u"*?&<>[]{}^=;!'\"+,`~ \t"; *special; ++special)
      if (*c == *special) return true;
  return false;
}

// The folder of `path`: up to its last separator, kept for a drive root ("C:\").
char16_t* FolderOf(const char16_t* path) {
  size_t length = TextLength(path);
  size_t cut = 0;
  for (size_t i = 0; i < length; ++i)
    if (path[i] == u'\\' || path[i] == u'/') cut = i;
  if (cut == 2 && path[1] == u':') cut = 3;
  auto* folder = MemNew<char16_t>(cut + 1);
  TextCopyN(folder, folder + cut, path, cut);
  return folder;
}

char16_t* Copy(const char16_t* text) {
  size_t length = TextLength(text);
  auto* copy = MemNew<char16_t>(length + 1);
  TextCopy(copy, copy + length, text);
  return copy;
}

}  // namespace

char16_t* CommandLineJoin(const ArgumentVector* arguments) {
  size_t capacity = 1;
  for (uint32_t i = 0; i < arguments->count; ++i) capacity += 2 * TextLength(arguments->texts[i]) + 3;
  auto* joined = MemNew<char16_t>(capacity);
  char16_t* out = joined;
  for (uint32_t i = 0; i < arguments->count; ++i) {
    const char16_t* argument = arguments->texts[i];
    bool quoted = NeedsQuotes(argument);
    if (i) *out++ = u' ';
    if (quoted) *out++ = u'"';
    for (const char16_t* c = argument; *c; ++c) {
      if (*c == u'"') *out++ = u'"';
      *out++ = *c;
    }
    if (quoted) *out++ = u'"';
  }
  *out = 0;
  return joined;
}

void CommandLineValuesCompute(SessionState* s, const DatabaseFacts* facts, CommandLineValues* v) {
  *v = CommandLineValues{};
  v->exit_code = s->exit_code;
  v->installed = facts->has_installation_time ? 1 : 0;
  v->quiet_level = s->quiet_level;
  v->restart_mode = s->restart_mode;
  v->restart_needed = s->restart_needed;
  v->run_mode = s->run_mode;
  v->state = s->state;
  v->keep_flag = s->keep_flag;
  v->value_a = s->value_a;
  v->package_folder = SessionText(s->package_folder);
  if (s->source_folder) v->source_folder = Copy(s->source_folder);
  else if (facts->has_installation_time && facts->source_folder_value && *facts->source_folder_value)
    v->source_folder = Copy(facts->source_folder_value);
  else v->source_folder = FolderOf(SessionText(facts->database_file));
  SessionSetText(&s->source_folder, v->source_folder);
  v->command_line = CommandLineJoin(&s->arguments);
}

void CommandLineValuesFree(CommandLineValues* v) {
  MemFree(v->source_folder);
  MemFree(v->command_line);
  *v = CommandLineValues{};
}
