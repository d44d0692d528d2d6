// Runs every tests/scripts/NAME.pds and compares its outcome with
// NAME.expected: either "error: MESSAGE" or lines "name: VALUE" naming the
// values the script leaves in its outer scope.
#include "script.h"
#include "script_types.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace Zeb::Kamblo;

namespace {

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The content a value reads as, described with its kind.
std::string describe(Value v)
{
    if (auto* r = dynamic_cast<const Reference*>(v.object.get()))
        v = r->content();
    const Element* kind = v.object.get();
    if (kind == nullObject.get())
        return "null";
    if (kind == trueObject.get())
        return "true";
    if (kind == falseObject.get())
        return "false";
    if (kind == intClass.get())
        return "int " + std::to_string(int(v));
    if (kind == floatClass.get()) {
        char text[64];
        std::snprintf(text, sizeof text, "float %g", double(float(v)));
        return text;
    }
    if (dynamic_cast<const StringObject*>(kind))
        return std::string("string ") + kind->toString();
    if (dynamic_cast<const Array*>(kind))
        return "array";
    if (dynamic_cast<const FunctionValue*>(kind))
        return "function";
    return "element";
}

std::vector<std::filesystem::path> scripts()
{
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(PUDLET_SCRIPT_DIR)) {
        if (entry.path().extension() == ".pds")
            found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

} // namespace

TEST(ScriptGolden, EveryScriptMatchesItsExpectedOutcome)
{
    auto all = scripts();
    ASSERT_FALSE(all.empty()) << "no scripts in " << PUDLET_SCRIPT_DIR;
    for (const auto& path : all) {
        SCOPED_TRACE(path.filename().string());
        auto expectedPath = path;
        expectedPath.replace_extension(".expected");
        ASSERT_TRUE(std::filesystem::exists(expectedPath));
        std::istringstream expected(readFile(expectedPath));

        auto outer = autorelease(new Context());
        std::string error = executeScript(readFile(path), outer);
        std::string line;
        bool expectsError = false;
        while (std::getline(expected, line)) {
            if (line.empty())
                continue;
            if (line.rfind("error: ", 0) == 0) {
                expectsError = true;
                EXPECT_EQ(error, line.substr(7));
                continue;
            }
            size_t colon = line.find(": ");
            ASSERT_NE(colon, std::string::npos) << line;
            std::string name = line.substr(0, colon);
            EXPECT_EQ(describe(outer->getValue(name.c_str())), line.substr(colon + 2)) << name;
        }
        if (!expectsError) {
            EXPECT_EQ(error, "");
        }
        outer->values.clear(); // stored references close a cycle through it

    }
}
