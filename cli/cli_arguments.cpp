#include "cli_arguments.h"

#include <cctype>

namespace PudletCli {

bool ArgumentReader::done()
{
    if (hasPendingValue_)
        throw UsageError("option '" + arguments_[next_ - 1].substr(0, arguments_[next_ - 1].find('=')) +
                         "' takes no value");
    return next_ >= arguments_.size();
}

std::string ArgumentReader::take()
{
    std::string argument = arguments_[next_++];
    const size_t equals = argument.find('=');
    if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
        pendingValue_ = argument.substr(equals + 1);
        hasPendingValue_ = true;
        argument.resize(equals);
    }
    return argument;
}

std::string ArgumentReader::value(const std::string& option)
{
    if (hasPendingValue_) {
        hasPendingValue_ = false;
        return pendingValue_;
    }
    if (done())
        throw UsageError("option '" + option + "' needs a value");
    return arguments_[next_++];
}

long long parseInteger(const std::string& option, const std::string& text, long long low, long long high)
{
    const std::string expected =
        option + " needs a whole number from " + std::to_string(low) + " to " + std::to_string(high) + ", got '" +
        text + "'";
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    if (i == text.size())
        throw UsageError(expected);
    // Accumulate with a ceiling, so a long run of digits cannot overflow.
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            throw UsageError(expected);
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > (1LL << 53))
            throw UsageError(expected);
    }
    const long long number = negative ? -magnitude : magnitude;
    if (number < low || number > high)
        throw UsageError(expected);
    return number;
}

PixelSize parseSize(const std::string& option, const std::string& text, int maxSide)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos)
        throw UsageError(option + " needs WIDTHxHEIGHT in pixels, got '" + text + "'");
    const std::string side = "each side of " + option;
    return {int(parseInteger(side, text.substr(0, x), 1, maxSide)),
            int(parseInteger(side, text.substr(x + 1), 1, maxSide))};
}

} // namespace PudletCli
