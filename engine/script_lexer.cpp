#include "script_lexer.h"

#include "value.h"

#include <cctype>

namespace Zeb::Kamblo {

namespace {

struct Operator {
    const char* text;
    int type;
};

// Longest first, so that the first match is the longest.
constexpr Operator operators[] = {
    {">>>=", TT_STORE_URSHIFT},
    {">>>", TT_URSHIFT}, {"<<=", TT_STORE_LSHIFT}, {">>=", TT_STORE_RSHIFT},
    {"++", TT_INCREMENT}, {"--", TT_DECREMENT}, {"<<", TT_LSHIFT}, {">>", TT_RSHIFT},
    {"<=", TT_LE}, {">=", TT_GE}, {"==", TT_EQUAL}, {"!=", TT_NOT_EQUAL},
    {"&&", TT_AND_AND}, {"||", TT_OR_OR}, {"+=", TT_STORE_PLUS}, {"-=", TT_STORE_MINUS},
    {"*=", TT_STORE_TIMES}, {"/=", TT_STORE_DIVIDED}, {"%=", TT_STORE_MOD}, {"&=", TT_STORE_AND},
    {"^=", TT_STORE_XOR}, {"|=", TT_STORE_OR},
    {";", TT_SEMICOLON}, {"{", TT_CURL_LEFT}, {"}", TT_CURL_RIGHT}, {"(", TT_ROUND_LEFT},
    {")", TT_ROUND_RIGHT}, {"[", TT_SQUARE_LEFT}, {"]", TT_SQUARE_RIGHT}, {".", TT_DOT},
    {"!", TT_NOT}, {"~", TT_INVERT}, {"*", TT_TIMES}, {"/", TT_DIVIDED}, {"%", TT_MOD},
    {"+", TT_PLUS}, {"-", TT_MINUS}, {"<", TT_LT}, {">", TT_GT}, {"&", TT_AND},
    {"^", TT_XOR}, {"|", TT_OR}, {"?", TT_QUESTION}, {":", TT_COLON}, {"=", TT_STORE},
    {",", TT_COMMA},
};

bool isWordStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '$'; }
bool isWordPart(char c) { return isWordStart(c) || std::isdigit(static_cast<unsigned char>(c)); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    return std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
}

void appendUtf8(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

class Lexer {
public:
    explicit Lexer(std::string_view source) : s_(source) {}

    std::vector<Token> run()
    {
        std::vector<Token> tokens;
        bool newLine = true;
        for (;;) {
            newLine = skipSpaceAndComments() || newLine;
            Token t;
            t.line = line_;
            t.endsStatement = newLine && !tokens.empty();
            if (pos_ >= s_.size()) {
                t.type = TT_END;
                t.text = endTokenText;
                t.endsStatement = true;
                tokens.push_back(std::move(t));
                return tokens;
            }
            if (unterminatedComment_) {
                t.type = TT_INVALID;
                t.text = "/*";
                pos_ = s_.size();
            } else {
                readToken(t);
            }
            if (t.type == TT_CURL_RIGHT)
                t.endsStatement = true;
            // A closing bracket completes a statement like a line break does,
            // so "function f() {} f()" needs no semicolon.
            newLine = t.type == TT_CURL_RIGHT;
            tokens.push_back(std::move(t));
        }
    }

private:
    char at(size_t i) const { return i < s_.size() ? s_[i] : '\0'; }

    // Returns whether a line break was skipped.
    bool skipSpaceAndComments()
    {
        bool sawBreak = false;
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == '\n') {
                sawBreak = true;
                ++line_;
                ++pos_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (c == '/' && at(pos_ + 1) == '/') {
                while (pos_ < s_.size() && s_[pos_] != '\n')
                    ++pos_;
            } else if (c == '/' && at(pos_ + 1) == '*') {
                size_t close = s_.find("*/", pos_ + 2);
                if (close == std::string_view::npos) {
                    unterminatedComment_ = true;
                    return sawBreak;
                }
                for (size_t i = pos_; i < close; ++i) {
                    if (s_[i] == '\n') {
                        sawBreak = true;
                        ++line_;
                    }
                }
                pos_ = close + 2;
            } else {
                break;
            }
        }
        return sawBreak;
    }

    void readToken(Token& t)
    {
        char c = s_[pos_];
        if (isWordStart(c)) {
            size_t start = pos_;
            while (pos_ < s_.size() && isWordPart(s_[pos_]))
                ++pos_;
            t.type = TT_WORD;
            t.text = std::string(s_.substr(start, pos_ - start));
        } else if (isDigit(c) || (c == '.' && isDigit(at(pos_ + 1)))) {
            readNumber(t);
        } else if (c == '"' || c == '\'') {
            readString(t);
        } else {
            for (const Operator& op : operators) {
                if (s_.substr(pos_).starts_with(op.text)) {
                    t.type = op.type;
                    t.text = op.text;
                    pos_ += std::string_view(op.text).size();
                    return;
                }
            }
            // One unreadable character, with the rest of its UTF-8 sequence.
            size_t start = pos_++;
            while (pos_ < s_.size() && (static_cast<unsigned char>(s_[pos_]) & 0xC0) == 0x80)
                ++pos_;
            t.type = TT_INVALID;
            t.text = std::string(s_.substr(start, pos_ - start));
        }
    }

    void readNumber(Token& t)
    {
        size_t start = pos_;
        bool hex = s_[pos_] == '0' && (at(pos_ + 1) == 'x' || at(pos_ + 1) == 'X');
        bool valid = true;
        if (hex) {
            pos_ += 2;
            size_t digits = skipWhile(isHexDigit);
            if (at(pos_) == '.') {
                ++pos_;
                digits += skipWhile(isHexDigit);
            }
            valid = digits > 0;
            if (at(pos_) == 'p' || at(pos_) == 'P')
                valid = readExponent() && valid;
        } else {
            skipWhile(isDigit);
            if (at(pos_) == '.') {
                ++pos_;
                skipWhile(isDigit);
            }
            if (at(pos_) == 'e' || at(pos_) == 'E')
                valid = readExponent();
        }
        // "12abc" is one bad token rather than a number and a word.
        while (pos_ < s_.size() && (isWordPart(s_[pos_]) || s_[pos_] == '.')) {
            valid = false;
            ++pos_;
        }
        t.text = std::string(s_.substr(start, pos_ - start));
        t.type = valid ? TT_NUMBER : TT_INVALID;
        if (valid)
            t.number = leadingFloat(t.text.c_str());
    }

    bool readExponent()
    {
        ++pos_;
        if (at(pos_) == '+' || at(pos_) == '-')
            ++pos_;
        return skipWhile(isDigit) > 0;
    }

    size_t skipWhile(bool (*accept)(char))
    {
        size_t n = 0;
        while (pos_ < s_.size() && accept(s_[pos_])) {
            ++pos_;
            ++n;
        }
        return n;
    }

    void readString(Token& t)
    {
        size_t start = pos_;
        char quote = s_[pos_++];
        std::string content;
        while (pos_ < s_.size() && s_[pos_] != quote && s_[pos_] != '\n') {
            char c = s_[pos_++];
            if (c != '\\') {
                content += c;
                continue;
            }
            if (pos_ >= s_.size())
                break;
            char e = s_[pos_++];
            switch (e) {
            case 'n': content += '\n'; break;
            case 't': content += '\t'; break;
            case 'r': content += '\r'; break;
            case 'b': content += '\b'; break;
            case 'f': content += '\f'; break;
            case 'v': content += '\v'; break;
            case '0': content += '\0'; break;
            case 'x': content += char(readHex(2)); break;
            case 'u': appendUtf8(content, readHex(4)); break;
            case '\n': ++line_; break; // an escaped line break continues the string
            default: content += e; break;
            }
        }
        if (pos_ >= s_.size() || s_[pos_] != quote) {
            t.type = TT_INVALID;
            t.text = std::string(s_.substr(start, pos_ - start));
            return;
        }
        ++pos_;
        t.type = TT_STRING;
        t.text = std::move(content);
    }

    // Up to `digits` hex digits; fewer when the text has fewer.
    unsigned readHex(int digits)
    {
        unsigned code = 0;
        for (int i = 0; i < digits && pos_ < s_.size() && isHexDigit(s_[pos_]); ++i)
            code = code * 16 + unsigned(hexValue(s_[pos_++]));
        return code;
    }

    std::string_view s_;
    size_t pos_ = 0;
    int line_ = 1;
    bool unterminatedComment_ = false;
};

} // namespace

std::vector<Token> lexScript(std::string_view source) { return Lexer(source).run(); }

} // namespace Zeb::Kamblo
