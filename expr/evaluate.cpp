#include "expr/evaluate.h"

#include <cstdint>

#include "expr/operand_compare.h"
#include "expr/tokenizer.h"
#include "runtime/heap.h"
#include "runtime/text.h"

namespace {

enum class EntryKind : uint8_t { kInteger, kString, kName, kReference, kVersion };

struct Entry {
  EntryKind kind;
  int64_t number;
  const char16_t* text;  // into the expression
  size_t length;
};

// The text of an operand; owns its heap block.
struct OperandText {
  char16_t digits[24];
  char16_t* block = nullptr;
  const char16_t* text = u"";
  bool ok = true;
  ~OperandText() { MemFree(block); }
};

struct Evaluator {
  const char16_t* cursor;
  Token token;
  Entry stack[kEvalStackEntries];
  int count;
  int error;
  int nesting;
  ExprNameCallback callback;
  void* context;

  void Fail(int code) {
    if (!error) error = code;
  }

  void Next() {
    if (error) {
      token = Token{};
      return;
    }
    token = NextToken(&cursor);
    if (token.kind == TokenKind::kError) {
      Fail(kEvalLexical);
      token = Token{};
    }
  }

  void Push(const Entry& entry) {
    if (count >= kEvalStackEntries) return Fail(kEvalStackOverflow);
    stack[count++] = entry;
  }
  void PushTruth(bool value) { Push(Entry{EntryKind::kInteger, value ? 1 : 0, nullptr, 0}); }
  Entry Pop() { return count ? stack[--count] : Entry{EntryKind::kInteger, 0, nullptr, 0}; }

  void Resolve(const Entry& e, OperandText* out) {
    if (e.kind == EntryKind::kInteger) {
      TextFormat(out->digits, out->digits + 23, u"%I64d", e.number);
      out->text = out->digits;
      return;
    }
    bool named = e.kind == EntryKind::kName || e.kind == EntryKind::kReference;
    size_t capacity = e.length + 1 + (named ? kEvalOperandCapacity : 0);
    out->block = static_cast<char16_t*>(MemAlloc(capacity * sizeof(char16_t)));
    if (!out->block) {
      out->ok = false;
      return Fail(kEvalMissingOperand);
    }
    TextCopyN(out->block, out->block + e.length, e.text, e.length);
    out->text = out->block;
    if (!named) return;
    char16_t* value = out->block + e.length + 1;
    out->ok = callback && callback(context, out->block, value, value + kEvalOperandCapacity - 1);
    out->text = out->ok ? value : u"";
  }

  bool Truth(const Entry& e) {
    if (e.kind == EntryKind::kInteger) return e.number != 0;
    OperandText t;
    Resolve(e, &t);
    return t.ok && TextTruth(t.text);
  }

  bool Operand() {
    Entry e{EntryKind::kInteger, token.number, token.text, token.length};
    switch (token.kind) {
      case TokenKind::kNumber: break;
      case TokenKind::kString: e.kind = EntryKind::kString; break;
      case TokenKind::kName: e.kind = EntryKind::kName; break;
      case TokenKind::kReference: e.kind = EntryKind::kReference; break;
      case TokenKind::kVersion: e.kind = EntryKind::kVersion; break;
      default:
        Fail(token.kind == TokenKind::kEnd ? kEvalMissingOperand : kEvalMalformed);
        return false;
    }
    Push(e);
    Next();
    return !error;
  }

  void Comparison() {
    if (token.kind == TokenKind::kOpen) {
      if (++nesting > kEvalMaxNesting) return Fail(kEvalStackOverflow);
      Next();
      Level(0);
      if (error) return;
      if (token.kind != TokenKind::kClose) return Fail(kEvalMalformed);
      --nesting;
      return Next();
    }
    if (!Operand() || token.kind != TokenKind::kCompare) return;
    Token op = token;
    Next();
    if (!Operand()) return;
    Entry b = Pop(), a = Pop();
    OperandText ta, tb;
    Resolve(a, &ta);
    Resolve(b, &tb);
    if (!error) PushTruth(CompareTexts(ta.text, tb.text, op.op, op.no_case));
  }

  void Negation() {
    if (token.kind != TokenKind::kNot) return Comparison();
    Next();
    if (token.kind == TokenKind::kNot) return Fail(kEvalMalformed);
    Comparison();
    if (!error) PushTruth(!Truth(Pop()));
  }

  // Binary levels 0-4: IMP, EQV, XOR, OR, AND.
  void Level(int level) {
    static const TokenKind kOperators[] = {TokenKind::kImp, TokenKind::kEqv, TokenKind::kXor, TokenKind::kOr,
                                           TokenKind::kAnd};
    auto lower = [&] { level < 4 ? Level(level + 1) : Negation(); };
    lower();
    while (!error && token.kind == kOperators[level]) {
      Next();
      lower();
      if (error) return;
      Entry b = Pop(), a = Pop();
      bool x = Truth(a), y = Truth(b);
      switch (kOperators[level]) {
        case TokenKind::kImp: PushTruth(!x && y); break;
        case TokenKind::kEqv: PushTruth(x == y); break;
        case TokenKind::kXor: PushTruth(x != y); break;
        case TokenKind::kOr: PushTruth(x || y); break;
        default: PushTruth(x && y); break;
      }
    }
  }
};

}  // namespace

int Evaluate(const char16_t* expression, ExprNameCallback callback, void* context, int* error) {
  if (error) *error = 0;
  if (!expression || !*expression) return -1;
  Evaluator e{};
  e.cursor = expression;
  e.callback = callback;
  e.context = context;
  e.Next();
  e.Level(0);
  if (!e.error && e.token.kind != TokenKind::kEnd) e.Fail(kEvalMalformed);
  bool result = !e.error && e.Truth(e.Pop());
  if (error) *error = e.error;
  return e.error ? 0 : result ? 1 : 0;
}
