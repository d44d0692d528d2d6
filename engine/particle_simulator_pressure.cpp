// The density pressure that keeps fluids from collapsing, and the optional
// static-pressure solver that removes converging velocity.
#include <algorithm>
#include <atomic>

#include "cg_math.h"
#include "particle_bounds_zone.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

using namespace Attribute;

namespace {

// Nothing but mutual pushes.
template <bool Bounded, class At>
void pushPairs(const SweepPair* pair, const ParticleNeighbor* record, int from, int to, At at, int first, int end,
               const float* pressure, float2* delta)
{
    for (int i = from; i < to; ++i) {
        int k = at(i);
        int a = pair[k].a;
        int b = pair[k].b;
        float2 F = record[k].direction * ((pressure[a] + pressure[b]) * record[k].weight);
        if (owns<Bounded>(a, first, end))
            delta[a] -= F;
        if (owns<Bounded>(b, first, end))
            delta[b] += F;
    }
}

template <bool Bounded, class At>
void pushPairsWithWalls(const SweepPair* pair, const ParticleNeighbor* record, int from, int to, At at, int first,
                        int end, const float* pressure, const ParticleInfo* info, float repulsion, float2* delta)
{
    for (int i = from; i < to; ++i) {
        int k = at(i);
        int a = pair[k].a;
        int b = pair[k].b;
        const ParticleNeighbor& n = record[k];
        ParticleInfo A = info[a];
        ParticleInfo B = info[b];
        float2 F = n.direction * ((pressure[a] + pressure[b]) * n.weight);
        if (A & B & (powder | wall))
            continue; // powder grains and walls do not push their own kind
        if (A & wall) {
            // The wall stays put; the other particle takes the whole push.
            if (owns<Bounded>(b, first, end))
                delta[b] += F * 2.0f + n.direction * (repulsion * n.weight);
        } else if (B & wall) {
            if (owns<Bounded>(a, first, end))
                delta[a] -= F * 2.0f + n.direction * (repulsion * n.weight);
        } else {
            if (owns<Bounded>(a, first, end))
                delta[a] -= F;
            if (owns<Bounded>(b, first, end))
                delta[b] += F;
        }
    }
}

// The pushes on the places this task owns, from its records, summed in sweep
// order and handed back to each particle's delta.
void pushOwnedPlaces(const SweepPair* pair, const ParticleNeighbor* record, const PairTask& task,
                     const float* pressure, const ParticleInfo* info, float repulsion, float2* delta,
                     const int* order, float2* particleDelta)
{
    int first = task.first, end = task.end;
    std::fill(delta + first, delta + end, float2(0, 0));
    walkPairTask(task, [&](auto bounded, int from, int to, auto at) {
        if (!info)
            pushPairs<decltype(bounded)::value>(pair, record, from, to, at, first, end, pressure, delta);
        else
            pushPairsWithWalls<decltype(bounded)::value>(pair, record, from, to, at, first, end, pressure, info, repulsion, delta);
    });
    for (int i = first; i < end; ++i)
        particleDelta[order[i]] = delta[i];
}

} // namespace

void ParticleSimulator::applyPressure()
{
    ParticleData& d = *data;
    int n = d.count;
    const int* order = context.sweepFrame(d);
    float* pressure = scratch(context.sweptPressure, n);
    float2* delta = scratch(context.sweptDelta, n);
    // No negative pressure: sparse particles do not attract. Each loop walks
    // the arrays in the order they lie in memory, which costs less than one
    // loop that reaches them all through the sweep order.
    std::atomic<ParticleInfo> presentAll{0};
    context.forRanges(n, [&](int, int first, int end) {
        ParticleInfo some = 0;
        for (int i = first; i < end; ++i) {
            d.pressure[i] = std::max(0.0f, (d.density[i] - d.standardDensity) * d.pressureCoefficient);
            some |= d.info[i];
        }
        presentAll.fetch_or(some, std::memory_order_relaxed);
    });
    ParticleInfo present = presentAll.load(std::memory_order_relaxed);
    context.gather(context.sweptPressure, d.pressure, order, n);
    const SweepPair* pair = context.sweepPairs.data();
    const ParticleNeighbor* record = d.neighbors.data();
    bool walls = present & (powder | wall);
    const ParticleInfo* info = walls ? context.gather(context.sweptInfo, d.info, order, n) : nullptr;
    float repulsion = d.repulsionCoefficient;
    context.forPairRanges(d, [&](const PairTask& task) {
        pushOwnedPlaces(pair, record, task, pressure, info, repulsion, delta, order, d.delta);
    });
    context.forRanges(n, [&](int, int first, int end) {
        for (int i = first; i < end; ++i) {
            if (d.boundWeight[i] > d.boundsThickness)
                d.delta[i] += d.boundNormal[i] * (d.boundWeight[i] - d.boundsThickness);
            d.velocity[i] += d.delta[i];
            d.position[i] += d.delta[i];
        }
    });
}

void ParticleSimulator::pushAndCollide()
{
    ParticleData& d = *data;
    int n = d.count;
    const int* order = context.sweepFrame(d);
    const float* pressure = context.sweptPressure.data();
    float2* delta = scratch(context.sweptDelta, n);
    bool walls = context.presentInfo & (powder | wall);
    const ParticleInfo* info = walls ? context.sweptInfo.data() : nullptr;
    const SweepPair* pair = context.sweepPairs.data();
    const ParticleNeighbor* record = d.neighbors.data();
    float repulsion = d.repulsionCoefficient;
    context.forPairRanges(d, [&](const PairTask& task) {
        pushOwnedPlaces(pair, record, task, pressure, info, repulsion, delta, order, d.delta);
    });
    // Each particle's pressure (static pressure used the array in between),
    // the container's push back, the move, and its new depth in the container.
    float d0 = d.standardDensity;
    float k = d.pressureCoefficient;
    float thickness = d.boundsThickness;
    BoundsZone zone(d);
    context.forRanges(n, [&](int, int first, int end) {
        for (int i = first; i < end; ++i) {
            d.pressure[i] = std::max(0.0f, (d.density[i] - d0) * k);
            if (d.boundWeight[i] > thickness)
                d.delta[i] += d.boundNormal[i] * (d.boundWeight[i] - thickness);
            d.velocity[i] += d.delta[i];
            d.position[i] += d.delta[i];
            zone.at(d, i);
        }
    });
    collideParticles();
}

void ParticleSimulator::applyStaticPressure()
{
    ParticleData& d = *data;
    if (!d.staticPressureFlag)
        return;
    float c = d.staticPressureCoefficient;
    int iterations = boundedIterations(d.staticPressureIteration);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        // Velocity into the container wall or into wall particles is removed.
        for (int i = 0; i < d.count; ++i) {
            if (d.boundWeight[i] > 0) {
                float s = dot(d.velocity[i], d.boundNormal[i]);
                if (s < 0)
                    d.velocity[i] -= d.boundNormal[i] * s;
            }
        }
        for (const ParticleNeighbor& n : d.neighbors) {
            bool wallA = d.info[n.a] & wall;
            bool wallB = d.info[n.b] & wall;
            if (wallA == wallB)
                continue;
            float s = dot(d.velocity[n.b] - d.velocity[n.a], n.direction);
            if (s < 0) {
                if (!wallA)
                    d.velocity[n.a] += n.direction * s;
                else
                    d.velocity[n.b] -= n.direction * s;
            }
        }

        for (int i = 0; i < d.count; ++i) {
            d.delta[i] = {0, 0};
            d.pressure[i] = 0;
        }
        // Two Jacobi half-sweeps: pressure drives velocity, convergence drives pressure.
        for (const ParticleNeighbor& n : d.neighbors) {
            float k = c * n.weight;
            float2 F = n.direction * ((d.staticPressure[n.a] + d.staticPressure[n.b]) * k);
            d.delta[n.a] -= F;
            d.delta[n.b] += F;
            float q = dot(d.velocity[n.b] - d.velocity[n.a], n.direction) * k;
            d.pressure[n.a] -= q;
            d.pressure[n.b] -= q;
        }
        for (const ParticleNeighbor& n : d.neighbors) {
            float h = 0.5f * c * n.weight;
            float2 F = n.direction * ((d.pressure[n.a] + d.pressure[n.b]) * h);
            d.velocity[n.a] -= F;
            d.velocity[n.b] += F;
            float q = dot(d.delta[n.b] - d.delta[n.a], n.direction) * h;
            d.staticPressure[n.a] -= q;
            d.staticPressure[n.b] -= q;
        }

        constexpr ParticleInfo unpressured = mochi | powder | tensile | wall;
        for (int i = 0; i < d.count; ++i) {
            if (d.info[i] & wall)
                d.velocity[i] = {0, 0};
            else
                d.velocity[i] += d.delta[i];
            if (d.info[i] & unpressured)
                d.staticPressure[i] = 0;
            else
                d.staticPressure[i] += d.pressure[i];
        }
        for (int i = 0; i < d.count; ++i) {
            if (d.density[i] < d.standardDensity)
                d.staticPressure[i] = 0;
            // Written out rather than std::clamp: a negative maximum is a legal setting.
            if (d.staticPressure[i] < 0)
                d.staticPressure[i] = 0;
            if (d.staticPressure[i] > d.staticMaxPressure)
                d.staticPressure[i] = d.staticMaxPressure;
        }
    }
}

} // namespace Zeb::Kamblo
