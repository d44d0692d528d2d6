#include "particle_data.h"
#include "particle_step_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <utility>
#include <vector>

using namespace Zeb::Kamblo;

namespace {

Pointer<ParticleData> makeScene() { return autorelease(new ParticleData()); }

int addAt(ParticleData& d, float x, float y)
{
    int p = d.createParticle(0);
    d.info[p] = Attribute::aqua;
    d.position[p] = {x, y};
    return p;
}

float lengthOf(float2 v) { return std::sqrt(v.x * v.x + v.y * v.y); }

// count particles scattered uniformly over [0, side) squared.
Pointer<ParticleData> scatteredScene(std::mt19937& rng, int count, float side)
{
    std::uniform_real_distribution<float> u(0, side);
    auto d = makeScene();
    for (int i = 0; i < count; ++i)
        addAt(*d, u(rng), u(rng));
    return d;
}

} // namespace

TEST(NeighborKernel, SampleValues)
{
    float w;
    float2 n;
    ASSERT_TRUE(neighborKernel({0.75f, 0}, w, n));
    EXPECT_FLOAT_EQ(w, 0.2506245f);
    EXPECT_FLOAT_EQ(n.x, 0.9991674f);
    EXPECT_EQ(n.y, 0);

    ASSERT_TRUE(neighborKernel({0.5f, 0.5f}, w, n));
    EXPECT_FLOAT_EQ(w, 0.2941176f);
    EXPECT_FLOAT_EQ(n.x, 0.7058824f);
    EXPECT_FLOAT_EQ(n.y, 0.7058824f);

    ASSERT_TRUE(neighborKernel({0, 0.2f}, w, n));
    EXPECT_FLOAT_EQ(w, 0.8659794f);
    EXPECT_FLOAT_EQ(lengthOf(n), 0.6701030f);

    ASSERT_TRUE(neighborKernel({0, 0}, w, n));
    EXPECT_EQ(w, 1.0f);
    EXPECT_EQ(n, float2(0, 0));

    EXPECT_FALSE(neighborKernel({1, 0}, w, n)); // exactly 1 is outside
    EXPECT_FALSE(neighborKernel({std::nanf(""), 0}, w, n));
}

TEST(NeighborKernel, FourLatticeNeighboursGiveTheRestDensity)
{
    float w;
    float2 n;
    neighborKernel({0.75f, 0}, w, n);
    auto d = makeScene();
    EXPECT_FLOAT_EQ(4 * w, d->standardDensity);
}

TEST(NeighborSearch, PairOnALine)
{
    auto d = makeScene();
    addAt(*d, 3.75f, 5.2f);
    addAt(*d, 3.0f, 5.2f);
    d->searchParticleNeighbors();
    ASSERT_EQ(d->neighbors.size(), 1u);
    const ParticleNeighbor& r = d->neighbors[0];
    EXPECT_EQ(r.a, 1); // the left one comes first in sweep order
    EXPECT_EQ(r.b, 0);
    EXPECT_FLOAT_EQ(r.weight, 0.2506245f);
    EXPECT_FLOAT_EQ(r.direction.x, 0.9991674f);
}

TEST(NeighborSearch, DistanceOneIsNoPairAndEmptySceneIsEmpty)
{
    auto d = makeScene();
    d->searchParticleNeighbors();
    EXPECT_TRUE(d->neighbors.empty());
    addAt(*d, 2, 2.5f);
    addAt(*d, 3, 2.5f);
    d->searchParticleNeighbors();
    EXPECT_TRUE(d->neighbors.empty());
}

TEST(NeighborSearch, AcrossStripsTheLowerParticleIsA)
{
    auto d = makeScene();
    addAt(*d, 0.5f, 1.1f);
    addAt(*d, 0.5f, 0.9f);
    d->searchParticleNeighbors();
    ASSERT_EQ(d->neighbors.size(), 1u);
    EXPECT_EQ(d->neighbors[0].a, 1);
    EXPECT_EQ(d->neighbors[0].b, 0);
}

TEST(NeighborSearch, SameStripScanStopsAfterSeven)
{
    auto d = makeScene();
    for (int i = 0; i < 9; ++i)
        addAt(*d, 10 + 0.05f * i, 3.5f);
    d->searchParticleNeighbors();
    // Particle i sees min(7, 8 - i) partners: 7+7+6+5+4+3+2+1 = 35 of the 36 pairs.
    EXPECT_EQ(d->neighbors.size(), 35u);
    std::map<int, int> partners;
    for (const ParticleNeighbor& r : d->neighbors)
        ++partners[r.a];
    EXPECT_EQ(partners[0], 7);
}

TEST(NeighborSearch, UpdateZeroesPairsThatMovedApart)
{
    auto d = makeScene();
    addAt(*d, 1, 1);
    addAt(*d, 1.5f, 1);
    d->searchParticleNeighbors();
    ASSERT_EQ(d->neighbors.size(), 1u);
    d->position[1] = {5, 1};
    d->updateParticleNeighbors();
    ASSERT_EQ(d->neighbors.size(), 1u);
    EXPECT_EQ(d->neighbors[0].weight, 0);
    EXPECT_EQ(d->neighbors[0].direction, float2(0, 0));
    d->position[1] = {1.75f, 1};
    d->updateParticleNeighbors();
    EXPECT_FLOAT_EQ(d->neighbors[0].weight, 0.2506245f);
}

TEST(NeighborSearch, NonFinitePositionsFormNoPairAndDoNotDisturbTheRest)
{
    auto d = makeScene();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(0, 6);
    for (int i = 0; i < 400; ++i) {
        switch (i % 5) {
        case 0: addAt(*d, nan, u(rng)); break;
        case 1: addAt(*d, u(rng), inf); break;
        default: addAt(*d, u(rng), u(rng)); break;
        }
    }
    d->searchParticleNeighbors();
    for (const ParticleNeighbor& r : d->neighbors) {
        EXPECT_NE(r.a % 5, 0);
        EXPECT_NE(r.a % 5, 1);
        EXPECT_NE(r.b % 5, 0);
        EXPECT_NE(r.b % 5, 1);
    }
    // order stays a permutation
    std::vector<int> seen(size_t(d->count), 0);
    for (int i = 0; i < d->count; ++i)
        ++seen[size_t(d->order[i])];
    for (int s : seen)
        EXPECT_EQ(s, 1);
}

// Checks the sweep against a brute-force search: every reported pair is real,
// carries the exact kernel values, appears once, and every missed pair is one
// that the scan windows could not reach.
class NeighborSearchAgainstBruteForce : public ::testing::TestWithParam<int> {};

TEST_P(NeighborSearchAgainstBruteForce, RandomScenes)
{
    std::mt19937 rng{unsigned(GetParam())};
    auto d = makeScene();
    // Dense scenes exceed the windows; sparse ones must match exactly.
    int n = GetParam() % 2 ? 600 : 150;
    std::uniform_real_distribution<float> ux(0, 20), uy(0, 10);
    for (int i = 0; i < n; ++i)
        addAt(*d, ux(rng), uy(rng));
    // A few exact duplicates and lattice points to exercise ties.
    for (int i = 0; i < 10; ++i)
        addAt(*d, 5 + 0.75f * i, 5);
    addAt(*d, 5, 5);
    d->searchParticleNeighbors();

    std::map<std::pair<int, int>, const ParticleNeighbor*> found;
    for (const ParticleNeighbor& r : d->neighbors) {
        auto key = std::minmax(r.a, r.b);
        ASSERT_TRUE(found.emplace(key, &r).second) << "pair reported twice";
        float w;
        float2 dir;
        ASSERT_TRUE(neighborKernel(d->position[r.b] - d->position[r.a], w, dir));
        EXPECT_EQ(r.weight, w);
        EXPECT_EQ(r.direction, dir);
    }

    // Sweep rank of each particle, to tell which misses the windows explain.
    std::vector<int> rank(size_t(d->count));
    for (int i = 0; i < d->count; ++i)
        rank[size_t(d->order[i])] = i;
    int missed = 0;
    for (int p = 0; p < d->count; ++p) {
        for (int q = p + 1; q < d->count; ++q) {
            float w;
            float2 dir;
            float2 off = d->position[q] - d->position[p];
            if (!neighborKernel(off, w, dir) || found.count({p, q}))
                continue;
            ++missed;
            int first = rank[size_t(p)] < rank[size_t(q)] ? p : q;
            int second = first == p ? q : p;
            bool sameStrip = std::floor(d->position[first].y) == std::floor(d->position[second].y);
            if (sameStrip) {
                EXPECT_GT(rank[size_t(second)] - rank[size_t(first)], 7) << p << " " << q;
            } else {
                // More than 16 candidates of the next strip lie within its window.
                int crowd = 0;
                float x = d->position[first].x;
                float f = std::floor(d->position[first].y);
                for (int k = 0; k < d->count; ++k) {
                    float2 c = d->position[k];
                    if (std::floor(c.y) == f + 1 && c.x > x - 1 && rank[size_t(k)] < rank[size_t(second)])
                        ++crowd;
                }
                EXPECT_GE(crowd, 16) << p << " " << q;
            }
        }
    }
    if (n == 150) {
        EXPECT_EQ(missed, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, NeighborSearchAgainstBruteForce, ::testing::Range(1, 9));

TEST(NeighborSearch, SameResultFromAnyStartingOrder)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(0, 8);
    auto a = makeScene();
    for (int i = 0; i < 500; ++i)
        addAt(*a, std::round(u(rng) * 4) / 4, std::round(u(rng) * 4) / 4); // many ties
    auto b = makeScene();
    b->copy(a);
    std::shuffle(b->order, b->order + b->count, rng);
    a->searchParticleNeighbors();
    b->searchParticleNeighbors();
    ASSERT_EQ(a->neighbors.size(), b->neighbors.size());
    for (size_t i = 0; i < a->neighbors.size(); ++i) {
        EXPECT_EQ(a->neighbors[i].a, b->neighbors[i].a);
        EXPECT_EQ(a->neighbors[i].b, b->neighbors[i].b);
    }
}

namespace {

// The sweep order written as a plain comparison: strip, then x, then number,
// with non-finite positions last in number order.
std::vector<int> referenceOrder(const ParticleData& d)
{
    std::vector<int> order(size_t(d.count));
    for (int i = 0; i < d.count; ++i)
        order[size_t(i)] = i;
    auto finite = [&d](int p) { return std::isfinite(d.position[p].x) && std::isfinite(d.position[p].y); };
    std::sort(order.begin(), order.end(), [&](int p, int q) {
        if (finite(p) != finite(q))
            return finite(p);
        if (!finite(p))
            return p < q;
        float sp = std::floor(d.position[p].y), sq = std::floor(d.position[q].y);
        if (sp != sq)
            return sp < sq;
        if (d.position[p].x != d.position[q].x)
            return d.position[p].x < d.position[q].x;
        return p < q;
    });
    return order;
}

void expectReferenceOrder(const ParticleData& d)
{
    std::vector<int> expected = referenceOrder(d);
    ASSERT_EQ(expected.size(), size_t(d.count));
    for (int i = 0; i < d.count; ++i)
        ASSERT_EQ(d.order[i], expected[size_t(i)]) << "at sweep position " << i;
}

} // namespace

// Small moves, large moves and ties must all give exactly the order a full
// comparison sort gives.
TEST(NeighborSearch, OrderMatchesAFullSortAcrossSmallAndLargeMoves)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-20, 20), jitter(-0.3f, 0.3f);
    auto d = makeScene();
    for (int i = 0; i < 3000; ++i)
        addAt(*d, std::round(u(rng) * 2) / 2, std::round(u(rng) * 2) / 2); // many ties
    addAt(*d, -0.0f, 0.5f);
    addAt(*d, 0.0f, 0.5f); // -0 and +0 tie, broken by number
    addAt(*d, 1.0f, -0.0f);
    d->searchParticleNeighbors();
    expectReferenceOrder(*d);

    for (int step = 0; step < 5; ++step) { // nearly sorted: a few moves each
        for (int i = 0; i < d->count; i += 7)
            d->position[i] += float2(jitter(rng), jitter(rng));
        d->searchParticleNeighbors();
        expectReferenceOrder(*d);
    }
    for (int i = 0; i < d->count; ++i) // scrambled: far beyond a few moves
        d->position[i] = {u(rng), u(rng)};
    d->position[17] = {std::numeric_limits<float>::quiet_NaN(), 1};
    d->searchParticleNeighbors();
    expectReferenceOrder(*d);

    // The pair list is the one a fresh scene with the same positions finds.
    auto fresh = makeScene();
    fresh->copy(d);
    for (int i = 0; i < fresh->count; ++i)
        fresh->order[i] = i;
    fresh->searchParticleNeighbors();
    ASSERT_EQ(fresh->neighbors.size(), d->neighbors.size());
    for (size_t i = 0; i < d->neighbors.size(); ++i) {
        EXPECT_EQ(d->neighbors[i].a, fresh->neighbors[i].a);
        EXPECT_EQ(d->neighbors[i].b, fresh->neighbors[i].b);
        EXPECT_EQ(d->neighbors[i].weight, fresh->neighbors[i].weight);
    }
}

// gc renumbers the particles and resets `order`; the next search must still
// give the full-sort order, also when particles were created after the gc.
TEST(NeighborSearch, OrderMatchesAFullSortAfterGcAndCreation)
{
    std::mt19937 rng(9);
    std::uniform_real_distribution<float> u(0, 15);
    auto d = scatteredScene(rng, 800, 15);
    d->searchParticleNeighbors();
    for (int i = 0; i < d->count; i += 3)
        d->info[i] |= Attribute::zombie;
    d->gc();
    for (int i = 0; i < d->count; ++i)
        ASSERT_EQ(d->order[i], i);
    d->searchParticleNeighbors();
    expectReferenceOrder(*d);

    d->gc();
    for (int i = 0; i < 5; ++i)
        addAt(*d, u(rng), u(rng));
    d->searchParticleNeighbors();
    expectReferenceOrder(*d);
}

// Most scenes pack each particle's place into one word; scenes spread over
// extreme coordinates cannot, and tiny scenes skip the radix passes. Each way
// must give the full-sort order and the same pairs.
TEST(NeighborSearch, OrderMatchesAFullSortForEveryExtentOfScene)
{
    std::mt19937 rng(21);
    std::uniform_real_distribution<float> u(0, 30);
    const float far[][2] = {
        {1e30f, 2},            // x bits span nearly everything
        {3, -1e30f},           // strips span far beyond what packs
        {-3.4e38f, 3.4e38f},   // both at the ends of the float range
        {5, 16777216.0f},      // 2^24 strips up: just beyond what packs
        {5, 8388608.0f},       // 2^23 strips up: still packs
        {5, 700},              // tall: the narrowest coarse x
        {5, 3000},             // taller: a third radix digit, the widest coarse x
    };
    for (int count : {1, 2, 100, 255, 256, 2000}) {
        for (int extreme = -1; extreme < int(std::size(far)); ++extreme) {
            auto d = makeScene();
            for (int i = 0; i < count; ++i)
                addAt(*d, std::round(u(rng) * 2) / 2, std::round(u(rng) * 2) / 2);
            if (extreme >= 0)
                addAt(*d, far[extreme][0], far[extreme][1]);
            if (extreme == 2)
                addAt(*d, 3.4e38f, 7); // x now spans more than a float holds
            d->searchParticleNeighbors();
            SCOPED_TRACE(testing::Message() << count << " particles, extreme " << extreme);
            expectReferenceOrder(*d);

            auto shuffled = makeScene();
            shuffled->copy(d);
            std::shuffle(shuffled->position, shuffled->position + shuffled->count, rng);
            shuffled->searchParticleNeighbors();
            expectReferenceOrder(*shuffled);
        }
    }
}

// The search also leaves every pair as two places in sweep order; passes that
// walk the list in sweep order, and split it between threads, rely on those
// naming the record's particles, on each place's first record and on the
// reach of the longest pair. Searches split between tasks give the same list.
TEST(NeighborSearch, SweepFrameNamesTheRecordsAndSplitsExactly)
{
    std::mt19937 rng(3);
    auto d = scatteredScene(rng, 600, 12);
    addAt(*d, std::numeric_limits<float>::quiet_NaN(), 1); // placed last, in no pair
    StepContext context;
    context.setThreads(1);
    context.searchNeighbors(*d);
    const int* order = context.sweepFrame(*d);
    ASSERT_TRUE(context.searchedFrame(*d));
    ASSERT_EQ(context.sweepPairs.size(), d->neighbors.size());
    ASSERT_GT(d->neighbors.size(), 600u);
    int reach = 0;
    for (size_t k = 0; k < d->neighbors.size(); ++k) {
        SweepPair at = context.sweepPairs[k];
        EXPECT_EQ(order[at.a], d->neighbors[k].a);
        EXPECT_EQ(order[at.b], d->neighbors[k].b);
        EXPECT_LT(at.a, at.b);
        EXPECT_LE(context.pairStart[size_t(at.a)], int(k));
        EXPECT_GT(context.pairStart[size_t(at.a) + 1], int(k));
        reach = std::max(reach, at.b - at.a);
    }
    EXPECT_GE(context.pairReach, reach); // a bound: never less than the longest pair
    EXPECT_EQ(context.pairStart[size_t(d->count)], int(d->neighbors.size()));

    std::vector<ParticleNeighbor> one = d->neighbors;
    std::vector<int> start = context.pairStart;
    // A copy of the scene searched with the list split between threads.
    auto searchSplit = [&](const auto& from, int threads, StepContext& split) {
        auto copy = makeScene();
        copy->copy(from);
        split.setThreads(threads);
        split.particlesPerTask = 50;
        split.yieldsToLoad = false;
        split.searchNeighbors(*copy);
        return copy;
    };
    for (int threads : {2, 3, 8}) {
        StepContext split;
        auto copy = searchSplit(d, threads, split);
        ASSERT_EQ(copy->neighbors.size(), one.size()) << threads << " threads";
        EXPECT_EQ(0, std::memcmp(copy->neighbors.data(), one.data(), one.size() * sizeof one[0]));
        EXPECT_EQ(split.pairStart, start);
        EXPECT_EQ(split.pairReach, context.pairReach);
    }
    // Strips beyond 2^23 are swept in one run, however many threads there are.
    auto high = makeScene();
    high->copy(d);
    for (int i = 0; i < high->count; ++i)
        high->position[i].y = high->position[i].y * 8 + 16777216.0f;
    high->searchParticleNeighbors();
    std::vector<ParticleNeighbor> highOne = high->neighbors;
    ASSERT_GT(highOne.size(), 0u);
    for (int threads : {2, 8}) {
        StepContext split;
        auto copy = searchSplit(high, threads, split);
        ASSERT_EQ(copy->neighbors.size(), highOne.size()) << threads << " threads, high strips";
        EXPECT_EQ(0, std::memcmp(copy->neighbors.data(), highOne.data(), highOne.size() * sizeof highOne[0]));
    }

    // Once particles change, or the list is made elsewhere, places become
    // particle numbers again.
    d->neighbors.resize(5);
    order = context.sweepFrame(*d);
    EXPECT_FALSE(context.searchedFrame(*d));
    for (int i = 0; i < d->count; ++i)
        ASSERT_EQ(order[i], i);
    for (size_t k = 0; k < d->neighbors.size(); ++k) {
        EXPECT_EQ(context.sweepPairs[k].a, d->neighbors[k].a);
        EXPECT_EQ(context.sweepPairs[k].b, d->neighbors[k].b);
    }
    context.searchNeighbors(*d);
    addAt(*d, 1, 1);
    order = context.sweepFrame(*d);
    for (int i = 0; i < d->count; ++i)
        ASSERT_EQ(order[i], i);
}

// Particles heaped within a hair of one spot, in a scene wide enough that they
// cannot be told apart roughly, still come out in exact order (and quickly
// enough that 6,000 of them are no trouble).
TEST(NeighborSearch, OrderIsExactForParticlesHeapedOnOneSpot)
{
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> hair(0, 0.001f);
    auto d = makeScene();
    addAt(*d, 0, 5.5f);
    addAt(*d, 1000, 5.5f);
    for (int i = 0; i < 6000; ++i)
        addAt(*d, 10 + hair(rng), 5 + hair(rng));
    std::shuffle(d->position, d->position + d->count, rng);
    d->searchParticleNeighbors();
    expectReferenceOrder(*d);
    // A few particles sharing a rough x with the rest spread out: the short
    // runs are ordered on the spot.
    for (int i = 0; i < d->count; i += 2)
        d->position[i] = {float(i) * 0.01f, 5.25f};
    d->searchParticleNeighbors();
    expectReferenceOrder(*d);
}

// Far up, a strip's upper edge rounds onto the strip itself (f + 1 == f).
// Pairs found there (strips that far up mean little) are still each found
// once, and no particle pairs with itself.
TEST(NeighborSearch, FarFromTheOriginEachPairIsFoundOnceAndNeverWithItself)
{
    for (float height : {3.0e7f, 1.0e9f, 2.1e9f}) {
        auto d = makeScene();
        for (int i = 0; i < 12; ++i)
            addAt(*d, float(i % 4) * 0.5f, height + float(i / 4) * 256.0f);
        d->searchParticleNeighbors();
        std::set<std::pair<int, int>> seen;
        for (const ParticleNeighbor& n : d->neighbors) {
            EXPECT_NE(n.a, n.b) << "at height " << height;
            EXPECT_TRUE(seen.insert({std::min(n.a, n.b), std::max(n.a, n.b)}).second)
                << "pair (" << n.a << ", " << n.b << ") twice at height " << height;
        }
    }
}
