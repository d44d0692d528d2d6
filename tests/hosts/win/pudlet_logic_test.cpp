#include <pudlet_logic.h>
#include <scene_frame.h>
#include <scene_session.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>

using namespace PudletWin;
using Zeb::Kamblo::RevivezoRora;

namespace {

using Engine = Pudlet::EngineHandle;
using Pudlet::newEngine;

TEST(ButtonTables, EveryCodeAndKeyIsUnique)
{
    std::set<int> materials, tools, keys;
    for (const auto& b : materialButtons)
        EXPECT_TRUE(materials.insert(b.code).second) << b.label;
    for (const auto& t : toolButtons) {
        EXPECT_TRUE(tools.insert(t.code).second) << t.label;
        EXPECT_TRUE(keys.insert(t.key).second) << t.label;
        // A tool's key is its letter in upper case, except Shape ('u', U).
        EXPECT_EQ(t.key, t.code - 32) << t.label;
    }
    EXPECT_STREQ(materialButtons[initialMaterialIndex].label, "Wall");
    EXPECT_STREQ(toolButtons[initialToolIndex].label, "Brush");
    EXPECT_STREQ(renderStyleNames[initialStyleIndex], "Blob and Texture");
}

TEST(CharSelection, LowerCaseAndAtSignPressMaterialButtons)
{
    const CharSelection water = selectionForChar('q');
    EXPECT_EQ(water.group, CharSelection::material);
    ASSERT_GE(water.index, 0);
    EXPECT_STREQ(materialButtons[water.index].label, "Water");

    const CharSelection fire = selectionForChar('@');
    ASSERT_GE(fire.index, 0);
    EXPECT_STREQ(materialButtons[fire.index].label, "Fire");

    const CharSelection eraser = selectionForChar('z');
    ASSERT_GE(eraser.index, 0);
    EXPECT_STREQ(materialButtons[eraser.index].label, "Eraser");
}

TEST(CharSelection, UpperCaseLettersPressToolButtons)
{
    const CharSelection shape = selectionForChar('U');
    EXPECT_EQ(shape.group, CharSelection::tool);
    ASSERT_GE(shape.index, 0);
    EXPECT_STREQ(toolButtons[shape.index].label, "Shape");
    EXPECT_EQ(toolButtons[shape.index].code, 'u');

    const CharSelection slice = selectionForChar('K');
    ASSERT_GE(slice.index, 0);
    EXPECT_STREQ(toolButtons[slice.index].label, "Slice");
}

TEST(CharSelection, CharactersWithoutButtonSelectNothing)
{
    // 'W' has no tool, 'a' and digits no material, space and Delete neither.
    EXPECT_EQ(selectionForChar('W').group, CharSelection::tool);
    EXPECT_EQ(selectionForChar('W').index, -1);
    EXPECT_EQ(selectionForChar('a').index, -1);
    EXPECT_EQ(selectionForChar('n').index, -1);
    EXPECT_EQ(selectionForChar('5').index, -1);
    EXPECT_EQ(selectionForChar(' ').index, -1);
    EXPECT_EQ(selectionForChar(127).index, -1);
    // '@' is a material; its upper-case partner '`' is not an upper-case letter.
    EXPECT_EQ(selectionForChar('`').group, CharSelection::material);
    EXPECT_EQ(selectionForChar('`').index, -1);
}

TEST(CharSelection, CapitalWStillReachesTheEngineAsItsKey)
{
    // Selecting nothing in the bar does not keep the key from the engine:
    // with the default key operations 'W' starts pouring walls.
    Engine engine = newEngine();
    ASSERT_EQ(selectionForChar('W').index, -1);
    engine->onKeyDown('W');
    engine->onKeyUp('W');
    EXPECT_TRUE(engine->pouringFlag());
    EXPECT_EQ(engine->pouringMaterial(), 'w');
}

TEST(SpecialKeys, ArrowsAndDeleteMapToEngineCodes)
{
    EXPECT_EQ(engineKeyFor(SpecialKey::left), 256);
    EXPECT_EQ(engineKeyFor(SpecialKey::right), 257);
    EXPECT_EQ(engineKeyFor(SpecialKey::down), 258);
    EXPECT_EQ(engineKeyFor(SpecialKey::up), 259);
    EXPECT_EQ(engineKeyFor(SpecialKey::del), 127);
}

TEST(SaveAsName, AppendsTheExtensionUnlessItIsExactlyPdl)
{
    EXPECT_EQ(sceneFileName("scene"), "scene.pdl");
    EXPECT_EQ(sceneFileName("scene.pdl"), "scene.pdl");
    EXPECT_EQ(sceneFileName("scene.PDL"), "scene.PDL.pdl");
    EXPECT_EQ(sceneFileName("scene.txt"), "scene.txt.pdl");
    EXPECT_EQ(sceneFileName("scene.pdl.bak"), "scene.pdl.bak.pdl");
    EXPECT_EQ(sceneFileName("/tmp/my.folder/scene"), "/tmp/my.folder/scene.pdl");
    EXPECT_EQ(sceneFileName("scene."), "scene..pdl");
}

TEST(DropDispatch, OnlyAnExactPdlExtensionOpensAScene)
{
    EXPECT_TRUE(isSceneFile("/home/u/dam.pdl"));
    EXPECT_TRUE(isSceneFile("a.b.pdl"));
    EXPECT_FALSE(isSceneFile("/home/u/DAM.PDL"));
    EXPECT_FALSE(isSceneFile("/home/u/dam.Pdl"));
    EXPECT_FALSE(isSceneFile("/home/u/picture.png"));
    EXPECT_FALSE(isSceneFile("/home/u/pdl"));
    EXPECT_FALSE(isSceneFile("/home/u.pdl/picture"));
}

TEST(WindowFit, ClientAreaShowsTheWholeSceneWithItsMargins)
{
    Engine engine = newEngine();
    PixelSize size = fittedClientSize(*engine);
    EXPECT_EQ(size.width, 512); // 8 px x (0 + 64)
    EXPECT_EQ(size.height, 384);

    engine->setScale(10.0f);
    engine->setBoundsLeft(2.0f);
    engine->setBoundsRight(50.0f);
    engine->setBoundsBottom(1.5f);
    engine->setBoundsTop(30.0f);
    size = fittedClientSize(*engine);
    EXPECT_EQ(size.width, 520);
    EXPECT_EQ(size.height, 315);
}

TEST(WallsFollowResize, RightAndTopKeepTheirMarginsToTheEdges)
{
    Engine engine = newEngine();
    engine->setBoundsLeft(2.0f);
    engine->setBoundsBottom(1.0f);
    Pudlet::followViewSize(*engine, 800, 600);
    EXPECT_FLOAT_EQ(engine->boundsRight(), 800.0f / 8.0f - 2.0f);
    EXPECT_FLOAT_EQ(engine->boundsTop(), 600.0f / 8.0f - 1.0f);
    EXPECT_FLOAT_EQ(engine->boundsLeft(), 2.0f);
    EXPECT_FLOAT_EQ(engine->boundsBottom(), 1.0f);

    // Fitting after following gives the window back: the two agree.
    const PixelSize fitted = fittedClientSize(*engine);
    EXPECT_EQ(fitted.width, 800);
    EXPECT_EQ(fitted.height, 600);
}

TEST(WallsFollowResize, ZeroScaleLeavesTheWallsAlone)
{
    Engine engine = newEngine();
    engine->setScale(0.0f);
    Pudlet::followViewSize(*engine, 800, 600);
    EXPECT_FLOAT_EQ(engine->boundsRight(), 64.0f);
    EXPECT_FLOAT_EQ(engine->boundsTop(), 48.0f);
}

TEST(ControlRefresh, ShowsTheEngineStateWithDrainInverted)
{
    Engine engine = newEngine();
    ControlState state = controlStateOf(*engine);
    EXPECT_FALSE(state.pause);
    EXPECT_TRUE(state.gravity);
    EXPECT_FALSE(state.drain); // walls on
    EXPECT_FALSE(state.pouring);
    EXPECT_EQ(state.styleIndex, 5);

    engine->setPauseFlag(true);
    engine->setGravityFlag(false);
    engine->setBoundsFlag(false);
    engine->setPouringFlag(true);
    engine->setSplashFlag(true);
    engine->setBubbleFlag(true);
    engine->setRenderMode(1);
    state = controlStateOf(*engine);
    EXPECT_TRUE(state.pause);
    EXPECT_FALSE(state.gravity);
    EXPECT_TRUE(state.drain);
    EXPECT_TRUE(state.pouring);
    EXPECT_TRUE(state.splash);
    EXPECT_TRUE(state.bubble);
    EXPECT_EQ(state.styleIndex, 0);
}

TEST(ControlRefresh, RenderModesOutsideTheListSelectNoStyle)
{
    Engine engine = newEngine();
    // Digit keys reach modes 8 and 9, which the list does not show.
    engine->onKeyDown('9');
    EXPECT_EQ(controlStateOf(*engine).styleIndex, -1);
    engine->setRenderMode(0);
    EXPECT_EQ(controlStateOf(*engine).styleIndex, -1);
    engine->setRenderMode(7);
    EXPECT_EQ(controlStateOf(*engine).styleIndex, 6);
}

TEST(FramePacing, AtMostSixtyFramesPerSecond)
{
    FramePacer pacer(60.0);
    EXPECT_TRUE(pacer.startFrame(10.0));
    EXPECT_FALSE(pacer.startFrame(10.005));
    EXPECT_NEAR(pacer.waitTime(10.005), 1.0 / 60.0 - 0.005, 1e-9);
    EXPECT_TRUE(pacer.startFrame(10.0 + 1.0 / 60.0));
    // Frames counted over one simulated second of a fast loop.
    int frames = 0;
    for (double t = 20.0; t < 21.0; t += 0.001)
        frames += pacer.startFrame(t) ? 1 : 0;
    EXPECT_LE(frames, 60);
    EXPECT_GE(frames, 55);
}

TEST(FramePacing, ABackwardClockDoesNotStallTheLoop)
{
    FramePacer pacer(60.0);
    EXPECT_TRUE(pacer.startFrame(100.0));
    EXPECT_EQ(pacer.waitTime(50.0), 0.0);
    EXPECT_TRUE(pacer.startFrame(50.0));
}

} // namespace
