#include "scene_script.h"

#include <iostream>
#include <new>
#include <stdexcept>

#include "script.h"
#include "script_statement.h"

namespace Zeb::Kamblo {

namespace {

bool isBlank(const std::string& line)
{
    return line.find_first_not_of(" \t\r\v\f") == std::string::npos;
}

} // namespace

SceneScript::SceneScript(std::string source) : source_(std::move(source))
{
    try {
        program_ = parseScript(source_);
    } catch (const ScriptException& e) {
        error_ = e.describe();
    } catch (const std::bad_alloc&) {
        error_ = "script too large";
    }
    if (!program_)
        std::cerr << error_ << '\n';
}

SceneScript::~SceneScript() = default;

Value SceneScript::run(const Pointer<Element>& engine)
{
    // A script that failed stays failed; one that is already running (the
    // engine re-entered from inside it) is not started a second time.
    if (!program_ || !error_.empty() || running_)
        return Value();
    running_ = true;
    // Keeps the tree alive even if the script replaces the scene that holds it.
    Pointer<Statement> program = program_;
    try {
        runScript(program, engine);
    } catch (const ScriptException& e) {
        error_ = e.describe();
    } catch (const std::bad_alloc&) {
        error_ = "script ran out of memory";
    } catch (const std::length_error&) {
        error_ = "script ran out of memory";
    }
    running_ = false;
    return Value();
}

const char* SceneScript::errorMessage() const
{
    return error_.empty() ? nullptr : error_.c_str();
}

const char* SceneScript::sourceText() const
{
    return source_.c_str();
}

Pointer<SceneScript> SceneScript::readSection(std::istream& in)
{
    std::string text;
    std::string line;
    bool first = true;
    bool any = false;
    while (std::getline(in, line)) {
        if (line == "$")
            break;
        // The keyword line's remainder: blank in every file this program writes.
        if (first && isBlank(line)) {
            first = false;
            continue;
        }
        first = false;
        if (any)
            text += '\n';
        text += line;
        any = true;
    }
    return autorelease(new SceneScript(std::move(text)));
}

} // namespace Zeb::Kamblo
