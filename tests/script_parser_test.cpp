#include "script_parser.h"

#include "script.h"
#include "script_harness.h"

#include <gtest/gtest.h>

using namespace Zeb::Kamblo;
using Zeb::Kamblo::Testing::syntaxError;

namespace {

Pointer<Expression> expression(const char* source)
{
    ScriptParser parser(lexScript(source));
    Pointer<Expression> e = parser.parseExpression();
    EXPECT_TRUE(parser.atEnd()) << source;
    // Tests inspect the tree through raw pointers; keep every tree alive.
    static std::vector<Pointer<Expression>> parsed;
    parsed.push_back(e);
    return e;
}

template <class T>
const T* as(const Pointer<Expression>& e)
{
    return dynamic_cast<const T*>(e.get());
}

template <class T>
const T* statementAs(const Pointer<Statement>& s)
{
    return dynamic_cast<const T*>(s.get());
}

} // namespace

TEST(ScriptParser, MinusTokens)
{
    auto e = expression("a - -b");
    auto* minus = as<OperatorExpression<float>>(e);
    ASSERT_NE(minus, nullptr);
    EXPECT_EQ(minus->function, &operator_minus);
    EXPECT_NE(as<MinusExpression>(minus->right), nullptr);
    EXPECT_EQ(syntaxError("x = +1;"), "unexpected '+'");
}

TEST(ScriptParser, PostfixBindsTighterThanPrefix)
{
    auto negated = as<MinusExpression>(expression("-a.b"));
    ASSERT_NE(negated, nullptr);
    EXPECT_NE(as<MemberExpression>(negated->operand), nullptr);

    auto logical = as<NegateExpression>(expression("!a++"));
    ASSERT_NE(logical, nullptr);
    EXPECT_NE(as<PostIncrementExpression>(logical->operand), nullptr);
}

TEST(ScriptParser, RightNestingLevels)
{
    auto store = as<StoreExpression>(expression("a = b = c"));
    ASSERT_NE(store, nullptr);
    EXPECT_NE(as<WordExpression>(store->left), nullptr);
    EXPECT_NE(as<StoreExpression>(store->right), nullptr);

    auto select = as<SelectExpression>(expression("a ? b : c ? d : e"));
    ASSERT_NE(select, nullptr);
    EXPECT_NE(as<SelectExpression>(select->otherwise), nullptr);
    EXPECT_NE(as<WordExpression>(select->then), nullptr);

    auto comma = as<CommaExpression>(expression("a, b = c"));
    ASSERT_NE(comma, nullptr);
    EXPECT_NE(as<StoreExpression>(comma->right), nullptr);
}

TEST(ScriptParser, LeftNestingLevels)
{
    auto sum = as<OperatorExpression<float>>(expression("a - b - c"));
    ASSERT_NE(sum, nullptr);
    EXPECT_NE(as<OperatorExpression<float>>(sum->left), nullptr);
    EXPECT_NE(as<WordExpression>(sum->right), nullptr);
}

TEST(ScriptParser, BitwiseLevelsKeepTheirOwnTokens)
{
    auto x = as<OperatorExpression<int>>(expression("a ^ b & c"));
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->function, &operator_xor);
    auto right = as<OperatorExpression<int>>(x->right);
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->function, &operator_and);

    auto o = as<OperatorExpression<int>>(expression("a & b | c"));
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->function, &operator_or);
}

TEST(ScriptParser, CompoundAssignmentsChooseTheirNumberType)
{
    EXPECT_NE(as<StoreOperatorExpression<float>>(expression("a += 1")), nullptr);
    EXPECT_NE(as<StoreOperatorExpression<float>>(expression("a /= 1")), nullptr);
    auto mod = as<StoreOperatorExpression<int>>(expression("a %= 1"));
    ASSERT_NE(mod, nullptr);
    EXPECT_EQ(mod->function, &operator_mod);
    auto ushift = as<StoreOperatorExpression<int>>(expression("a >>>= 1"));
    ASSERT_NE(ushift, nullptr);
    EXPECT_EQ(ushift->function, &operator_urshift);
}

TEST(ScriptParser, ArgumentLists)
{
    auto call = as<ExecExpression>(expression("f(1, 2,)"));
    ASSERT_NE(call, nullptr);
    EXPECT_EQ(call->arguments.size(), 2u);
    auto array = as<ArrayExpression>(expression("[1,]"));
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->elements.size(), 1u);
    EXPECT_EQ(syntaxError("f(, 1);"), "unexpected ','");
    auto member = as<MemberExecExpression>(expression("a.b(1)"));
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(member->name, "b");
    EXPECT_EQ(syntaxError("a. 1;"), "expected TT_WORD before '1'.");
}

TEST(ScriptParser, FunctionLiterals)
{
    auto anonymous = as<FunctionExpression>(expression("function(a, b,) { }"));
    ASSERT_NE(anonymous, nullptr);
    EXPECT_EQ(anonymous->name, "");
    EXPECT_EQ(anonymous->parameters, (std::vector<std::string>{"a", "b"}));
    auto named = as<FunctionExpression>(expression("function f() return 1"));
    ASSERT_NE(named, nullptr);
    EXPECT_EQ(named->name, "f");
    EXPECT_EQ(syntaxError("function(a, 1) {}"), "expected TT_ROUND_RIGHT before '1'.");
}

TEST(ScriptParser, RequiredPartsOfStatements)
{
    EXPECT_EQ(syntaxError("for (;i < 1; i++) {}"), "unexpected ';'");
    EXPECT_EQ(syntaxError("for (i = 0; i < 1;) {}"), "unexpected ')'");
    EXPECT_EQ(syntaxError("return;"), "unexpected ';'");
    EXPECT_EQ(syntaxError("do x++; until (x)"), "expected while before 'until'.");
    EXPECT_EQ(syntaxError("if x {}"), "expected TT_ROUND_LEFT before 'x'.");
    EXPECT_EQ(syntaxError("while (x {}"), "expected TT_ROUND_RIGHT before '{'.");
    EXPECT_EQ(syntaxError("a[1;"), "expected TT_SQUARE_RIGHT before ';'.");
    EXPECT_EQ(syntaxError("a ? b;"), "expected TT_COLON before ';'.");
    EXPECT_EQ(syntaxError("a b"), "expected TT_SEMICOLON before 'b'.");
    EXPECT_EQ(syntaxError("x = 1 $"), "expected TT_SEMICOLON before '$'.");
    EXPECT_EQ(syntaxError("x = #"), "invalid token '#'");
    EXPECT_EQ(syntaxError("var 1"), "expected TT_WORD before '1'.");
}

TEST(ScriptParser, MissingClosingBracketNamesTheEnd)
{
    EXPECT_EQ(syntaxError("{ a = 1;"), std::string("expected TT_CURL_RIGHT before '") + endTokenText + "'.");
    EXPECT_EQ(syntaxError("a = 1; }"), "unexpected '}'");
}

TEST(ScriptParser, ElseBelongsToTheNearestIf)
{
    Pointer<Statement> block = parseScript("if (a) if (b) x = 1; else x = 2;");
    auto* outer = statementAs<IfStatement>(statementAs<BlockStatement>(block)->statements.at(0));
    ASSERT_NE(outer, nullptr);
    EXPECT_FALSE(outer->otherwise);
    auto* inner = statementAs<IfStatement>(outer->then);
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(inner->otherwise);
}

TEST(ScriptParser, SemicolonsAreOptionalAtLineEnds)
{
    EXPECT_EQ(syntaxError("a = 1\nb = 2\nif (a) b = 3\nelse b = 4\nwhile (0) {}"), "");
    EXPECT_EQ(syntaxError("{ a = 1 }"), "");
    EXPECT_EQ(syntaxError("a = 1;;\n;"), "");
    // A ++ on a new line starts the next statement rather than ending this one.
    Pointer<Statement> program = parseScript("a\n++b");
    auto block = statementAs<BlockStatement>(program);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->statements.size(), 2u);
}

TEST(ScriptParser, KeywordsOutsideStatementPositionAreWords)
{
    EXPECT_NE(as<WordExpression>(expression("while")), nullptr);
    EXPECT_NE(as<VarExpression>(expression("var x")), nullptr);
}

TEST(ScriptParser, ErrorsCarryTheirLine)
{
    try {
        parseScript("a = 1\nb = 2\nc = )");
        FAIL() << "no syntax error";
    } catch (const SyntaxException& e) {
        EXPECT_EQ(e.line, 3);
        EXPECT_EQ(e.describe(), "line 3: unexpected ')'");
    }
}

TEST(ScriptParser, NestingIsBounded)
{
    std::string parens(100000, '(');
    EXPECT_EQ(syntaxError(parens.c_str()), "script nested too deeply");
    std::string negations(100000, '!');
    EXPECT_EQ(syntaxError((negations + "x").c_str()), "script nested too deeply");
    std::string sum = "x = 1";
    for (int i = 0; i < 100000; ++i)
        sum += "+1";
    EXPECT_EQ(syntaxError(sum.c_str()), "script nested too deeply");
    std::string blocks(100000, '{');
    EXPECT_EQ(syntaxError(blocks.c_str()), "script nested too deeply");
    std::string calls = "f";
    for (int i = 0; i < 100000; ++i)
        calls += "()";
    EXPECT_EQ(syntaxError(calls.c_str()), "script nested too deeply");
    // Ordinary nesting is well within the limit.
    EXPECT_EQ(syntaxError("x = ((((((((((1))))))))));"), "");
}

TEST(ScriptParser, OversizedSourceIsRejected)
{
    std::string big(ScriptLimits::maxSourceLength + 1, ' ');
    EXPECT_EQ(syntaxError(big.c_str()), "script too long");
}
