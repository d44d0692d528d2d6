#pragma once
// Command-line parsing shared by the commands of pudlet-cli: a usage error
// carries the one line the tool prints before exiting with status 2.
#include <stdexcept>
#include <string>
#include <vector>

namespace PudletCli {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A failure of the work itself (unreadable scene, unwritable output): the tool
// prints the line and exits with status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Walks the arguments after the command name. Options take their value as the
// next argument or after '=' ("--steps 8", "--steps=8").
class ArgumentReader {
public:
    explicit ArgumentReader(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}

    // True after the last argument; a usage error when the last option taken
    // was given a value it does not take ("--json=1").
    bool done();
    // The next argument; for "--name=value" only the "--name" part.
    std::string take();
    // The value of the option just taken; a usage error when there is none.
    std::string value(const std::string& option);
    bool isOption(const std::string& argument) const { return argument.size() > 1 && argument[0] == '-'; }

private:
    std::vector<std::string> arguments_;
    size_t next_ = 0;
    std::string pendingValue_;
    bool hasPendingValue_ = false;
};

// A whole decimal number in [low, high] (no sign unless low < 0, no spaces,
// no trailing text); a usage error naming the option otherwise.
long long parseInteger(const std::string& option, const std::string& text, long long low, long long high);

struct PixelSize {
    int width = 0;
    int height = 0;
};
// "WxH" with each side in [1, maxSide].
PixelSize parseSize(const std::string& option, const std::string& text, int maxSide);

} // namespace PudletCli
