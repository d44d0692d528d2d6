#include "autosave.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sys/stat.h>

#include "particle_beat_implements.h"
#include "temp_folder.h"

using namespace Zeb::Kamblo;
namespace fs = std::filesystem;

namespace {

// Sets or unsets an environment variable for the test's duration.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { old_ ? setenv(name_, old_->c_str(), 1) : unsetenv(name_); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class Autosave : public PudletTest::TempFolderTest {
protected:
    Autosave() : TempFolderTest("pudlet_autosave_") {}

    Pointer<RevivezoRoraImplements> engineWithParticles(int n)
    {
        auto engine = autorelease(new RevivezoRoraImplements());
        for (int i = 0; i < n; ++i) {
            int p = engine->data->createParticle(0);
            engine->data->position[p] = {float(i), 1};
        }
        return engine;
    }
};

} // namespace

TEST_F(Autosave, FolderFollowsTheCacheVariableThenHome)
{
    {
        ScopedVariable cache("XDG_CACHE_HOME", "/var/cache-of-user");
        EXPECT_EQ(Pudlet::recoveryFolder(), fs::path("/var/cache-of-user/pudlet"));
    }
    ScopedVariable home("HOME", "/home/someone");
    for (const char* unusable : {"relative/cache", "", static_cast<const char*>(nullptr)}) {
        ScopedVariable cache("XDG_CACHE_HOME", unusable);
        EXPECT_EQ(Pudlet::recoveryFolder(), fs::path("/home/someone/.cache/pudlet"));
    }
    ScopedVariable noCache("XDG_CACHE_HOME", nullptr);
    ScopedVariable noHome("HOME", nullptr);
    EXPECT_TRUE(Pudlet::recoveryFolder().empty());
}

// A modified scene is saved into a private folder made on demand and comes
// back whole; an unmodified one, or a clean close, leaves no file.
TEST_F(Autosave, ModifiedScenesAreSavedAndCleanOnesLeaveNothing)
{
    const fs::path folder = dir_ / "cache" / "pudlet";
    Pudlet::RecoveryFile file(folder, "pudlet", 2);
    EXPECT_EQ(file.path().parent_path(), folder);
    auto engine = engineWithParticles(5);

    ASSERT_TRUE(file.update(*engine, true));
    ASSERT_TRUE(fs::is_regular_file(file.path()));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
    auto copy = engineWithParticles(0);
    ASSERT_TRUE(copy->load(file.path().c_str()));
    EXPECT_EQ(copy->data->count, 5);
    EXPECT_EQ(copy->data->position[4].x, 4);

    EXPECT_TRUE(file.update(*engine, false));
    EXPECT_FALSE(fs::exists(file.path()));
    ASSERT_TRUE(file.update(*engine, true));
    file.remove();
    EXPECT_FALSE(fs::exists(file.path()));

    // A folder that cannot be made is a failed save, not a crash.
    write("plain", "a file where the folder should be");
    Pudlet::RecoveryFile blocked(dir_ / "plain" / "pudlet", "pudlet");
    EXPECT_FALSE(blocked.update(*engine, true));
}

// Files left by processes that are gone are offered, newest first; those of
// running processes, other hosts and strangers are not. Restoring one loads
// it and removes it, and a damaged one keeps the scene.
TEST_F(Autosave, LeftoversOfEndedSessionsAreOfferedAndRestored)
{
    auto engine = engineWithParticles(3);
    Pudlet::RecoveryFile own(dir_, "pudlet");
    ASSERT_TRUE(own.update(*engine, true));
    // Process numbers above the kernel's largest (4194304) never run.
    const fs::path older = dir_ / "pudlet-99999998-0.pdl";
    const fs::path newer = dir_ / "pudlet-99999999-1.pdl";
    fs::copy_file(own.path(), older);
    fs::copy_file(own.path(), newer);
    fs::last_write_time(older, fs::last_write_time(newer) - std::chrono::hours(1));
    for (const char* stranger : {"pudletmac-99999999-0.pdl", "pudlet-x-0.pdl", "pudlet-99999999.pdl", "notes.txt"})
        write(stranger, "version 2\n");
    fs::create_directory(dir_ / "pudlet-99999997-0.pdl");

    const std::vector<fs::path> leftovers = Pudlet::leftoverRecoveryFiles(dir_, "pudlet");
    ASSERT_EQ(leftovers.size(), 2u);
    EXPECT_EQ(leftovers[0], newer);
    EXPECT_EQ(leftovers[1], older);
    EXPECT_TRUE(Pudlet::leftoverRecoveryFiles(dir_ / "missing", "pudlet").empty());

    auto restored = engineWithParticles(0);
    EXPECT_TRUE(Pudlet::restoreRecoveryFile(*restored, newer));
    EXPECT_EQ(restored->data->count, 3);
    EXPECT_FALSE(fs::exists(newer));

    write("pudlet-99999999-1.pdl", "\x89PNG not a scene");
    EXPECT_FALSE(Pudlet::restoreRecoveryFile(*restored, newer));
    EXPECT_EQ(restored->data->count, 3);
    EXPECT_FALSE(fs::exists(newer));
}
