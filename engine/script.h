#pragma once
// Script errors, the control-flow exceptions, the limits that keep a shared
// script from taking the program down, and the entry point that runs a script
// section.
#include "value.h"

#include <string>
#include <string_view>

namespace Zeb::Kamblo {

class Statement;

class ScriptException {
public:
    explicit ScriptException(std::string message, int line = 0) : message(std::move(message)), line(line) {}
    virtual ~ScriptException() = default;

    // The message prefixed with its line when the line is known.
    std::string describe() const;

    std::string message;
    int line; // 1-based source line, 0 when unknown
};

class SyntaxException : public ScriptException {
public:
    using ScriptException::ScriptException;
};

class BreakException : public ScriptException {
public:
    explicit BreakException(int line = 0) : ScriptException("uncaught break", line) {}
};

class ContinueException : public ScriptException {
public:
    explicit ContinueException(int line = 0) : ScriptException("continue break", line) {}
};

class ReturnException : public ScriptException {
public:
    explicit ReturnException(Value value, int line = 0) : ScriptException("uncaught return", line), value(std::move(value)) {}
    Value value;
};

// Bounds on one evaluation, shared by all scripts of the thread. An
// evaluation starts when a node is evaluated while no other is running and
// ends when that node returns.
struct ScriptLimits {
    static constexpr long long defaultNodeBudget = 5'000'000;
    static constexpr int defaultMaxDepth = 3000;
    static constexpr int defaultMaxCallDepth = 300;
    static constexpr int maxParseDepth = 256;
    static constexpr size_t maxSourceLength = 1 << 20;

    long long nodeBudget = defaultNodeBudget; // nodes evaluated and references followed
    int maxDepth = defaultMaxDepth; // nested node evaluations
    int maxCallDepth = defaultMaxCallDepth; // nested script function calls

    static ScriptLimits& current();
};

// Counts one evaluated node against the budget and the depth limit while it
// lives; throws a ScriptException when either is exceeded.
class EvaluationStep {
public:
    explicit EvaluationStep(int line);
    ~EvaluationStep();
    EvaluationStep(const EvaluationStep&) = delete;
    EvaluationStep& operator=(const EvaluationStep&) = delete;

    // Charges extra work (such as following references) to the running
    // evaluation; does nothing outside one.
    static void charge(long long work);
    static bool running();
};

// Counts one script function call while it lives.
class CallStep {
public:
    CallStep();
    ~CallStep();
    CallStep(const CallStep&) = delete;
    CallStep& operator=(const CallStep&) = delete;
};

// Lexes and parses a whole script into one block; throws SyntaxException
// (with its line) on any error, including a stray closing bracket.
Pointer<Statement> parseScript(std::string_view source);

// Runs a parsed script in a new scope whose parent is `outer` (any element,
// or null for a self-contained scope). Uncaught break, continue and return
// and exceeded limits leave as ScriptException.
void runScript(const Pointer<Statement>& program, const Pointer<Element>& outer);

// Parses and runs; returns the empty string on success, otherwise the error
// text with its line ("line 3: unexpected ')'").
std::string executeScript(std::string_view source, const Pointer<Element>& outer);

} // namespace Zeb::Kamblo
