#pragma once
// Autosave and recovery for the desktop hosts, without any toolkit: while a
// scene is modified the host saves it now and then to a recovery file in the
// user's cache folder; a clean close removes the file, so a file found at the
// next start was left by a session that ended without one (a crash, a power
// cut, a killed process) and can be offered back to the user.
#include <filesystem>
#include <string>
#include <vector>

namespace Zeb::Kamblo {
class RevivezoRora;
}

namespace Pudlet {

// $XDG_CACHE_HOME/pudlet when that variable holds an absolute path, else
// $HOME/.cache/pudlet; empty when neither is known.
std::filesystem::path recoveryFolder();

// The recovery file of one open scene: "<host>-<process>-<document>.pdl" in
// the folder, so that several hosts, processes and windows never share one.
class RecoveryFile {
public:
    RecoveryFile(std::filesystem::path folder, const std::string& host, int document = 0);
    RecoveryFile(const RecoveryFile&) = delete;
    RecoveryFile& operator=(const RecoveryFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Called every minute or so: a modified scene is saved through the
    // engine's own (crash-safe) save, the folder being made private to the
    // user first if needed; an unmodified one has nothing to recover, and
    // its recovery file is removed. False when a save failed.
    bool update(Zeb::Kamblo::RevivezoRora& engine, bool modified);
    // The clean close (or the scene was saved where the user wanted it).
    void remove();

private:
    std::filesystem::path path_;
};

// Recovery files of the host left behind by processes that no longer run,
// newest first. Files of running processes (another window of the host
// open at the same time) are not offered.
std::vector<std::filesystem::path> leftoverRecoveryFiles(const std::filesystem::path& folder,
                                                          const std::string& host);

// Loads a leftover file into the engine and removes it (the scene is now the
// session's own and is autosaved again under the session's name while it
// stays modified). A file that holds no scene is removed and false is
// returned, leaving the engine's scene as it was.
bool restoreRecoveryFile(Zeb::Kamblo::RevivezoRora& engine, const std::filesystem::path& file);

} // namespace Pudlet
