#include "autosave.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <utility>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include "particle_beat.h"

namespace fs = std::filesystem;

namespace Pudlet {

namespace {

constexpr const char* kExtension = ".pdl";

std::string processTag() { return std::to_string(long(::getpid())); }

// The process number in "<host>-<process>-<document>.pdl", or -1 when the
// name is not one of the host's recovery files.
long processOf(const std::string& name, const std::string& host)
{
    const std::string prefix = host + "-";
    if (name.rfind(prefix, 0) != 0 || name.size() <= prefix.size() + 4 ||
        name.compare(name.size() - 4, 4, kExtension) != 0)
        return -1;
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 4);
    const size_t dash = middle.find('-');
    if (dash == 0 || dash == std::string::npos)
        return -1;
    long process = 0;
    for (size_t i = 0; i < dash; ++i) {
        if (middle[i] < '0' || middle[i] > '9' || process > 100000000)
            return -1;
        process = process * 10 + (middle[i] - '0');
    }
    return process;
}

bool isRunning(long process)
{
    if (process <= 0)
        return false;
    if (process == long(::getpid()))
        return true;
    return ::kill(pid_t(process), 0) == 0 || errno == EPERM;
}

} // namespace

fs::path recoveryFolder()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && fs::path(cache).is_absolute())
        return fs::path(cache) / "pudlet";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return fs::path(home) / ".cache" / "pudlet";
    return {};
}

RecoveryFile::RecoveryFile(fs::path folder, const std::string& host, int document)
    : path_(std::move(folder) / (host + "-" + processTag() + "-" + std::to_string(document) + kExtension))
{
}

bool RecoveryFile::update(Zeb::Kamblo::RevivezoRora& engine, bool modified)
{
    if (!modified) {
        remove();
        return true;
    }
    std::error_code error;
    const fs::path folder = path_.parent_path();
    if (folder.empty())
        return false;
    // Scenes are the user's work: the folder is readable by the user alone.
    if (fs::create_directories(folder, error))
        fs::permissions(folder, fs::perms::owner_all, error);
    return engine.save(path_.c_str());
}

void RecoveryFile::remove()
{
    std::error_code ignored;
    fs::remove(path_, ignored);
}

std::vector<fs::path> leftoverRecoveryFiles(const fs::path& folder, const std::string& host)
{
    std::vector<std::pair<fs::file_time_type, fs::path>> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const long process = processOf(it->path().filename().string(), host);
        std::error_code statusError;
        if (process < 0 || !it->is_regular_file(statusError) || isRunning(process))
            continue;
        found.emplace_back(it->last_write_time(statusError), it->path());
    }
    std::sort(found.begin(), found.end(), [](const auto& x, const auto& y) { return x.first > y.first; });
    std::vector<fs::path> files;
    for (auto& entry : found)
        files.push_back(std::move(entry.second));
    return files;
}

bool restoreRecoveryFile(Zeb::Kamblo::RevivezoRora& engine, const fs::path& file)
{
    const bool loaded = engine.load(file.c_str());
    std::error_code ignored;
    fs::remove(file, ignored);
    return loaded;
}

} // namespace Pudlet
