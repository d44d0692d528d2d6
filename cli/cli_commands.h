#pragma once
// The commands of pudlet-cli. Each takes the arguments after its name,
// returns the exit status on success and throws UsageError or Failure.
#include <string>
#include <vector>

namespace PudletCli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

int runCommand(const std::vector<std::string>& arguments);
int infoCommand(const std::vector<std::string>& arguments);
int benchCommand(const std::vector<std::string>& arguments);

extern const char* const kRunHelp;
extern const char* const kInfoHelp;
extern const char* const kBenchHelp;

} // namespace PudletCli
