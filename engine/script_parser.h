#pragma once
// Recursive-descent parser: one function per precedence level, from the
// comma sequence down to atoms.
#include "script_lexer.h"
#include "script_statement.h"

#include <string>
#include <vector>

namespace Zeb::Kamblo {

class ScriptParser {
public:
    // The tokens must end with a TT_END token; one is added when missing.
    explicit ScriptParser(std::vector<Token> tokens);

    Pointer<Statement> parseBlock();
    Pointer<Statement> parseStatement();
    Pointer<Expression> parseExpression();
    Pointer<Expression> parseEnum();
    Pointer<Expression> parseStore();
    Pointer<Expression> parseSelect();
    Pointer<Expression> parseOrOr();
    Pointer<Expression> parseAndAnd();
    Pointer<Expression> parseOr();
    Pointer<Expression> parseXor();
    Pointer<Expression> parseAnd();
    Pointer<Expression> parseEqual();
    Pointer<Expression> parseCompare();
    Pointer<Expression> parseShift();
    Pointer<Expression> parseSum();
    Pointer<Expression> parseProduct();
    Pointer<Expression> parseUnary();
    Pointer<Expression> parseAtom();
    ExpressionList parseArray();
    std::vector<std::string> parseLabel();

    const Token& require(int kind, const char* kindName);
    std::string requireWord();

    // Whether every token has been consumed.
    bool atEnd() const { return current().type == TT_END; }
    const Token& current() const { return tokens_[position_]; }

private:
    // Tracks how deep the tree under construction is; every place that adds a
    // level (recursion or a left-nested loop) goes through one of these, so a
    // hostile script cannot exhaust the stack while parsing, evaluating or
    // freeing its tree.
    class Nesting {
    public:
        explicit Nesting(ScriptParser& parser) : parser_(parser) {}
        ~Nesting() { parser_.depth_ -= levels_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        void deeper();

    private:
        ScriptParser& parser_;
        int levels_ = 0;
    };

    const Token& peek(int ahead) const;
    const Token& advance();
    bool isWord(const char* text) const;
    void endStatement();
    [[noreturn]] void fail(const std::string& message) const;

    template <class Node, class... Args>
    Pointer<Node> make(int line, Args&&... args)
    {
        auto node = autorelease(new Node(std::forward<Args>(args)...));
        node->line = line;
        return node;
    }

    using Level = Pointer<Expression> (ScriptParser::*)();
    struct BinaryRule;
    Pointer<Expression> parseBinary(Level next, const BinaryRule* rules, int ruleCount);

    std::vector<Token> tokens_;
    size_t position_ = 0;
    int depth_ = 0;
};

} // namespace Zeb::Kamblo
