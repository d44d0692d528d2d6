#include "particle_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "cg_math_ext.h"
#include "texture.h"

using namespace Zeb::Kamblo;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class BuilderTest : public ::testing::Test {
protected:
    Pointer<ParticleData> d = autorelease(new ParticleData());
    Pointer<ParticleBuilder> b = autorelease(new ParticleBuilder(d));

    int add(float2 at, int material = 'q', int body = 0)
    {
        int p = d->createParticle(body);
        d->info[p] = ParticleData::materialInfo(material);
        d->color[p] = ParticleData::materialColor(material);
        d->position[p] = at;
        d->anchor[p] = at;
        return p;
    }

    std::vector<std::pair<float, float>> positions() const
    {
        std::vector<std::pair<float, float>> out;
        for (int p = 0; p < d->count; ++p)
            out.emplace_back(d->position[p].x, d->position[p].y);
        return out;
    }

    void addJoint(int a, int c)
    {
        ParticleJoint j;
        j.a = std::min(a, c);
        j.b = std::max(a, c);
        d->joints.insert(j);
    }
};

// The segment distance exactly as the builder's operations define it.
float referenceSegmentDistance(float2 p, float2 a, float2 b)
{
    float2 v = p - a, s = b - a;
    float vv = dot(v, v), vs = dot(v, s), ss = dot(s, s);
    if (vs < 0)
        return vv;
    if (vs > ss)
        return vv - 2 * vs + ss;
    return vv - vs * vs / ss;
}

// Brush particles found by scanning the whole lattice of the bounds.
std::vector<std::pair<float, float>> fullScanBrush(const ParticleData& d, float2 a, float2 b, float width)
{
    std::vector<std::pair<float, float>> out;
    float s = d.standardDistance;
    for (int i = 0; d.boundsLeft - 2 + float(i) * s < d.boundsRight + 2; ++i) {
        for (int j = 0; d.boundsBottom - 2 + float(j) * s < d.boundsTop + 2; ++j) {
            float2 q(d.boundsLeft - 2 + float(i) * s, d.boundsBottom - 2 + float(j) * s);
            if (referenceSegmentDistance(q, a, b) < width * width)
                out.emplace_back(q.x, q.y);
        }
    }
    return out;
}

Pointer<Texture> solidImage(int w, int h, Color c)
{
    auto t = Texture::withSize(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* px = &t->pixels[t->offset(x, y)];
            px[0] = c.red, px[1] = c.green, px[2] = c.blue, px[3] = c.alpha;
        }
    return t;
}

} // namespace

// --- Settings ---------------------------------------------------------------

TEST_F(BuilderTest, StartsWithWallMaterialAndNoLayer)
{
    EXPECT_EQ(b->material(), 'w');
    EXPECT_EQ(b->info(), ParticleData::materialInfo('w'));
    EXPECT_EQ(b->color(), ParticleData::materialColor('w'));
    b->fillRect({10, 10}, {11, 11});
    ASSERT_GT(d->count, 0);
    EXPECT_EQ(d->layer[0], 255);
    EXPECT_EQ(d->info[0], ParticleData::materialInfo('w'));
}

TEST_F(BuilderTest, SetInfoRecomputesNovelAndClearsMaterial)
{
    b->setInfo(Attribute::aqua | Attribute::novel);
    EXPECT_EQ(b->info(), Attribute::aqua);
    EXPECT_EQ(b->material(), 0);
    b->setInfo(Attribute::spring);
    EXPECT_EQ(b->info(), Attribute::spring | Attribute::novel);
}

TEST_F(BuilderTest, MaterialColorFlagDecidesWhetherColourAndMaterialFollowEachOther)
{
    b->setMaterialColorFlag(false);
    b->setMaterial('q');
    EXPECT_EQ(b->color(), ParticleData::materialColor('w'));
    b->setColor(Color{1, 2, 3, 4});
    EXPECT_EQ(b->material(), 'q');
    b->setMaterialColorFlag(true);
    b->setColor(Color{1, 2, 3, 4});
    EXPECT_EQ(b->material(), 0);
}

// --- Pencil -------------------------------------------------------------------

TEST_F(BuilderTest, PencilOverTwoAndAHalfSpacingsPlacesTwoAndReturnsTheThird)
{
    float s = d->standardDistance;
    float2 a(10, 10);
    float2 next = b->drawLine(a, a + float2(2.5f * s, 0));
    ASSERT_EQ(d->count, 2);
    EXPECT_EQ(d->position[0], a);
    EXPECT_FLOAT_EQ(d->position[1].x, 10 + s);
    EXPECT_FLOAT_EQ(next.x, 10 + 2 * s);
    EXPECT_EQ(next.y, 10);
}

TEST_F(BuilderTest, PencilNotLongerThanOneSpacingCreatesNothing)
{
    float2 a(10, 10);
    float2 next = b->drawLine(a, a + float2(0, d->standardDistance));
    EXPECT_EQ(d->count, 0);
    EXPECT_EQ(next, a);
}

TEST_F(BuilderTest, PencilMarksCloseParticlesAndLeavesRemovalToTheCaller)
{
    int close = add({10.1f, 10});
    int far = add({10.4f, 10.5f});
    b->drawLine({10, 10}, {12, 10});
    EXPECT_TRUE(d->info[close] & Attribute::zombie);
    EXPECT_FALSE(d->info[far] & Attribute::zombie);
    d->gc();
    EXPECT_EQ(d->count, 3);
}

// --- Strokes ------------------------------------------------------------------

TEST_F(BuilderTest, SegmentToolsWithEqualEndsChangeNothing)
{
    add({10, 10});
    int r0 = add({10.5f, 10}, 'r', 1);
    add({11, 10}, 'r', 1);
    int e = add({10.5f, 10.5f}, 'e');
    d->bodies.resize(2);
    addJoint(r0, e);
    auto before = positions();
    float2 a(10.5f, 10);
    b->setMaterial('e');
    EXPECT_EQ(b->drawLine(a, a, 2), a);
    b->eraseLine(a, a, 2);
    b->patchLine(a, a, 2);
    b->sliceLine(a, a);
    EXPECT_EQ(positions(), before);
    EXPECT_EQ(d->joints.size(), 1u);
    EXPECT_EQ(d->info[0], ParticleData::materialInfo('q'));
    EXPECT_EQ(d->bodies.size(), 2u);
}

TEST_F(BuilderTest, BrushReplacesWhatLiesWithinTheWidthByLatticeParticles)
{
    int near = add({20.3f, 20.2f});
    int far = add({20, 25});
    b->setMaterial('q');
    b->drawLine({18, 20}, {22, 20}, 1);
    ASSERT_GT(d->count, 2);
    int kept = 0;
    for (int p = 0; p < d->count; ++p) {
        if (d->position[p] == float2(20, 25)) {
            ++kept;
            continue;
        }
        EXPECT_NE(d->position[p], float2(20.3f, 20.2f));
        float i = (d->position[p].x - (d->boundsLeft - 2)) / d->standardDistance;
        EXPECT_NEAR(i, std::round(i), 1e-4);
        EXPECT_LT(std::fabs(d->position[p].y - 20), 1.0f);
        EXPECT_EQ(d->info[p], Attribute::aqua);
    }
    EXPECT_EQ(kept, 1);
    (void)near;
    (void)far;
}

TEST_F(BuilderTest, BrushFindsExactlyTheLatticePointsOfAFullScan)
{
    struct Case {
        float left, bottom, right, top;
        float2 a, b;
        float width;
    };
    const Case cases[] = {
        {0, 0, 64, 48, {10, 10}, {11, 12}, 1},
        {0, 0, 64, 48, {-5, -5}, {70, 50}, 1.5f},      // beyond the bounds on both ends
        {0, 0, 240, 135, {3, 130}, {236, 4}, 0.5f},    // a full-HD scene, corner to corner
        {0, 0, 64, 48, {30, 20}, {30, 20.0001f}, 3},   // almost a point
        {5000, 7000, 5100, 7060, {5010, 7010}, {5090, 7055}, 1}, // large coordinates
        {0, 0, 64, 48, {100, 100}, {120, 100}, 1},     // out of reach of the lattice
    };
    for (const Case& c : cases) {
        d->clear();
        d->boundsLeft = c.left, d->boundsBottom = c.bottom, d->boundsRight = c.right, d->boundsTop = c.top;
        auto expected = fullScanBrush(*d, c.a, c.b, c.width);
        b->drawLine(c.a, c.b, c.width);
        EXPECT_EQ(positions(), expected) << c.a.x << "," << c.a.y << " -> " << c.b.x << "," << c.b.y;
    }
}

// Bounds 0..8000 at spacing 0.75 hold more than 8192 lattice points per row;
// strokes and images far from the lower-left corner still get theirs.
TEST_F(BuilderTest, WideWorldsPaintAndFillEverywhere)
{
    d->boundsRight = 8000;
    for (float x : {6200.0f, 7000.0f, 7990.0f}) {
        d->clear();
        auto expected = fullScanBrush(*d, {x, 10}, {x + 3, 11}, 1);
        ASSERT_FALSE(expected.empty());
        b->drawLine({x, 10}, {x + 3, 11}, 1);
        EXPECT_EQ(positions(), expected) << x;
    }
    d->clear();
    b->fillTexture(solidImage(16, 16, Color{10, 20, 30, 255}), {7000, 20});
    ASSERT_GT(d->count, 0);
    for (int p = 0; p < d->count; ++p) {
        EXPECT_NEAR(d->position[p].x, 7000, 1.1f);
        EXPECT_NEAR(std::remainder(d->position[p].x + 2, 0.75f), 0, 0.01f) << d->position[p].x;
    }
}

// A clear, a load or an undo can shrink the body table under the body of the
// last stroke; the next particles must not join a body that is gone.
TEST_F(BuilderTest, StrokesAfterTheBodyTableShrankJoinOnlyLiveBodies)
{
    b->setMaterial('r');
    b->prepareForDrawing({10, 10}, 1);
    ASSERT_EQ(b->currentBody, 1);
    d->clear();
    ASSERT_EQ(d->bodies.size(), 1u);
    b->drawLine({10, 10}, {12, 10});    // a line of the "Shape" tool: no body set-up
    b->currentBody = 7;
    b->drawLine({10, 20}, {12, 20}, 1); // a brush stroke driven without its set-up
    add({30, 30}, 'q');
    b->currentBody = 9;
    b->patchLine({29, 30}, {31, 30}, 1);
    ASSERT_GT(d->count, 3);
    for (int p = 0; p < d->count; ++p)
        EXPECT_LT(d->body[p], d->bodies.size()) << p;
}

TEST_F(BuilderTest, RigidStrokeJoinsTheRigidBodyItTouches)
{
    d->bodies.resize(4);
    int old = add({10, 10.6f}, 'r', 3); // close enough to join, too far to replace
    b->setMaterial('r');
    b->prepareForDrawing({10, 10}, 1);
    EXPECT_EQ(b->currentBody, 1);
    b->drawLine({10, 10}, {12, 10});
    EXPECT_EQ(b->currentBody, 3);
    ASSERT_EQ(d->count, 3);
    for (int p = 0; p < d->count; ++p)
        EXPECT_EQ(d->body[p], 3);
    EXPECT_FALSE(d->info[old] & Attribute::zombie);
}

TEST_F(BuilderTest, EraseRemovesOnlyWhatTheStrokeTouches)
{
    add({10, 10});
    add({10, 10.9f});
    add({10, 11.1f});
    b->eraseLine({9, 10}, {11, 10}, 1);
    ASSERT_EQ(d->count, 1);
    EXPECT_EQ(d->position[0], float2(10, 11.1f));
}

TEST_F(BuilderTest, ReplaceRepaintsInPlaceButKeepsTheColourOfTexturedBodies)
{
    d->bodies.resize(2);
    d->bodies[1].texture = Texture::withSize(2, 2);
    int plain = add({10, 10});
    int textured = add({11, 10}, 'r', 1);
    d->position[plain] = {10, 10.2f};
    b->setMaterial('e');
    b->setLayer(3);
    b->patchLine({9, 10}, {12, 10}, 1);
    EXPECT_EQ(d->info[plain], ParticleData::materialInfo('e'));
    EXPECT_EQ(d->color[plain], ParticleData::materialColor('e'));
    EXPECT_EQ(d->anchor[plain], float2(10, 10.2f));
    EXPECT_EQ(d->layer[plain], 3);
    EXPECT_EQ(d->info[textured], ParticleData::materialInfo('e'));
    EXPECT_EQ(d->color[textured], ParticleData::materialColor('r'));
    EXPECT_EQ(d->body[textured], 1);
}

// --- Slice --------------------------------------------------------------------

TEST_F(BuilderTest, SliceRemovesAJointItCrossesButNotOneItEndsOn)
{
    int p = add({10, 10}, 'e');
    int q = add({10, 12}, 'e');
    addJoint(p, q);
    b->sliceLine({8, 11}, {10, 11}); // ends exactly on the joint: t = 1
    EXPECT_EQ(d->joints.size(), 1u);
    b->sliceLine({9, 11}, {11, 11});
    EXPECT_TRUE(d->joints.empty());
}

TEST_F(BuilderTest, SliceCutsARigidBarIntoTwoBodiesAndPushesItsParticlesAside)
{
    d->bodies.resize(2);
    for (int i = 0; i < 12; ++i)
        add({10 + 0.75f * float(i), 10}, 'r', 1);
    b->sliceLine({14.2f, 5}, {14.2f, 15});
    std::vector<int> bodies;
    for (int p = 0; p < d->count; ++p) {
        EXPECT_GE(std::fabs(d->position[p].x - 14.2f), 0.999f);
        bodies.push_back(d->body[p]);
    }
    EXPECT_NE(bodies.front(), bodies.back());
    EXPECT_NE(bodies.front(), 1);
    EXPECT_NE(bodies.back(), 1);
    EXPECT_EQ(std::count(bodies.begin(), bodies.end(), bodies.front()) +
                  std::count(bodies.begin(), bodies.end(), bodies.back()),
              12);
}

// --- Rectangle and oval -------------------------------------------------------

TEST_F(BuilderTest, RectangleIsClippedToTheBoundsAndSparesParticlesOnItsEdge)
{
    add({4, 1.1f});   // on the right edge
    add({2, 3});      // on the top edge
    add({1.1f, 1.1f}); // inside
    b->setMaterial('q');
    b->fillRect({-10, -10}, {4, 3});
    int lattice = 0;
    for (int p = 0; p < d->count; ++p) {
        float2 at = d->position[p];
        EXPECT_NE(at, float2(1.1f, 1.1f));
        EXPECT_GE(at.x, 0);
        EXPECT_GE(at.y, 0);
        if (d->info[p] == Attribute::aqua && at != float2(4, 1.1f) && at != float2(2, 3))
            ++lattice;
    }
    EXPECT_EQ(lattice, 6 * 4); // x 0..3.75 and y 0..2.25 in steps of 0.75
    EXPECT_EQ(d->count, 24 + 2);
}

TEST_F(BuilderTest, RectangleOfRigidMaterialMakesABody)
{
    b->setMaterial('r');
    b->fillRect({10, 10}, {12, 12});
    ASSERT_GT(d->count, 0);
    for (int p = 0; p < d->count; ++p)
        EXPECT_EQ(d->body[p], 1);
}

TEST_F(BuilderTest, OvalFillsTheEllipseInscribedInTheRectangle)
{
    float2 a(10, 10), c(16, 14);
    b->setMaterial('q');
    b->fillRect(a, c);
    auto rect = positions();
    d->clear();
    b->fillOval(a, c);
    auto oval = positions();
    ASSERT_FALSE(oval.empty());
    EXPECT_LT(oval.size(), rect.size());
    auto inEllipse = [](std::pair<float, float> p) {
        float u = (p.first - 13) / 3, v = (p.second - 12) / 2;
        return u * u + v * v < 1;
    };
    for (auto p : oval) {
        EXPECT_TRUE(inEllipse(p));
        EXPECT_NE(std::find(rect.begin(), rect.end(), p), rect.end());
    }
    for (auto p : rect) {
        if (!inEllipse(p)) {
            EXPECT_EQ(std::find(oval.begin(), oval.end(), p), oval.end());
        }
    }
    EXPECT_EQ(std::count_if(rect.begin(), rect.end(), inEllipse), long(oval.size()));
}

TEST_F(BuilderTest, OvalRemovesOnlyParticlesInsideTheEllipse)
{
    add({10.2f, 10.2f}); // inside the rectangle, outside the ellipse
    add({13.1f, 12.1f}); // near the centre
    b->fillOval({10, 10}, {16, 14});
    auto all = positions();
    EXPECT_NE(std::find(all.begin(), all.end(), std::make_pair(10.2f, 10.2f)), all.end());
    EXPECT_EQ(std::find(all.begin(), all.end(), std::make_pair(13.1f, 12.1f)), all.end());
}

// --- Flood --------------------------------------------------------------------

TEST_F(BuilderTest, FloodInAnEmptyWorldFillsAllButTheOutermostCells)
{
    b->setMaterial('q');
    b->floodParticles({32, 24});
    int w = int(64 / 0.75f), h = int(48 / 0.75f); // 85 x 64 cells
    EXPECT_EQ(d->count, (w - 2) * (h - 2));
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (int p = 0; p < d->count; ++p) {
        minX = std::min(minX, d->position[p].x), maxX = std::max(maxX, d->position[p].x);
        minY = std::min(minY, d->position[p].y), maxY = std::max(maxY, d->position[p].y);
    }
    EXPECT_FLOAT_EQ(minX, 0.75f);
    EXPECT_FLOAT_EQ(maxX, float(w - 2) * 0.75f);
    EXPECT_FLOAT_EQ(minY, 0.75f);
    EXPECT_FLOAT_EQ(maxY, float(h - 2) * 0.75f);
}

TEST_F(BuilderTest, FloodStaysInsideARingWithAOneCellGap)
{
    float s = d->standardDistance;
    for (int x = 20; x <= 30; ++x)
        for (int y = 20; y <= 30; ++y) {
            bool edge = x == 20 || x == 30 || y == 20 || y == 30;
            if (edge && !(x == 30 && y == 25))
                add({float(x) * s, float(y) * s}, 'w');
        }
    int ring = d->count;
    b->setMaterial('q');
    b->floodParticles({25 * s, 25 * s});
    EXPECT_GT(d->count - ring, 60);
    for (int p = ring; p < d->count; ++p) {
        EXPECT_GT(d->position[p].x, 20 * s);
        EXPECT_LT(d->position[p].x, 30 * s);
        EXPECT_GT(d->position[p].y, 20 * s);
        EXPECT_LT(d->position[p].y, 30 * s);
    }
}

TEST_F(BuilderTest, FloodRepaintsOnlyTheConnectedGroupOfTheSameColour)
{
    float s = d->standardDistance;
    auto block = [&](int x0, int material) {
        for (int x = x0; x < x0 + 4; ++x)
            for (int y = 10; y < 14; ++y)
                add({float(x) * s, float(y) * s}, material);
    };
    block(10, 'q'); // clicked
    block(14, 'v'); // touching, other colour
    block(30, 'q'); // same colour, far away
    b->setMaterial('e');
    b->floodParticles({11 * s, 11 * s});
    for (int p = 0; p < d->count; ++p) {
        int x = int(std::lround(d->position[p].x / s));
        if (x < 14) {
            EXPECT_EQ(d->color[p], ParticleData::materialColor('e'));
            EXPECT_EQ(d->info[p], ParticleData::materialInfo('e'));
        } else if (x < 18) {
            EXPECT_EQ(d->color[p], ParticleData::materialColor('v'));
        } else {
            EXPECT_EQ(d->color[p], ParticleData::materialColor('q'));
        }
    }
    EXPECT_EQ(d->count, 48);
}

TEST_F(BuilderTest, FloodOnATexturedBodyChangesItsAttributesAndDropsItsJoints)
{
    d->bodies.resize(2);
    d->bodies[1].texture = Texture::withSize(1, 1);
    int p = add({10, 10}, 'r', 1);
    int q = add({10.75f, 10}, 'r', 1);
    int e = add({11.5f, 10}, 'e');
    addJoint(q, e);
    b->setMaterial('f');
    b->floodParticles({10, 10});
    EXPECT_EQ(d->info[p], ParticleData::materialInfo('f'));
    EXPECT_EQ(d->info[q], ParticleData::materialInfo('f'));
    EXPECT_EQ(d->color[p], ParticleData::materialColor('r'));
    EXPECT_EQ(d->info[e], ParticleData::materialInfo('e'));
    EXPECT_TRUE(d->joints.empty());
}

TEST_F(BuilderTest, FloodOnBoundsNarrowerThanOneSpacingDoesNothing)
{
    d->boundsRight = 0.5f;
    b->floodParticles({0.25f, 10});
    EXPECT_EQ(d->count, 0);
}

TEST_F(BuilderTest, FloodOnHugeBoundsKeepsItsGridBounded)
{
    d->boundsRight = 1e9f;
    d->boundsTop = 1e9f;
    int p = add({10, 10});
    b->setMaterial('e');
    b->floodParticles({10, 10});
    EXPECT_EQ(d->info[p], ParticleData::materialInfo('e'));
}

// --- Image bodies -------------------------------------------------------------

TEST_F(BuilderTest, TransparentImageMakesAnEmptyTexturedBody)
{
    int p = add({20, 20});
    auto image = Texture::withSize(16, 16);
    b->fillTexture(image, {20, 20});
    ASSERT_EQ(d->bodies.size(), 2u);
    EXPECT_TRUE(d->bodies[1].texture == image);
    EXPECT_EQ(d->bodies[1].textureMin, float2(19, 19));
    EXPECT_EQ(d->bodies[1].textureMax, float2(21, 21));
    EXPECT_EQ(d->count, 1);
    EXPECT_FALSE(d->info[p] & Attribute::zombie);
}

TEST_F(BuilderTest, ImageFillPutsPixelColoursOnTheLatticeOverOpaquePixels)
{
    // 64 x 32 pixels at scale 8 cover 8 x 4 units; the left half is opaque red.
    auto image = Texture::withSize(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            uint8_t* px = &image->pixels[image->offset(x, y)];
            px[0] = 255, px[3] = 200;
        }
    int covered = add({18, 20});
    int beside = add({22, 20});
    b->setMaterial('r');
    b->fillTexture(image, {20, 20}); // lo = (16, 18), hi = (24, 22)

    float s = d->standardDistance;
    std::vector<std::pair<float, float>> expected;
    for (int j = 0; d->boundsBottom - 2 + float(j) * s < d->boundsTop + 2; ++j)
        for (int i = 0; d->boundsLeft - 2 + float(i) * s < d->boundsRight + 2; ++i) {
            float2 q(d->boundsLeft - 2 + float(i) * s, d->boundsBottom - 2 + float(j) * s);
            float u = (q.x - 16) / 8 * 64, v = (q.y - 18) / 4 * 32;
            if (u > -1 && u < 32 && v > -1 && v < 32)
                expected.emplace_back(q.x, q.y);
        }
    auto all = positions();
    ASSERT_EQ(all.size(), expected.size() + 1);
    EXPECT_EQ(all[0], std::make_pair(22.0f, 20.0f));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), all.begin() + 1));
    for (int p = 1; p < d->count; ++p) {
        EXPECT_EQ(d->body[p], 1);
        EXPECT_EQ(d->color[p], (Color{255, 0, 0, 200}));
        EXPECT_EQ(d->info[p], ParticleData::materialInfo('r'));
    }
    (void)covered;
    (void)beside;
}

TEST_F(BuilderTest, ImageFillWithoutATextureOrABodyChangesNothing)
{
    b->fillTexture(nullptr, {10, 10});
    EXPECT_EQ(d->bodies.size(), 1u);
    for (int i = 1; i < kMaxBodies; ++i)
        d->createParticle(d->createBody());
    int before = d->count;
    b->fillTexture(solidImage(8, 8, Color{1, 1, 1, 255}), {10, 10});
    EXPECT_EQ(d->count, before);
}

// --- Dragging and textured bodies --------------------------------------------

TEST_F(BuilderTest, DragSteersNearbyParticlesAndCarriesATouchedTexturedWall)
{
    d->bodies.resize(2);
    d->bodies[1].texture = Texture::withSize(1, 1);
    d->bodies[1].textureMin = {0, 0};
    d->bodies[1].textureMax = {1, 1};
    int free = add({10, 10});
    int wall = add({10.5f, 10}, 'w', 1);
    int other = add({10.5f, 11}, 'r', 1);
    int far = add({30, 30});
    d->velocity[free] = {1, 0};
    b->dragParticles({10, 10}, 1, {0, 0.5f}, 0.5f);
    EXPECT_EQ(d->velocity[free], float2(0.5f, 0.25f));
    EXPECT_EQ(d->velocity[far], float2(0, 0));
    EXPECT_EQ(d->anchor[wall], float2(10.5f, 10.5f));
    EXPECT_EQ(d->anchor[other], float2(10.5f, 11.5f));
    EXPECT_EQ(d->bodies[1].textureMax, float2(1, 1.5f));
}

TEST_F(BuilderTest, MoveToolShiftsEverythingAndTheRestPositionsOfPinnedBodies)
{
    int water = add({10, 10});
    int wall = add({12, 10}, 'w');
    b->dragAllParticles({1, 2});
    EXPECT_EQ(d->position[water], float2(11, 12));
    EXPECT_EQ(d->anchor[water], float2(11, 12)); // body 0 holds a wall
    EXPECT_EQ(d->anchor[wall], float2(13, 12));
}

TEST_F(BuilderTest, UpdateOriginMovesTheRestShapeOfAFreeTexturedBodyToItsParticles)
{
    d->bodies.resize(2);
    d->bodies[1].texture = Texture::withSize(1, 1);
    d->bodies[1].textureMin = {0, 0};
    d->bodies[1].textureMax = {2, 2};
    int p = add({1, 1}, 'r', 1);
    int q = add({2, 1}, 'r', 1);
    d->position[p] = {4, 2};
    d->position[q] = {5, 2};
    b->updateOriginOfTexturedBody();
    EXPECT_EQ(d->anchor[p], float2(4, 2));
    EXPECT_EQ(d->anchor[q], float2(5, 2));
    EXPECT_EQ(d->bodies[1].textureMin, float2(3, 1));
}

TEST_F(BuilderTest, BodyIndicesOutsideTheTableAreHarmless)
{
    d->bodies.resize(2);
    d->bodies[1].texture = Texture::withSize(1, 1);
    add({10, 10}, 'w', 200);
    add({10.5f, 10}, 'r', 201);
    add({11, 10}, 'r', 1);
    b->dragParticles({10, 10}, 2, {1, 0}, 1);
    b->dragAllParticles({1, 0});
    b->updateOriginOfTexturedBody();
    b->splitNearestBody({11.5f, 10}, 2);
    b->floodParticles({11.5f, 10});
    b->sliceLine({11.5f, 5}, {11.5f, 15});
    b->patchLine({9, 10}, {13, 10}, 2);
    b->setMaterial('r');
    b->fillRect({5, 5}, {15, 15});
    EXPECT_GT(d->count, 3);
}

// --- Sampling -----------------------------------------------------------------

TEST_F(BuilderTest, SamplingEmptySpaceKeepsTheSettingsButClearsTheMaterial)
{
    b->setMaterial('q');
    b->setLayer(4);
    b->sampleMaterial({10, 10}, 1);
    EXPECT_EQ(b->material(), 0);
    EXPECT_EQ(b->info(), Attribute::aqua);
    EXPECT_EQ(b->color(), ParticleData::materialColor('q'));
    EXPECT_EQ(b->layer(), 4);
}

TEST_F(BuilderTest, SamplingAParticleTakesItsSettingsWithNovelRecomputed)
{
    d->bodies.resize(3);
    int p = add({10, 10}, 'r', 2);
    d->layer[p] = 7;
    d->info[p] &= ~Attribute::novel;
    b->sampleMaterial({10.2f, 10}, 1);
    EXPECT_EQ(b->info(), ParticleData::materialInfo('r'));
    EXPECT_EQ(b->currentBody, 2);
    EXPECT_EQ(b->layer(), 7);
    EXPECT_EQ(b->color(), ParticleData::materialColor('r'));
}

// --- Degenerate input ---------------------------------------------------------

TEST_F(BuilderTest, UnusableSpacingsMakeEveryFillTerminateWithoutChange)
{
    for (float spacing : {0.0f, -0.75f, kNaN, kInf}) {
        d->clear();
        d->standardDistance = spacing;
        add({10, 10});
        b->setMaterial('q');
        EXPECT_EQ(b->drawLine({5, 5}, {20, 5}), float2(5, 5));
        b->drawLine({5, 10}, {20, 10}, 1);
        b->fillRect({1, 1}, {30, 30});
        b->fillOval({1, 1}, {30, 30});
        b->floodParticles({40, 40});
        b->fillTexture(solidImage(8, 8, Color{1, 1, 1, 255}), {10, 10});
        EXPECT_EQ(d->count, 1) << spacing;
        EXPECT_FALSE(d->info[0] & Attribute::zombie) << spacing;
    }
}

TEST_F(BuilderTest, PencilWithASpacingBelowFloatResolutionStops)
{
    d->standardDistance = 1e-9f;
    b->drawLine({10, 10}, {20, 10});
    EXPECT_GT(d->count, 0);
    EXPECT_LE(d->count, kMaxLineParticles);
}

TEST_F(BuilderTest, NaNPointsChangeNothing)
{
    add({10, 10});
    float2 bad(kNaN, 10);
    b->setMaterial('q');
    b->drawLine(bad, {12, 10});
    b->drawLine(bad, {12, 10}, 1);
    b->eraseLine(bad, {12, 10}, 1);
    b->fillRect(bad, {12, 12});
    b->fillOval(bad, {12, 12});
    b->floodParticles(bad);
    b->sliceLine(bad, {12, 10});
    b->fillTexture(solidImage(8, 8, Color{1, 1, 1, 255}), bad);
    EXPECT_EQ(d->count, 1);
    EXPECT_EQ(d->position[0], float2(10, 10));
}

TEST_F(BuilderTest, ImageAtZeroScaleCoversNothing)
{
    add({10, 10});
    d->scale = 0;
    b->fillTexture(solidImage(8, 8, Color{1, 1, 1, 255}), {10, 10});
    EXPECT_EQ(d->count, 1);
}
