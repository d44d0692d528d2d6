#pragma once
// Runs script source in a fresh global scope for the script tests.
#include "script.h"
#include "script_types.h"

#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace Zeb::Kamblo::Testing {

// The script's scope has the parentless `globals` as its parent, so stores of
// top-level names land in `globals` where a test can read them.
struct ScriptRun {
    explicit ScriptRun(const char* source) { error = executeScript(source, globals); }
    // Stored references point back into the script's scope, whose parent is
    // `globals`: a cycle by design. Emptying `globals` breaks it.
    ~ScriptRun()
    {
        if (globals)
            globals->values.clear();
    }
    ScriptRun(const ScriptRun&) = delete;
    ScriptRun& operator=(const ScriptRun&) = delete;

    Value operator[](const char* name) const { return globals->getValue(name); }
    int integer(const char* name) const { return int(globals->getValue(name)); }
    float number(const char* name) const { return float(globals->getValue(name)); }
    // The kind of a stored value without following references.
    const Element* kind(const char* name) const { return globals->getValue(name).object.get(); }

    Pointer<Context> globals = autorelease(new Context());
    std::string error;
};

// Marks objects allocated while it lives as deliberately leaked, for tests of
// cycles that the value model never frees.
#if defined(__SANITIZE_ADDRESS__)
struct IntendedLeaks {
    IntendedLeaks() { __lsan_disable(); }
    ~IntendedLeaks() { __lsan_enable(); }
};
#else
struct IntendedLeaks {};
#endif

// The message of the syntax error a source produces, or "" when it parses.
inline std::string syntaxError(const char* source)
{
    try {
        parseScript(source);
    } catch (const SyntaxException& e) {
        return e.message;
    }
    return "";
}

} // namespace Zeb::Kamblo::Testing
