// The script lexer, parser and evaluator together on arbitrary source, under
// a node budget small enough that every input ends in milliseconds.
#include "fuzz_file.h"
#include "script.h"
#include "script_types.h"

using namespace Zeb::Kamblo;

// Values are reference counted without cycle collection, so an alias stored
// in its own scope ("a = a") or a function kept in the scope it closes over
// is never freed: a known property of the language, not a finding. The node
// budget bounds what one evaluation can strand.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    ScriptLimits& limits = ScriptLimits::current();
    limits.nodeBudget = 200'000;
    auto globals = autorelease(new Context());
    executeScript(std::string_view(reinterpret_cast<const char*>(bytes), size), globals);
    return 0;
}
