// Scene files from strangers: NaN and infinities, absurd parameters, broken
// joints and textures, body indices at the limits, giant tokens, noise and
// script sections. Each is loaded, stepped, edited, drawn in every mode and
// saved within a time and memory bound, and the saved file loads again.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <csignal>
#include <sys/stat.h>
#include <sys/time.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "mixed_scene.h"
#include "offscreen_frame.h"
#include "scene_frame.h"
#include "particle_beat_implements.h"
#include "particle_builder.h"
#include "particle_renderer.h"
#include "particle_simulator.h"
#include "temp_folder.h"
#include "texture.h"

using namespace Zeb::Kamblo;
using PudletTest::readText;
using PudletTest::writeText;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr double kSecondsPerCase = 60;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr double kSecondsPerCase = 60;
#else
constexpr double kSecondsPerCase = 8;
#endif
#else
constexpr double kSecondsPerCase = 8;
#endif
// Growth of the peak resident size one case may cause.
constexpr long kMaxPeakGrowthKiB = 1L << 20;

// The highest resident size the process has had, in KiB (0 if unknown).
long peakResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

std::string scratchDir()
{
    static const std::string dir = [] {
        auto path = std::filesystem::temp_directory_path() / ("pudlet-hostile-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path.string();
    }();
    return dir;
}

// The mixed scene as a file's text: every material, bodies, effects on.
const std::string& baseSceneText()
{
    static const std::string text = [] {
        auto data = autorelease(new ParticleData());
        PudletTest::fillEveryMaterial(data);
        auto simulator = autorelease(new ParticleSimulator(data));
        for (int i = 0; i < 5; ++i)
            simulator->simulate();
        const std::string path = scratchDir() + "/base.pdl";
        EXPECT_TRUE(data->save(path.c_str()));
        return readText(path);
    }();
    return text;
}

// The text each parameter type gets in a hostile file.
struct ExtremeValues {
    const char* forFloat;
    const char* forInt;
    const char* forBool;
    const char* of(float) const { return forFloat; }
    const char* of(int) const { return forInt; }
    const char* of(bool) const { return forBool; }
};

// A record for every parameter, generated from the parameter table.
std::string everyParameter(const ExtremeValues& values)
{
    std::string text;
#define KAMBLO_HOSTILE_PARAMETER(type, field, Name, defaultValue) \
    text += std::string("@ " #field " ") + values.of(type(defaultValue)) + "\n";
    KAMBLO_PARAMETERS(KAMBLO_HOSTILE_PARAMETER)
#undef KAMBLO_HOSTILE_PARAMETER
    return text;
}

// Values set after loading: what a host's setters or a runaway simulation
// could leave in memory without going through the file.
void poisonEverything(ParticleData& d, float value)
{
#define KAMBLO_POISON_PARAMETER(type, field, Name, defaultValue) \
    if constexpr (std::is_same_v<type, float>)                  \
        d.field = value;
    KAMBLO_PARAMETERS(KAMBLO_POISON_PARAMETER)
#undef KAMBLO_POISON_PARAMETER
    // Keep the step running so the poisoned values are used.
    d.pauseFlag = false;
    for (int i = 0; i < d.count; i += 3) {
        d.position[i] = {value, value};
        d.velocity[i + 1 < d.count ? i + 1 : i] = {value, -value};
        d.anchor[i] = {value, value};
        d.angle[i] = value;
        d.angularVelocity[i] = value;
        d.staticPressure[i] = value;
    }
    for (auto it = d.joints.begin(); it != d.joints.end(); ++it) {
        ParticleJoint& j = d.joints.edit(it);
        j.length = value;
        j.strength = value;
        j.offset = {value, value};
        j.angleA = value;
        j.angleB = value;
    }
    for (ParticleBody& b : d.bodies) {
        b.textureMin = {value, value};
        b.textureMax = {value, -value};
    }
}

struct Outcome {
    double seconds = 0;
    long peakGrowthKiB = 0;
    int savedCount = -1;
    int reloadedCount = -1;
    std::string invariant;
};

// What a user does with a scene someone sent: open it, run it, paint into
// it, flood and pour, look at it in every mode, save it, open the save.
// Flooding a box whose bounds are huge fills it up to the flood's cap, and
// drawing millions of particles in every mode is too slow for a unit test;
// such cases pass flood = false and the cap has its own test.
Outcome exercise(const std::string& text, const std::function<void(ParticleData&)>& tamper = {},
                 bool finitePositions = true, bool flood = true)
{
    Outcome outcome;
    const long peakBefore = peakResidentKiB();
    const auto start = std::chrono::steady_clock::now();
    const std::string path = scratchDir() + "/hostile.pdl";
    const std::string savedPath = scratchDir() + "/saved.pdl";
    writeText(path, text);

    auto engine = autorelease(new RevivezoRoraImplements());
    EXPECT_TRUE(engine->load(path.c_str()));
    ParticleData& d = *engine->data;
    if (tamper)
        tamper(d);
    d.pauseFlag = false;
    for (int i = 0; i < 4; ++i)
        engine->simulator->simulate();

    ParticleBuilder& builder = *engine->builder;
    const float2 middle(32, 24);
    builder.setMaterial('q');
    builder.prepareForDrawing(middle, 1);
    builder.drawLine(middle, middle + float2(6, 2));
    builder.drawLine(middle + float2(0, 3), middle + float2(6, 5), 1.5f);
    builder.setMaterial('r');
    builder.prepareForDrawing(middle, 1);
    builder.drawLine(middle - float2(8, 4), middle - float2(2, 4), 1);
    builder.setMaterial('v');
    if (flood)
        builder.floodParticles(float2(2, 2));
    d.pouringFlag = true;
    for (int i = 0; i < 3; ++i)
        engine->simulator->simulate();

    std::string reason;
    if (Pudlet::OffscreenContext* context = PudletTest::offscreenContext(64, 48, &reason)) {
        const int fileMode = d.renderMode;
        for (int mode : {fileMode, -1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 1000}) {
            d.renderMode = mode;
            Pudlet::loadSceneProjection({context->width(), context->height(), d.scale});
            engine->renderer->prerender();
            Pudlet::clearFrame(d.clearFlag, d.clearColorRed, d.clearColorGreen, d.clearColorBlue);
            engine->renderer->render();
            glFinish();
        }
        d.renderMode = fileMode;
    }

    outcome.invariant = PudletTest::brokenInvariant(d, finitePositions);
    EXPECT_TRUE(engine->save(savedPath.c_str()));
    outcome.savedCount = d.count;
    auto reloaded = autorelease(new ParticleData());
    EXPECT_TRUE(reloaded->load(savedPath.c_str()));
    outcome.reloadedCount = reloaded->count;

    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.peakGrowthKiB = peakResidentKiB() - peakBefore;
    return outcome;
}

// Bounded time and memory, and the save comes back whole.
void expectSurvives(const Outcome& o, const std::string& what)
{
    EXPECT_LT(o.seconds, kSecondsPerCase) << what;
    EXPECT_LT(o.peakGrowthKiB, kMaxPeakGrowthKiB) << what;
    EXPECT_EQ(o.reloadedCount, o.savedCount) << what;
}

// Joints and bodies stay consistent whatever the file held (positions too,
// unless the case put non-finite ones there on purpose).
void expectConsistent(const Outcome& o, const std::string& what)
{
    EXPECT_EQ(o.invariant, "") << what;
}

TEST(HostileScenes, BaseSceneSurvivesTheWholeRound)
{
    Outcome o = exercise(baseSceneText());
    expectSurvives(o, "base");
    expectConsistent(o, "base");
    EXPECT_GT(o.savedCount, 500);
}

// The writer's own spellings are read back; others stop the reading.
TEST(HostileScenes, NonFiniteTokensInEveryKindOfField)
{
    for (const char* token : {"nan", "-nan", "inf", "-inf", "1e999", "-1e999", "NaN", "infinity"}) {
        const std::string t = token;
        const std::string text = baseSceneText() + "p 10000 0 ff 9999ffff " + t + " 2 0 0 1 2 0 0 0 \n" +
                                 "p 10000 0 ff 9999ffff 3 4 " + t + " " + t + " " + t + " " + t + " " + t +
                                 " " + t + " " + t + " \n" + "j 0 0 1 " + t + " 1 0 0 0 0\n" +
                                 "j 0 1 2 1 " + t + " " + t + " " + t + " " + t + " " + t + "\n" +
                                 "@ gravityAcceleration " + t + "\n" + "@ scale " + t + "\n" +
                                 "@ standardDistance " + t + "\n" + "@ maxSpeed " + t + "\n" +
                                 "texture 1 none.bmp " + t + " 0 1 " + t + "\n";
        Outcome o = exercise(text, {}, false);
        expectSurvives(o, t);
        expectConsistent(o, t);
    }
}

TEST(HostileScenes, NonFiniteValuesInEveryFieldInMemory)
{
    for (float value : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity()}) {
        const std::string what = std::to_string(value);
        Outcome o = exercise(baseSceneText(), [value](ParticleData& d) { poisonEverything(d, value); }, false);
        expectSurvives(o, what);
        expectConsistent(o, what);
    }
}

TEST(HostileScenes, EveryParameterAtOnceAtExtremes)
{
    for (ExtremeValues e : {ExtremeValues{"0", "0", "0"}, ExtremeValues{"-1", "-1", "1"},
                            ExtremeValues{"1e30", "2147483647", "1"}, ExtremeValues{"-1e30", "-2147483648", "1"},
                            ExtremeValues{"1e-30", "1", "1"}, ExtremeValues{"3.4e38", "1000000", "0"}}) {
        const std::string what = std::string(e.forFloat) + "/" + e.forInt;
        // Forces of 1e30 may fairly send particles to infinity.
        Outcome o = exercise(baseSceneText() + everyParameter(e), {}, false);
        expectSurvives(o, what);
        expectConsistent(o, what);
    }
}

TEST(HostileScenes, NamedParametersHugeZeroAndNegative)
{
    const std::vector<std::string> names = {
        "boundsLeft", "boundsRight", "boundsBottom", "boundsTop", "boundsRadius", "standardDistance", "scale",
        "timeStepsPerFrame", "framesPerSecond", "staticPressureIteration", "springIteration", "elasticIteration",
        "mochiIteration", "viscosityIteration", "surfaceTensionIteration", "fireProbability", "splashProbability",
        "bubbleProbability", "maxSpeed", "renderMode", "pouringVelocity", "pouringThickness"};
    for (const std::string& name : names) {
        for (const char* value : {"0", "-1", "2147483647", "-1e30"}) {
            const std::string what = name + " " + value;
            const bool bounds = name.rfind("bounds", 0) == 0;
            Outcome o = exercise(baseSceneText() + "@ " + name + " " + value + "\n@ pouringFlag 1\n", {}, false,
                                 !bounds);
            expectSurvives(o, what);
            expectConsistent(o, what);
        }
    }
}

TEST(HostileScenes, FloodIntoHugeBoundsStopsAtItsCap)
{
    const std::string path = scratchDir() + "/huge.pdl";
    writeText(path, baseSceneText() + "@ boundsRight 100000\n@ boundsTop 2147483647\n@ boundsBottom -1e30\n");
    auto data = autorelease(new ParticleData());
    ASSERT_TRUE(data->load(path.c_str()));
    const int before = data->count;
    const auto start = std::chrono::steady_clock::now();
    auto builder = autorelease(new ParticleBuilder(data));
    builder->setMaterial('q');
    builder->floodParticles(float2(40, 45));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), kSecondsPerCase);
    EXPECT_LE(data->count, before + kMaxFloodCells);
}

TEST(HostileScenes, InvalidJointsAndTexturesAreSurvived)
{
    const std::string self = scratchDir() + "/hostile.pdl";
    const std::string text = baseSceneText() +
                             "j 0 5 5 1 1 0 0 0 0\n"
                             "j 0 9 3 1 1 0 0 0 0\n"
                             "j 0 -1 4 1 1 0 0 0 0\n"
                             "j 0 3 99999999 1 1 0 0 0 0\n"
                             "j 0 -2147483648 2147483647 1 1 0 0 0 0\n"
                             "j ffffffff 0 1 1 1 0 0 0 0\n"
                             "j 4294967295 0 2 1e30 -1e30 1e30 -1e30 1e30 -1e30\n"
                             "texture 255 missing.png 0 0 1 1\n"
                             "texture 256 missing.png 0 0 1 1\n"
                             "texture 4294967295 missing.png 0 0 1 1\n"
                             "texture -1 missing.png 0 0 1 1\n"
                             "texture 1 /dev/zero 0 0 1 1\n"
                             "texture 2 / 0 0 1 1\n"
                             "texture 3 " + self + " 0 0 1 1\n"
                             "texture 4 x.bmp 1e30 -1e30 0 0\n"
                             "foreground /dev/null\nbackground " + self + "\n";
    Outcome o = exercise(text);
    expectSurvives(o, "joints/textures");
    expectConsistent(o, "joints/textures");
}

TEST(HostileScenes, BodyIndicesAtTheLimits)
{
    std::string text = "# banner\nversion 2\n";
    const char* bodies[] = {"0", "1", "fe", "ff", "100", "ffffffff", "7fffffff"};
    float x = 10;
    for (const char* body : bodies) {
        for (int k = 0; k < 3; ++k, x += 0.8f)
            text += std::string("p 2000 ") + body + " ff 808080ff " + std::to_string(x) + " 20 0 0 " +
                    std::to_string(x) + " 20 0 0 0 \n";
    }
    text += "j 0 0 1 0.8 1 0 0 0 0\n";
    // Version-1 particle words carry the body in their top six bits.
    text += "version 1\np ffffffff 5 5 0 0 5 5 0 0 1 0\np fc010000 6 5 0 0 6 5 0 0 1 0\n";
    Outcome o = exercise(text);
    expectSurvives(o, "bodies");
    expectConsistent(o, "bodies");
}

TEST(HostileScenes, VeryLongTokens)
{
    const std::string giant(1 << 20, 'k');
    const std::string text = giant + " 1 2 3\n" + baseSceneText() + "@ " + giant + " 5\n" + "foreground " +
                             std::string(100000, 'a') + ".png\n" + "texture 1 " + std::string(5000, '/') +
                             " 0 0 1 1\n" + "p " + std::string(10000, 'f') + " 0 ff 1 1 1 0 0 1 1 0 0 0\n";
    Outcome o = exercise(text);
    expectSurvives(o, "long tokens");
    expectConsistent(o, "long tokens");
}

// Noise behind a valid beginning is read as far as it converts. (Noise with
// NUL bytes is no scene at all: see the next test.)
TEST(HostileScenes, BinaryNoise)
{
    std::mt19937 random(1234);
    for (int trial = 0; trial < 3; ++trial) {
        std::string noise(size_t(1) << (12 + trial * 4), '\0');
        for (char& c : noise)
            c = char(1 + random() % 255);
        Outcome o = exercise(baseSceneText().substr(0, 4000) + noise);
        expectSurvives(o, "noise " + std::to_string(trial));
        expectConsistent(o, "noise " + std::to_string(trial));
    }
}

// SIGALRMs (the first after the given time, then every half second) that
// interrupt blocking opens and reads, so that a case that blocks fails on its
// time instead of hanging the suite.
class Watchdog {
public:
    explicit Watchdog(unsigned seconds)
    {
        struct sigaction action = {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        sigaction(SIGALRM, &action, &previous_); // no SA_RESTART: open() fails with EINTR
        itimerval timer = {{0, 500000}, {time_t(seconds), 0}};
        setitimer(ITIMER_REAL, &timer, nullptr);
    }
    ~Watchdog()
    {
        itimerval off = {};
        setitimer(ITIMER_REAL, &off, nullptr);
        sigaction(SIGALRM, &previous_, nullptr);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    struct sigaction previous_ = {};
};

double secondsToLoad(RevivezoRora& engine, const std::string& path, bool& loaded)
{
    Watchdog watchdog(3);
    const auto start = std::chrono::steady_clock::now();
    loaded = engine.load(path.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The user's scene before a load that must be refused.
Pointer<RevivezoRoraImplements> sceneWithWork()
{
    auto engine = autorelease(new RevivezoRoraImplements());
    PudletTest::fillEveryMaterial(engine->data);
    engine->data->gravityAngle = 33;
    return engine;
}

void expectRefusedAtOnce(const std::string& path, const std::string& what)
{
    auto engine = sceneWithWork();
    const int count = engine->data->count;
    bool loaded = true;
    EXPECT_LT(secondsToLoad(*engine, path, loaded), 1.5) << what;
    EXPECT_FALSE(loaded) << what;
    EXPECT_EQ(engine->data->count, count) << what;
    EXPECT_EQ(engine->data->gravityAngle, 33) << what;
}

// What a user might open by mistake: a picture renamed .pdl, noise, an empty
// or unrelated text file, a scene damaged by NUL bytes. None of it may wipe
// the scene the user has open.
TEST(HostileScenes, FilesThatAreNoScenesAreRefused)
{
    std::mt19937 random(99);
    std::string noise(1 << 16, '\0');
    for (char& c : noise)
        c = char(random());
    const std::string png = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x02\0\0\0\x02\x08\x06\0\0\0", 29);
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"picture", png},
        {"noise", noise},
        {"empty", ""},
        {"text", "Dear user,\nthis is a letter.\n  p.s. nothing here\n"},
        {"banner only", "# Zebwork Kamblo (Sep  1 2008)\n"},
        {"unknown parameter only", "@ noSuchParameter 5\n"},
        {"scene with a NUL", baseSceneText().substr(0, 2000) + std::string(1, '\0') + "\n"},
    };
    for (const auto& c : cases) {
        const std::string path = scratchDir() + "/not-a-scene.pdl";
        writeText(path, c.text);
        expectRefusedAtOnce(path, c.what);
    }

    // The smallest files that do hold a record still load.
    for (const char* text : {"version 2\n", "@ gravityAngle 45\n", "p 1 0 0 0 0 0 0 0 0 0 0\n", "background none.png\n"}) {
        const std::string path = scratchDir() + "/tiny.pdl";
        writeText(path, text);
        auto engine = sceneWithWork();
        EXPECT_TRUE(engine->load(path.c_str())) << text;
        EXPECT_NE(engine->data->gravityAngle, 33) << text;
    }
}

// A scene or image path that names a FIFO, a device or a folder is refused
// at once, never read or waited on.
TEST(HostileScenes, SpecialFilesAreRefusedAtOnce)
{
    const std::string fifo = scratchDir() + "/fifo";
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, scratchDir(), std::string("/dev/zero"), std::string("/dev/null")})
        expectRefusedAtOnce(path, path);

    const std::string path = scratchDir() + "/special-images.pdl";
    writeText(path, "version 2\nbackground " + fifo + "\nforeground /dev/zero\ntexture 1 " + fifo +
                        ".tiff 0 0 1 1\ntexture 2 " + scratchDir() + " 0 0 1 1\ntexture 3 /dev/stdin 0 0 1 1\n");
    std::filesystem::rename(fifo, fifo + ".tiff");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto engine = sceneWithWork();
    bool loaded = false;
    EXPECT_LT(secondsToLoad(*engine, path, loaded), 1.5);
    EXPECT_TRUE(loaded);
    EXPECT_TRUE(engine->data->background == nullptr);
    EXPECT_TRUE(engine->data->foreground == nullptr);
    ASSERT_EQ(engine->data->bodies.size(), 4u);
    for (const ParticleBody& b : engine->data->bodies)
        EXPECT_TRUE(b.texture == nullptr);
    std::filesystem::remove(fifo);
    std::filesystem::remove(fifo + ".tiff");
}

// A 98-byte little-endian TIFF that declares 32768 x 2048 grey pixels in
// strips of 2048 rows, and has no strip.
std::string hugeTiffWithoutStrips()
{
    std::string t = std::string("II*\0\x08\0\0\0", 8);
    auto u16 = [&](unsigned v) { t += char(v & 0xff), t += char(v >> 8); };
    auto u32 = [&](unsigned v) { u16(v & 0xffff), u16(v >> 16); };
    auto entry = [&](unsigned tag, unsigned type, unsigned value) {
        u16(tag), u16(type), u32(1);
        type == 3 ? (u16(value), u16(0)) : u32(value);
    };
    u16(7);
    entry(256, 4, 32768);
    entry(257, 4, 2048);
    entry(258, 3, 8);
    entry(259, 3, 1);
    entry(262, 3, 1);
    entry(277, 3, 1);
    entry(278, 4, 2048);
    u32(0);
    return t;
}

// An image that declares far more pixels than its file holds costs nothing,
// however many records name it; and a picture named by several records is
// decoded once and shared.
TEST(HostileScenes, ImagesThatCannotBeInTheirFileAreRefused)
{
    const std::string tiff = scratchDir() + "/huge.tiff";
    writeText(tiff, hugeTiffWithoutStrips());
    ASSERT_EQ(readText(tiff).size(), 98u);
    // A 35-byte GIF whose 32768 x 2048 screen holds a 1 x 1 frame.
    const std::string gif = scratchDir() + "/huge.gif";
    writeText(gif, std::string("GIF89a\x00\x80\x00\x08\x80\x00\x00\0\0\0\xff\xff\xff"
                               "\x2c\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0\x3b",
                               35));
    std::string text = "version 2\nbackground " + gif + "\nforeground " + tiff + "\n";
    for (int body = 1; body <= 4; ++body)
        text += "texture " + std::to_string(body) + " " + tiff + " 0 0 10 10\n";
    writeText(scratchDir() + "/huge.pdl", text);
    auto data = autorelease(new ParticleData());
    const long peakBefore = peakResidentKiB();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(data->load((scratchDir() + "/huge.pdl").c_str()));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_LT(peakResidentKiB() - peakBefore, 64L << 10);
    EXPECT_TRUE(data->background == nullptr);
    for (const ParticleBody& b : data->bodies)
        EXPECT_TRUE(b.texture == nullptr);
    Outcome o = exercise(text);
    expectSurvives(o, "huge tiff");
    expectConsistent(o, "huge tiff");

    // One small picture named by the background and two bodies.
    const std::string bmp = scratchDir() + "/small.bmp";
    std::string b = std::string("BM\x46\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x02\0\0\0\x02\0\0\0\x01\0\x18\0", 30);
    b += std::string(24, '\0') + std::string(16, '\x7f');
    writeText(bmp, b);
    writeText(scratchDir() + "/shared.pdl", "version 2\nbackground " + bmp + "\ntexture 1 " + bmp +
                                                " 0 0 1 1\ntexture 2 " + bmp + " 5 5 6 6\n");
    ASSERT_TRUE(data->load((scratchDir() + "/shared.pdl").c_str()));
    ASSERT_EQ(data->bodies.size(), 3u);
    ASSERT_TRUE(data->bodies[1].texture != nullptr);
    EXPECT_EQ(data->bodies[1].texture.get(), data->bodies[2].texture.get());
    EXPECT_EQ(data->background.get(), data->bodies[1].texture.get());
    EXPECT_EQ(data->bodies[2].textureMin.x, 5);
}

// Script sections are not run yet, but must be read past whatever they hold.
TEST(HostileScenes, ScriptSectionsThatLoopRecurseAllocateOrLoadThemselves)
{
    const std::string self = scratchDir() + "/hostile.pdl";
    const std::string sections =
        "onSimulate\nwhile (1) { }\n$\n"
        "onRender\nfunction f(n) { return f(n + 1); } f(0);\n$\n"
        "onSimulate\na = []; i = 0; while (1) { a[i] = [a, a, a]; i++; }\n$\n"
        "onRender\nload(\"" + self + "\"); p 1 2 3\n$\n"
        "onSimulate\n$\r\n$ trailing\n" + std::string(200000, '{') + "\n$\n";
    const std::string text = baseSceneText() + sections + "@ gravityAngle 45\n";
    Outcome o = exercise(text);
    expectSurvives(o, "scripts");
    expectConsistent(o, "scripts");

    // Reading resumed after the last section.
    writeText(scratchDir() + "/scripts.pdl", text);
    auto data = autorelease(new ParticleData());
    ASSERT_TRUE(data->load((scratchDir() + "/scripts.pdl").c_str()));
    EXPECT_EQ(data->gravityAngle, 45);

    // A section that never closes swallows the rest, nothing more.
    Outcome unclosed = exercise(baseSceneText() + "onSimulate\nwhile (1) {}\n@ gravityAngle 45\n");
    expectSurvives(unclosed, "unclosed script");
}

} // namespace
