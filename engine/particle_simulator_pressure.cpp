// The density pressure that keeps fluids from collapsing, and the optional
// static-pressure solver that removes converging velocity.
#include <algorithm>

#include "cg_math.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

using namespace Attribute;

void ParticleSimulator::applyPressure()
{
    ParticleData& d = *data;
    int n = d.count;
    ParticleInfo present = 0;
    for (int i = 0; i < n; ++i) {
        // No negative pressure: sparse particles do not attract.
        d.pressure[i] = std::max(0.0f, (d.density[i] - d.standardDensity) * d.pressureCoefficient);
        present |= d.info[i];
    }
    const int* order = d.sweepFrame();
    float* pressure = sweepScratch(d.sweep.value, n);
    float2* delta = sweepScratch(d.sweep.delta, n);
    for (int i = 0; i < n; ++i) {
        pressure[i] = d.pressure[order[i]];
        delta[i] = {0, 0};
    }
    const ParticleData::SweepPair* pair = d.sweepPairs.data();
    if (!(present & (powder | wall))) {
        // Nothing but mutual pushes.
        for (const ParticleNeighbor& record : d.neighbors) {
            float2 F = record.direction * ((pressure[pair->a] + pressure[pair->b]) * record.weight);
            delta[pair->a] -= F;
            delta[pair->b] += F;
            ++pair;
        }
    } else {
        ParticleInfo* info = sweepScratch(d.sweep.info, n);
        for (int i = 0; i < n; ++i)
            info[i] = d.info[order[i]];
        float repulsion = d.repulsionCoefficient;
        for (const ParticleNeighbor& record : d.neighbors) {
            int a = pair->a;
            int b = pair->b;
            ++pair;
            ParticleInfo A = info[a];
            ParticleInfo B = info[b];
            float2 F = record.direction * ((pressure[a] + pressure[b]) * record.weight);
            if (A & B & (powder | wall))
                continue; // powder grains and walls do not push their own kind
            if (A & wall) {
                // The wall stays put; the other particle takes the whole push.
                delta[b] += F * 2.0f + record.direction * (repulsion * record.weight);
            } else if (B & wall) {
                delta[a] -= F * 2.0f + record.direction * (repulsion * record.weight);
            } else {
                delta[a] -= F;
                delta[b] += F;
            }
        }
    }
    for (int i = 0; i < n; ++i)
        d.delta[order[i]] = delta[i];
    for (int i = 0; i < n; ++i) {
        if (d.boundWeight[i] > d.boundsThickness)
            d.delta[i] += d.boundNormal[i] * (d.boundWeight[i] - d.boundsThickness);
        d.velocity[i] += d.delta[i];
        d.position[i] += d.delta[i];
    }
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
