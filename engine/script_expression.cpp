#include "script_expression.h"

#include "script.h"
#include "script_statement.h"

#include <cstdio>

namespace Zeb::Kamblo {

// Operator functions ---------------------------------------------------------

float operator_plus(float a, float b) { return a + b; }
float operator_minus(float a, float b) { return a - b; }
float operator_times(float a, float b) { return a * b; }
float operator_divided(float a, float b) { return a / b; }

int operator_mod(int a, int b)
{
    // No remainder exists for a zero divisor; INT_MIN % -1 overflows in C++
    // although its remainder is 0. Both yield 0 instead of trapping.
    if (b == 0 || b == -1)
        return 0;
    return a % b;
}

// Shifts work on the unsigned pattern so that no shift is undefined; the
// count is taken modulo 32 like a 32-bit machine does.
int operator_lshift(int a, int b) { return int(unsigned(a) << (unsigned(b) & 31u)); }
int operator_rshift(int a, int b) { return a >> (unsigned(b) & 31u); }
int operator_urshift(int a, int b) { return int(unsigned(a) >> (unsigned(b) & 31u)); }
int operator_and(int a, int b) { return a & b; }
int operator_xor(int a, int b) { return a ^ b; }
int operator_or(int a, int b) { return a | b; }
bool operator_lt(float a, float b) { return a < b; }
bool operator_gt(float a, float b) { return a > b; }
bool operator_le(float a, float b) { return a <= b; }
bool operator_ge(float a, float b) { return a >= b; }

// Nodes ---------------------------------------------------------------------

namespace {

Value makeReference(const Pointer<Element>& object, const std::string& name)
{
    return Value(autorelease<Element>(new Reference(object, name)));
}

std::vector<Value> evalArguments(const ExpressionList& arguments, const Pointer<Context>& context)
{
    std::vector<Value> values;
    values.reserve(arguments.size());
    for (const auto& argument : arguments)
        values.push_back(argument->eval(context));
    return values;
}

int wrappingAdd(int a, int b) { return int(unsigned(a) + unsigned(b)); }

} // namespace

Value Expression::eval(const Pointer<Context>& context) const
{
    EvaluationStep step(line);
    return evaluate(context);
}

Value WordExpression::evaluate(const Pointer<Context>& context) const { return makeReference(context, name); }

Value VarExpression::evaluate(const Pointer<Context>& context) const
{
    context->createValue(name.c_str());
    return makeReference(context, name);
}

FunctionExpression::FunctionExpression(std::string name, std::vector<std::string> parameters,
                                       const Pointer<Statement>& body)
    : name(std::move(name)), parameters(std::move(parameters)), body(body)
{
}

FunctionExpression::~FunctionExpression() = default;

Value FunctionExpression::evaluate(const Pointer<Context>& context) const
{
    Value function(autorelease<Element>(new FunctionValue(parameters, body)));
    if (!name.empty())
        context->setValue(name.c_str(), function);
    return function;
}

Value ArrayExpression::evaluate(const Pointer<Context>& context) const
{
    auto array = autorelease(new Array(int(elements.size())));
    for (size_t i = 0; i < elements.size(); ++i)
        array->setValueAtIndex(int(i), elements[i]->eval(context));
    return Value(array);
}

Value CommaExpression::evaluate(const Pointer<Context>& context) const
{
    left->eval(context);
    return right->eval(context);
}

Value StoreExpression::evaluate(const Pointer<Context>& context) const
{
    Value target = left->eval(context);
    Value v = right->eval(context);
    target->setValue(nullptr, v);
    return target;
}

Value OrOrExpression::evaluate(const Pointer<Context>& context) const
{
    if (bool(left->eval(context)))
        return Value(true);
    return Value(bool(right->eval(context)));
}

Value AndAndExpression::evaluate(const Pointer<Context>& context) const
{
    if (!bool(left->eval(context)))
        return Value(false);
    return Value(bool(right->eval(context)));
}

Value EqualExpression::evaluate(const Pointer<Context>& context) const
{
    Value a = left->eval(context);
    Value b = right->eval(context);
    return Value(float(a) == float(b));
}

Value NotEqualExpression::evaluate(const Pointer<Context>& context) const
{
    Value a = left->eval(context);
    Value b = right->eval(context);
    return Value(!(float(a) == float(b)));
}

Value IndexExpression::evaluate(const Pointer<Context>& context) const
{
    Value object = left->eval(context);
    Value index = right->eval(context);
    char text[16];
    std::snprintf(text, sizeof text, "%d", int(index));
    return object->getValue(text);
}

Value CompareExpression::evaluate(const Pointer<Context>& context) const
{
    Value a = left->eval(context);
    Value b = right->eval(context);
    return Value(function(float(a), float(b)));
}

Value SelectExpression::evaluate(const Pointer<Context>& context) const
{
    return bool(condition->eval(context)) ? then->eval(context) : otherwise->eval(context);
}

Value MinusExpression::evaluate(const Pointer<Context>& context) const
{
    return Value(-float(operand->eval(context)));
}

Value InvertExpression::evaluate(const Pointer<Context>& context) const
{
    return Value(~int(operand->eval(context)));
}

Value NegateExpression::evaluate(const Pointer<Context>& context) const
{
    return Value(!bool(operand->eval(context)));
}

Value IncrementExpression::evaluate(const Pointer<Context>& context) const
{
    Value target = operand->eval(context);
    target->setValue(nullptr, Value(wrappingAdd(int(target), 1)));
    return target;
}

Value DecrementExpression::evaluate(const Pointer<Context>& context) const
{
    Value target = operand->eval(context);
    target->setValue(nullptr, Value(wrappingAdd(int(target), -1)));
    return target;
}

Value PostIncrementExpression::evaluate(const Pointer<Context>& context) const
{
    Value target = operand->eval(context);
    float old = float(target);
    target->setValue(nullptr, Value(float(old + 1.0f)));
    return Value(old);
}

Value PostDecrementExpression::evaluate(const Pointer<Context>& context) const
{
    Value target = operand->eval(context);
    float old = float(target);
    target->setValue(nullptr, Value(float(old - 1.0f)));
    return Value(old);
}

Value MemberExpression::evaluate(const Pointer<Context>& context) const
{
    Value owner = object->eval(context);
    return makeReference(static_cast<Pointer<Element>>(owner), name);
}

Value ExecExpression::evaluate(const Pointer<Context>& context) const
{
    Value callee = function->eval(context);
    std::vector<Value> args = evalArguments(arguments, context);
    return callee->exec(nullptr, args.data(), int(args.size()));
}

Value MemberExecExpression::evaluate(const Pointer<Context>& context) const
{
    Value owner = object->eval(context);
    std::vector<Value> args = evalArguments(arguments, context);
    return owner->exec(name.c_str(), args.data(), int(args.size()));
}

} // namespace Zeb::Kamblo
