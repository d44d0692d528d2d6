// The small passes of the step: move, join, gravity, density, damping,
// resistance, pouring and draining.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <type_traits>
#include <utility>

#include "cg_math.h"
#include "float4.h"
#include "particle_bounds_zone.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

using namespace Attribute;

void ParticleSimulator::addUpInfo()
{
    const ParticleData& d = *data;
    std::atomic<ParticleInfo> all{0};
    context.forRanges(d.count, [&](int, int first, int end) {
        ParticleInfo some = 0;
        for (int i = first; i < end; ++i)
            some |= d.info[i];
        all.fetch_or(some, std::memory_order_relaxed);
    });
    context.presentInfo = all.load(std::memory_order_relaxed);
}

namespace {

// Moves particle i by its velocity, first capped at the speed limit m (m2 its
// square). Returns false when it marked the particle zombie.
inline bool moveOne(ParticleData& d, int i, float m, float m2)
{
    bool kept = true;
    float2& v = d.velocity[i];
    float s2 = dot(v, v);
    if (!(m2 > s2)) {
        if (s2 > 0) {
            v *= m / std::sqrt(s2);
        } else {
            // Zero speed at a zero limit, or a velocity that is not a number.
            d.info[i] |= zombie;
            kept = false;
        }
    }
    d.position[i] += v;
    d.angle[i] += d.angularVelocity[i];
    return kept;
}

} // namespace

void ParticleSimulator::moveParticles()
{
    ParticleData& d = *data;
    float m = d.maxSpeed;
    float m2 = m * m;
    std::atomic<bool> marked{false};
    context.forRanges(d.count, [&](int, int first, int end) {
        bool kept = true;
        for (int i = first; i < end; ++i)
            kept &= moveOne(d, i, m, m2);
        if (!kept)
            marked.store(true, std::memory_order_relaxed);
    });
    if (marked.load(std::memory_order_relaxed))
        context.gcRequested = true;
}

void ParticleSimulator::moveAndBound()
{
    ParticleData& d = *data;
    float m = d.maxSpeed;
    float m2 = m * m;
    BoundsZone zone(d);
    std::atomic<ParticleInfo> all{0};
    std::atomic<bool> marked{false};
    int n = d.count;
    context.forRanges(n, [&](int t, int first, int end) {
        ParticleInfo some = 0;
        bool kept = true;
        PositionExtent extent;
        for (int i = first; i < end; ++i) {
            some |= d.info[i]; // as the step found it, before a move marks it
            kept &= moveOne(d, i, m, m2);
            zone.at(d, i);
            extent.add(d.position[i]);
        }
        all.fetch_or(some, std::memory_order_relaxed);
        if (!kept)
            marked.store(true, std::memory_order_relaxed);
        context.extents[size_t(t)] = extent;
    });
    context.extentCount = n;
    context.presentInfo = all.load(std::memory_order_relaxed);
    if (marked.load(std::memory_order_relaxed))
        context.gcRequested = true;
}

void ParticleSimulator::joinParticles()
{
    if (!(context.presentInfo & novel))
        return;
    ParticleData& d = *data;
    constexpr ParticleInfo jointed = elastic | spring;
    constexpr ParticleInfo joinable = elastic | spring | rigid | wall;
    for (const ParticleNeighbor& n : d.neighbors) {
        ParticleInfo A = d.info[n.a];
        ParticleInfo B = d.info[n.b];
        if (!((A | B) & novel) || !((A | B) & jointed) || !(A & joinable) || !(B & joinable))
            continue;
        // A particle never joins itself: such a joint would break a < b and
        // pull a particle toward its own position.
        if (n.a == n.b)
            continue;
        int lo = n.a < n.b ? n.a : n.b;
        int hi = n.a < n.b ? n.b : n.a;
        ParticleJoint joint;
        joint.info = A | B;
        joint.a = lo;
        joint.b = hi;
        joint.offset = d.position[hi] - d.position[lo];
        joint.length = std::sqrt(dot(joint.offset, joint.offset));
        joint.strength = 1 - joint.length > 0 ? 1 - joint.length : 0;
        joint.angleA = d.angle[lo];
        joint.angleB = d.angle[hi];
        d.joints.insert(joint); // an existing joint for the pair stays as it is
    }
    for (int i = 0; i < d.count; ++i)
        d.info[i] &= ~novel;
}

void ParticleSimulator::gravitateParticles()
{
    ParticleData& d = *data;
    if (!d.gravityFlag)
        return;
    float2 g = gravity();
    context.forRanges(d.count, [&](int, int first, int end) {
        for (int i = first; i < end; ++i)
            if (!(d.info[i] & (gaseous | wall)))
                d.velocity[i] += g;
    });
}

namespace {

template <bool Bounded, class At>
void addDensity(const SweepPair* pair, const ParticleNeighbor* record, int from, int to, At at, int first, int end,
                float* density)
{
    for (int i = from; i < to; ++i) {
        int k = at(i);
        float w = record[k].weight;
        if (owns<Bounded>(pair[k].a, first, end))
            density[pair[k].a] += w;
        if (owns<Bounded>(pair[k].b, first, end))
            density[pair[k].b] += w;
    }
}

// The densities of the places this task owns, in sweep order: each starts
// from its particle's weight near the bounds and adds the task's records in
// list order.
void sumOwnedDensity(const SweepPair* pair, const ParticleNeighbor* record, const PairTask& task, const int* order,
                     const float* boundWeight, float* density)
{
    for (int i = task.first; i < task.end; ++i)
        density[i] = boundWeight[order[i]];
    walkPairTask(task, [&](auto bounded, int from, int to, auto at) {
        addDensity<decltype(bounded)::value>(pair, record, from, to, at, task.first, task.end, density);
    });
}

// Damping of records recordAt(from .. to - 1): impulses are gathered into delta and each
// record is refreshed from the current positions (what
// updateParticleNeighbors does) in the same pass that uses it, which saves
// reading the whole list twice. Four records at a time: the lanes do the
// scalar operations in the same order, and the impulses are added one record
// after another, so every particle's sum is the same in any split.
template <bool Bounded, class At>
void dampPairs(const SweepPair* pair, ParticleNeighbor* record, int from, int to, At recordAt, int first, int end,
               const float2* position, const float2* velocity, float2* delta, float c)
{
    int i = from;
    // Listed records are few and scattered: one by one.
    for (; std::is_same_v<At, NextRecord> && i + kLanes <= to; i += kLanes) {
        int k = i;
        const SweepPair* at = pair + k;
        // Differences of whole float2 values, then split into x and y lanes.
        auto difference = [&](const float2* v) {
            Float4 low = loadPair(v[at[0].b], v[at[1].b]) - loadPair(v[at[0].a], v[at[1].a]);
            Float4 high = loadPair(v[at[2].b], v[at[3].b]) - loadPair(v[at[2].a], v[at[3].a]);
            return std::pair{evenLanes(low, high), oddLanes(low, high)};
        };
        auto [dx, dy] = difference(position);
        Float4 r2 = dx * dx + dy * dy;
        Int4 close = r2 < 1.0f;
        Float4 weight, ux, uy;
        neighborWeight4(dx, dy, r2, weight, ux, uy);
        weight = keptIf(close, weight);
        ux = keptIf(close, ux);
        uy = keptIf(close, uy);
        auto [vx, vy] = difference(velocity);
        Float4 dotted = vx * ux + vy * uy;
        // Only approaching pairs are damped. Whether a pair approaches is a
        // coin toss to the branch predictor, so receding pairs add an exact
        // zero instead: the sums start at +0 and can never become -0, so
        // adding a zero of either sign leaves them unchanged.
        Int4 approaching = dotted < 0.0f;
        Float4 ck = c * dotted;
        Float4 jx = keptIf(approaching, ux * ck);
        Float4 jy = keptIf(approaching, uy * ck);
        Float4 direction[2] = {lowPairs(ux, uy), highPairs(ux, uy)};
        Float4 impulse[2] = {lowPairs(jx, jy), highPairs(jx, jy)};
        for (int lane = 0; lane < kLanes; ++lane) {
            Float4 u = direction[lane / 2];
            Float4 j = impulse[lane / 2];
            if (lane % 2) {
                u = upperHalf(u);
                j = upperHalf(j);
            }
            int a = at[lane].a;
            int b = at[lane].b;
            // A record belongs to the task that owns its first place.
            if (owns<Bounded>(a, first, end)) {
                ParticleNeighbor& r = record[k + lane];
                r.weight = weight[lane];
                storeLow(r.direction, u);
                addLow(delta[a], j);
            }
            if (owns<Bounded>(b, first, end))
                subtractLow(delta[b], j);
        }
    }
    for (; i < to; ++i) {
        int k = recordAt(i);
        int a = pair[k].a;
        int b = pair[k].b;
        float weight;
        float2 direction;
        if (!neighborKernel(position[b] - position[a], weight, direction)) {
            weight = 0;
            direction = {0, 0};
        }
        float dotted = dot(velocity[b] - velocity[a], direction);
        float2 j = keptIf(dotted < 0, direction * (c * dotted));
        if (owns<Bounded>(a, first, end)) {
            record[k].weight = weight;
            record[k].direction = direction;
            delta[a] += j;
        }
        if (owns<Bounded>(b, first, end))
            delta[b] -= j;
    }
}

} // namespace

void ParticleSimulator::updateParticleDensity()
{
    ParticleData& d = *data;
    const int* order = context.sweepFrame(d);
    int n = d.count;
    float* density = scratch(context.sweptDensity, n);
    const SweepPair* pair = context.sweepPairs.data();
    const ParticleNeighbor* record = d.neighbors.data();
    // Each task sums the places it owns over the records that touch them,
    // in list order, so each sum adds its terms in the order of one thread.
    context.forPairRanges(d, [&](const PairTask& task) {
        sumOwnedDensity(pair, record, task, order, d.boundWeight, density);
        for (int i = task.first; i < task.end; ++i)
            d.density[order[i]] = density[i];
    });
}

void ParticleSimulator::gravitateAndWeigh()
{
    ParticleData& d = *data;
    const int* order = context.sweepFrame(d);
    int n = d.count;
    bool falling = d.gravityFlag;
    float2 g = gravity();
    // Each particle's pressure follows from its density alone (static
    // pressure, which runs in between, changes neither), so the pressure
    // pass's sweep-order copy is made here, where the densities are at hand.
    float d0 = d.standardDensity;
    float k = d.pressureCoefficient;
    bool walls = context.presentInfo & (powder | wall);
    float* density = scratch(context.sweptDensity, n);
    float* pressure = scratch(context.sweptPressure, n);
    ParticleInfo* info = walls ? scratch(context.sweptInfo, n) : nullptr;
    const SweepPair* pair = context.sweepPairs.data();
    const ParticleNeighbor* record = d.neighbors.data();
    context.forPairRanges(d, [&](const PairTask& task) {
        int first = task.first, end = task.end;
        // Gravity takes the particles numbered like the places this task owns.
        if (falling)
            for (int i = first; i < end; ++i)
                if (!(d.info[i] & (gaseous | wall)))
                    d.velocity[i] += g;
        sumOwnedDensity(pair, record, task, order, d.boundWeight, density);
        for (int i = first; i < end; ++i) {
            d.density[order[i]] = density[i];
            pressure[i] = std::max(0.0f, (density[i] - d0) * k);
        }
        if (info)
            for (int i = first; i < end; ++i)
                info[i] = d.info[order[i]];
    });
}

void ParticleSimulator::collideParticles()
{
    ParticleData& d = *data;
    if (!d.dampingFlag)
        return;
    const int* order = context.sweepFrame(d);
    context.gather(context.sweptPosition, d.position, context.sweptVelocity, d.velocity, order, d.count);
    dampSwept();
}

// Damping over positions and velocities already in sweep order.
void ParticleSimulator::dampSwept()
{
    ParticleData& d = *data;
    float c = d.dampingCoefficient;
    const int* order = d.order;
    int n = d.count;
    const float2* position = context.sweptPosition.data();
    const float2* velocity = context.sweptVelocity.data();
    float2* delta = scratch(context.sweptDelta, n);
    const SweepPair* pair = context.sweepPairs.data();
    ParticleNeighbor* record = d.neighbors.data();
    context.forPairRanges(d, [&](const PairTask& task) {
        int first = task.first, end = task.end;
        std::fill(delta + first, delta + end, float2(0, 0));
        walkPairTask(task, [&](auto bounded, int from, int to, auto at) {
            dampPairs<decltype(bounded)::value>(pair, record, from, to, at, first, end, position, velocity, delta, c);
        });
        for (int i = first; i < end; ++i) {
            int p = order[i];
            d.delta[p] = delta[i];
            d.velocity[p] = velocity[i] + delta[i];
        }
    });
}

void ParticleSimulator::refreshNeighbors()
{
    ParticleData& d = *data;
    ParticleNeighbor* record = d.neighbors.data();
    // Each record from its own two positions alone.
    context.forRanges(int(d.neighbors.size()), [&](int, int first, int end) {
        for (int k = first; k < end; ++k) {
            ParticleNeighbor& r = record[k];
            if (!neighborKernel(d.position[r.b] - d.position[r.a], r.weight, r.direction)) {
                r.weight = 0;
                r.direction = {0, 0};
            }
        }
    });
}

void ParticleSimulator::resistParticles()
{
    ParticleData& d = *data;
    if (!d.resistanceFlag)
        return;
    float d0 = d.standardDensity;
    float k = d.resistanceCoefficient / d0;
    for (int i = 0; i < d.count; ++i) {
        if (d.density[i] < d0) {
            float f = 1 - (d0 - d.density[i]) * k;
            d.velocity[i] *= f;
            d.angularVelocity[i] *= f;
        }
    }
}

void ParticleSimulator::pourParticles()
{
    ParticleData& d = *data;
    if (!d.pouringFlag)
        return;
    float left = d.boundsLeft + d.boundsRadius;
    float right = d.boundsRight - d.boundsRadius;
    float spacing = d.standardDistance;
    float v = d.pouringVelocity;
    float y = d.boundsTop - 1;
    ParticleInfo rowInfo = ParticleData::materialInfo(d.pouringMaterial) & ~(zombie | wall | rigid);
    Color rowColor = ParticleData::materialColor(d.pouringMaterial);
    float period = spacing / v;

    if (d.pouringTimer >= period) {
        float from = d.pouringLocation - d.pouringThickness;
        float to = d.pouringLocation + d.pouringThickness;
        // A spacing that is not positive would never reach the end of the row.
        if (to > from && spacing > 0) {
            int emitted = 0;
            for (float x = from;;) {
                int p = d.createParticle(0);
                d.info[p] = rowInfo;
                d.layer[p] = uint8_t(d.pouringLayer);
                d.color[p] = rowColor;
                d.velocity[p] = {0, -v};
                d.position[p] = d.pouringRainFlag ? float2(left + frand() * (right - left), y) : float2(x, y);
                float next = x + spacing;
                // Stop where the spacing no longer advances x or the row grows absurd.
                if (!(next < to) || next == x || ++emitted >= kMaxPouringRow)
                    break;
                x = next;
            }
        }
        d.pouringTimer -= period;
    }
    d.pouringTimer += 1;
}

void ParticleSimulator::drainParticles()
{
    ParticleData& d = *data;
    if (d.boundsFlag)
        return;
    for (int i = 0; i < d.count; ++i) {
        float2 p = d.position[i];
        bool inside = d.boundsLeft < p.x && p.x < d.boundsRight && d.boundsBottom < p.y && p.y < d.boundsTop;
        if (!inside) {
            d.info[i] |= zombie;
            context.gcRequested = true;
        }
    }
}

} // namespace Zeb::Kamblo
