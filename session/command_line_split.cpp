#include "session/command_line_split.h"

#include <cstring>

#include "runtime/heap.h"
#include "runtime/platform.h"
#include "runtime/text.h"
#include "runtime/trace.h"

namespace {

constexpr uint32_t kEnvironmentCapacity = 32768;

// A growing UTF-16 text on the heap.
struct Text {
  char16_t* data;
  size_t length;
  size_t capacity;
};

void TextPut(Text* t, char16_t c) {
  if (t->length + 1 >= t->capacity) {
    size_t capacity = MemGrowCapacity(t->capacity, t->length + 2, SIZE_MAX);
    t->data = static_cast<char16_t*>(MemReallocFlags(t->data, capacity * sizeof(char16_t), kMemKeep | kMemMustSucceed));
    t->capacity = capacity;
  }
  t->data[t->length++] = c;
  t->data[t->length] = 0;
}

void TextClear(Text* t) {
  TextPut(t, 0);
  t->length = 0;
}

void TextPutAll(Text* t, const char16_t* from, const char16_t* to) {
  for (; from < to; ++from) TextPut(t, *from);
}

void TextFree(Text* t) {
  MemFree(t->data);
  *t = Text{};
}

struct Splitter {
  ArgumentVector* vector;
  bool response_files;
  uint32_t files_read;
  uint32_t depth;
  const char16_t* open_files[kResponseFileMaxDepth];  // the chain of files being read
  bool dropped;   // arguments beyond the limit were dropped (traced once)
  bool refused;   // a response file was refused (traced once)
};

bool IsQuote(char16_t c) { return c == u'"' || c == u'\'' || c == u'`'; }

// Reads the token starting at the first non-separator at or after `p` into `token`; returns the
// position after it, or null when only separators remain.
const char16_t* NextToken(const char16_t* p, const char16_t* end, Text* token) {
  while (p < end && *p <= 32) ++p;
  if (p == end) return nullptr;
  TextClear(token);
  while (p < end && *p > 32) {
    if (!IsQuote(*p)) {
      TextPut(token, *p++);
      continue;
    }
    char16_t quote = *p++;
    while (p < end) {
      if (*p == quote && p + 1 < end && p[1] == quote) {
        TextPut(token, quote);
        p += 2;
      } else if (*p == quote) {
        ++p;
        break;
      } else {
        TextPut(token, *p++);
      }
    }
  }
  return p;
}

void Append(Splitter* s, const char16_t* text, size_t length) {
  if (s->vector->count >= kCommandLineMaxArguments) {
    if (!s->dropped) Trace(TR("W1101"), u"%u", kCommandLineMaxArguments);
    s->dropped = true;
    return;
  }
  ArgumentAppend(s->vector, text, length);
}

// %NAME% references replaced by the variables' values; unknown names stay as they are.
void ExpandEnvironment(const Text* token, Text* out, char16_t* value) {
  TextClear(out);
  const char16_t* p = token->data;
  const char16_t* end = p + token->length;
  while (p < end) {
    const char16_t* close = p + 1;
    while (*p == u'%' && close < end && *close != u'%') ++close;
    if (*p != u'%' || close >= end || close == p + 1) {
      TextPut(out, *p++);
      continue;
    }
    Text name{};
    TextPutAll(&name, p + 1, close);
    uint32_t length = PlatformGetEnvironment(name.data, value, kEnvironmentCapacity);
    TextFree(&name);
    if (length && length < kEnvironmentCapacity) TextPutAll(out, value, value + length);
    else TextPutAll(out, p, close + 1);
    p = close + 1;
  }
}

void SplitText(Splitter* s, const char16_t* text, const char16_t* end, bool inFile);

// Reads the response file `path` and splits its lines; false when it is not read (missing,
// unreadable, too large, already being read, or beyond the limits).
bool ReadResponseFile(Splitter* s, const char16_t* path) {
  bool refuse = s->depth >= kResponseFileMaxDepth || s->files_read >= kResponseFileMaxFiles;
  for (uint32_t i = 0; i < s->depth && !refuse; ++i) refuse = TextEqualNoCase(s->open_files[i], path);
  if (refuse) {
    if (!s->refused) Trace(TR("W1102"), u"%s|%u|%u", path, s->depth, s->files_read);
    s->refused = true;
    return false;
  }
  ++s->files_read;  // every attempt counts, so a flood of "@" tokens stays cheap
  FileHandle file;
  if (FileOpenRead(path, kFileShareRead | kFileSequential, &file)) return false;
  uint64_t size = 0;
  uint32_t got = 0;
  uint8_t* bytes = nullptr;
  bool read = !FileSize(file, &size) && size <= kResponseFileMaxBytes;
  if (read) {
    bytes = static_cast<uint8_t*>(MemAllocFlags(size_t(size) + 1, kMemMustSucceed));
    read = !FileRead(file, bytes, uint32_t(size), &got);
  } else if (!s->refused) {
    Trace(TR("W1103"), u"%s|%I64u", path, size);
    s->refused = true;
  }
  FileClose(file);
  if (read) {
    size_t length = 0;
    char16_t* text = ResponseFileDecode(bytes, got, &length);
    s->open_files[s->depth++] = path;
    SplitText(s, text, text + length, true);
    --s->depth;
    MemFree(text);
  }
  MemFree(bytes);
  return read;
}

// A token after the program path: a response file, or an argument (expanded within a file).
void AddToken(Splitter* s, const Text* token, bool quotedStart, bool inFile, char16_t* environment) {
  if (quotedStart || token->data[0] == u'-' || token->data[0] == u'/') {
    Append(s, token->data, token->length);
    return;
  }
  Text expanded{};
  if (inFile) ExpandEnvironment(token, &expanded, environment);
  const Text* argument = inFile ? &expanded : token;
  if (argument->data[0] != u'@' || !ReadResponseFile(s, argument->data + 1))
    Append(s, argument->data, argument->length);
  TextFree(&expanded);
}

void SplitLine(Splitter* s, const char16_t* p, const char16_t* end, bool inFile, char16_t* environment) {
  Text token{};
  const char16_t* start = p;
  for (p = NextToken(p, end, &token); p; p = NextToken(p, end, &token)) {
    const char16_t* first = start;
    while (*first <= 32) ++first;
    bool quotedStart = *first == u'\'' || *first == u'`';
    bool programPath = s->vector->count == 0 && !inFile;
    if (s->response_files && !programPath) AddToken(s, &token, quotedStart, inFile, environment);
    else Append(s, token.data, token.length);
    start = p;
  }
  TextFree(&token);
}

void SplitText(Splitter* s, const char16_t* text, const char16_t* end, bool inFile) {
  auto* environment = inFile ? static_cast<char16_t*>(MemAllocFlags(kEnvironmentCapacity * sizeof(char16_t),
                                                                    kMemMustSucceed))
                             : nullptr;
  const char16_t* line = text;
  while (line < end) {
    const char16_t* lineEnd = line;
    while (lineEnd < end && *lineEnd != u'\n') ++lineEnd;
    const char16_t* contentEnd = lineEnd > line && lineEnd[-1] == u'\r' ? lineEnd - 1 : lineEnd;
    if (!inFile || *line != u'#') SplitLine(s, line, contentEnd, inFile, environment);
    line = lineEnd + 1;
  }
  MemFree(environment);
}

}  // namespace

void CommandLineSplit(const char16_t* text, bool responseFiles, ArgumentVector* vector) {
  Splitter s{};
  s.vector = vector;
  s.response_files = responseFiles;
  // The command line itself is one line: line feeds inside it are separators like any control code.
  SplitLine(&s, text, text + TextLength(text), false, nullptr);
}

char16_t* ResponseFileDecode(const uint8_t* bytes, size_t count, size_t* length) {
  char16_t* text;
  if (count >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    bool bigEndian = bytes[0] == 0xFE;
    size_t units = (count - 2) / 2;
    text = MemNew<char16_t>(units + 1);
    for (size_t i = 0; i < units; ++i) {
      const uint8_t* unit = bytes + 2 + 2 * i;
      text[i] = bigEndian ? char16_t((unit[0] << 8) | unit[1]) : char16_t(unit[0] | (unit[1] << 8));
    }
    *length = units;
  } else if (count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    std::u16string decoded = TextFromUtf8(reinterpret_cast<const char*>(bytes + 3), count - 3);
    text = MemNew<char16_t>(decoded.size() + 1);
    memcpy(text, decoded.data(), decoded.size() * sizeof(char16_t));
    *length = decoded.size();
  } else {
    text = MemNew<char16_t>(count + 1);
    *length = PlatformAnsiToText(reinterpret_cast<const char*>(bytes), uint32_t(count), text, uint32_t(count));
  }
  return text;
}

bool IsPasswordSwitch(const char16_t* argument) {
  return (argument[0] == u'/' || argument[0] == u'-') && AsciiLower(argument[1]) == u'p' && argument[2] == u':';
}

char16_t* CommandLineHidePasswords(const char16_t* text) {
  Text out{};
  Text token{};
  TextClear(&out);
  const char16_t* end = text + TextLength(text);
  const char16_t* p = text;
  for (const char16_t* next = NextToken(p, end, &token); next; next = NextToken(p, end, &token)) {
    const char16_t* first = p;
    while (*first <= 32) ++first;
    TextPutAll(&out, p, first);
    if (IsPasswordSwitch(token.data)) {
      TextPutAll(&out, token.data, token.data + 3);
      for (const char16_t* c = u"*HIDDEN*"; *c; ++c) TextPut(&out, *c);
    } else {
      TextPutAll(&out, first, next);
    }
    p = next;
  }
  TextPutAll(&out, p, end);
  TextFree(&token);
  return out.data;
}
