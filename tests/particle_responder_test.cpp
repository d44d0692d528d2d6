#include "particle_responder.h"

#include <gtest/gtest.h>

#include <string_view>

#include <cmath>

#include "cg_math_ext.h"

using namespace Zeb::Kamblo;

namespace {

class ResponderTest : public ::testing::Test {
protected:
    Pointer<ParticleData> d = autorelease(new ParticleData());
    Pointer<ParticleBuilder> b = autorelease(new ParticleBuilder(d));
    Pointer<ParticleResponder> r = autorelease(new ParticleResponder(d, b));

    int add(float2 at, int material = 'q')
    {
        int p = d->createParticle(0);
        d->info[p] = ParticleData::materialInfo(material);
        d->color[p] = ParticleData::materialColor(material);
        d->position[p] = at;
        d->anchor[p] = at;
        return p;
    }

    void stroke(int button, float2 from, float2 to)
    {
        r->onMouseDown(button, from);
        r->onMouseMove(to);
        r->onMouseUp();
    }
};

} // namespace

// --- Buttons and tools --------------------------------------------------------

TEST_F(ResponderTest, ModifierBitsDoNotChangeTheTool)
{
    for (int modifiers : {0, 4, 8, 16, 4 | 8 | 16}) {
        EXPECT_EQ(r->toolForButton(1 | modifiers), 'b') << modifiers;
        EXPECT_EQ(r->toolForButton(2 | modifiers), 'a') << modifiers;
        EXPECT_EQ(r->toolForButton(3 | modifiers), 'e') << modifiers;
    }
    EXPECT_EQ(r->toolForButton(0), 0);
    EXPECT_EQ(r->toolForButton(4), 0);
    EXPECT_EQ(r->toolForButton(32 | 1), 0);
}

TEST_F(ResponderTest, ShiftClickPaintsWithTheBrush)
{
    b->setMaterial('q');
    stroke(1 | 4, {10, 10}, {14, 10});
    EXPECT_GT(d->count, 0);
    EXPECT_EQ(r->toolButton, 5);
    EXPECT_EQ(r->currentTool, 0);
}

TEST_F(ResponderTest, SpaceDuringAStrokeIsUndoneByTheRelease)
{
    EXPECT_FALSE(d->pauseFlag);
    r->onMouseDown(1, {10, 10});
    EXPECT_TRUE(d->pauseFlag);
    r->onKeyDown(' ');
    EXPECT_FALSE(d->pauseFlag);
    r->onMouseMove({12, 10});
    r->onMouseUp();
    EXPECT_FALSE(d->pauseFlag);

    d->pauseFlag = true;
    r->onMouseDown(1, {10, 10});
    r->onKeyDown(' ');
    r->onMouseUp();
    EXPECT_TRUE(d->pauseFlag);
    // Exactly the drawing tools hold the world still while pressed.
    d->pauseFlag = false;
    for (int letter = '@'; letter <= 'z'; ++letter) {
        r->leftButtonTool = letter;
        r->onMouseDown(1, {10, 10});
        EXPECT_EQ(d->pauseFlag, std::string_view("bejkpu").find(char(letter)) != std::string_view::npos)
            << char(letter);
        r->onMouseUp();
        EXPECT_FALSE(d->pauseFlag);
    }
}

TEST_F(ResponderTest, PencilStrokeContinuesFromItsNextParticleAndCleansUpOnRelease)
{
    r->leftButtonTool = 'p';
    b->setMaterial('q');
    int underneath = add({10.75f, 10.1f});
    r->onMouseDown(1, {10, 10});
    r->onMouseMove({11.9f, 10});
    EXPECT_FLOAT_EQ(r->lastPoint.x, 11.5f);
    EXPECT_TRUE(d->info[underneath] & Attribute::zombie);
    r->onMouseUp();
    EXPECT_EQ(d->count, 2);
    for (int p = 0; p < d->count; ++p)
        EXPECT_FALSE(d->info[p] & Attribute::zombie);
}

TEST_F(ResponderTest, ShapeToolShowsItsTemplateAndFillsTheChosenShapeOnRelease)
{
    r->leftButtonTool = 'u';
    r->templateShape = 3;
    b->setMaterial('q');
    r->onMouseDown(1, {10, 10});
    EXPECT_EQ(d->templateKind, 3);
    r->onMouseMove({16, 14});
    EXPECT_EQ(d->templateEnd, float2(16, 14));
    EXPECT_EQ(r->lastPoint, float2(10, 10));
    EXPECT_EQ(d->count, 0);
    r->onMouseUp();
    EXPECT_EQ(d->templateKind, 0);
    ASSERT_GT(d->count, 0);
    for (int p = 0; p < d->count; ++p) {
        float u = (d->position[p].x - 13) / 3, v = (d->position[p].y - 12) / 2;
        EXPECT_LT(u * u + v * v, 1);
    }
}

TEST_F(ResponderTest, MarqueeToolOnlyShowsARectangle)
{
    r->leftButtonTool = 'm';
    add({12, 12});
    r->onMouseDown(1, {10, 10});
    EXPECT_EQ(d->templateKind, 2);
    r->onMouseMove({14, 14});
    r->onMouseUp();
    EXPECT_EQ(d->templateKind, 0);
    EXPECT_EQ(d->count, 1);
}

TEST_F(ResponderTest, MoveToolShiftsTheSceneByEachPointerStep)
{
    r->leftButtonTool = 'v';
    int p = add({10, 10});
    r->onMouseDown(1, {1, 1});
    r->onMouseMove({2, 1});
    r->onMouseMove({2, 3});
    r->onMouseUp();
    EXPECT_EQ(d->position[p], float2(11, 12));
}

TEST_F(ResponderTest, DragFollowerTrailsThePointerAndSteersParticlesWithTheArrow)
{
    int p = add({10, 10});
    r->onMouseDown(2, {10, 10}); // 'a'
    r->onMouseMove({12, 10});
    r->onSimulate();
    // acceleration = 2 * ((12 - 10) / 10 - 0) / 10
    EXPECT_FLOAT_EQ(r->followVelocity.x, 0.04f);
    EXPECT_FLOAT_EQ(r->followPoint.x, 10.04f);
    EXPECT_FLOAT_EQ(d->velocity[p].x, 0.04f);
    for (int i = 0; i < 200; ++i)
        r->onSimulate();
    EXPECT_NEAR(r->followPoint.x, 12, 0.05);
    r->onMouseUp();
    d->velocity[p] = {0, 0};
    r->onSimulate();
    EXPECT_EQ(d->velocity[p], float2(0, 0));
}

// --- Keys ---------------------------------------------------------------------

TEST_F(ResponderTest, LowerCaseSelectsAMaterialAndUpperCaseTogglesItsPouring)
{
    r->onKeyDown('q');
    EXPECT_EQ(b->material(), 'q');
    EXPECT_EQ(b->info(), Attribute::aqua);
    r->onKeyDown('Q');
    EXPECT_TRUE(d->pouringFlag);
    EXPECT_EQ(d->pouringMaterial, 'q');
    r->onKeyDown('Q');
    EXPECT_FALSE(d->pouringFlag);
    r->onKeyDown('W');
    r->onKeyDown('`'); // the at sign
    EXPECT_TRUE(d->pouringFlag);
    EXPECT_EQ(d->pouringMaterial, '@');
}

TEST_F(ResponderTest, EscapeSwitchesLettersBetweenMaterialsAndAttributes)
{
    r->onKeyDown(27);
    EXPECT_EQ(r->lowerCaseKeyOperation, 5);
    EXPECT_EQ(r->upperCaseKeyOperation, 6);
    EXPECT_EQ(b->material(), 0);
    EXPECT_EQ(b->info(), 0u);
    r->onKeyDown('q');
    r->onKeyDown('h');
    EXPECT_EQ(b->info(), Attribute::aqua | Attribute::hot);
    r->onKeyDown('h');
    EXPECT_EQ(b->info(), Attribute::aqua);
    r->onKeyDown('@');
    EXPECT_EQ(b->info(), Attribute::aqua | (ParticleInfo(1) << 31));
    r->onKeyDown('@');
    r->onKeyDown(27);
    EXPECT_EQ(r->lowerCaseKeyOperation, 4);
    EXPECT_EQ(b->color(), ParticleData::colorForInfo(Attribute::aqua));
    r->onKeyDown('w');
    EXPECT_EQ(b->material(), 'w');
}

TEST_F(ResponderTest, DigitsChooseRenderModesOnlyInTheirDefaultOperation)
{
    r->onKeyDown('3');
    EXPECT_EQ(d->renderMode, 3);
    r->onKeyDown('0');
    EXPECT_FALSE(d->colorFlag);
    r->numberKeyOperation = 2;
    r->onKeyDown('5');
    r->onKeyDown('0');
    EXPECT_EQ(d->renderMode, 3);
    EXPECT_FALSE(d->colorFlag);
}

TEST_F(ResponderTest, LetterOperationsCanAssignButtonTools)
{
    r->lowerCaseKeyOperation = 2;
    r->upperCaseKeyOperation = 3;
    r->onKeyDown('g');
    r->onKeyDown('K');
    EXPECT_EQ(r->rightButtonTool, 'g');
    EXPECT_EQ(r->otherButtonTool, 'k');
    EXPECT_EQ(b->material(), 'w');
}

TEST_F(ResponderTest, PouringKeysSwitchBetweenStreamRainAndOff)
{
    r->onKeyDown('.');
    EXPECT_TRUE(d->pouringFlag);
    EXPECT_FALSE(d->pouringRainFlag);
    r->onKeyDown('/');
    EXPECT_TRUE(d->pouringFlag);
    EXPECT_TRUE(d->pouringRainFlag);
    r->onKeyDown('.');
    EXPECT_FALSE(d->pouringRainFlag);
    r->onKeyDown('.');
    EXPECT_FALSE(d->pouringFlag);
}

TEST_F(ResponderTest, SwitchKeysAndDelete)
{
    add({10, 10});
    d->velocity[0] = {1, 1};
    r->onKeyDown(':');
    EXPECT_EQ(d->velocity[0], float2(0, 0));
    r->onKeyDown(';');
    r->onKeyDown(',');
    r->onKeyDown('%');
    r->onKeyDown(']');
    EXPECT_FALSE(d->gravityFlag);
    EXPECT_FALSE(d->boundsFlag);
    EXPECT_TRUE(d->staticPressureFlag);
    EXPECT_EQ(d->gravityAmplification, 1.5f);
    r->onKeyDown(127);
    EXPECT_EQ(d->count, 0);
}

TEST_F(ResponderTest, ArrowsDoNothingWithoutUsersParticlesOrPouring)
{
    float location = d->pouringLocation;
    for (int key = 256; key <= 259; ++key) {
        r->onKeyDown(key);
        r->onKeyUp(key);
    }
    EXPECT_EQ(d->pouringLocation, location);
    EXPECT_EQ(d->usersX, 0);
    EXPECT_EQ(d->usersY, 0);
}

TEST_F(ResponderTest, ArrowsMoveThePourWithinTheBounds)
{
    d->pouringFlag = true;
    d->pouringLocation = 63.5f;
    r->onKeyDown(257);
    EXPECT_EQ(d->pouringLocation, 64);
    d->pouringVelocity = 0.005f;
    r->onKeyDown(259);
    EXPECT_EQ(d->pouringVelocity, 0);
    r->onKeyDown(258);
    EXPECT_FLOAT_EQ(d->pouringVelocity, 0.01f);
}

TEST_F(ResponderTest, ArrowsSteerUsersParticlesAndReleaseKeepsTheOppositeKey)
{
    add({10, 10}, 'u');
    r->onKeyDown(256);
    EXPECT_EQ(d->usersX, -1);
    r->onKeyDown(257); // right pressed while left is still held
    r->onKeyUp(256);
    EXPECT_EQ(d->usersX, 1);
    r->onKeyUp(257);
    EXPECT_EQ(d->usersX, 0);
    r->onKeyDown(259);
    r->onKeyUp(258);
    EXPECT_EQ(d->usersY, 1);
}

// --- View and files -----------------------------------------------------------

TEST_F(ResponderTest, ContentSizeFollowsTheBoundsUnlessScrolling)
{
    EXPECT_EQ(r->contentWidth(), 512);
    EXPECT_EQ(d->viewWidth, 512);
    EXPECT_EQ(r->contentHeight(), 384);
    r->setContentWidth(800);
    EXPECT_EQ(d->boundsRight, 100);
    d->scrollFlag = true;
    r->setContentWidth(1000);
    EXPECT_EQ(d->boundsRight, 100);
    EXPECT_EQ(r->contentWidth(), 1000);
}

TEST_F(ResponderTest, DroppingAnUnreadableFileChangesNothing)
{
    r->onFileDrop("/nonexistent/picture.png", {10, 10});
    r->onFileDrop(nullptr, {10, 10});
    EXPECT_EQ(d->count, 0);
    EXPECT_EQ(d->bodies.size(), 1u);
}
