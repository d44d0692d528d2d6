// The material dispatcher and the passes that hold matter together: sticky
// paste, surface tension, snow, viscosity, rice, elastic, spring and brittle
// joints, and fixed walls. Rigid bodies live in their own file.
#include <algorithm>
#include <cmath>

#include "cg_math_ext.h"
#include "float_trig.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

using namespace Attribute;

namespace {

// Most passes move a particle and change its velocity by the same vector.
inline void applyDelta(ParticleData& d)
{
    for (int i = 0; i < d.count; ++i) {
        d.position[i] += d.delta[i];
        d.velocity[i] += d.delta[i];
    }
}

// w x r for a spin w: the velocity of a point at r on a body turning at w.
inline float2 spinCross(float w, float2 r) { return {-w * r.y, w * r.x}; }

} // namespace

void ParticleSimulator::expressAttributes()
{
    expressMochi();
    expressTensile();
    expressYuki();
    expressViscous();
    expressPowder();
    expressKome();
    expressElastic();
    expressSpring();
    expressBrittle();
    expressRigid();
    expressWall();
    expressLight();
    expressDense();
    expressJet();
    expressAqua();
    expressFuel();
    expressHot();
    expressCold();
    expressInflow();
    expressOutflow();
    expressUsers();
}

void ParticleSimulator::expressMochi()
{
    if (!(context.presentInfo & mochi))
        return;
    ParticleData& d = *data;
    float e = d.mochiElasticityCoefficient;
    float s = d.mochiSpringCoefficient;
    float rho0 = d.standardDensity;
    float* rho = scratch(context.localDensity, d.count);
    int iterations = boundedIterations(d.mochiIteration);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        refreshNeighbors();
        for (int i = 0; i < d.count; ++i) {
            d.delta[i] = {0, 0};
            rho[i] = 0;
        }
        for (const ParticleNeighbor& n : d.neighbors) {
            rho[n.a] += n.weight;
            rho[n.b] += n.weight;
        }
        for (const ParticleNeighbor& n : d.neighbors) {
            if (!((d.info[n.a] | d.info[n.b]) & mochi) || !(n.weight > 0))
                continue;
            float f = (rho[n.a] + rho[n.b] - 2.0f * rho0) * e + n.weight * s;
            // Sparse paste pulls together, but more gently than it pushes apart.
            if (f < 0)
                f *= 0.5f;
            d.delta[n.a] -= n.direction * f;
            d.delta[n.b] += n.direction * f;
        }
        applyDelta(d);
    }
}

void ParticleSimulator::expressTensile()
{
    if (!(context.presentInfo & tensile))
        return;
    ParticleData& d = *data;
    float t = d.surfaceTensionCoefficient;
    float p = d.surfacePressureCoefficient;
    float rho0 = d.standardDensity;
    float* rho = scratch(context.localDensity, d.count);
    float2* normal = scratch(context.surfaceNormal, d.count);
    int iterations = boundedIterations(d.surfaceTensionIteration);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        refreshNeighbors();
        for (int i = 0; i < d.count; ++i) {
            normal[i] = {0, 0};
            rho[i] = 0;
        }
        for (const ParticleNeighbor& n : d.neighbors) {
            if (!(d.info[n.a] & d.info[n.b] & tensile))
                continue;
            rho[n.a] += n.weight;
            rho[n.b] += n.weight;
            float g = (1.0f - n.weight) * n.weight;
            normal[n.a] -= n.direction * g;
            normal[n.b] += n.direction * g;
        }
        // Diverging normals mean a curved surface: the pair is pulled together
        // (sigma < 0), flattening the curve; crowding pushes it apart.
        for (const ParticleNeighbor& n : d.neighbors) {
            if (!(d.info[n.a] & d.info[n.b] & tensile))
                continue;
            float sigma = dot(normal[n.b] - normal[n.a], n.direction);
            float f = (t * sigma + (rho[n.a] + rho[n.b] - 2.0f * rho0) * p) * n.weight;
            float2 F = n.direction * f;
            d.position[n.a] -= F;
            d.position[n.b] += F;
            d.velocity[n.a] -= F;
            d.velocity[n.b] += F;
        }
    }
}

void ParticleSimulator::expressYuki()
{
    if (!(context.presentInfo & yuki))
        return;
    ParticleData& d = *data;
    float k = d.yukiSpringCoefficient;
    float restWeight = 1.0f - d.standardDistance;
    float pm = d.yukiMeltingProbability;
    // Snow shares the surface-tension repeat count.
    int iterations = boundedIterations(d.surfaceTensionIteration);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        refreshNeighbors();
        for (int i = 0; i < d.count; ++i)
            d.delta[i] = {0, 0};
        for (const ParticleNeighbor& n : d.neighbors) {
            ParticleInfo A = d.info[n.a];
            ParticleInfo B = d.info[n.b];
            if (!((A | B) & yuki))
                continue;
            // Flakes in the air do not cling to each other.
            if (!((A & aerated) && (B & aerated))) {
                float f = (n.weight - restWeight) * k;
                d.delta[n.a] -= n.direction * f;
                d.delta[n.b] += n.direction * f;
            }
            // Melting on contact with plain water; the draws must stay in this
            // order, since one generator serves the whole step.
            ParticleInfo x;
            if ((A & aqua) && !(A & yuki)) {
                if (frand() < pm) {
                    d.info[n.b] &= ~yuki;
                    x = B & aqua;
                } else {
                    x = B & (yuki | aqua);
                }
            } else {
                x = B & (yuki | aqua);
            }
            if (x == aqua && frand() < pm)
                d.info[n.a] &= ~yuki;
        }
        applyDelta(d);
    }
}

void ParticleSimulator::expressViscous()
{
    if (!(context.presentInfo & viscous))
        return;
    ParticleData& d = *data;
    float mu = d.viscosityCoefficient;
    int iterations = boundedIterations(d.viscosityIteration);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        for (const ParticleNeighbor& n : d.neighbors) {
            if (!((d.info[n.a] | d.info[n.b]) & viscous))
                continue;
            float2 r = d.position[n.b] - d.position[n.a];
            float2 dv = d.velocity[n.b] - d.velocity[n.a];
            float spin = d.angularVelocity[n.a] + d.angularVelocity[n.b];
            float k = mu * n.weight;
            // Only the relative motion that the pair's common spin does not
            // explain is damped.
            float2 e = dv - spinCross(spin, r) / 2.0f;
            d.velocity[n.a] += e * k;
            d.velocity[n.b] -= e * k;
            float tau = (2.0f * cross(r, dv) - spin * dot(r, r)) * k;
            float delta = (d.angularVelocity[n.b] - d.angularVelocity[n.a]) * k;
            d.angularVelocity[n.a] += tau + delta;
            d.angularVelocity[n.b] += tau - delta;
        }
    }
}

void ParticleSimulator::expressKome()
{
    if (!(context.presentInfo & kome))
        return;
    ParticleData& d = *data;
    // Rice re-joins whatever it touches on the next step...
    for (int i = 0; i < d.count; ++i)
        if (d.info[i] & kome)
            d.info[i] |= novel;
    // ...and lets go the moment a joint is pulled past its rest length.
    for (const ParticleJoint& joint : context.jointList(d)) {
        if ((joint.info & kome) && joint.inRange(d.count)) {
            float2 r = d.position[joint.b] - d.position[joint.a];
            if (dot(r, r) > joint.length * joint.length)
                d.joints.erase(joint);
        }
    }
}

void ParticleSimulator::expressElastic()
{
    if (!(context.presentInfo & elastic))
        return;
    ParticleData& d = *data;
    int n = d.count;
    float k0 = d.elasticCoefficient;
    // The joints once, in the set's order; then each particle's joint ends in
    // that order, a joint's a end before its b end, so that each particle
    // adds its pulls in the order of one walk over the joints. Both stay
    // until the joints change. When only the particle count does (particles
    // made, or removed by a gc that left the joints as they were), the ends
    // stay too unless a joint comes into range or leaves it.
    std::vector<StepContext::ElasticJoint>& joints = context.elasticJoints;
    bool kept = context.elasticStamp == d.joints.stamp();
    if (kept && context.elasticCount != n) {
        if (context.elasticLeftOut || context.elasticHighest >= n) {
            kept = false;
        } else {
            int was = context.elasticCount;
            int* start = scratch(context.jointStart, n + 1);
            std::fill(start + std::min(was, n) + 1, start + n + 1, start[std::min(was, n)]);
            context.elasticCount = n;
        }
    }
    if (!kept) {
        joints.clear();
        int* start = scratch(context.jointStart, n + 1);
        std::fill_n(start, n + 1, 0);
        bool leftOut = false;
        int highest = -1;
        for (const ParticleJoint& joint : context.jointList(d)) {
            if (!(joint.info & elastic))
                continue;
            if (!joint.inRange(n)) {
                leftOut = true;
                continue;
            }
            if (joints.size() == joints.capacity())
                makeRoom(joints, joints.size() + 1);
            joints.push_back({joint.a, joint.b, joint.offset, joint.angleA, joint.angleB, joint.strength});
            ++start[joint.a + 1];
            ++start[joint.b + 1];
            highest = std::max(highest, std::max(joint.a, joint.b));
        }
        context.elasticLeftOut = leftOut;
        context.elasticHighest = highest;
        for (int i = 0; i < n; ++i)
            start[i + 1] += start[i];
        int* ends = scratch(context.jointEnds, 2 * int(joints.size()));
        int* next = scratch(context.jointNext, n);
        std::copy(start, start + n, next);
        for (int j = 0; j < int(joints.size()); ++j) {
            ends[next[joints[size_t(j)].a]++] = 2 * j;
            ends[next[joints[size_t(j)].b]++] = 2 * j + 1;
        }
        context.elasticStamp = d.joints.stamp();
        context.elasticCount = n;
    }
    int count = int(joints.size());
    const int* start = context.jointStart.data();
    const int* ends = context.jointEnds.data();
    StepContext::JointPull* pulls = scratch(context.jointPulls, count);
    float* torque = scratch(context.torque, n);
    const StepContext::ElasticJoint* joint = joints.data();
    // A joint's pull costs some forty particles' share of a pass.
    int grain = std::max(1, context.particlesPerTask / 8);
    int iterations = boundedIterations(d.elasticIteration);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        context.forRanges(count, [&](int, int first, int end) {
            for (int j = first; j < end; ++j) {
                const StepContext::ElasticJoint& J = joint[j];
                int a = J.a;
                int b = J.b;
                float2 r = J.offset;
                float2 dd = d.position[b] - d.position[a];
                float thetaA = d.angle[a] - J.angleA;
                float thetaB = d.angle[b] - J.angleB;
                float ca = trig::cos(thetaA);
                float sa = trig::sin(thetaA);
                float cb = trig::cos(thetaB);
                float sb = trig::sin(thetaB);
                float s = trig::sin(thetaB - thetaA);
                // The rest offset turned by the mean rotation of both ends, so
                // a pair turned together as a whole is unstrained.
                float cm = (ca + cb) / 2.0f;
                float sm = (sa + sb) / 2.0f;
                float2 m = {cm * r.x - sm * r.y, sm * r.x + cm * r.y};
                float k = k0 * J.strength;
                float2 e = dd - m;
                float rd = dot(r, dd);
                float rr = dot(r, r);
                float x = cross(r, dd);
                float twist = (1.0f - 0.25f * rr) * s;
                pulls[j] = {e * k, k * (-0.5f * sa * rd + 0.5f * ca * x + twist),
                            k * (-0.5f * sb * rd + 0.5f * cb * x - twist)};
            }
        }, grain);
        // The jointed particles lie together in a few runs of numbers, so the
        // particles are cut by what each costs: its own writes and its joint
        // ends, a unit each. start[i] + i, the units before particle i, grows
        // with i.
        context.forRanges(start[n] + n, [&](int, int firstUnit, int endUnit) {
            auto particleAt = [&](int unit) {
                int low = 0, high = n;
                while (low < high) {
                    int middle = low + (high - low) / 2;
                    if (start[middle] + middle < unit)
                        low = middle + 1;
                    else
                        high = middle;
                }
                return low;
            };
            int first = particleAt(firstUnit);
            int end = particleAt(endUnit);
            for (int i = first; i < end; ++i) {
                float2 delta = {0, 0};
                float turn = 0;
                for (int e = start[i]; e < start[i + 1]; ++e) {
                    const StepContext::JointPull& P = pulls[ends[e] >> 1];
                    if (ends[e] & 1) {
                        delta -= P.pull;
                        turn += P.torqueB;
                    } else {
                        delta += P.pull;
                        turn += P.torqueA;
                    }
                }
                d.delta[i] = delta;
                torque[i] = turn;
                d.position[i] += delta;
                d.velocity[i] += delta;
                d.angle[i] += turn;
                d.angularVelocity[i] += turn;
            }
        });
    }
}

void ParticleSimulator::expressSpring()
{
    if (!(context.presentInfo & spring))
        return;
    ParticleData& d = *data;
    float k = d.springCoefficient;
    int iterations = boundedIterations(d.springIteration);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        for (int i = 0; i < d.count; ++i)
            d.delta[i] = {0, 0};
        for (const ParticleJoint& joint : context.jointList(d)) {
            if (!(joint.info & spring) || !joint.inRange(d.count))
                continue;
            float2 r = d.position[joint.b] - d.position[joint.a];
            float L = length(r);
            // Coinciding ends have no direction to push along.
            float2 u = L != 0 ? r / L : float2(0, 0);
            float f = (L - joint.length) * k;
            d.delta[joint.a] += u * f;
            d.delta[joint.b] -= u * f;
        }
        applyDelta(d);
    }
}

void ParticleSimulator::expressBrittle()
{
    if (!(context.presentInfo & brittle))
        return;
    ParticleData& d = *data;
    float beta = d.brittlenessCoefficient;
    for (const ParticleJoint& joint : context.jointList(d)) {
        if ((joint.info & brittle) && joint.inRange(d.count)) {
            // A fixed tolerance per joint, spread over 0..beta by the indices,
            // so cracks start at scattered places rather than all at once.
            int s = joint.a + joint.b;
            float spread = float(s % 11) / 11.0f + float(s % 13) / 13.0f + float(s % 17) / 17.0f +
                           float(s % 19) / 19.0f;
            float limit = joint.length + beta * 0.25f * spread;
            float2 r = d.position[joint.b] - d.position[joint.a];
            if (dot(r, r) > limit * limit)
                d.joints.erase(joint);
        }
    }
}

void ParticleSimulator::expressWall()
{
    if (!(context.presentInfo & wall))
        return;
    ParticleData& d = *data;
    context.forRanges(d.count, [&](int, int first, int end) {
        for (int i = first; i < end; ++i) {
            if (!(d.info[i] & wall))
                continue;
            d.position[i] = d.anchor[i];
            d.velocity[i] = {0, 0};
            d.angle[i] = 0;
            d.angularVelocity[i] = 0;
        }
    });
}

} // namespace Zeb::Kamblo
