#include <gtest/gtest.h>

#include <string>

#include "expr/condition.h"
#include "expr/evaluate.h"
#include "expr/operand_compare.h"
#include "runtime/text.h"
#include "tests/expr/table_resolver.h"

namespace {

class Evaluation : public ::testing::Test {
 protected:
  void SetUp() override {
    t_.variables = {{u"a", 1, u"1"},         {u"b", 2, u"0"},        {u"Ver", 3, u"1.10"},
                    {u"Text", 4, u"Hello"},   {u"Empty", 5, u""},     {u"Ref", 6, u"<Text> World"},
                    {u"Zero", 7, u"0.0"},     {u"Self", 8, u"<Self>"}, {u"Cond", 9, u"<$ifte(`<Cond>`,1,0)>"}};
    t_.environment = {{u"OS", u"Windows_NT"}};
    t_.options = {{u"Main", u"", 1, 2}, {u"Other", u"", 2, 1}, {u"Odd", u"", 4, 0}};
    r_ = t_.Resolver(kPortableFunctions, kPortableFunctionCount);
  }

  int Eval(const char16_t* expression, int* error = nullptr) {
    bool stop = false;
    ExprScope scope{&r_, 0, &stop};
    return Evaluate(expression, ExprResolveName, &scope, error);
  }

  TableResolver t_;
  ExprResolver r_{};
};

struct Case {
  const char16_t* expression;
  int result;
  int error;
};

void Check(const Case* cases, size_t count, const std::function<int(const char16_t*, int*)>& eval) {
  for (size_t i = 0; i < count; ++i) {
    int error = 99;
    EXPECT_EQ(eval(cases[i].expression, &error), cases[i].result) << TextToUtf8(cases[i].expression);
    EXPECT_EQ(error, cases[i].error) << TextToUtf8(cases[i].expression);
  }
}

}  // namespace

TEST_F(Evaluation, ValuesAndComparisons) {
  const Case cases[] = {
      {u"", -1, 0},
      {u"1", 1, 0},
      {u"0", 0, 0},
      {u"1.10 > 1.9", 1, 0},
      {u"\"10\" > \"9\"", 1, 0},
      {u"\"abc\" > \"abd\"", 0, 0},
      {u"010 = 8", 1, 0},
      {u"0x10 = 16", 1, 0},
      {u"-5 < 3", 1, 0},
      {u"Undefined >= 600", 0, 0},
      {u"Undefined", 0, 0},
      {u"Undefined < 1", 1, 0},
      {u"\"abc\"", 1, 0},
      {u"\"0\"", 0, 0},
      {u"\"0.0\"", 0, 0},
      {u"\"\"", 0, 0},
      {u"Zero", 0, 0},
      {u"0.0.1", 1, 0},
      {u"Ver = 1.10.0.0", 1, 0},
      {u"Ver >< 1.1", 0, 0},
      {u"Text = \"Hello\"", 1, 0},
      {u"Text = \"hello\"", 0, 0},
      {u"Text ~= \"hello\"", 1, 0},
      {u"Text ~<> \"HELLO\"", 0, 0},
      {u"Text >< \"ell\"", 1, 0},
      {u"Text >< \"\"", 1, 0},
      {u"Text ~>< \"ELL\"", 1, 0},
      {u"Text << \"He\"", 1, 0},
      {u"\"ab\" << \"abc\"", 0, 0},
      {u"Text >> \"llo\"", 1, 0},
      {u"Text >> \"LLO\"", 0, 0},
      {u"Text ~>> \"LLO\"", 1, 0},
      {u"6 >< 4", 1, 0},
      {u"6 >< 1", 0, 0},
      {u"0x12345678 << 0x1234", 1, 0},
      {u"0x12345678 >> 0x5678", 1, 0},
      {u"<Ref> = \"Hello World\"", 1, 0},
      {u"<Text>", 1, 0},
      {u"<Empty>", 0, 0},
      {u"%OS = \"Windows_NT\"", 1, 0},
      {u"%Unset = \"\"", 1, 0},
      {u"!Main = 3", 1, 0},
      {u"?Other = 2", 1, 0},
      {u"$Main = 2", 1, 0},
      {u"&Other = 3", 1, 0},
      {u"!Odd = -1", 1, 0},
      {u"!Nothing = -1", 1, 0},
      {u"2147483648 = 2147483647", 1, 0},
  };
  Check(cases, sizeof(cases) / sizeof(cases[0]), [&](const char16_t* e, int* err) { return Eval(e, err); });
}

TEST_F(Evaluation, LogicAndGrammar) {
  const Case cases[] = {
      {u"0 IMP 1", 1, 0},
      {u"0 IMP 0", 0, 0},
      {u"1 IMP 1", 0, 0},
      {u"1 IMP 0", 0, 0},
      {u"1 EQV 1", 1, 0},
      {u"0 eqv 0", 1, 0},
      {u"1 XOR 1", 0, 0},
      {u"1 xor 0", 1, 0},
      {u"a AND b", 0, 0},
      {u"a OR b", 1, 0},
      {u"NOT b", 1, 0},
      {u"NOT (a AND b)", 1, 0},
      {u"NOT NOT a", 0, kEvalMalformed},
      {u"a = b = c", 0, kEvalMalformed},
      {u"(a = 1)", 1, 0},
      {u"(a) = 1", 0, kEvalMalformed},
      {u"1 OR 0 AND 0", 1, 0},
      {u"(1 OR 0) AND 0", 0, 0},
      {u"a AND", 0, kEvalMissingOperand},
      {u"a =", 0, kEvalMissingOperand},
      {u"(a", 0, kEvalMalformed},
      {u"a)", 0, kEvalMalformed},
      {u"AND a", 0, kEvalMalformed},
      {u"~\"abc\" = \"ABC\"", 0, kEvalLexical},
      {u"\"abc\" ~ \"ABC\"", 0, kEvalLexical},
      {u"\"unclosed", 0, kEvalLexical},
      {u"<Text", 0, kEvalLexical},
      {u"12abc", 0, kEvalLexical},
      {u"#", 0, kEvalLexical},
      {u"1.2.", 0, kEvalLexical},
  };
  Check(cases, sizeof(cases) / sizeof(cases[0]), [&](const char16_t* e, int* err) { return Eval(e, err); });
}

TEST_F(Evaluation, StackAndNestingLimits) {
  auto nested = [](int operands) {
    std::u16string e;
    for (int i = 1; i < operands; ++i) e += u"1 AND (";
    e += u"1";
    e += std::u16string(size_t(operands - 1), u')');
    return e;
  };
  int error = 0;
  EXPECT_EQ(Eval(nested(32).c_str(), &error), 1);
  EXPECT_EQ(error, 0);
  EXPECT_EQ(Eval(nested(33).c_str(), &error), 0);
  EXPECT_EQ(error, kEvalStackOverflow);
  std::u16string deep = std::u16string(10000, u'(') + u"1" + std::u16string(10000, u')');
  EXPECT_EQ(Eval(deep.c_str(), &error), 0);
  EXPECT_EQ(error, kEvalStackOverflow);
  std::u16string shallow = std::u16string(64, u'(') + u"1" + std::u16string(64, u')');
  EXPECT_EQ(Eval(shallow.c_str(), &error), 1);
}

TEST_F(Evaluation, SelfReferencesInConditionsAreBounded) {
  EXPECT_EQ(Eval(u"Self"), 0);
  EXPECT_EQ(Eval(u"Cond"), 0);
  EXPECT_EQ(Eval(u"<$ifte(`<Cond>`,1,0)> = 1"), 0);
}

TEST_F(Evaluation, ConditionWithScope) {
  bool stop = false;
  ExprScope scope{&r_, 0, &stop};
  EXPECT_EQ(ExprEvaluateCondition(scope, u"a = 1", u"label"), 1);
  EXPECT_EQ(ExprEvaluateCondition(scope, nullptr, u"label"), -1);
  EXPECT_EQ(ExprEvaluateCondition(scope, u"", nullptr), -1);
}

TEST(OperandCompare, Truth) {
  struct {
    const char16_t* text;
    bool truth;
  } cases[] = {{u"", false}, {u"0", false}, {u"00", false}, {u"0x0", false}, {u"-0", false}, {u"1", true},
               {u"abc", true}, {u"0.0", false}, {u"0.0.0.1", true}, {u" 0", true}, {nullptr, false}};
  for (const auto& c : cases) EXPECT_EQ(TextTruth(c.text), c.truth) << (c.text ? TextToUtf8(c.text) : "null");
}
