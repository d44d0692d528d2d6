#include "script_statement.h"

#include "script.h"

namespace Zeb::Kamblo {

namespace {

// Runs a loop body; returns false when the body broke out of the loop.
bool runBody(const Statement& body, const Pointer<Context>& context)
{
    try {
        body.run(context);
    } catch (const BreakException&) {
        return false;
    } catch (const ContinueException&) {
    }
    return true;
}

} // namespace

void Statement::run(const Pointer<Context>& context) const
{
    EvaluationStep step(line);
    execute(context);
}

void ExpressionStatement::execute(const Pointer<Context>& context) const { expression->eval(context); }

void BlockStatement::execute(const Pointer<Context>& context) const
{
    for (const auto& statement : statements)
        statement->run(context);
}

void IfStatement::execute(const Pointer<Context>& context) const
{
    if (bool(condition->eval(context)))
        then->run(context);
    else if (otherwise)
        otherwise->run(context);
}

void WhileStatement::execute(const Pointer<Context>& context) const
{
    while (bool(condition->eval(context))) {
        if (!runBody(*body, context))
            break;
    }
}

void DoWhileStatement::execute(const Pointer<Context>& context) const
{
    do {
        if (!runBody(*body, context))
            break;
    } while (bool(condition->eval(context)));
}

void ForStatement::execute(const Pointer<Context>& context) const
{
    for (initial->eval(context); bool(condition->eval(context)); step->eval(context)) {
        if (!runBody(*body, context))
            break;
    }
}

void BreakStatement::execute(const Pointer<Context>&) const { throw BreakException(line); }

void ContinueStatement::execute(const Pointer<Context>&) const { throw ContinueException(line); }

void ReturnStatement::execute(const Pointer<Context>& context) const
{
    throw ReturnException(value->eval(context), line);
}

} // namespace Zeb::Kamblo
