#include "script.h"

#include "script_parser.h"

namespace Zeb::Kamblo {

namespace {

struct EvaluationState {
    long long remaining = 0;
    int depth = 0;
    int callDepth = 0;
    int line = 0;
};

thread_local EvaluationState state;

} // namespace

std::string ScriptException::describe() const
{
    if (line <= 0)
        return message;
    return "line " + std::to_string(line) + ": " + message;
}

ScriptLimits& ScriptLimits::current()
{
    thread_local ScriptLimits limits;
    return limits;
}

EvaluationStep::EvaluationStep(int line)
{
    const ScriptLimits& limits = ScriptLimits::current();
    if (state.depth == 0)
        state.remaining = limits.nodeBudget;
    if (line > 0)
        state.line = line;
    if (state.depth >= limits.maxDepth)
        throw ScriptException("script nested too deeply", state.line);
    if (--state.remaining < 0)
        throw ScriptException("script ran too long", state.line);
    ++state.depth;
}

EvaluationStep::~EvaluationStep() { --state.depth; }

void EvaluationStep::charge(long long work)
{
    if (state.depth == 0)
        return;
    state.remaining -= work;
    if (state.remaining < 0)
        throw ScriptException("script ran too long", state.line);
}

bool EvaluationStep::running() { return state.depth > 0; }

CallStep::CallStep()
{
    if (state.callDepth >= ScriptLimits::current().maxCallDepth)
        throw ScriptException("too many nested calls", state.line);
    ++state.callDepth;
}

CallStep::~CallStep() { --state.callDepth; }

Pointer<Statement> parseScript(std::string_view source)
{
    if (source.size() > ScriptLimits::maxSourceLength)
        throw SyntaxException("script too long", 1);
    ScriptParser parser(lexScript(source));
    Pointer<Statement> program = parser.parseBlock();
    if (!parser.atEnd())
        throw SyntaxException("unexpected '" + parser.current().text + "'", parser.current().line);
    return program;
}

void runScript(const Pointer<Statement>& program, const Pointer<Element>& outer)
{
    auto scope = autorelease(new Context(outer));
    program->run(scope);
}

std::string executeScript(std::string_view source, const Pointer<Element>& outer)
{
    try {
        runScript(parseScript(source), outer);
    } catch (const ScriptException& e) {
        return e.describe();
    }
    return {};
}

} // namespace Zeb::Kamblo
