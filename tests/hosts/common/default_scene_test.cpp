#include <default_scene.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class SceneFolders : public testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("pudlet-scenes-" + std::to_string(::getpid()));
        fs::create_directories(root / "installed");
        fs::create_directories(root / "source");
    }
    void TearDown() override { fs::remove_all(root); }
    void touch(const fs::path& path) { std::ofstream(path) << "version 2\n"; }

    fs::path root;
};

TEST_F(SceneFolders, InstalledCopyWinsOverTheSourceTree)
{
    touch(root / "installed" / "dam-break.pdl");
    touch(root / "source" / "dam-break.pdl");
    EXPECT_EQ(PudletHost::findScene({(root / "installed").string(), (root / "source").string()}, "dam-break.pdl"),
              (root / "installed" / "dam-break.pdl").string());
}

TEST_F(SceneFolders, MissingFoldersAndFolderNamesAreSkipped)
{
    fs::create_directories(root / "installed" / "dam-break.pdl"); // a folder, not a scene
    touch(root / "source" / "dam-break.pdl");
    EXPECT_EQ(PudletHost::findScene({(root / "nowhere").string(), (root / "installed").string(),
                                     (root / "source").string()},
                                    "dam-break.pdl"),
              (root / "source" / "dam-break.pdl").string());
}

TEST_F(SceneFolders, NoSceneGivesAnEmptyPath)
{
    EXPECT_EQ(PudletHost::findScene({(root / "installed").string()}, "dam-break.pdl"), "");
    EXPECT_EQ(PudletHost::findScene({}, "dam-break.pdl"), "");
}

TEST(DefaultScene, TheSourceTreeIsSearched)
{
    const auto folders = PudletHost::sceneFolders();
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders.back(), PUDLET_SCENES_SOURCE_DIR);
}

} // namespace
