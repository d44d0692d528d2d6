#pragma once
// A scene's script section: the text read from the scene file, parsed once
// and run by the facade after every step (onSimulate) or frame (onRender).
#include "value.h"

#include <iosfwd>
#include <string>

namespace Zeb::Kamblo {

class Statement;

class SceneScript : public Object {
public:
    // Parses the text. A text that does not parse is reported on standard
    // error once, here; the script keeps it (so saving loses nothing) and
    // never runs.
    explicit SceneScript(std::string source);
    ~SceneScript() override;
    SceneScript(const SceneScript&) = delete;
    SceneScript& operator=(const SceneScript&) = delete;

    // Runs the whole text once as a top-level block whose outer scope is
    // `engine`, under the evaluation budget and depth limits. After an error
    // (this run's or an earlier one) the script does nothing; the error is
    // kept in errorMessage. The result is always null.
    virtual Value run(const Pointer<Element>& engine);
    // Null while the script is sound; otherwise the error that stopped it,
    // with its line ("line 3: ...").
    virtual const char* errorMessage() const;
    // The text as read, written back when the scene is saved.
    virtual const char* sourceText() const;

    // Reads a section from the scene file, positioned just after its keyword:
    // lines up to one that is exactly "$" (consumed), or to the end of the
    // input. The rest of the keyword line is the first line unless it is
    // blank; lines are joined with line feeds so the text keeps its line
    // structure and comes back unchanged from a save.
    static Pointer<SceneScript> readSection(std::istream& in);

private:
    std::string source_;
    std::string error_;
    Pointer<Statement> program_; // null when the text did not parse
    bool running_ = false;
};

} // namespace Zeb::Kamblo
