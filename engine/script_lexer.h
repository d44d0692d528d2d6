#pragma once
// Turns script source text into tokens for ScriptParser.
#include <string>
#include <string_view>
#include <vector>

namespace Zeb::Kamblo {

enum TokenType {
    TT_END,
    TT_WORD,
    TT_NUMBER,
    TT_STRING,
    TT_INVALID,
    TT_SEMICOLON,
    TT_CURL_LEFT,
    TT_CURL_RIGHT,
    TT_ROUND_LEFT,
    TT_ROUND_RIGHT,
    TT_SQUARE_LEFT,
    TT_SQUARE_RIGHT,
    TT_DOT,
    TT_NOT,
    TT_INVERT,
    TT_INCREMENT,
    TT_DECREMENT,
    TT_TIMES,
    TT_DIVIDED,
    TT_MOD,
    TT_PLUS,
    TT_MINUS,
    TT_LSHIFT,
    TT_RSHIFT,
    TT_URSHIFT,
    TT_LT,
    TT_LE,
    TT_GT,
    TT_GE,
    TT_EQUAL,
    TT_NOT_EQUAL,
    TT_AND,
    TT_XOR,
    TT_OR,
    TT_AND_AND,
    TT_OR_OR,
    TT_QUESTION,
    TT_COLON,
    TT_STORE,
    TT_STORE_PLUS,
    TT_STORE_MINUS,
    TT_STORE_TIMES,
    TT_STORE_DIVIDED,
    TT_STORE_MOD,
    TT_STORE_LSHIFT,
    TT_STORE_RSHIFT,
    TT_STORE_URSHIFT,
    TT_STORE_AND,
    TT_STORE_XOR,
    TT_STORE_OR,
    TT_COMMA,
};

struct Token {
    bool endsStatement = false; // the statement before this token may end without ';'
    int type = TT_END;
    std::string text;
    float number = 0.0f;
    int line = 1;
};

// The text of the end token, as error messages show it.
inline constexpr const char* endTokenText = "end of script";

// Numbers: decimal or 0x-hexadecimal, with optional fraction and exponent
// (e or E for decimal, p or P for hexadecimal). Strings: '...' or "..." on one
// line, with the escapes \n \t \r \b \f \v \0 \\ \' \" \xHH and \uHHHH (UTF-8);
// any other escaped character stands for itself. Comments: // to the end of
// the line and /* */. A token gets endsStatement when a line break or a '}'
// precedes it, and '}' and the end token always have it. An unterminated string or comment, a
// malformed number or any other character becomes TT_INVALID.
std::vector<Token> lexScript(std::string_view source);

} // namespace Zeb::Kamblo
