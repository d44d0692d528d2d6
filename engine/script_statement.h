#pragma once
// Statement nodes of the script tree.
#include "script_expression.h"

#include <vector>

namespace Zeb::Kamblo {

class Statement : public Object {
public:
    // Counts the node against the evaluation's limits, then runs it.
    void run(const Pointer<Context>& context) const;

    int line = 0; // source line, for error messages

protected:
    virtual void execute(const Pointer<Context>& context) const = 0;
};

class EmptyStatement : public Statement {
protected:
    void execute(const Pointer<Context>&) const override {}
};

class ExpressionStatement : public Statement {
public:
    explicit ExpressionStatement(const Pointer<Expression>& expression) : expression(expression) {}
    Pointer<Expression> expression;

protected:
    void execute(const Pointer<Context>& context) const override;
};

class BlockStatement : public Statement {
public:
    explicit BlockStatement(std::vector<Pointer<Statement>> statements) : statements(std::move(statements)) {}
    std::vector<Pointer<Statement>> statements;

protected:
    void execute(const Pointer<Context>& context) const override;
};

class IfStatement : public Statement {
public:
    IfStatement(const Pointer<Expression>& condition, const Pointer<Statement>& then, const Pointer<Statement>& otherwise)
        : condition(condition), then(then), otherwise(otherwise)
    {
    }
    Pointer<Expression> condition;
    Pointer<Statement> then;
    Pointer<Statement> otherwise; // null without else

protected:
    void execute(const Pointer<Context>& context) const override;
};

class WhileStatement : public Statement {
public:
    WhileStatement(const Pointer<Expression>& condition, const Pointer<Statement>& body) : condition(condition), body(body) {}
    Pointer<Expression> condition;
    Pointer<Statement> body;

protected:
    void execute(const Pointer<Context>& context) const override;
};

class DoWhileStatement : public Statement {
public:
    DoWhileStatement(const Pointer<Statement>& body, const Pointer<Expression>& condition) : body(body), condition(condition) {}
    Pointer<Statement> body;
    Pointer<Expression> condition;

protected:
    void execute(const Pointer<Context>& context) const override;
};

class ForStatement : public Statement {
public:
    ForStatement(const Pointer<Expression>& initial, const Pointer<Expression>& condition, const Pointer<Expression>& step,
                 const Pointer<Statement>& body)
        : initial(initial), condition(condition), step(step), body(body)
    {
    }
    Pointer<Expression> initial;
    Pointer<Expression> condition;
    Pointer<Expression> step;
    Pointer<Statement> body;

protected:
    void execute(const Pointer<Context>& context) const override;
};

class BreakStatement : public Statement {
protected:
    void execute(const Pointer<Context>&) const override;
};

class ContinueStatement : public Statement {
protected:
    void execute(const Pointer<Context>&) const override;
};

class ReturnStatement : public Statement {
public:
    explicit ReturnStatement(const Pointer<Expression>& value) : value(value) {}
    Pointer<Expression> value;

protected:
    void execute(const Pointer<Context>& context) const override;
};

} // namespace Zeb::Kamblo
