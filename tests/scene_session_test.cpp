// Opening and saving through the front-end layer: what a failure says and
// what it leaves alone.
#include "scene_session.h"
#include "scene_summary.h"

#include "temp_folder.h"

namespace {

namespace fs = std::filesystem;

class SceneSession : public PudletTest::TempFolderTest {
protected:
    SceneSession() : TempFolderTest("scene_session_") {}
    void SetUp() override
    {
        TempFolderTest::SetUp();
        startFolder = fs::current_path();
        // A scene with something in it, so that a wiped scene shows.
        engine->onMouseDown(1, 10, 10);
        engine->onMouseMove(30, 10);
        engine->onMouseUp();
        painted = engine->countParticles();
        ASSERT_GT(painted, 0);
    }
    void TearDown() override
    {
        fs::current_path(startFolder);
        TempFolderTest::TearDown();
    }

    // A failed open names the file and leaves the scene and the working
    // directory as they were.
    void expectRefused(const fs::path& file, const std::string& reason)
    {
        std::string error;
        EXPECT_FALSE(Pudlet::openScene(*engine, file, &error));
        EXPECT_EQ(error, file.string() + ": " + reason);
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_EQ(engine->countParticles(), painted);
        EXPECT_EQ(fs::current_path(), startFolder);
    }

    Pudlet::EngineHandle engine = Pudlet::newEngine();
    fs::path startFolder;
    int painted = 0;
};

TEST_F(SceneSession, AFailedOpenNamesTheFileAndKeepsSceneAndFolder)
{
    expectRefused(dir_ / "missing.pdl", "no such scene file");
    expectRefused(dir_, "not a regular file");
    const fs::path locked = write("locked.pdl", "version 2\n");
    fs::permissions(locked, fs::perms::none);
    if (!std::ifstream(locked).is_open()) // root reads it anyway
        expectRefused(locked, "cannot open the scene file for reading");
}

TEST_F(SceneSession, OpenEntersTheScenesFolderAndSaveReportsItsFile)
{
    fs::create_directories(dir_ / "scenes");
    const fs::path saved = dir_ / "scenes" / "painted.pdl";
    std::string error;
    ASSERT_TRUE(Pudlet::saveScene(*engine, saved, &error)) << error;

    Pudlet::EngineHandle reader = Pudlet::newEngine();
    ASSERT_TRUE(Pudlet::openScene(*reader, saved, &error)) << error;
    EXPECT_EQ(reader->countParticles(), painted);
    EXPECT_EQ(fs::current_path(), fs::canonical(dir_ / "scenes"));

    const fs::path nowhere = dir_ / "no-such-folder" / "scene.pdl";
    EXPECT_FALSE(Pudlet::saveScene(*engine, nowhere, &error));
    EXPECT_EQ(error, nowhere.string() + ": cannot write the scene file");
    EXPECT_FALSE(Pudlet::saveScene(*engine, dir_, &error));
    EXPECT_EQ(error, dir_.string() + ": is a folder, not a file");
}

TEST_F(SceneSession, SummaryCountsByMaterialThroughTheFacade)
{
    // The default material is wall ('w'); a pencil line of rigid makes a body.
    engine->setNextMaterial('r');
    engine->setLeftButtonTool('p');
    engine->onMouseDown(1, 10, 30);
    engine->onMouseMove(20, 30);
    engine->onMouseUp();
    const Pudlet::SceneSummary summary = Pudlet::summarizeScene(*engine);
    EXPECT_EQ(summary.particles, engine->countParticles());
    EXPECT_EQ(summary.bodies, engine->countBodies() - 1);
    EXPECT_EQ(summary.particlesByMaterial.at("wall (w)"), painted);
    EXPECT_EQ(summary.particlesByMaterial.at("rigid (r)"), engine->countParticles() - painted);
    EXPECT_EQ(summary.bodiesByMaterial.at("rigid (r)"), summary.bodies);
    EXPECT_GT(summary.bodies, 0);
    EXPECT_EQ(Pudlet::materialLabel(0x80), "other (hot)");
}

} // namespace
