#pragma once
// Expression nodes of the script tree and the operator functions they apply.
#include "script_types.h"

#include <string>
#include <vector>

namespace Zeb::Kamblo {

float operator_plus(float a, float b);
float operator_minus(float a, float b);
float operator_times(float a, float b);
float operator_divided(float a, float b);
int operator_mod(int a, int b);
int operator_lshift(int a, int b);
int operator_rshift(int a, int b);
int operator_urshift(int a, int b);
int operator_and(int a, int b);
int operator_xor(int a, int b);
int operator_or(int a, int b);
bool operator_lt(float a, float b);
bool operator_gt(float a, float b);
bool operator_le(float a, float b);
bool operator_ge(float a, float b);

class Expression : public Object {
public:
    // Counts the node against the evaluation's limits, then evaluates it.
    Value eval(const Pointer<Context>& context) const;

    int line = 0; // source line, for error messages

protected:
    virtual Value evaluate(const Pointer<Context>& context) const = 0;
};

using ExpressionList = std::vector<Pointer<Expression>>;

class ConstantExpression : public Expression {
public:
    explicit ConstantExpression(Value value) : value(std::move(value)) {}
    Value value;

protected:
    Value evaluate(const Pointer<Context>&) const override { return value; }
};

class WordExpression : public Expression {
public:
    explicit WordExpression(std::string name) : name(std::move(name)) {}
    std::string name;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

class VarExpression : public Expression {
public:
    explicit VarExpression(std::string name) : name(std::move(name)) {}
    std::string name;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

class FunctionExpression : public Expression {
public:
    FunctionExpression(std::string name, std::vector<std::string> parameters, const Pointer<Statement>& body);
    ~FunctionExpression() override;
    std::string name;
    std::vector<std::string> parameters;
    Pointer<Statement> body;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

class ArrayExpression : public Expression {
public:
    explicit ArrayExpression(ExpressionList elements) : elements(std::move(elements)) {}
    ExpressionList elements;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

class BinaryExpression : public Expression {
public:
    BinaryExpression(const Pointer<Expression>& left, const Pointer<Expression>& right) : left(left), right(right) {}
    Pointer<Expression> left;
    Pointer<Expression> right;
};

#define KAMBLO_BINARY_EXPRESSION(Name)                                     \
    class Name : public BinaryExpression {                                 \
    public:                                                                \
        using BinaryExpression::BinaryExpression;                          \
                                                                           \
    protected:                                                             \
        Value evaluate(const Pointer<Context>& context) const override;    \
    };
KAMBLO_BINARY_EXPRESSION(CommaExpression)
KAMBLO_BINARY_EXPRESSION(StoreExpression)
KAMBLO_BINARY_EXPRESSION(OrOrExpression)
KAMBLO_BINARY_EXPRESSION(AndAndExpression)
KAMBLO_BINARY_EXPRESSION(EqualExpression)
KAMBLO_BINARY_EXPRESSION(NotEqualExpression)
KAMBLO_BINARY_EXPRESSION(IndexExpression)
#undef KAMBLO_BINARY_EXPRESSION

template <class T>
class OperatorExpression : public Expression {
public:
    using Function = T (*)(T, T);
    OperatorExpression(Function function, const Pointer<Expression>& left, const Pointer<Expression>& right)
        : function(function), left(left), right(right)
    {
    }
    Function function;
    Pointer<Expression> left;
    Pointer<Expression> right;

protected:
    Value evaluate(const Pointer<Context>& context) const override
    {
        Value a = left->eval(context);
        Value b = right->eval(context);
        return Value(function(T(a), T(b)));
    }
};

template <class T>
class StoreOperatorExpression : public Expression {
public:
    using Function = T (*)(T, T);
    StoreOperatorExpression(Function function, const Pointer<Expression>& left, const Pointer<Expression>& right)
        : function(function), left(left), right(right)
    {
    }
    Function function;
    Pointer<Expression> left;
    Pointer<Expression> right;

protected:
    Value evaluate(const Pointer<Context>& context) const override
    {
        Value target = left->eval(context);
        Value operand = right->eval(context);
        target->setValue(nullptr, Value(function(T(target), T(operand))));
        return target;
    }
};

class CompareExpression : public Expression {
public:
    using Function = bool (*)(float, float);
    CompareExpression(Function function, const Pointer<Expression>& left, const Pointer<Expression>& right)
        : function(function), left(left), right(right)
    {
    }
    Function function;
    Pointer<Expression> left;
    Pointer<Expression> right;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

class SelectExpression : public Expression {
public:
    SelectExpression(const Pointer<Expression>& condition, const Pointer<Expression>& then,
                     const Pointer<Expression>& otherwise)
        : condition(condition), then(then), otherwise(otherwise)
    {
    }
    Pointer<Expression> condition;
    Pointer<Expression> then;
    Pointer<Expression> otherwise;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

class UnaryExpression : public Expression {
public:
    explicit UnaryExpression(const Pointer<Expression>& operand) : operand(operand) {}
    Pointer<Expression> operand;
};

#define KAMBLO_UNARY_EXPRESSION(Name)                                      \
    class Name : public UnaryExpression {                                  \
    public:                                                                \
        using UnaryExpression::UnaryExpression;                            \
                                                                           \
    protected:                                                             \
        Value evaluate(const Pointer<Context>& context) const override;    \
    };
KAMBLO_UNARY_EXPRESSION(MinusExpression)
KAMBLO_UNARY_EXPRESSION(InvertExpression)
KAMBLO_UNARY_EXPRESSION(NegateExpression)
KAMBLO_UNARY_EXPRESSION(IncrementExpression)
KAMBLO_UNARY_EXPRESSION(DecrementExpression)
KAMBLO_UNARY_EXPRESSION(PostIncrementExpression)
KAMBLO_UNARY_EXPRESSION(PostDecrementExpression)
#undef KAMBLO_UNARY_EXPRESSION

class MemberExpression : public Expression {
public:
    MemberExpression(const Pointer<Expression>& object, std::string name) : object(object), name(std::move(name)) {}
    Pointer<Expression> object;
    std::string name;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

class ExecExpression : public Expression {
public:
    ExecExpression(const Pointer<Expression>& function, ExpressionList arguments)
        : function(function), arguments(std::move(arguments))
    {
    }
    Pointer<Expression> function;
    ExpressionList arguments;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

class MemberExecExpression : public Expression {
public:
    MemberExecExpression(const Pointer<Expression>& object, std::string name, ExpressionList arguments)
        : object(object), name(std::move(name)), arguments(std::move(arguments))
    {
    }
    Pointer<Expression> object;
    std::string name;
    ExpressionList arguments;

protected:
    Value evaluate(const Pointer<Context>& context) const override;
};

} // namespace Zeb::Kamblo
