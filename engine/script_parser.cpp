#include "script_parser.h"

#include "script.h"

namespace Zeb::Kamblo {

struct ScriptParser::BinaryRule {
    int type;
    Pointer<Expression> (*build)(const Pointer<Expression>& left, const Pointer<Expression>& right);
};

namespace {

template <class Node>
Pointer<Expression> buildPair(const Pointer<Expression>& left, const Pointer<Expression>& right)
{
    return autorelease(new Node(left, right));
}

template <class T, T (*function)(T, T)>
Pointer<Expression> buildOperator(const Pointer<Expression>& left, const Pointer<Expression>& right)
{
    return autorelease(new OperatorExpression<T>(function, left, right));
}

template <class T, T (*function)(T, T)>
Pointer<Expression> buildStoreOperator(const Pointer<Expression>& left, const Pointer<Expression>& right)
{
    return autorelease(new StoreOperatorExpression<T>(function, left, right));
}

template <bool (*function)(float, float)>
Pointer<Expression> buildCompare(const Pointer<Expression>& left, const Pointer<Expression>& right)
{
    return autorelease(new CompareExpression(function, left, right));
}

} // namespace

void ScriptParser::Nesting::deeper()
{
    ++levels_;
    if (++parser_.depth_ > ScriptLimits::maxParseDepth)
        parser_.fail("script nested too deeply");
}

ScriptParser::ScriptParser(std::vector<Token> tokens) : tokens_(std::move(tokens))
{
    if (tokens_.empty() || tokens_.back().type != TT_END) {
        Token end;
        end.type = TT_END;
        end.text = endTokenText;
        end.endsStatement = true;
        end.line = tokens_.empty() ? 1 : tokens_.back().line;
        tokens_.push_back(std::move(end));
    }
}

const Token& ScriptParser::peek(int ahead) const
{
    size_t i = position_ + size_t(ahead);
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
}

const Token& ScriptParser::advance()
{
    const Token& t = tokens_[position_];
    if (position_ + 1 < tokens_.size())
        ++position_;
    return t;
}

bool ScriptParser::isWord(const char* text) const { return current().type == TT_WORD && current().text == text; }

void ScriptParser::fail(const std::string& message) const { throw SyntaxException(message, current().line); }

const Token& ScriptParser::require(int kind, const char* kindName)
{
    if (current().type != kind)
        fail(std::string("expected ") + kindName + " before '" + current().text + "'.");
    return advance();
}

std::string ScriptParser::requireWord() { return require(TT_WORD, "TT_WORD").text; }

void ScriptParser::endStatement()
{
    if (!current().endsStatement)
        require(TT_SEMICOLON, "TT_SEMICOLON");
}

// Statements ------------------------------------------------------------------

Pointer<Statement> ScriptParser::parseBlock()
{
    int line = current().line;
    std::vector<Pointer<Statement>> statements;
    while (current().type != TT_CURL_RIGHT && current().type != TT_END)
        statements.push_back(parseStatement());
    return make<BlockStatement>(line, std::move(statements));
}

Pointer<Statement> ScriptParser::parseStatement()
{
    Nesting nesting(*this);
    nesting.deeper();
    int line = current().line;
    if (current().type == TT_SEMICOLON) {
        advance();
        return make<EmptyStatement>(line);
    }
    if (current().type == TT_CURL_LEFT) {
        advance();
        Pointer<Statement> block = parseBlock();
        require(TT_CURL_RIGHT, "TT_CURL_RIGHT");
        return block;
    }
    if (isWord("break")) {
        advance();
        endStatement();
        return make<BreakStatement>(line);
    }
    if (isWord("continue")) {
        advance();
        endStatement();
        return make<ContinueStatement>(line);
    }
    if (isWord("do")) {
        advance();
        Pointer<Statement> body = parseStatement();
        if (!isWord("while"))
            fail("expected while before '" + current().text + "'.");
        advance();
        require(TT_ROUND_LEFT, "TT_ROUND_LEFT");
        Pointer<Expression> condition = parseEnum();
        require(TT_ROUND_RIGHT, "TT_ROUND_RIGHT");
        endStatement();
        return make<DoWhileStatement>(line, body, condition);
    }
    if (isWord("for")) {
        advance();
        require(TT_ROUND_LEFT, "TT_ROUND_LEFT");
        Pointer<Expression> initial = parseEnum();
        endStatement();
        Pointer<Expression> condition = parseEnum();
        endStatement();
        Pointer<Expression> step = parseEnum();
        require(TT_ROUND_RIGHT, "TT_ROUND_RIGHT");
        Pointer<Statement> body = parseStatement();
        return make<ForStatement>(line, initial, condition, step, body);
    }
    if (isWord("if")) {
        advance();
        require(TT_ROUND_LEFT, "TT_ROUND_LEFT");
        Pointer<Expression> condition = parseEnum();
        require(TT_ROUND_RIGHT, "TT_ROUND_RIGHT");
        Pointer<Statement> then = parseStatement();
        Pointer<Statement> otherwise;
        if (isWord("else")) {
            advance();
            otherwise = parseStatement();
        }
        return make<IfStatement>(line, condition, then, otherwise);
    }
    if (isWord("return")) {
        advance();
        Pointer<Expression> value = parseEnum();
        endStatement();
        return make<ReturnStatement>(line, value);
    }
    if (isWord("while")) {
        advance();
        require(TT_ROUND_LEFT, "TT_ROUND_LEFT");
        Pointer<Expression> condition = parseEnum();
        require(TT_ROUND_RIGHT, "TT_ROUND_RIGHT");
        Pointer<Statement> body = parseStatement();
        return make<WhileStatement>(line, condition, body);
    }
    Pointer<Expression> expression = parseEnum();
    endStatement();
    return make<ExpressionStatement>(line, expression);
}

// Expressions -----------------------------------------------------------------

Pointer<Expression> ScriptParser::parseBinary(Level next, const BinaryRule* rules, int ruleCount)
{
    Nesting nesting(*this);
    Pointer<Expression> left = (this->*next)();
    for (;;) {
        const BinaryRule* rule = nullptr;
        for (int i = 0; i < ruleCount; ++i) {
            if (rules[i].type == current().type)
                rule = &rules[i];
        }
        if (!rule)
            return left;
        int line = advance().line;
        nesting.deeper();
        Pointer<Expression> right = (this->*next)();
        left = rule->build(left, right);
        left->line = line;
    }
}

Pointer<Expression> ScriptParser::parseExpression() { return parseEnum(); }

Pointer<Expression> ScriptParser::parseEnum()
{
    static constexpr BinaryRule rules[] = {{TT_COMMA, buildPair<CommaExpression>}};
    return parseBinary(&ScriptParser::parseStore, rules, 1);
}

Pointer<Expression> ScriptParser::parseStore()
{
    static constexpr BinaryRule rules[] = {
        {TT_STORE, buildPair<StoreExpression>},
        {TT_STORE_PLUS, buildStoreOperator<float, operator_plus>},
        {TT_STORE_MINUS, buildStoreOperator<float, operator_minus>},
        {TT_STORE_TIMES, buildStoreOperator<float, operator_times>},
        {TT_STORE_DIVIDED, buildStoreOperator<float, operator_divided>},
        {TT_STORE_MOD, buildStoreOperator<int, operator_mod>},
        {TT_STORE_LSHIFT, buildStoreOperator<int, operator_lshift>},
        {TT_STORE_RSHIFT, buildStoreOperator<int, operator_rshift>},
        {TT_STORE_URSHIFT, buildStoreOperator<int, operator_urshift>},
        {TT_STORE_AND, buildStoreOperator<int, operator_and>},
        {TT_STORE_XOR, buildStoreOperator<int, operator_xor>},
        {TT_STORE_OR, buildStoreOperator<int, operator_or>},
    };
    Nesting nesting(*this);
    Pointer<Expression> target = parseSelect();
    for (const BinaryRule& rule : rules) {
        if (rule.type == current().type) {
            int line = advance().line;
            nesting.deeper();
            Pointer<Expression> value = parseStore();
            Pointer<Expression> node = rule.build(target, value);
            node->line = line;
            return node;
        }
    }
    return target;
}

Pointer<Expression> ScriptParser::parseSelect()
{
    Nesting nesting(*this);
    Pointer<Expression> condition = parseOrOr();
    if (current().type != TT_QUESTION)
        return condition;
    int line = advance().line;
    nesting.deeper();
    Pointer<Expression> then = parseSelect();
    require(TT_COLON, "TT_COLON");
    Pointer<Expression> otherwise = parseSelect();
    return make<SelectExpression>(line, condition, then, otherwise);
}

Pointer<Expression> ScriptParser::parseOrOr()
{
    static constexpr BinaryRule rules[] = {{TT_OR_OR, buildPair<OrOrExpression>}};
    return parseBinary(&ScriptParser::parseAndAnd, rules, 1);
}

Pointer<Expression> ScriptParser::parseAndAnd()
{
    static constexpr BinaryRule rules[] = {{TT_AND_AND, buildPair<AndAndExpression>}};
    return parseBinary(&ScriptParser::parseOr, rules, 1);
}

Pointer<Expression> ScriptParser::parseOr()
{
    static constexpr BinaryRule rules[] = {{TT_OR, buildOperator<int, operator_or>}};
    return parseBinary(&ScriptParser::parseXor, rules, 1);
}

Pointer<Expression> ScriptParser::parseXor()
{
    static constexpr BinaryRule rules[] = {{TT_XOR, buildOperator<int, operator_xor>}};
    return parseBinary(&ScriptParser::parseAnd, rules, 1);
}

Pointer<Expression> ScriptParser::parseAnd()
{
    static constexpr BinaryRule rules[] = {{TT_AND, buildOperator<int, operator_and>}};
    return parseBinary(&ScriptParser::parseEqual, rules, 1);
}

Pointer<Expression> ScriptParser::parseEqual()
{
    static constexpr BinaryRule rules[] = {
        {TT_EQUAL, buildPair<EqualExpression>},
        {TT_NOT_EQUAL, buildPair<NotEqualExpression>},
    };
    return parseBinary(&ScriptParser::parseCompare, rules, 2);
}

Pointer<Expression> ScriptParser::parseCompare()
{
    static constexpr BinaryRule rules[] = {
        {TT_LT, buildCompare<operator_lt>},
        {TT_LE, buildCompare<operator_le>},
        {TT_GT, buildCompare<operator_gt>},
        {TT_GE, buildCompare<operator_ge>},
    };
    return parseBinary(&ScriptParser::parseShift, rules, 4);
}

Pointer<Expression> ScriptParser::parseShift()
{
    static constexpr BinaryRule rules[] = {
        {TT_LSHIFT, buildOperator<int, operator_lshift>},
        {TT_RSHIFT, buildOperator<int, operator_rshift>},
        {TT_URSHIFT, buildOperator<int, operator_urshift>},
    };
    return parseBinary(&ScriptParser::parseSum, rules, 3);
}

Pointer<Expression> ScriptParser::parseSum()
{
    static constexpr BinaryRule rules[] = {
        {TT_PLUS, buildOperator<float, operator_plus>},
        {TT_MINUS, buildOperator<float, operator_minus>},
    };
    return parseBinary(&ScriptParser::parseProduct, rules, 2);
}

Pointer<Expression> ScriptParser::parseProduct()
{
    static constexpr BinaryRule rules[] = {
        {TT_TIMES, buildOperator<float, operator_times>},
        {TT_DIVIDED, buildOperator<float, operator_divided>},
        {TT_MOD, buildOperator<int, operator_mod>},
    };
    return parseBinary(&ScriptParser::parseUnary, rules, 3);
}

Pointer<Expression> ScriptParser::parseUnary()
{
    Nesting nesting(*this);
    int line = current().line;
    if (current().type == TT_NOT || current().type == TT_INVERT || current().type == TT_INCREMENT
        || current().type == TT_DECREMENT || current().type == TT_MINUS)
        nesting.deeper();
    switch (current().type) {
    case TT_NOT:
        advance();
        return make<NegateExpression>(line, parseUnary());
    case TT_INVERT:
        advance();
        return make<InvertExpression>(line, parseUnary());
    case TT_INCREMENT:
        advance();
        return make<IncrementExpression>(line, parseUnary());
    case TT_DECREMENT:
        advance();
        return make<DecrementExpression>(line, parseUnary());
    case TT_MINUS:
        advance();
        return make<MinusExpression>(line, parseUnary());
    default:
        break;
    }
    Pointer<Expression> e = parseAtom();
    for (;;) {
        const Token& t = current();
        line = t.line;
        if (t.type == TT_ROUND_LEFT) {
            advance();
            nesting.deeper();
            ExpressionList arguments = parseArray();
            require(TT_ROUND_RIGHT, "TT_ROUND_RIGHT");
            e = make<ExecExpression>(line, e, std::move(arguments));
        } else if (t.type == TT_SQUARE_LEFT) {
            advance();
            nesting.deeper();
            Pointer<Expression> index = parseExpression();
            require(TT_SQUARE_RIGHT, "TT_SQUARE_RIGHT");
            e = make<IndexExpression>(line, e, index);
        } else if (t.type == TT_DOT) {
            advance();
            nesting.deeper();
            std::string name = requireWord();
            if (current().type == TT_ROUND_LEFT) {
                advance();
                ExpressionList arguments = parseArray();
                require(TT_ROUND_RIGHT, "TT_ROUND_RIGHT");
                e = make<MemberExecExpression>(line, e, std::move(name), std::move(arguments));
            } else {
                e = make<MemberExpression>(line, e, std::move(name));
            }
        } else if ((t.type == TT_INCREMENT || t.type == TT_DECREMENT) && !t.endsStatement) {
            // On a new line ++ and -- begin the next statement instead.
            bool increment = t.type == TT_INCREMENT;
            advance();
            nesting.deeper();
            if (increment)
                e = make<PostIncrementExpression>(line, e);
            else
                e = make<PostDecrementExpression>(line, e);
        } else {
            return e;
        }
    }
}

Pointer<Expression> ScriptParser::parseAtom()
{
    Nesting nesting(*this);
    nesting.deeper();
    const Token& t = current();
    int line = t.line;
    switch (t.type) {
    case TT_WORD:
        if (t.text == "true") {
            advance();
            return make<ConstantExpression>(line, Value(true));
        }
        if (t.text == "false") {
            advance();
            return make<ConstantExpression>(line, Value(false));
        }
        if (t.text == "null") {
            advance();
            return make<ConstantExpression>(line, Value());
        }
        if (t.text == "var") {
            advance();
            return make<VarExpression>(line, requireWord());
        }
        if (t.text == "function") {
            advance();
            std::string name;
            if (current().type == TT_WORD)
                name = advance().text;
            require(TT_ROUND_LEFT, "TT_ROUND_LEFT");
            std::vector<std::string> parameters = parseLabel();
            require(TT_ROUND_RIGHT, "TT_ROUND_RIGHT");
            Pointer<Statement> body = parseStatement();
            return make<FunctionExpression>(line, std::move(name), std::move(parameters), body);
        }
        return make<WordExpression>(line, advance().text);
    case TT_NUMBER:
        return make<ConstantExpression>(line, Value(advance().number));
    case TT_STRING:
        return make<ConstantExpression>(line, Value(advance().text.c_str()));
    case TT_INVALID:
        fail("invalid token '" + t.text + "'");
    case TT_ROUND_LEFT: {
        advance();
        Pointer<Expression> inner = parseEnum();
        require(TT_ROUND_RIGHT, "TT_ROUND_RIGHT");
        return inner;
    }
    case TT_SQUARE_LEFT: {
        advance();
        ExpressionList elements = parseArray();
        require(TT_SQUARE_RIGHT, "TT_SQUARE_RIGHT");
        return make<ArrayExpression>(line, std::move(elements));
    }
    default:
        fail("unexpected '" + t.text + "'");
    }
}

ExpressionList ScriptParser::parseArray()
{
    ExpressionList list;
    if (current().type == TT_ROUND_RIGHT || current().type == TT_SQUARE_RIGHT)
        return list;
    for (;;) {
        if (current().type == TT_CURL_RIGHT)
            return list;
        list.push_back(parseStore());
        if (current().type != TT_COMMA)
            return list;
        advance();
        if (current().type == TT_ROUND_RIGHT || current().type == TT_SQUARE_RIGHT)
            return list;
    }
}

std::vector<std::string> ScriptParser::parseLabel()
{
    std::vector<std::string> words;
    if (current().type != TT_WORD)
        return words;
    words.push_back(advance().text);
    while (current().type == TT_COMMA) {
        if (peek(1).type != TT_WORD) {
            advance();
            break;
        }
        advance();
        words.push_back(advance().text);
    }
    return words;
}

} // namespace Zeb::Kamblo
