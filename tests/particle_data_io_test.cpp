#include "particle_beat_implements.h"
#include "particle_data.h"
#include "scene_script.h"
#include "temp_folder.h"
#include "texture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <limits>
#include <filesystem>
#include <fstream>
#include <locale>
#include <algorithm>
#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#if defined(__unix__)
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace Zeb::Kamblo;
namespace fs = std::filesystem;

namespace {

class SceneFile : public PudletTest::TempFolderTest {
protected:
    SceneFile() : TempFolderTest("pudlet_io_") {}

    static std::vector<std::string> lines(const std::string& p)
    {
        std::vector<std::string> result;
        std::istringstream in(read(p));
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }

    static Pointer<ParticleData> scene() { return autorelease(new ParticleData()); }

    // A tiny 24-bit uncompressed BMP with a 2 x 2 picture.
    std::string writeImage(const char* name) const
    {
        std::string bytes = "BM";
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i)
                bytes.push_back(char(v >> (8 * i)));
        };
        auto u16 = [&](uint16_t v) {
            bytes.push_back(char(v));
            bytes.push_back(char(v >> 8));
        };
        u32(70), u32(0), u32(54);
        u32(40), u32(2), u32(2), u16(1), u16(24), u32(0), u32(16), u32(2835), u32(2835), u32(0), u32(0);
        for (int row = 0; row < 2; ++row)
            bytes += std::string("\x10\x20\x30\x40\x50\x60\0\0", 8);
        return write(name, bytes);
    }

};

int addParticle(ParticleData& d, int material, float x, float y, int bodyIndex = 0)
{
    int p = d.createParticle(bodyIndex);
    d.info[p] = ParticleData::materialInfo(material);
    d.color[p] = ParticleData::materialColor(material);
    d.position[p] = {x, y};
    d.anchor[p] = {x, y};
    return p;
}

// "# Zebwork Kamblo (Mmm dd yyyy)", the day padded with a space.
bool isBanner(const std::string& line)
{
    const std::string prefix = "# Zebwork Kamblo (";
    if (line.size() != prefix.size() + 12 || line.compare(0, prefix.size(), prefix) != 0 || line.back() != ')')
        return false;
    const std::string date = line.substr(prefix.size(), 11);
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    return std::isupper(static_cast<unsigned char>(date[0])) && std::islower(static_cast<unsigned char>(date[1])) &&
           std::islower(static_cast<unsigned char>(date[2])) && date[3] == ' ' && (date[4] == ' ' || digit(date[4])) &&
           digit(date[5]) && date[6] == ' ' && digit(date[7]) && digit(date[8]) && digit(date[9]) && digit(date[10]);
}

const char* kParticleTail = "p 10000 0 ff 9999ffff 1.5 2 0 0 1.5 2 0 0 0 \n";

} // namespace

// ---- Writing ---------------------------------------------------------------

TEST_F(SceneFile, EmptySceneHoldsBannerVersionAndEveryParameterOnce)
{
    ASSERT_TRUE(scene()->save(path("empty.pdl").c_str()));
    std::vector<std::string> text = lines(path("empty.pdl"));
    ASSERT_EQ(text.size(), 2u + kParameterCount);
    EXPECT_TRUE(isBanner(text[0])) << text[0];
    EXPECT_EQ(text[1], "version 2");
    for (int i = 0; i < kParameterCount; ++i) {
        std::string prefix = std::string("@ ") + kParameters[i].name + " ";
        EXPECT_EQ(text[2 + i].rfind(prefix, 0), 0u) << text[2 + i];
    }
    for (const char* line : {"@ timeStepsPerFrame 8", "@ standardDensity 1.0025", "@ splashExpansion 1e-05",
                             "@ pouringLayer -1", "@ gravityFlag 1", "@ pauseFlag 0", "@ fireLife 1000",
                             "@ bubbleLife 10000", "@ renderMode 6"})
        EXPECT_NE(std::find(text.begin(), text.end(), line), text.end()) << line;
}

TEST_F(SceneFile, EmptySceneReloadsToDefaultsExceptRoundedDensity)
{
    ASSERT_TRUE(scene()->save(path("empty.pdl").c_str()));
    Pointer<ParticleData> d = scene();
    addParticle(*d, 'q', 1, 1);
    d->randSeed = 42;
    d->scale = 3;
    d->pauseFlag = true;
    ASSERT_TRUE(d->load(path("empty.pdl").c_str()));
    Pointer<ParticleData> fresh = scene();
    EXPECT_EQ(d->count, 0);
    EXPECT_EQ(d->bodies.size(), 1u);
    EXPECT_TRUE(d->joints.empty());
    EXPECT_EQ(d->standardDensity, 1.0025f);
    d->standardDensity = fresh->standardDensity;
#define EXPECT_DEFAULT(type, field, Name, value) EXPECT_EQ(d->field, fresh->field) << #field;
    KAMBLO_PARAMETERS(EXPECT_DEFAULT)
#undef EXPECT_DEFAULT
}

TEST_F(SceneFile, ParticleAndJointRecordsHaveTheirExactText)
{
    Pointer<ParticleData> d = scene();
    int a = d->createParticle(0);
    d->info[a] = Attribute::aqua;
    d->color[a] = Color{153, 153, 255, 255};
    d->position[a] = {1.5f, 2};
    d->anchor[a] = {1.5f, 2};
    int b = d->createParticle(0x1a);
    d->info[b] = Attribute::cold | Attribute::wall;
    d->layer[b] = 3;
    d->color[b] = Color{0, 25, 229, 255};
    d->velocity[b] = {-0.25f, 0.00001f};
    d->angle[b] = 1234567.0f;
    d->staticPressure[b] = 0.125f;
    ParticleJoint j;
    j.info = Attribute::spring;
    j.a = 0;
    j.b = 1;
    j.length = 0.75f;
    j.strength = 0.25f;
    j.offset = {0.75f, 0};
    d->joints.insert(j);
    d->bodies.resize(0x1b);
    ASSERT_TRUE(d->save(path("s.pdl").c_str()));

    std::string text = read(path("s.pdl"));
    EXPECT_NE(text.find(std::string("\n") + kParticleTail), std::string::npos) << text;
    EXPECT_NE(text.find("\np 400004 1a 3 19e5ff 0 0 -0.25 1e-05 0 0 1.23457e+06 0 0.125 \n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\nj 262144 0 1 0.75 0.25 0.75 0 0 0\n"), std::string::npos) << text;
    // Integers after the particle fields are decimal again.
    EXPECT_NE(text.find("\n@ framesPerSecond 25\n"), std::string::npos);
}

// ---- Reading ---------------------------------------------------------------

TEST_F(SceneFile, FileWithoutVersionReadsOldParticlesAndStaysHexadecimal)
{
    std::string p = write("old.pdl",
                          "p 4010000 1 2 0.5 0 1 2 0 0 0.9 0.25\n"
                          "@ timeStepsPerFrame 10\n"
                          "@ time 2.5\n");
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    ASSERT_EQ(d->count, 1);
    EXPECT_EQ(d->info[0], Attribute::aqua);
    EXPECT_EQ(d->body[0], 1);
    EXPECT_EQ(d->layer[0], 255);
    EXPECT_EQ(d->color[0], ParticleData::colorForInfo(Attribute::aqua));
    EXPECT_EQ(d->position[0].x, 1);
    EXPECT_EQ(d->position[0].y, 2);
    EXPECT_EQ(d->velocity[0].x, 0.5f);
    EXPECT_EQ(d->staticPressure[0], 0.25f);
    EXPECT_EQ(d->bodies.size(), 2u);
    // The old particle record leaves the integer base hexadecimal.
    EXPECT_EQ(d->timeStepsPerFrame, 16);
    EXPECT_EQ(d->time, 2.5f);
}

TEST_F(SceneFile, BoolThatIsNotZeroOrOneStopsReading)
{
    std::string p = write("stop.pdl",
                          "version 2\n"
                          "@ time 5\n"
                          "@ pauseFlag true\n"
                          "@ randSeed 7\n" +
                              std::string(kParticleTail));
    Pointer<ParticleData> d = scene();
    d->randSeed = 99;
    d->pauseFlag = true;
    ASSERT_TRUE(d->load(p.c_str()));
    EXPECT_EQ(d->time, 5);
    EXPECT_FALSE(d->pauseFlag);
    EXPECT_EQ(d->randSeed, 0);
    EXPECT_EQ(d->count, 0);
}

TEST_F(SceneFile, ParameterThatFailsToConvertKeepsItsDefault)
{
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(write("i.pdl", "version 2\n@ timeStepsPerFrame oops\n").c_str()));
    EXPECT_EQ(d->timeStepsPerFrame, 8);
    ASSERT_TRUE(d->load(write("f.pdl", "version 2\n@ scale 1e999\n").c_str()));
    EXPECT_EQ(d->scale, 8);
}

TEST_F(SceneFile, UnknownParameterAndUnknownKeywordsAreSkipped)
{
    std::string p = write("unknown.pdl",
                          "version 2\n"
                          "@ noSuchName 5\n"
                          "@ pouringLayer -7\n"
                          "garbage 1 2 3\n"
                          "\n"
                          "$\n"
                          "@ randSeed 3\n");
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    EXPECT_EQ(d->pouringLayer, -7);
    EXPECT_EQ(d->randSeed, 3);
}

TEST_F(SceneFile, ParticleBodyBeyondTheTableGrowsIt)
{
    std::string p = write("body.pdl", "version 2\np 20000 5 ff 7fff66ff 0 0 0 0 0 0 0 0 0 \n");
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    ASSERT_EQ(d->count, 1);
    EXPECT_EQ(d->body[0], 5);
    EXPECT_EQ(d->bodies.size(), 6u);
}

TEST_F(SceneFile, ScriptSectionsAreReadAndReadingResumesAfterTheDollarLine)
{
    std::string p = write("script.pdl",
                          "version 2\n"
                          "onSimulate x = 1;\n"
                          "p 10000 0 ff 9999ffff 1 1 0 0 1 1 0 0 0 \n"
                          "$\n" +
                              std::string(kParticleTail) +
                              "onRender\n"
                              "@ time 9\n"
                              "$\n"
                              "@ randSeed 4\n");
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    EXPECT_EQ(d->count, 1);
    EXPECT_EQ(d->position[0].x, 1.5f);
    EXPECT_EQ(d->time, 0);
    EXPECT_EQ(d->randSeed, 4);
    // The rest of the keyword line is the first line of the text.
    ASSERT_TRUE(d->onSimulate);
    EXPECT_STREQ(d->onSimulate->sourceText(), " x = 1;\np 10000 0 ff 9999ffff 1 1 0 0 1 1 0 0 0 ");
    ASSERT_TRUE(d->onRender);
    EXPECT_STREQ(d->onRender->sourceText(), "@ time 9");
}

TEST_F(SceneFile, DollarFollowedByCarriageReturnDoesNotEndASection)
{
    std::string p = write("cr.pdl",
                          "version 2\n"
                          "onSimulate\n"
                          "$\r\n" +
                              std::string(kParticleTail) + "$\n" + kParticleTail);
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    EXPECT_EQ(d->count, 1);
}

TEST_F(SceneFile, UnclosedScriptSectionConsumesTheRest)
{
    std::string p = write("open.pdl", "version 2\n@ randSeed 2\nonRender\n@ time 9\n" + std::string(kParticleTail));
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    EXPECT_EQ(d->randSeed, 2);
    EXPECT_EQ(d->time, 0);
    EXPECT_EQ(d->count, 0);
}

TEST(SceneScriptSection, ConsumesThroughTheDollarLineOnly)
{
    std::istringstream in(" rest of keyword line\nbody\n$ \n$\nnext 1\n");
    ::testing::internal::CaptureStderr(); // the text is no script
    Pointer<SceneScript> script = ParticleData::loadScript(in);
    ::testing::internal::GetCapturedStderr();
    ASSERT_TRUE(script);
    EXPECT_STREQ(script->sourceText(), " rest of keyword line\nbody\n$ ");
    EXPECT_NE(script->errorMessage(), nullptr);
    std::string after;
    std::getline(in, after);
    EXPECT_EQ(after, "next 1");
}

TEST_F(SceneFile, ScriptSectionsSurviveSaveAndLoadUnchanged)
{
    // Blank first and last lines, indentation and a CR inside the text.
    const std::string simulate = "\n  gravityAngle = gravityAngle + 0.01 // tilt\r\n\nif (time > 1) {\n}\n";
    const std::string render = "";
    std::string p = write("scripts.pdl", "version 2\nonSimulate\n" + simulate + "\n$\nonRender\n" + render +
                                             "\n$\n@ randSeed 3\n");
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    ASSERT_TRUE(d->onSimulate && d->onRender);
    EXPECT_EQ(std::string(d->onSimulate->sourceText()), simulate);
    EXPECT_EQ(std::string(d->onRender->sourceText()), render);
    EXPECT_EQ(d->onSimulate->errorMessage(), nullptr);
    EXPECT_EQ(d->randSeed, 3);

    std::string saved = path("saved.pdl");
    ASSERT_TRUE(d->save(saved.c_str()));
    const std::string text = read(saved);
    EXPECT_NE(text.find("\nonSimulate\n" + simulate + "\n$\nonRender\n" + render + "\n$\n"), std::string::npos);
    Pointer<ParticleData> again = scene();
    ASSERT_TRUE(again->load(saved.c_str()));
    ASSERT_TRUE(again->onSimulate && again->onRender);
    EXPECT_EQ(std::string(again->onSimulate->sourceText()), simulate);
    EXPECT_EQ(std::string(again->onRender->sourceText()), render);
    std::string twice = path("twice.pdl");
    ASSERT_TRUE(again->save(twice.c_str()));
    EXPECT_EQ(read(twice), text);
}

TEST_F(SceneFile, ScriptThatDoesNotParseIsStillSaved)
{
    std::string p = write("broken.pdl", "version 2\nonRender\nwhile (\n$\n");
    Pointer<ParticleData> d = scene();
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(d->load(p.c_str()));
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
    ASSERT_TRUE(d->onRender);
    EXPECT_NE(d->onRender->errorMessage(), nullptr);
    std::string saved = path("saved.pdl");
    ASSERT_TRUE(d->save(saved.c_str()));
    EXPECT_NE(read(saved).find("\nonRender\nwhile (\n$\n"), std::string::npos);
}

// ---- Round trip ------------------------------------------------------------

TEST_F(SceneFile, FullSceneSavesLoadsAndSavesToTheSameFile)
{
    std::string image = writeImage("picture.bmp");
    Pointer<ParticleData> d = scene();
    const int materials[] = {'@', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l',
                             'm', 'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z'};
    float x = 1;
    for (int m : materials) {
        int p = addParticle(*d, m, x, 2.5f);
        d->velocity[p] = {0.125f * x, -0.0625f};
        d->angle[p] = 0.5f;
        d->angularVelocity[p] = -0.03125f;
        d->staticPressure[p] = 0.375f;
        d->layer[p] = uint8_t(m % 7);
        x += 0.75f;
    }
    for (int i = 0; i < 3; ++i)
        addParticle(*d, 'r', 10 + i * 0.75f, 10, 2);
    addParticle(*d, 'f', 20, 20, 3);
    d->bodies.resize(4);
    d->bodies[3].texture = Texture::withContentsOfFile(image.c_str());
    ASSERT_TRUE(d->bodies[3].texture);
    d->bodies[3].textureMin = {19, 19};
    d->bodies[3].textureMax = {21.5f, 21};
    d->background = Texture::withContentsOfFile(image.c_str());
    d->foreground = Texture::withContentsOfFile(image.c_str());
    ParticleJoint j;
    j.info = Attribute::elastic | Attribute::novel;
    j.a = 4;
    j.b = 5;
    j.length = 0.75f;
    j.strength = 0.25f;
    j.offset = {0.75f, 0};
    j.angleA = 0.5f;
    j.angleB = 0.5f;
    d->joints.insert(j);
    j.a = 25;
    j.b = 27;
    d->joints.insert(j);
    d->timeStep = 1234;
    d->gravityAngle = -1.5f;
    d->colorFlag = false;
    d->pouringLayer = 3;
    d->clearColorBlue = 0.5f;

    ASSERT_TRUE(d->save(path("a.pdl").c_str()));
    Pointer<ParticleData> e = scene();
    ASSERT_TRUE(e->load(path("a.pdl").c_str()));
    ASSERT_TRUE(e->save(path("b.pdl").c_str()));
    EXPECT_EQ(read(path("a.pdl")), read(path("b.pdl")));

    ASSERT_EQ(e->count, d->count);
    for (int p = 0; p < d->count; ++p) {
        EXPECT_EQ(e->info[p], d->info[p]);
        EXPECT_EQ(e->body[p], d->body[p]);
        EXPECT_EQ(e->layer[p], d->layer[p]);
        EXPECT_EQ(e->color[p], d->color[p]);
        EXPECT_EQ(e->position[p].x, d->position[p].x);
        EXPECT_EQ(e->velocity[p].x, d->velocity[p].x);
        EXPECT_EQ(e->angularVelocity[p], d->angularVelocity[p]);
        EXPECT_EQ(e->staticPressure[p], d->staticPressure[p]);
    }
    EXPECT_EQ(e->joints.size(), 2u);
    EXPECT_EQ(e->bodies.size(), 4u);
    ASSERT_TRUE(e->bodies[3].texture);
    EXPECT_STREQ(e->bodies[3].texture->name(), image.c_str());
    EXPECT_EQ(e->bodies[3].textureMax.x, 21.5f);
    ASSERT_TRUE(e->background);
    ASSERT_TRUE(e->foreground);
    EXPECT_EQ(e->timeStep, 1234);
    EXPECT_FALSE(e->colorFlag);
    EXPECT_EQ(e->pouringLayer, 3);
    EXPECT_EQ(e->clearColorBlue, 0.5f);
}

TEST_F(SceneFile, LoadResetsImagesAndUnreadableImagesBecomeNone)
{
    std::string image = writeImage("picture.bmp");
    Pointer<ParticleData> d = scene();
    d->background = Texture::withContentsOfFile(image.c_str());
    d->foreground = Texture::withContentsOfFile(image.c_str());
    std::string p = write("images.pdl", "version 2\nforeground " + path("missing.bmp") + "\n" + kParticleTail);
    ASSERT_TRUE(d->load(p.c_str()));
    EXPECT_TRUE(d->foreground == nullptr);
    EXPECT_TRUE(d->background == nullptr);
    EXPECT_EQ(d->count, 1);
}

// A dropped picture keeps its absolute path, and ordinary folders have spaces
// in their names.
TEST_F(SceneFile, ImageNamesWithWhiteSpaceSurviveSaveAndLoad)
{
    fs::create_directories(dir_ / "My Pictures");
    const std::string spaced = writeImage("My Pictures/sea  side.bmp");
    const std::string plain = writeImage("plain.bmp");
    Pointer<ParticleData> d = scene();
    d->background = Texture::withContentsOfFile(spaced.c_str());
    d->foreground = Texture::withContentsOfFile(spaced.c_str());
    d->bodies.resize(3);
    d->bodies[1].texture = Texture::withContentsOfFile(spaced.c_str());
    d->bodies[1].textureMin = {1, 2};
    d->bodies[1].textureMax = {3.5f, 4};
    d->bodies[2].texture = Texture::withContentsOfFile(plain.c_str());
    ASSERT_TRUE(d->save(path("spaced.pdl").c_str()));

    Pointer<ParticleData> e = scene();
    ASSERT_TRUE(e->load(path("spaced.pdl").c_str()));
    ASSERT_TRUE(e->background && e->foreground);
    EXPECT_EQ(std::string(e->background->name()), spaced);
    EXPECT_EQ(std::string(e->foreground->name()), spaced);
    ASSERT_EQ(e->bodies.size(), 3u);
    ASSERT_TRUE(e->bodies[1].texture && e->bodies[2].texture);
    EXPECT_EQ(std::string(e->bodies[1].texture->name()), spaced);
    EXPECT_EQ(e->bodies[1].textureMin, float2(1, 2));
    EXPECT_EQ(e->bodies[1].textureMax, float2(3.5f, 4));
    EXPECT_EQ(std::string(e->bodies[2].texture->name()), plain);

    // A line break in a name cannot be read back; written, it would make
    // the rest of the name a record of its own.
    const std::string broken = writeImage("x\np 0 0 ff 0 0 0 0 0 0 0 0 0 0 .bmp");
    e->background = Texture::withContentsOfFile(broken.c_str());
    ASSERT_TRUE(e->background);
    ASSERT_TRUE(e->save(path("broken.pdl").c_str()));
    ASSERT_TRUE(e->load(path("broken.pdl").c_str()));
    EXPECT_EQ(e->count, 0);

    // Records as files have always held them: tabs, a trailing carriage
    // return, and a record too short for its numbers, which ends the reading.
    std::string p = write("old.pdl", "version 2\nbackground\t" + plain + "\r\ntexture 1 " + plain +
                                         "\t0 0 1 1\r\ntexture 2 " + plain + " 0 1\n" + kParticleTail);
    ASSERT_TRUE(e->load(p.c_str()));
    ASSERT_TRUE(e->background);
    ASSERT_GE(e->bodies.size(), 2u);
    ASSERT_TRUE(e->bodies[1].texture);
    EXPECT_EQ(std::string(e->background->name()), plain);
    EXPECT_EQ(e->bodies[1].textureMax, float2(1, 1));
    EXPECT_EQ(e->bodies.size(), 2u);
    EXPECT_EQ(e->count, 0);
}

// ---- Failures and untrusted input -------------------------------------------

TEST_F(SceneFile, LoadThatCannotReadItsFileKeepsTheScene)
{
    Pointer<ParticleData> d = scene();
    addParticle(*d, 'q', 1, 1);
    d->randSeed = 42;
    EXPECT_FALSE(d->load(path("missing.pdl").c_str()));
    EXPECT_FALSE(d->load(dir_.string().c_str()));
    EXPECT_FALSE(d->load(nullptr));
    EXPECT_EQ(d->count, 1);
    EXPECT_EQ(d->randSeed, 42);
}

TEST_F(SceneFile, SaveReplacesAnOldFileAndLeavesNoTemporary)
{
    std::string p = write("scene.pdl", "old contents\n");
    Pointer<ParticleData> d = scene();
    addParticle(*d, 'q', 1.5f, 2);
    ASSERT_TRUE(d->save(p.c_str()));
    EXPECT_NE(read(p).find("\np 10000 "), std::string::npos);
    EXPECT_FALSE(fs::exists(p + ".tmp"));
    EXPECT_FALSE(d->save(path("no/such/folder/scene.pdl").c_str()));
    EXPECT_FALSE(d->save(""));
}

#if defined(__unix__)
// The save replaces what the user sees, and only that: the file behind a
// link, with the file's permissions, and never a file of the user's that
// happens to be called like a temporary one.
TEST_F(SceneFile, SaveKeepsLinksModesAndNeighbours)
{
    Pointer<ParticleData> d = scene();
    addParticle(*d, 'q', 1.5f, 2);
    const std::string target = write("target.pdl", "old scene\n");
    fs::create_directories(dir_ / "links");
    fs::create_symlink("../target.pdl", dir_ / "links" / "link.pdl");
    fs::permissions(target, fs::perms(0640));
    const std::string own = write("target.pdl.tmp", "the user's own file\n");
    const std::string linkOwn = write("links/link.pdl.tmp", "another\n");

    ASSERT_TRUE(d->save(path("links/link.pdl").c_str()));
    EXPECT_TRUE(fs::is_symlink(dir_ / "links" / "link.pdl"));
    EXPECT_NE(read(target).find(kParticleTail), std::string::npos);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(read(own), "the user's own file\n");
    EXPECT_EQ(read(linkOwn), "another\n");
    // Nothing else is left in either folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "links"), fs::directory_iterator()), 2);

    // A new file gets the ordinary mode for the umask, not a private one.
    const mode_t mask = umask(022);
    ASSERT_TRUE(d->save(path("new.pdl").c_str()));
    umask(mask);
    EXPECT_EQ(fs::status(path("new.pdl")).permissions() & fs::perms::all, fs::perms(0644));
}

TEST_F(SceneFile, SaveThatFailsPartWayKeepsTheOldFile)
{
    std::string p = path("scene.pdl");
    ASSERT_TRUE(scene()->save(p.c_str()));
    const std::string old = read(p);

    Pointer<ParticleData> big = scene();
    for (int i = 0; i < 4000; ++i)
        addParticle(*big, 'q', float(i), float(i));
    // A file-size limit makes the write fail after the first few kilobytes,
    // as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 16384;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool saved_ok = big->save(p.c_str());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(read(p), old);
    EXPECT_FALSE(fs::exists(p + ".tmp"));
}
#endif

TEST_F(SceneFile, UntrustedJointsAndTexturesAreDropped)
{
    std::string image = writeImage("picture.bmp");
    std::string p = write("hostile.pdl",
                          "version 2\n" + std::string(kParticleTail) + kParticleTail +
                              "j 16 0 1 0.75 0.25 0.75 0 0 0\n"
                              "j 16 0 2 0.75 0.25 0.75 0 0 0\n"
                              "j 16 -1 1 0.75 0.25 0.75 0 0 0\n"
                              "j 16 1 1 0.75 0.25 0.75 0 0 0\n"
                              "j 16 0 2147483647 0.75 0.25 0.75 0 0 0\n"
                              "texture 256 " +
                              image +
                              " 0 0 1 1\n"
                              "texture 4294967295 " +
                              image +
                              " 0 0 1 1\n"
                              "texture 255 " +
                              image + " 0 0 1 1\n" + kParticleTail);
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    EXPECT_EQ(d->count, 3);
    // Particle 2 is read after its joint: validity is judged at the end.
    ASSERT_EQ(d->joints.size(), 2u);
    EXPECT_EQ(d->joints.begin()->b, 1);
    EXPECT_EQ(d->joints.rbegin()->b, 2);
    ASSERT_EQ(d->bodies.size(), 256u);
    EXPECT_TRUE(d->bodies[255].texture);
}

// A joint written with its ends swapped is the same joint: it meets the
// other record of its pair instead of doubling it, and keeps its geometry.
TEST_F(SceneFile, ReversedJointRecordIsTheSameJoint)
{
    std::string p = write("reversed.pdl", "version 2\n" + std::string(kParticleTail) + kParticleTail + kParticleTail +
                                              "j 16 1 0 0.75 0.25 -0.5 0.25 0.1 0.2\n"
                                              "j 16 0 1 0.75 0.25 0.5 -0.25 0.2 0.1\n"
                                              "j 16 2 1 0.75 0.25 -0.5 0.25 0.3 0.4\n");
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(p.c_str()));
    ASSERT_EQ(d->joints.size(), 2u);
    const ParticleJoint& first = *d->joints.begin();
    EXPECT_EQ(first.a, 0);
    EXPECT_EQ(first.b, 1);
    EXPECT_EQ(first.offset, float2(0.5f, -0.25f));
    EXPECT_EQ(first.angleA, 0.2f);
    EXPECT_EQ(first.angleB, 0.1f);
    const ParticleJoint& second = *d->joints.rbegin();
    EXPECT_EQ(second.a, 1);
    EXPECT_EQ(second.b, 2);
    EXPECT_EQ(second.offset, float2(0.5f, -0.25f));
    EXPECT_EQ(second.angleA, 0.4f);
}

TEST_F(SceneFile, RecordsCutShortLeaveNothingBehind)
{
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(write("p.pdl", "version 2\n" + std::string(kParticleTail) +
                                           "p 10000 0 ff 9999ffff 1.5 oops\n").c_str()));
    EXPECT_EQ(d->count, 1);
    ASSERT_TRUE(d->load(write("j.pdl", "version 2\n" + std::string(kParticleTail) + kParticleTail +
                                           "j 16 0 1 0.75 0.25").c_str()));
    EXPECT_EQ(d->count, 2);
    EXPECT_TRUE(d->joints.empty());
    ASSERT_TRUE(d->load(write("t.pdl", "version 2\ntexture 3 " + writeImage("i.bmp") + " 0 0").c_str()));
    EXPECT_EQ(d->bodies.size(), 1u);
}

// A scene whose simulation blew up still saves; its NaN and infinite values
// must not end the reading of the save at the first of them.
TEST_F(SceneFile, NonFiniteValuesWrittenBySaveReadBackAndLaterRecordsStay)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    Pointer<ParticleData> d = scene();
    int a = addParticle(*d, 'q', nan, 2);
    d->velocity[a] = {inf, -inf};
    d->angle[a] = -nan;
    addParticle(*d, 'q', 3, 4);
    ParticleJoint j;
    j.a = 0;
    j.b = 1;
    j.length = -inf;
    j.angleB = nan;
    d->joints.insert(j);
    d->gravityAcceleration = inf;
    d->scale = nan;
    d->renderMode = 3;
    std::string p = path("blown.pdl");
    ASSERT_TRUE(d->save(p.c_str()));

    Pointer<ParticleData> e = scene();
    ASSERT_TRUE(e->load(p.c_str()));
    ASSERT_EQ(e->count, 2);
    EXPECT_TRUE(std::isnan(e->position[0].x));
    EXPECT_EQ(e->velocity[0].x, inf);
    EXPECT_EQ(e->velocity[0].y, -inf);
    EXPECT_TRUE(std::isnan(e->angle[0]));
    EXPECT_EQ(e->position[1].y, 4);
    ASSERT_EQ(e->joints.size(), 1u);
    EXPECT_EQ(e->joints.begin()->length, -inf);
    EXPECT_TRUE(std::isnan(e->joints.begin()->angleB));
    EXPECT_EQ(e->gravityAcceleration, inf);
    EXPECT_TRUE(std::isnan(e->scale));
    EXPECT_EQ(e->renderMode, 3);

    // Words that only begin like them still end the reading, as before.
    ASSERT_TRUE(e->load(write("words.pdl", "version 2\n@ scale infinite\n@ renderMode 3\n").c_str()));
    EXPECT_EQ(e->scale, 8);
    EXPECT_EQ(e->renderMode, 6);
    ASSERT_TRUE(e->load(write("minus.pdl", "version 2\n@ scale -nan\n@ gravityAngle -2.5\n").c_str()));
    EXPECT_TRUE(std::isnan(e->scale));
    EXPECT_EQ(e->gravityAngle, -2.5f);
}

TEST_F(SceneFile, BodyIndexIsEightBitsAndNeverGrowsTheTablePast256)
{
    Pointer<ParticleData> d = scene();
    ASSERT_TRUE(d->load(write("b.pdl", "version 2\np 20000 1ff ff 0 0 0 0 0 0 0 0 0 0 \n").c_str()));
    ASSERT_EQ(d->count, 1);
    EXPECT_EQ(d->body[0], 255);
    EXPECT_EQ(d->bodies.size(), 256u);
}

// ---- Locale -----------------------------------------------------------------

namespace {

struct CommaDecimalPoint : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

class GlobalLocale {
public:
    explicit GlobalLocale(const std::locale& l) : previous_(std::locale::global(l)) {}
    ~GlobalLocale() { std::locale::global(previous_); }

private:
    std::locale previous_;
};

} // namespace

TEST_F(SceneFile, NumbersUseAPointWhateverTheUsersLocale)
{
    GlobalLocale comma(std::locale(std::locale::classic(), new CommaDecimalPoint));
    Pointer<ParticleData> d = scene();
    addParticle(*d, 'q', 1.5f, 2);
    d->randSeed = 1234567;
    ASSERT_TRUE(d->save(path("l.pdl").c_str()));
    std::string text = read(path("l.pdl"));
    EXPECT_NE(text.find("\n@ standardDistance 0.75\n"), std::string::npos);
    EXPECT_NE(text.find("\n@ randSeed 1234567\n"), std::string::npos);
    EXPECT_NE(text.find(kParticleTail), std::string::npos);

    Pointer<ParticleData> e = scene();
    ASSERT_TRUE(e->load(path("l.pdl").c_str()));
    ASSERT_EQ(e->count, 1);
    EXPECT_EQ(e->position[0].x, 1.5f);
    EXPECT_EQ(e->standardDistance, 0.75f);
    EXPECT_EQ(e->randSeed, 1234567);
}

// ---- Facade -----------------------------------------------------------------

TEST_F(SceneFile, FacadeLoadForgetsTheUndoSnapshot)
{
    RevivezoRora* engine = RevivezoRora::newInstance();
    engine->setRandSeed(5);
    EXPECT_TRUE(engine->save(path("f.pdl").c_str()));
    engine->registerUndo();
    engine->setRandSeed(6);
    EXPECT_TRUE(engine->load(path("f.pdl").c_str()));
    EXPECT_FALSE(engine->canUndo());
    EXPECT_EQ(engine->randSeed(), 5);
    engine->setRandSeed(7);
    EXPECT_FALSE(engine->load(path("missing.pdl").c_str()));
    EXPECT_EQ(engine->randSeed(), 7);
    RevivezoRora::deleteInstance(engine);
}
