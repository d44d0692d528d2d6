// Rigid bodies by shape matching: each body's particles are fitted with the
// rotation that best maps their reference shape (anchors) onto their current
// positions, axles pull a body back to its pivot, touching bodies exchange
// impulses, and every particle is then put back on its body's rigid shape.
#include <cmath>

#include "cg_math_ext.h"
#include "float_trig.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

using namespace Attribute;

namespace {

inline float2 spinCross(float w, float2 r) { return {-w * r.y, w * r.x}; }

inline float2 rotated(const float m[4], float2 v) { return {m[0] * v.x + m[1] * v.y, m[2] * v.x + m[3] * v.y}; }

// Applies the impulse of one contact to a movable body (count > 0).
inline void pushBody(ParticleBody& body, float2 r, float2 J)
{
    body.velocity += J / float(body.count);
    body.angularVelocity += cross(r, J) / body.inertia;
}

} // namespace

void ParticleSimulator::expressRigid()
{
    if (!(context.presentInfo & rigid))
        return;
    ParticleData& d = *data;
    std::vector<ParticleBody>& bodies = d.bodies;
    // Body numbers are bytes that may come from a file: a particle naming a
    // body the table lacks takes no part rather than reading past it.
    auto inBody = [&](int i) { return size_t(d.body[i]) < bodies.size(); };
    auto isBodyParticle = [&](int i) { return (d.info[i] & rigid) && inBody(i); };
    float c0 = d.standardDistance * d.standardDistance * 0.25f; // spin inertia of one particle

    for (ParticleBody& B : bodies) {
        B.count = 0;
        B.inertia = 0;
        B.center = {0, 0};
        B.velocity = {0, 0};
        B.anchorCenter = {0, 0};
        for (float& m : B.rotation)
            m = 0;
        B.angle = 0;
        B.angularVelocity = 0;
    }

    // Each body sums its particles in number order, so the sums go on one
    // thread; the rigid particles among all are found on the threads first.
    int members = 0;
    const int* member = context.select(d.count, isBodyParticle, members, size_t(d.capacity));
    for (int j = 0; j < members; ++j) {
        int i = member[j];
        ParticleBody& B = bodies[d.body[i]];
        B.count += 1;
        B.center += d.position[i];
        B.velocity += d.velocity[i];
        B.anchorCenter += d.anchor[i];
    }
    for (ParticleBody& B : bodies) {
        if (B.count > 0) {
            float n = float(B.count);
            B.center /= n;
            B.velocity /= n;
            B.anchorCenter /= n;
        }
    }

    // Inertia, the covariance of current and reference shape, and angular momentum.
    for (int j = 0; j < members; ++j) {
        int i = member[j];
        ParticleBody& B = bodies[d.body[i]];
        float2 p = d.position[i] - B.center;
        float2 u = d.velocity[i] - B.velocity;
        float2 q = d.anchor[i] - B.anchorCenter;
        B.inertia += dot(p, p) + c0;
        B.rotation[0] += p.x * q.x;
        B.rotation[1] += p.x * q.y;
        B.rotation[2] += p.y * q.x;
        B.rotation[3] += p.y * q.y;
        B.angularVelocity += cross(p, u) + d.angularVelocity[i] * c0;
    }
    // The best-fitting rotation of a 2-D covariance has this closed form.
    for (ParticleBody& B : bodies) {
        if (!(B.inertia > 0))
            continue;
        const float* M = B.rotation;
        float theta = trig::atan2(M[2] - M[1], M[0] + M[3]);
        B.angle = theta;
        float c = trig::cos(theta);
        float s = trig::sin(theta);
        B.rotation[0] = c;
        B.rotation[1] = -s;
        B.rotation[2] = s;
        B.rotation[3] = c;
        B.angularVelocity /= B.inertia;
    }

    if (context.presentInfo & axial) {
        for (ParticleBody& B : bodies) {
            B.axialCount = 0;
            B.axialCenter = {0, 0};
            B.axialAnchor = {0, 0};
        }
        for (int j = 0; j < members; ++j) {
            int i = member[j];
            if (!(d.info[i] & axial))
                continue;
            ParticleBody& B = bodies[d.body[i]];
            B.axialCount += 1;
            B.axialCenter += d.position[i];
            B.axialAnchor += d.anchor[i];
        }
        // Pull each body so that its axle point returns to where the axle
        // particles were anchored, and turn the correction's torque into spin.
        for (ParticleBody& B : bodies) {
            if (B.axialCount == 0)
                continue;
            float N = float(B.count);
            float I = B.inertia;
            float w = B.angularVelocity;
            float2 c = B.center;
            float2 v = B.velocity;
            B.axialCenter /= float(B.axialCount);
            B.axialAnchor /= float(B.axialCount);
            float2 t = rotated(B.rotation, B.axialAnchor - B.anchorCenter);
            float2 r = B.axialCenter - c;
            float2 u = v + spinCross(w, r);
            float2 X = (r * (dot(r, v) * N) + u * I) / (dot(r, r) * N + I);
            float2 D = X / 2.0f + B.axialAnchor - c - t;
            B.center += D;
            B.velocity += D;
            B.angularVelocity += N * cross(r, D) / I;
        }
    }

    // Contacts between different bodies; body 0 (walls, loose particles) has no
    // rigid particles of its own in a normal scene and is then immovable.
    // Each contact reads the body velocities that those before it changed:
    // one by one in list order, over the pairs found on the threads first.
    const ParticleNeighbor* record = d.neighbors.data();
    int contacts = 0;
    const int* contact = context.select(int(d.neighbors.size()), [&](int k) {
        int a = record[k].a;
        int b = record[k].b;
        return d.body[a] != d.body[b] && inBody(a) && inBody(b) && (d.info[a] & (rigid | wall)) &&
               (d.info[b] & (rigid | wall));
    }, contacts, d.neighbors.capacity(), context.pairGrain());
    for (int j = 0; j < contacts; ++j) {
        const ParticleNeighbor& n = record[contact[j]];
        int a = n.a;
        int b = n.b;
        ParticleBody& Ba = bodies[d.body[a]];
        ParticleBody& Bb = bodies[d.body[b]];
        float2 m = (d.position[a] + d.position[b]) / 2.0f;
        float2 ra = m - Ba.center;
        float2 rb = m - Bb.center;
        float2 ab = d.position[b] - d.position[a];
        float len = length(ab);
        float2 normal = len != 0 ? ab / len : float2(0, 0);
        float2 va = Ba.velocity + spinCross(Ba.angularVelocity, ra);
        float2 vb = Bb.velocity + spinCross(Bb.angularVelocity, rb);
        float vn = dot(vb - va, normal);
        if (!(vn < 0))
            continue;
        int Na = Ba.count;
        int Nb = Bb.count;
        float ka = cross(ra, normal);
        float kb = cross(rb, normal);
        if (Na > 0 && Nb > 0) {
            float D = 1.0f / float(Na) + 1.0f / float(Nb) + 2.0f * ka * ka / Ba.inertia +
                      2.0f * kb * kb / Bb.inertia;
            float2 J = normal * vn / D;
            pushBody(Ba, ra, J);
            pushBody(Bb, rb, -J);
        } else if (Nb > 0) {
            float D = 1.0f / float(Nb) + 2.0f * kb * kb / Bb.inertia;
            float2 J = normal * vn / D;
            pushBody(Bb, rb, -J);
        } else if (Na > 0) {
            float D = 1.0f / float(Na) + 2.0f * ka * ka / Ba.inertia;
            float2 J = normal * vn / D;
            pushBody(Ba, ra, J);
        }
    }

    // Each particle from its body alone.
    context.forRanges(d.count, [&](int, int first, int end) {
        for (int i = first; i < end; ++i) {
            if (!isBodyParticle(i))
                continue;
            const ParticleBody& B = bodies[d.body[i]];
            d.position[i] = B.center + rotated(B.rotation, d.anchor[i] - B.anchorCenter);
            d.velocity[i] = B.velocity + spinCross(B.angularVelocity, d.position[i] - B.center);
            d.angle[i] = B.angle;
            d.angularVelocity[i] = B.angularVelocity;
        }
    });
}

} // namespace Zeb::Kamblo
