// pudlet-cli as its users see it: exit statuses, messages, and the files it
// writes, read back with libpng and the engine itself.
#include <gtest/gtest.h>
#include <png.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "particle_beat_implements.h"
#include "png_writer.h"
#include "pudlet_version.h"

namespace fs = std::filesystem;
using namespace Zeb::Kamblo;

namespace {

std::string scenePath(const std::string& name) { return std::string(PUDLET_SCENES_DIR) + "/" + name; }

std::string quote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    // How many pixels differ from the colour by more than the tolerance.
    int countUnlike(int r, int g, int b, int tolerance) const
    {
        int count = 0;
        for (size_t i = 0; i + 2 < rgb.size(); i += 3)
            if (std::abs(rgb[i] - r) > tolerance || std::abs(rgb[i + 1] - g) > tolerance ||
                std::abs(rgb[i + 2] - b) > tolerance)
                ++count;
        return count;
    }
};

// Each test works in a fresh folder, which is also the tool's working
// directory, so relative outputs land there.
class PudletCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '-');
        folder = fs::temp_directory_path() / ("pudlet-cli-test-" + std::to_string(getpid())) / name;
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        if (HasFailure())
            return;
        fs::remove_all(folder);
        std::error_code ignored;
        fs::remove(folder.parent_path(), ignored); // only once it is empty
    }

    Outcome run(const std::vector<std::string>& arguments)
    {
        std::string command = "cd " + quote(folder.string()) + " && " + quote(PUDLET_CLI_PATH);
        for (const std::string& argument : arguments)
            command += " " + quote(argument);
        command += " >" + quote((folder / "stdout.txt").string()) + " 2>" + quote((folder / "stderr.txt").string());
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.out = readText(folder / "stdout.txt");
        outcome.err = readText(folder / "stderr.txt");
        return outcome;
    }

    // An RGB(A) PNG as RGB bytes, top row first; a failure when libpng cannot read it.
    ::testing::AssertionResult readPNG(const fs::path& path, Picture* picture)
    {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str()))
            return ::testing::AssertionFailure() << path << ": " << image.message;
        if (image.format != PNG_FORMAT_RGB) {
            png_image_free(&image);
            return ::testing::AssertionFailure() << path << ": not an opaque RGB picture";
        }
        picture->width = int(image.width);
        picture->height = int(image.height);
        picture->rgb.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, picture->rgb.data(), 0, nullptr))
            return ::testing::AssertionFailure() << path << ": " << image.message;
        return ::testing::AssertionSuccess();
    }

    fs::path folder;
};

::testing::AssertionResult isOneLine(const std::string& text)
{
    if (text.empty() || text.back() != '\n' || std::count(text.begin(), text.end(), '\n') != 1)
        return ::testing::AssertionFailure() << "not one line: \"" << text << "\"";
    return ::testing::AssertionSuccess();
}

// The scene as the engine itself loads it.
Pointer<RevivezoRoraImplements> loadScene(const std::string& path)
{
    auto engine = autorelease(new RevivezoRoraImplements());
    EXPECT_TRUE(engine->load(path.c_str())) << path;
    return engine;
}

// The scene file without its banner, which carries the build date.
std::string withoutBanner(const std::string& text) { return text.substr(text.find('\n') + 1); }

} // namespace

class DemoSceneRender : public PudletCli, public ::testing::WithParamInterface<const char*> {};

// Every demo scene renders in every mode at the asked size; the modes that
// draw particles show more than the clear colour, the others show only it
// (the demo scenes have no foreground image).
TEST_P(DemoSceneRender, EveryModeGivesAPictureOfTheAskedSize)
{
    const std::string scene = GetParam();
    for (int mode = 0; mode <= 10; ++mode) {
        SCOPED_TRACE(scene + " mode " + std::to_string(mode));
        const std::string png = "mode-" + std::to_string(mode) + ".png";
        const Outcome outcome = run({"run", scenePath(scene), "--steps", "8", "--mode", std::to_string(mode), "--size",
                                     "160x120", "--png", png});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        Picture picture;
        ASSERT_TRUE(readPNG(folder / png, &picture));
        EXPECT_EQ(picture.width, 160);
        EXPECT_EQ(picture.height, 120);
        const int unlike = picture.countUnlike(51, 51, 51, 2);
        if (mode == 0 || mode == 10)
            EXPECT_EQ(unlike, 0);
        else
            EXPECT_GT(unlike, 50);
    }
}

INSTANTIATE_TEST_SUITE_P(Bundled, DemoSceneRender,
                         ::testing::Values("dam-break.pdl", "wheel-and-boxes.pdl", "fire-fuel-powder.pdl",
                                           "steam-cycle.pdl", "flow-and-toys.pdl"));

TEST_F(PudletCli, DefaultPictureIsTheSceneBoundsAtItsScale)
{
    const std::string scene = scenePath("dam-break.pdl");
    auto engine = loadScene(scene);
    const int width = int(std::lround((engine->boundsRight() - engine->boundsLeft()) * engine->scale()));
    const int height = int(std::lround((engine->boundsTop() - engine->boundsBottom()) * engine->scale()));

    ASSERT_EQ(run({"run", scene, "--png", "out/default.png"}).status, 0);
    Picture picture;
    ASSERT_TRUE(readPNG(folder / "out/default.png", &picture));
    EXPECT_EQ(picture.width, width);
    EXPECT_EQ(picture.height, height);

    // At one pixel a unit the 64 x 48 scene fills only the lower-left corner
    // of a picture of the same size.
    ASSERT_EQ(run({"run", scene, "--mode", "1", "--size", std::to_string(width) + "x" + std::to_string(height),
                   "--scale", "1", "--png", "small.png"})
                  .status,
              0);
    ASSERT_TRUE(readPNG(folder / "small.png", &picture));
    int inCorner = 0;
    int outside = 0;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* p = &picture.rgb[(size_t(y) * size_t(picture.width) + size_t(x)) * 3];
            const bool drawn = std::abs(p[0] - 51) > 2 || std::abs(p[1] - 51) > 2 || std::abs(p[2] - 51) > 2;
            (x < 64 && y >= picture.height - 48 ? inCorner : outside) += drawn;
        }
    }
    EXPECT_GT(inCorner, 50);
    EXPECT_EQ(outside, 0);
}

// A huge scene gets a picture shrunk to 4096 a side, not a failure or a
// gigabyte frame buffer.
TEST_F(PudletCli, DefaultPictureOfAHugeSceneIsCapped)
{
    auto engine = autorelease(new RevivezoRoraImplements());
    engine->setBoundsRight(10000);
    engine->setBoundsTop(2500);
    ASSERT_TRUE(engine->save((folder / "huge.pdl").c_str()));

    const Outcome outcome = run({"run", "huge.pdl", "--png", "huge.png"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    Picture picture;
    ASSERT_TRUE(readPNG(folder / "huge.png", &picture));
    EXPECT_EQ(picture.width, 4096);
    EXPECT_EQ(picture.height, 1024);
}

// The tool steps exactly as the engine does: its saved scene matches one the
// engine stepped itself, and the render mode used for the picture does not
// leak into the saved file. Relative outputs belong to the caller's folder,
// not the scene's.
TEST_F(PudletCli, SavesTheSteppedSceneWhereTheCallerAsked)
{
    const std::string scene = scenePath("wheel-and-boxes.pdl");
    const Outcome outcome =
        run({"run", scene, "--steps", "37", "--mode", "1", "--png", "shot.png", "--save", "saved/after.pdl"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    ASSERT_TRUE(fs::exists(folder / "shot.png"));
    ASSERT_TRUE(fs::exists(folder / "saved/after.pdl"));
    EXPECT_FALSE(fs::exists(fs::path(PUDLET_SCENES_DIR) / "saved"));
    EXPECT_NE(outcome.out.find((folder / "saved/after.pdl").string()), std::string::npos) << outcome.out;

    auto engine = loadScene(scene);
    for (int step = 0; step < 37; ++step)
        engine->simulate();
    ASSERT_TRUE(engine->save((folder / "expected.pdl").c_str()));
    EXPECT_EQ(withoutBanner(readText(folder / "saved/after.pdl")), withoutBanner(readText(folder / "expected.pdl")));
}

// Image names in a scene are relative to the scene's folder, wherever the
// tool was started.
TEST_F(PudletCli, SceneImagesAreFoundBesideTheScene)
{
    fs::create_directories(folder / "scene");
    const std::vector<uint8_t> red = [] {
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 32 * 32; ++i)
            pixels.insert(pixels.end(), {255, 0, 0, 255});
        return pixels;
    }();
    ASSERT_TRUE(writePNGFile((folder / "scene/red.png").c_str(), 32, 32, red.data()));
    auto engine = autorelease(new RevivezoRoraImplements());
    ASSERT_TRUE(engine->save((folder / "scene/with-image.pdl").c_str()));
    std::ofstream(folder / "scene/with-image.pdl", std::ios::app) << "background red.png\n";

    const Outcome outcome = run({"run", "scene/with-image.pdl", "--mode", "6", "--size", "64x48", "--png", "shot.png"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    Picture picture;
    ASSERT_TRUE(readPNG(folder / "shot.png", &picture));
    EXPECT_LT(picture.countUnlike(255, 0, 0, 8), 64 * 48 / 10);
}

TEST_F(PudletCli, FramesAreWrittenEveryKthFrameNumberedByFrame)
{
    // The demo scenes make a frame of 8 steps: 40 steps are frames 1 to 5.
    const Outcome outcome = run({"run", scenePath("dam-break.pdl"), "--steps", "40", "--frames", "frames", "--every",
                                 "2", "--size", "64x48"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder / "frames"))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"frame-000002.png", "frame-000004.png"}));
    for (const std::string& name : names) {
        Picture picture;
        ASSERT_TRUE(readPNG(folder / "frames" / name, &picture));
        EXPECT_EQ(picture.width, 64);
        EXPECT_EQ(picture.height, 48);
    }
    // Water falls between frames 2 and 4.
    Picture second, fourth;
    ASSERT_TRUE(readPNG(folder / "frames/frame-000002.png", &second));
    ASSERT_TRUE(readPNG(folder / "frames/frame-000004.png", &fourth));
    EXPECT_NE(second.rgb, fourth.rgb);
}

// Each format decodes (with FFmpeg's decoders) to one frame per
// timeStepsPerFrame steps, at the asked size (H.264 drops an odd side's last
// pixel), and the water moves from the first frame to the last. A script that
// shrinks the scene's bounds every step does not change the video's size.
TEST_F(PudletCli, VideosDecodeToOneFramePerSceneFrame)
{
#ifndef PUDLET_FFMPEG_PATH
    GTEST_SKIP() << "no ffmpeg program to decode the videos with";
#else
    const std::string damBreak = scenePath("dam-break.pdl");
    std::ofstream(folder / "shrinking.pdl") << readText(damBreak) << "onSimulate\nboundsRight = boundsRight - 1\n$\n";
    struct Case {
        const char* file;
        std::vector<std::string> options;
        const char* decodedSize;
    };
    for (const Case& c : {Case{"run.mp4", {damBreak, "--size", "161x121", "--mode", "3"}, "160x120"},
                          Case{"run.webm", {damBreak, "--size", "96x64"}, "96x64"},
                          Case{"run.gif", {damBreak, "--size", "75x50"}, "75x50"},
                          Case{"shrinking.gif", {"shrinking.pdl"}, "512x384"}}) {
        SCOPED_TRACE(c.file);
        std::vector<std::string> arguments = {"run", "--steps", "47", "--video", c.file};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const Outcome outcome = run(arguments);
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.out, "wrote 5 video frames to " + (folder / c.file).string() + "\n");
        // framemd5 decodes every frame and prints one hash line per frame
        // after '#' header lines that include the frame size.
        const std::string hashes = (folder / "frames.txt").string();
        const std::string command = quote(PUDLET_FFMPEG_PATH) + " -nostdin -y -v error -i " +
                                    quote((folder / c.file).string()) + " -f framemd5 " + quote(hashes);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::istringstream lines(readText(hashes));
        std::vector<std::string> frameHashes;
        bool sizeSeen = false;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("#dimensions", 0) == 0)
                sizeSeen = line.substr(line.find(':') + 2) == c.decodedSize;
            else if (!line.empty() && line[0] != '#')
                frameHashes.push_back(line.substr(line.rfind(',') + 1));
        }
        EXPECT_TRUE(sizeSeen) << readText(hashes);
        ASSERT_EQ(frameHashes.size(), 5u) << readText(hashes);
        EXPECT_NE(frameHashes.front(), frameHashes.back());
    }
#endif
}

TEST_F(PudletCli, InfoCountsParticlesByMaterial)
{
    const std::string scene = scenePath("wheel-and-boxes.pdl");
    auto engine = loadScene(scene);
    int water = 0;
    for (int i = 0; i < engine->data->count; ++i)
        water += engine->data->info[i] == ParticleData::materialInfo('q');
    ASSERT_GT(water, 0);

    const Outcome outcome = run({"info", scene});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("particles: " + std::to_string(engine->countParticles()) + "\n"), std::string::npos)
        << outcome.out;
    EXPECT_NE(outcome.out.find("joints: " + std::to_string(engine->countJoints()) + "\n"), std::string::npos);
    std::istringstream lines(outcome.out);
    std::string line;
    bool found = false;
    while (std::getline(lines, line))
        if (line.find("water (q)") != std::string::npos)
            found = std::stoi(line.substr(line.find(')') + 1)) == water;
    EXPECT_TRUE(found) << outcome.out;
}

TEST_F(PudletCli, InfoListsOnlyChangedParameters)
{
    auto engine = autorelease(new RevivezoRoraImplements());
    ASSERT_TRUE(engine->save((folder / "default.pdl").c_str()));
    engine->setRenderMode(3);
    engine->setGravityAngle(0.5f);
    engine->setPauseFlag(true);
    ASSERT_TRUE(engine->save((folder / "changed.pdl").c_str()));

    // A default scene: standardDensity comes back with fewer digits from the
    // file, which is no change.
    Outcome outcome = run({"info", "default.pdl"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("defaults:\n  none\n"), std::string::npos) << outcome.out;

    outcome = run({"info", "changed.pdl"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    const std::string listed = outcome.out.substr(outcome.out.find("defaults:\n"));
    EXPECT_EQ(listed, "defaults:\n"
                      "  pauseFlag 1 (default 0)\n"
                      "  gravityAngle 0.5 (default 0)\n"
                      "  renderMode 3 (default 6)\n");
}

TEST_F(PudletCli, BadArgumentsAreUsageErrors)
{
    const std::string scene = scenePath("dam-break.pdl");
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frob"},
        {"run"},
        {"run", scene, "--steps", "-5"},
        {"run", scene, "--steps", "abc"},
        {"run", scene, "--steps", "99999999999999999999999"},
        {"run", scene, "--steps"},
        {"run", scene, "--size", "0x0"},
        {"run", scene, "--size", "99999x99999"},
        {"run", scene, "--size", "640"},
        {"run", scene, "--size", "x480"},
        {"run", scene, "--mode", "11"},
        {"run", scene, "--mode", "-1"},
        {"run", scene, "--frames", "f", "--every", "0"},
        {"run", scene, "--every", "2"},
        {"run", scene, "--bogus"},
        {"run", scene, scene},
        {"info"},
        {"info", scene, "extra"},
        {"bench", "--scene", "no-such-scene"},
        {"bench", "--json=1"},
        {"run", scene, "--scale", "20"},
        {"run", scene, "--size", "64x48", "--scale", "0"},
        {"bench", "--mode", "6"},
        {"bench", "--scene", "water-frame-20k"},
        {"bench", "--frames", "--mode", "11"},
        {"run", scene, "--png=shot.png", "--steps=x"},
        {"run", scene, "--steps", "8", "--video", "v.avi"},
        {"run", scene, "--steps", "8", "--video", "v"},
        {"run", scene, "--steps", "7", "--video", "v.mp4"}, // not one frame
    };
    for (const auto& arguments : cases) {
        std::string line;
        for (const auto& argument : arguments)
            line += argument + " ";
        SCOPED_TRACE(line);
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_TRUE(isOneLine(outcome.err));
        EXPECT_TRUE(outcome.out.empty());
    }
    EXPECT_FALSE(fs::exists(folder / "f"));
    EXPECT_FALSE(fs::exists(folder / "v.mp4"));
}

TEST_F(PudletCli, UnreadableScenesAndUnwritableOutputsFailNamingTheFile)
{
    std::ofstream(folder / "plain.txt") << "not a folder";
    struct Case {
        std::vector<std::string> arguments;
        std::string named;
    };
    const std::vector<Case> cases = {
        {{"run", "missing.pdl"}, (folder / "missing.pdl").string()},
        {{"info", "missing.pdl"}, (folder / "missing.pdl").string()},
        {{"run", PUDLET_SCENES_DIR}, PUDLET_SCENES_DIR},
        {{"run", scenePath("dam-break.pdl"), "--png", "plain.txt/shot.png"}, (folder / "plain.txt/shot.png").string()},
        {{"run", scenePath("dam-break.pdl"), "--save", "plain.txt/x.pdl"}, (folder / "plain.txt/x.pdl").string()},
        {{"run", scenePath("dam-break.pdl"), "--frames", "plain.txt"}, (folder / "plain.txt").string()},
        {{"run", scenePath("dam-break.pdl"), "--png", "."}, folder.string()},
        // Checked before stepping: these runs would not end for hours.
        {{"run", scenePath("dam-break.pdl"), "--steps", "1000000000", "--video", "plain.txt/v.gif"},
         (folder / "plain.txt/v.gif").string()},
        {{"run", scenePath("dam-break.pdl"), "--steps", "1000000000", "--video", "/proc/pudlet.mp4"},
         "/proc/pudlet.mp4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        const Outcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.status, 1);
        EXPECT_TRUE(isOneLine(outcome.err));
        EXPECT_NE(outcome.err.find(c.named), std::string::npos) << outcome.err;
    }

    // A picture renamed .pdl is refused, not run and saved as an empty scene.
    std::ofstream(folder / "picture.pdl", std::ios::binary) << std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const Outcome notAScene = run({"run", "picture.pdl", "--save", "out.pdl"});
    EXPECT_EQ(notAScene.status, 1);
    EXPECT_NE(notAScene.err.find((folder / "picture.pdl").string() + ": not a scene file"), std::string::npos)
        << notAScene.err;
    EXPECT_FALSE(fs::exists(folder / "out.pdl"));
}

TEST_F(PudletCli, EveryCommandHasHelp)
{
    for (const char* command : {"run", "info", "bench"}) {
        const Outcome outcome = run({command, "--help"});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(outcome.out.rfind(std::string("Usage: pudlet-cli ") + command, 0), 0u) << outcome.out;
        EXPECT_TRUE(outcome.err.empty());
    }
    const Outcome outcome = run({"--help"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.out.find("run SCENE"), std::string::npos);
    const Outcome version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "pudlet-cli " PUDLET_VERSION "\n");
}

TEST_F(PudletCli, BenchReportsTheStandardFieldsAsJson)
{
    const Outcome outcome =
        run({"bench", "--json", "--scene", "rigid-100", "--warm-up-steps", "1", "--measured-steps", "2"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    for (const char* field : {"{\"scenes\": [{\"name\": \"rigid-100\"", "\"particles\": 3600",
                              "\"ns_per_particle_step\": ", "\"allocations_per_step\": null", "\"peak_rss_mb\": ",
                              "\"floor\": {"})
        EXPECT_NE(outcome.out.find(field), std::string::npos) << field << " in " << outcome.out;
}

TEST_F(PudletCli, BenchFramesTimesEachAskedMode)
{
    const Outcome outcome = run({"bench", "--frames", "--scene", "rigid-100", "--mode", "1", "--mode", "7",
                                 "--frame-count", "1", "--warm-up-steps", "0", "--size", "64x48"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(outcome.out.find("64x48"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("mode 1"), std::string::npos) << outcome.out;
    // One row of wall and one of CPU times, a time for each mode asked.
    const size_t row = outcome.out.find("\nrigid-100");
    ASSERT_NE(row, std::string::npos) << outcome.out;
    std::istringstream words(outcome.out.substr(row));
    std::string name, wall, cpu;
    int particles = 0;
    double wallTimes[2] = {-1, -1};
    double cpuTimes[2] = {-1, -1};
    words >> name >> particles >> wall >> wallTimes[0] >> wallTimes[1] >> cpu >> cpuTimes[0] >> cpuTimes[1];
    EXPECT_EQ(particles, 3600);
    EXPECT_EQ(wall, "wall");
    EXPECT_EQ(cpu, "cpu");
    for (double ms : {wallTimes[0], wallTimes[1], cpuTimes[0], cpuTimes[1]})
        EXPECT_GE(ms, 0) << outcome.out;
    EXPECT_GT(wallTimes[1], 0) << "a blob frame takes time";

    // A scene file alone, found after the working directory changed.
    const Outcome file = run({"bench", "--frames", "--scene-file", scenePath("dam-break.pdl"), "--mode", "6",
                              "--frame-count", "1", "--warm-up-steps", "0", "--size", "64x48"});
    ASSERT_EQ(file.status, 0) << file.err;
    EXPECT_NE(file.out.find("\ndam-break.pdl"), std::string::npos) << file.out;
    EXPECT_EQ(file.out.find("rigid-100"), std::string::npos) << "only the file: " << file.out;
    EXPECT_EQ(run({"bench", "--frames", "--scene-file", "missing.pdl"}).status, 1);
}

// A scene's onSimulate script runs in the tool as in every host: it turns
// gravity a little each step, and the saved scene carries the turned angle and
// the script's section unchanged. A runaway script is reported once and the
// scene still steps.
TEST_F(PudletCli, SceneScriptsRunAndAreSaved)
{
    const std::string source = "gravityAngle = gravityAngle + 0.01";
    std::ofstream(folder / "tilt.pdl") << "version 2\n@ gravityAngle 0.5\nonSimulate\n" << source << "\n$\n";
    Outcome outcome = run({"run", "tilt.pdl", "--steps", "20", "--save", "tilted.pdl"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    auto engine = loadScene((folder / "tilted.pdl").string());
    float expected = 0.5f;
    for (int step = 0; step < 20; ++step)
        expected = expected + 0.01f;
    // Saved with six significant digits.
    EXPECT_NEAR(engine->gravityAngle(), expected, 1e-5f);
    EXPECT_EQ(engine->timeStep(), 20);
    EXPECT_NE(readText(folder / "tilted.pdl").find("\nonSimulate\n" + source + "\n$\n"), std::string::npos);

    std::ofstream(folder / "runaway.pdl") << "version 2\nonSimulate\nwhile (true) {}\n$\n";
    outcome = run({"run", "runaway.pdl", "--steps", "5", "--save", "after.pdl"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(isOneLine(outcome.err));
    EXPECT_NE(outcome.err.find("script ran too long"), std::string::npos) << outcome.err;
    engine = loadScene((folder / "after.pdl").string());
    EXPECT_EQ(engine->timeStep(), 5);
    EXPECT_NE(readText(folder / "after.pdl").find("\nonSimulate\nwhile (true) {}\n$\n"), std::string::npos);
}
