#include "install/setting_value.h"

#include "runtime/number_parse.h"
#include "runtime/text.h"

namespace {

constexpr int64_t kCounterLimit = 4294967295;

// The first position of `item` in `list`, ignoring ASCII case; -1 when absent.
long FindNoCase(const char16_t* list, size_t list_length, const char16_t* item, size_t item_length) {
  if (item_length > list_length) return -1;
  for (size_t at = 0; at + item_length <= list_length; ++at)
    if (TextCompareNoCaseN(list + at, item, item_length) == 0) return long(at);
  return -1;
}

char16_t* Decimal(int64_t value, char16_t* start, char16_t* end) {
  return TextFormat(start, end, u"%I64d", value);
}

int64_t Counter(const char16_t* text) {
  int64_t value = NumberParse64(text);
  return value < 0 ? 0 : value;
}

}  // namespace

char16_t* SettingListRemove(const char16_t* list, const char16_t* item, char16_t separator, char16_t* start,
                            char16_t* end) {
  size_t list_length = TextLength(list);
  size_t item_length = TextLength(item);
  long found = item_length ? FindNoCase(list, list_length, item, item_length) : -1;
  if (found < 0) return TextCopy(start, end, list);
  size_t from = size_t(found);
  size_t to = from + item_length;
  if (separator) {
    bool starts = from == 0 || list[from - 1] == separator;
    bool ends = to == list_length || list[to] == separator;
    if (!starts || !ends) return TextCopy(start, end, list);
    if (from > 0) --from;
    else if (to < list_length) ++to;
  }
  char16_t* out = TextCopyN(start, end, list, from);
  return TextCopy(out, end, list + to);
}

bool SettingComputeValue(const SettingInput& in, char16_t* start, char16_t* end) {
  const char16_t* e = in.existing ? in.existing : u"";
  const char16_t* d = in.data ? in.data : u"";
  const char16_t separator[2] = {in.separator, 0};
  switch (in.mode) {
    case 1:
      if (*e) return false;
      TextCopy(start, end, d);
      return true;
    case 2:
      if (!*e) return false;
      TextCopy(start, end, d);
      return true;
    case 3: {
      char16_t* out = TextCopy(start, end, d);
      if (*d) out = TextCopy(out, end, separator);
      SettingListRemove(e, d, in.separator, out, end);
      return true;
    }
    case 4: {
      char16_t* out = SettingListRemove(e, d, in.separator, start, end);
      if (out > start) out = TextCopy(out, end, separator);
      TextCopy(out, end, d);
      return true;
    }
    case 5: TextCopy(start, end, d); return true;
    case 6:
    case -6: {
      int64_t value = Counter(e);
      if (value == 0) value = Counter(d);
      Decimal(value < kCounterLimit ? value + 1 : kCounterLimit, start, end);
      return true;
    }
    case 7:
    case -5: {
      int64_t value = Counter(e);
      if (value < 2) TextCopy(start, end, u"");
      else Decimal(value > kCounterLimit ? kCounterLimit - 1 : value - 1, start, end);
      return true;
    }
    case -1: SettingListRemove(e, d, in.separator, start, end); return true;
    case -2:
      if (TextCompare(e, d) != 0) return false;
      TextCopy(start, end, u"");
      return true;
    case -3: TextCopy(start, end, u""); return true;
    case -4: TextCopy(start, end, in.saved ? in.saved : u""); return true;
    default: return false;
  }
}
