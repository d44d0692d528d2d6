#include "script_lexer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Zeb::Kamblo;

namespace {

std::vector<int> types(const char* source)
{
    std::vector<int> result;
    for (const Token& t : lexScript(source))
        result.push_back(t.type);
    return result;
}

Token single(const char* source)
{
    auto tokens = lexScript(source);
    EXPECT_EQ(tokens.size(), 2u) << source;
    return tokens.front();
}

} // namespace

TEST(ScriptLexer, DecimalNumbers)
{
    EXPECT_FLOAT_EQ(single("42").number, 42.0f);
    EXPECT_FLOAT_EQ(single("4.25").number, 4.25f);
    EXPECT_FLOAT_EQ(single(".5").number, 0.5f);
    EXPECT_FLOAT_EQ(single("1e3").number, 1000.0f);
    EXPECT_FLOAT_EQ(single("2.5E-2").number, 0.025f);
    EXPECT_FLOAT_EQ(single("7.").number, 7.0f);
    EXPECT_EQ(single("42").text, "42");
}

TEST(ScriptLexer, HexadecimalNumbers)
{
    EXPECT_FLOAT_EQ(single("0xff").number, 255.0f);
    EXPECT_FLOAT_EQ(single("0X1F").number, 31.0f);
    EXPECT_FLOAT_EQ(single("0x1.8").number, 1.5f);
    EXPECT_FLOAT_EQ(single("0x1p4").number, 16.0f);
    EXPECT_FLOAT_EQ(single("0x1.8p-1").number, 0.75f);
    // Above 2^24 a float cannot hold every integer; the literal rounds.
    EXPECT_FLOAT_EQ(single("0xFFFFFFFF").number, 4294967296.0f);
}

TEST(ScriptLexer, OutOfRangeNumbersSaturate)
{
    EXPECT_TRUE(std::isinf(single("1e39").number));
    EXPECT_TRUE(std::isinf(single("1e999").number));
    EXPECT_EQ(single("1e-999").number, 0.0f);
}

TEST(ScriptLexer, MalformedNumbersAreInvalid)
{
    for (const char* source : {"1e", "1e+", "0x", "0xp3", "12abc", "1.2.3"}) {
        Token t = single(source);
        EXPECT_EQ(t.type, TT_INVALID) << source;
        EXPECT_EQ(t.text, source);
    }
}

TEST(ScriptLexer, StringsAndEscapes)
{
    EXPECT_EQ(single("\"a b\"").text, "a b");
    EXPECT_EQ(types("'it''s'"), (std::vector<int>{TT_STRING, TT_STRING, TT_END}));
    EXPECT_EQ(single(R"("q\"x\\y\'z")").text, "q\"x\\y'z");
    EXPECT_EQ(single(R"('\n\t\r')").text, "\n\t\r");
    EXPECT_EQ(single(R"("\x41\u00e9\q")").text, "A\xc3\xa9q");
    EXPECT_EQ(single("'\"'").text, "\"");
    Token t = single(R"("a\0b")");
    EXPECT_EQ(t.text.size(), 3u);
}

TEST(ScriptLexer, UnterminatedStringIsInvalid)
{
    auto tokens = lexScript("x = \"abc\ny");
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[2].type, TT_INVALID);
    EXPECT_EQ(tokens[2].text, "\"abc");
    EXPECT_EQ(tokens[3].text, "y");
    EXPECT_EQ(single("'abc").type, TT_INVALID);
}

TEST(ScriptLexer, CommentsAreSkipped)
{
    EXPECT_EQ(types("a // b c\n/* d\n e */ f"), (std::vector<int>{TT_WORD, TT_WORD, TT_END}));
    auto tokens = lexScript("a /* open");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[1].type, TT_INVALID);
    EXPECT_EQ(tokens[1].text, "/*");
}

TEST(ScriptLexer, OperatorsTakeTheLongestMatch)
{
    EXPECT_EQ(types(">>>= >>> >>= >> >= > <<= << <= <"),
              (std::vector<int>{TT_STORE_URSHIFT, TT_URSHIFT, TT_STORE_RSHIFT, TT_RSHIFT, TT_GE, TT_GT,
                                TT_STORE_LSHIFT, TT_LSHIFT, TT_LE, TT_LT, TT_END}));
    EXPECT_EQ(types("a+++b"), (std::vector<int>{TT_WORD, TT_INCREMENT, TT_PLUS, TT_WORD, TT_END}));
    EXPECT_EQ(types("!= ! == = && & || | ^= ^ ~ ? : , . ; { } ( ) [ ]"),
              (std::vector<int>{TT_NOT_EQUAL, TT_NOT, TT_EQUAL, TT_STORE, TT_AND_AND, TT_AND, TT_OR_OR, TT_OR,
                                TT_STORE_XOR, TT_XOR, TT_INVERT, TT_QUESTION, TT_COLON, TT_COMMA, TT_DOT,
                                TT_SEMICOLON, TT_CURL_LEFT, TT_CURL_RIGHT, TT_ROUND_LEFT, TT_ROUND_RIGHT,
                                TT_SQUARE_LEFT, TT_SQUARE_RIGHT, TT_END}));
    EXPECT_EQ(types("+= -= *= /= %= &= |= -- * / %"),
              (std::vector<int>{TT_STORE_PLUS, TT_STORE_MINUS, TT_STORE_TIMES, TT_STORE_DIVIDED, TT_STORE_MOD,
                                TT_STORE_AND, TT_STORE_OR, TT_DECREMENT, TT_TIMES, TT_DIVIDED, TT_MOD, TT_END}));
}

TEST(ScriptLexer, UnknownCharactersAreInvalid)
{
    auto tokens = lexScript("a @ #\xc3\xa9");
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[1].type, TT_INVALID);
    EXPECT_EQ(tokens[1].text, "@");
    EXPECT_EQ(tokens[3].text, "\xc3\xa9"); // a whole UTF-8 character
}

TEST(ScriptLexer, LineBreaksEndStatementsAndLinesAreCounted)
{
    auto tokens = lexScript("a = 1\nb /* x\n */ c }\n");
    ASSERT_EQ(tokens.size(), 7u);
    EXPECT_FALSE(tokens[0].endsStatement);
    EXPECT_FALSE(tokens[1].endsStatement);
    EXPECT_TRUE(tokens[3].endsStatement); // b begins line 2
    EXPECT_EQ(tokens[3].line, 2);
    EXPECT_TRUE(tokens[4].endsStatement); // c follows a comment spanning a break
    EXPECT_EQ(tokens[4].line, 3);
    EXPECT_TRUE(tokens[5].endsStatement); // }
    EXPECT_EQ(tokens[6].type, TT_END);
    EXPECT_TRUE(tokens[6].endsStatement);
    EXPECT_EQ(tokens[6].text, endTokenText);
    EXPECT_EQ(tokens[6].line, 4);
}

TEST(ScriptLexer, EmptySourceIsOneEndToken)
{
    EXPECT_EQ(types(""), std::vector<int>{TT_END});
    EXPECT_EQ(types("  // only a comment"), std::vector<int>{TT_END});
}

TEST(ScriptLexer, ClosingBracketEndsTheStatementAfterIt)
{
    auto tokens = lexScript("f = function() {} f()");
    ASSERT_EQ(tokens.size(), 11u);
    EXPECT_TRUE(tokens[7].endsStatement); // f after }
    EXPECT_FALSE(tokens[8].endsStatement);
}
