// The flowing, buoyant, burning and steered materials: powder, light and
// dense matter, jets, water, fuel, heat, cold, inflow sources, outflow drains
// and the user-steered character. The random draws happen in exactly the
// order written here: one generator serves the whole step, so the order is
// part of how a scene evolves.
#include <algorithm>
#include <cmath>

#include "cg_math.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

using namespace Attribute;

namespace {

inline bool hasAll(ParticleInfo info, ParticleInfo mask) { return (info & mask) == mask; }

// The chance per step that a burning particle sheds a flame.
inline float fireChance(const ParticleData& d) { return d.fireFlag ? d.fireProbability : 0.0f; }

// Appends an entry with the given life, position and velocity unless the
// pool is full. The caller's random draws happen either way.
void emitEffect(ParticleEffect& pool, float life, float2 position, float2 velocity)
{
    if (pool.count >= kMaxEffectCount)
        return;
    int e = pool.create();
    pool.life[e] = life;
    pool.position[e] = position;
    pool.velocity[e] = velocity;
}

void emitFire(ParticleData& d, float2 position, float2 velocity) { emitEffect(*d.fireEffect, 1, position, velocity); }

} // namespace

void ParticleSimulator::expressPowder()
{
    if (!(context.presentInfo & powder))
        return;
    ParticleData& d = *data;
    refreshNeighbors();
    // The weight of a pair slightly closer than the standard spacing: grains
    // only push once they overlap.
    float w0 = (1 - d.standardDistance) * 1.01f;
    // Each push reads velocities that the pushes before it changed, so the
    // pairs go one by one in list order; which pairs push depends on
    // attributes and weights alone, and is found on the threads first.
    const ParticleNeighbor* record = d.neighbors.data();
    int pushing = 0;
    const int* pushers = context.select(int(d.neighbors.size()), [&](int k) {
        const ParticleNeighbor& n = record[k];
        return ((d.info[n.a] | d.info[n.b]) & powder) && n.weight > w0;
    }, pushing, d.neighbors.capacity(), context.pairGrain());
    for (int j = 0; j < pushing; ++j) {
        const ParticleNeighbor& n = record[pushers[j]];
        ParticleInfo A = d.info[n.a];
        ParticleInfo B = d.info[n.b];
        float w = n.weight;
        float f = (w0 - w) * d.powderSpringCoefficient; // negative: repulsive
        float2 dv = d.velocity[n.b] - d.velocity[n.a];
        float s = dot(dv, n.direction);
        if (s < 0)
            f += s * d.powderDampingCoefficient;
        if ((A & hot) && (B & hot))
            f -= d.powderExplosionCoefficient;
        float2 F = f * n.direction + (d.powderFrictionCoefficient * w) * dv;
        d.velocity[n.a] += F;
        d.velocity[n.b] -= F;
    }
    for (int i = 0; i < d.count; ++i) {
        if (hasAll(d.info[i], powder | hot) && frand() < d.powderExtinguishProbability) {
            d.info[i] |= zombie; // burnt out
            context.gcRequested = true;
        }
    }
}

// Pairs of which one particle has the attribute and the other not: the one
// with it rises (or sinks) by coefficient * weight * gravity and the other
// takes the opposite push. No push depends on a velocity, so each particle
// adds its own pushes, in list order, on whichever thread owns it.
void ParticleSimulator::liftPairs(ParticleInfo attribute, float coefficient, bool rises)
{
    ParticleData& d = *data;
    float2 g = gravity();
    const ParticleNeighbor* record = d.neighbors.data();
    const SweepPair* pair = context.sweepPairs.data();
    context.forPairRanges(d, [&](const PairTask& task) {
        walkPairTask(task, [&](auto bounded, int from, int to, auto at) {
            for (int i = from; i < to; ++i) {
                int k = at(i);
                const ParticleNeighbor& n = record[k];
                bool withA = d.info[n.a] & attribute;
                bool withB = d.info[n.b] & attribute;
                if (withA == withB)
                    continue;
                int X = withB ? n.b : n.a;
                int O = withB ? n.a : n.b;
                bool ownsX = owns<decltype(bounded)::value>(withB ? pair[k].b : pair[k].a, task.first, task.end);
                bool ownsO = owns<decltype(bounded)::value>(withB ? pair[k].a : pair[k].b, task.first, task.end);
                float2 F = (coefficient * n.weight) * g;
                if (rises) {
                    if (ownsX)
                        d.velocity[X] -= F;
                    if (ownsO)
                        d.velocity[O] += F;
                } else {
                    if (ownsX)
                        d.velocity[X] += F;
                    if (ownsO)
                        d.velocity[O] -= F;
                }
            }
        });
    });
}

void ParticleSimulator::expressLight()
{
    if (!(context.presentInfo & light))
        return;
    ParticleData& d = *data;
    // Light matter rises and pushes what it passes down in exchange.
    liftPairs(light, d.upCoefficient, true);
}

void ParticleSimulator::expressDense()
{
    if (!(context.presentInfo & dense))
        return;
    ParticleData& d = *data;
    liftPairs(dense, d.downCoefficient, false);
}

void ParticleSimulator::expressJet()
{
    if (!(context.presentInfo & jet))
        return;
    ParticleData& d = *data;
    refreshNeighbors();
    for (int i = 0; i < d.count; ++i)
        d.delta[i] = {0, 0};
    for (const ParticleNeighbor& n : d.neighbors) {
        if (!((d.info[n.a] | d.info[n.b]) & jet))
            continue;
        float2 F = (d.jetCoefficient * n.weight) * n.direction;
        d.delta[n.a] -= F;
        d.delta[n.b] += F;
    }
    float pf = fireChance(d);
    for (int i = 0; i < d.count; ++i) {
        ParticleInfo info = d.info[i];
        if (!(info & jet)) {
            d.velocity[i] += d.delta[i];
        } else if ((info & hot) && frand() < pf) {
            // A jet is not pushed by its own blowing; a hot one shows its exhaust.
            emitFire(d, d.position[i], d.delta[i]);
        }
    }
}

void ParticleSimulator::expressAqua()
{
    if (!(context.presentInfo & aqua))
        return;
    ParticleData& d = *data;
    float2 g = gravity();
    float rho0 = d.standardDensity;
    // The draws go in particle order on one thread, over the water that
    // leaves or falls back into the body of water, found on the threads.
    auto changing = [&](int i) {
        ParticleInfo info = d.info[i];
        float rho = d.density[i];
        return (info & aqua) && ((!(info & aerated) && rho < 0.9f * rho0) || ((info & aerated) && rho > rho0));
    };
    int changes = 0;
    const int* changed = context.select(d.count, changing, changes, size_t(d.capacity));
    for (int j = 0; j < changes; ++j) {
        int i = changed[j];
        float rho = d.density[i];
        if (!(d.info[i] & aerated) && rho < 0.9f * rho0) {
            float r = frand();
            if (r < d.splashProbability) {
                d.info[i] |= aerated; // airborne spray
                float2 v = d.velocity[i];
                // Flight time of a throw at v against gravity, less the shortest
                // flight worth a drop. Without gravity it is not a number.
                float s = -2 * dot(v, g) / dot(g, g) - d.splashMinLife;
                if (s > 0 && d.splashFlag)
                    emitEffect(*d.splashEffect, 1 + std::min(1.0f, s * d.splashExpansion), d.position[i], v);
            }
        }
        if ((d.info[i] & aerated) && rho > rho0) {
            d.info[i] &= ~aerated; // fallen back into the water
            if (d.bubbleFlag) {
                float r = frand();
                if (r < d.bubbleProbability) {
                    float life = frand();
                    life += frand();
                    emitEffect(*d.bubbleEffect, life, d.position[i], {0, 0});
                }
            }
        }
    }
}

void ParticleSimulator::expressFuel()
{
    if (!(context.presentInfo & fuel))
        return;
    ParticleData& d = *data;
    float pf = fireChance(d);
    int burning = 0;
    const int* burner = context.select(d.count, [&](int i) { return hasAll(d.info[i], fuel | hot); }, burning,
                                       size_t(d.capacity));
    for (int j = 0; j < burning; ++j) {
        int i = burner[j];
        float r1 = frand();
        if (r1 < d.fuelExtinguishProbability) {
            d.info[i] |= zombie; // burnt away
            context.gcRequested = true;
        }
        float r2 = frand();
        if (r2 < pf)
            emitFire(d, d.position[i], d.velocity[i]);
    }
}

void ParticleSimulator::expressHot()
{
    if (!(context.presentInfo & hot))
        return;
    ParticleData& d = *data;
    uint8_t* touched = scratch(context.touched, d.count);
    std::fill_n(touched, d.count, uint8_t(0));
    // Pairs go one by one in list order (the draws, and heat passed on from
    // pair to pair). Only fuel and powder catch fire, so a pair that holds
    // none of them and nothing hot does nothing; the others are found on the
    // threads first.
    const ParticleNeighbor* record = d.neighbors.data();
    int warm = 0;
    const int* warmPairs = context.select(int(d.neighbors.size()), [&](int k) {
        return ((d.info[record[k].a] | d.info[record[k].b]) & (hot | fuel | powder)) != 0;
    }, warm, d.neighbors.capacity(), context.pairGrain());
    bool anyTouched = false;
    for (int j = 0; j < warm; ++j) {
        const ParticleNeighbor& n = record[warmPairs[j]];
        int H = (d.info[n.b] & hot) ? n.b : n.a;
        int O = H == n.b ? n.a : n.b;
        if (!(d.info[H] & hot))
            continue;
        if (d.info[O] & aqua) {
            if (d.info[H] & fuel)
                d.info[H] &= ~hot; // water puts out burning fuel
            d.info[O] |= gaseous | light; // and boils to steam
        }
        if (d.info[O] & yuki)
            d.info[O] &= ~yuki;
        if (d.info[O] & fuel) {
            float r = frand();
            if (r < d.fuelLightProbability)
                d.info[O] |= hot;
        }
        if (d.info[O] & powder) {
            float r = frand();
            if (r < d.powderLightProbability)
                d.info[O] |= hot;
        }
        touched[O] = 1;
        anyTouched = true;
    }
    // Heat melts every joint of whatever touches a hot particle.
    if (!anyTouched)
        return;
    for (const ParticleJoint& joint : context.jointList(d)) {
        if (joint.inRange(d.count) && (touched[joint.a] != 0 || touched[joint.b] != 0))
            d.joints.erase(joint);
    }
}

void ParticleSimulator::expressCold()
{
    if (!(context.presentInfo & cold))
        return;
    ParticleData& d = *data;
    for (const ParticleNeighbor& n : d.neighbors) {
        int O;
        if (d.info[n.b] & cold)
            O = n.a;
        else if (d.info[n.a] & cold)
            O = n.b;
        else
            continue;
        if (hasAll(d.info[O], aqua | gaseous))
            d.info[O] &= ~(gaseous | light); // steam condenses to water
    }
}

void ParticleSimulator::expressInflow()
{
    if (!(context.presentInfo & inflow))
        return;
    ParticleData& d = *data;
    refreshNeighbors();
    for (int i = 0; i < d.count; ++i)
        d.delta[i] = {0, 0};
    // delta points away from each particle's neighbours...
    for (const ParticleNeighbor& n : d.neighbors) {
        float2 push = n.weight * n.direction;
        d.delta[n.a] -= push;
        d.delta[n.b] += push;
    }
    // ...and survives only where it points away from every one of them.
    for (const ParticleNeighbor& n : d.neighbors) {
        if (dot(d.delta[n.a], n.direction) > 0)
            d.delta[n.a] = {0, 0};
        if (dot(d.delta[n.b], n.direction) < 0)
            d.delta[n.b] = {0, 0};
    }
    // Copies are appended behind the sources and are no sources themselves.
    int sources = d.count;
    for (int i = 0; i < sources; ++i) {
        if (!(d.info[i] & inflow))
            continue;
        float2 free = d.delta[i];
        float length2 = dot(free, free);
        if (!(length2 > 0))
            continue;
        float length = std::sqrt(length2);
        int j = d.createParticle(0); // may move the arrays
        d.info[j] = d.info[i] & ~(inflow | wall | rigid | users);
        d.position[j] = d.position[i] + d.standardDistance * free / length;
        d.anchor[j] = d.position[i];
        d.color[j] = d.color[i];
        d.velocity[j] = {0, 0};
    }
}

void ParticleSimulator::expressOutflow()
{
    if (!(context.presentInfo & outflow))
        return;
    ParticleData& d = *data;
    // A drain swallows what touches it unless the two have an attribute in common.
    for (const ParticleNeighbor& n : d.neighbors) {
        ParticleInfo A = d.info[n.a];
        ParticleInfo B = d.info[n.b];
        if (A & B)
            continue;
        if ((A & outflow) && !(B & outflow)) {
            d.info[n.b] |= zombie;
            context.gcRequested = true;
        }
        if ((B & outflow) && !(A & outflow)) {
            d.info[n.a] |= zombie;
            context.gcRequested = true;
        }
    }
}

void ParticleSimulator::expressUsers()
{
    if (!(context.presentInfo & users))
        return;
    ParticleData& d = *data;
    float2 gN = gravityNormal();
    float2 in = {d.usersX, d.usersY};
    bool up = dot(gN, in) < -0.001f; // the input points against gravity

    // Grounded: the floor of the container or another particle lies under a
    // users particle.
    bool grounded = false;
    for (int i = 0; i < d.count && !grounded; ++i)
        if ((d.info[i] & users) && dot(d.boundNormal[i], gN) < -0.001f)
            grounded = true;
    for (size_t k = 0; k < d.neighbors.size() && !grounded; ++k) {
        const ParticleNeighbor& n = d.neighbors[k];
        bool usersA = d.info[n.a] & users;
        bool usersB = d.info[n.b] & users;
        float below = dot(n.direction, gN);
        if ((!usersA && usersB && below < -0.001f) || (usersA && !usersB && below > 0.001f))
            grounded = true;
    }

    // The jump force acts for at most usersMaxCharge steps after leaving the ground.
    if (grounded) {
        if (!up)
            d.usersCharge = d.usersMaxCharge;
    } else {
        // Same as max(charge - 1, 0), without overflowing at the smallest int.
        d.usersCharge = d.usersCharge > 0 ? d.usersCharge - 1 : 0;
    }

    float2 run = d.usersSpeedX * in;
    float2 target = up ? -d.usersSpeedY * gN : run;
    float along = dot(gN, in);
    float fv = 0;
    if (up && d.usersCharge != 0)
        fv = d.usersForceY;
    else if (along > 0.001f)
        fv = d.usersForceX; // pressing down
    float h = (dot(in, in) - along * along) * d.usersForceX;

    for (ParticleBody& b : d.bodies)
        b.used = 0;
    for (int i = 0; i < d.count; ++i) {
        ParticleInfo info = d.info[i];
        if (!(info & users))
            continue;
        if (!(info & (wall | axial))) {
            float2 e = run - d.velocity[i];
            e -= dot(e, gN) * gN; // only the part across gravity
            d.velocity[i] += h * e;
            d.velocity[i] += (fv * dot(target - d.velocity[i], gN)) * gN;
        } else {
            // Walls and axles are carried along as a platform.
            d.anchor[i] += run;
            if (size_t(d.body[i]) < d.bodies.size())
                d.bodies[d.body[i]].used = 1;
        }
    }
    for (ParticleBody& b : d.bodies) {
        if (b.used) {
            b.textureMin += run;
            b.textureMax += run;
        }
    }
}

} // namespace Zeb::Kamblo
