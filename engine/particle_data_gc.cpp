// Removal of zombie particles: split broken rigid bodies, compact the arrays,
// renumber joints.
#include <array>
#include <cstring>

#include "particle_data.h"
#include "particle_step_context.h"

namespace Zeb::Kamblo {

namespace {

constexpr ParticleInfo kJointed = Attribute::elastic | Attribute::spring;
constexpr ParticleInfo kJoinable = Attribute::elastic | Attribute::spring | Attribute::rigid | Attribute::wall;

} // namespace

void ParticleData::gc(StepContext* context)
{
    using namespace Attribute;

    // 1-2. Bodies that lose a rigid particle may fall apart. The marks are kept
    // apart from `used`, which createBody needs for its own bookkeeping.
    std::array<bool, kMaxBodies> broken{};
    bool anyBroken = false;
    for (ParticleBody& b : bodies)
        b.used = 0;
    for (int p = 0; p < count; ++p) {
        if ((info[p] & rigid) && (info[p] & zombie) && body[p] < bodies.size()) {
            bodies[body[p]].used = 1;
            broken[body[p]] = true;
            anyBroken = true;
        }
    }

    if (anyBroken) {
        if (context)
            context->searchNeighbors(*this);
        else
            searchParticleNeighbors();
        int* label = order;
        for (int p = 0; p < count; ++p)
            label[p] = p;
        auto linked = [&](int a, int b) {
            return (info[a] & rigid) && (info[b] & rigid) && !(info[a] & zombie) && !(info[b] & zombie) &&
                   body[a] == body[b];
        };
        // Connected pieces by union-find over the neighbour pairs, in one
        // walk of the pairs rather than one per pair of a piece's width. A
        // union hangs the larger root under the smaller, so every label
        // names a smaller particle of the same piece, and only a piece's
        // smallest particle is its own label.
        auto root = [&](int p) {
            while (label[p] != p) {
                label[p] = label[label[p]];
                p = label[p];
            }
            return p;
        };
        for (const ParticleNeighbor& n : neighbors) {
            if (!linked(n.a, n.b))
                continue;
            int a = root(n.a);
            int b = root(n.b);
            if (a < b)
                label[b] = a;
            else if (b < a)
                label[a] = b;
        }
        // Every piece, the first one included, moves to a fresh copy of its body.
        for (int p = 0; p < count; ++p) {
            if (!(info[p] & rigid) || (info[p] & zombie) || !broken[body[p]])
                continue;
            if (label[p] == p) {
                int oldBody = body[p];
                int fresh = createBody();
                if (fresh != 0) {
                    bodies[size_t(fresh)] = bodies[size_t(oldBody)];
                    body[p] = uint8_t(fresh);
                }
            } else {
                body[p] = body[label[p]];
            }
        }
    }

    // 3. Compaction; `order` maps old numbers to new ones (-1 for removed).
    // Survivors keep their order, so each run of them moves down as one
    // block, array by array.
    int oldCount = count;
    int w = 0;
    for (int p = 0; p < oldCount; ++p)
        order[p] = (info[p] & zombie) ? -1 : w++;
    for (int p = 0; p < oldCount;) {
        if (order[p] < 0 || order[p] == p) {
            ++p;
            continue;
        }
        int end = p + 1;
        while (end < oldCount && order[end] >= 0)
            ++end;
        int to = order[p];
        size_t run = size_t(end - p);
#define KAMBLO_MOVE_ARRAY(type, name, persistence) \
    KAMBLO_IF_##persistence(std::memmove(static_cast<void*>(name + to), name + p, run * sizeof(type));)
        KAMBLO_PARTICLE_ARRAYS(KAMBLO_MOVE_ARRAY)
#undef KAMBLO_MOVE_ARRAY
        p = end;
    }
    count = w;

    // 4. Joints follow their particles and must still qualify. Renumbering
    // keeps the survivors' relative order, so the set stays ordered while
    // each joint is changed where it stands. A joint left as it was leaves
    // the set's stamp alone; when the step's flat copy of the set is
    // current, a walk of it tells whether any joint changes at all, which
    // spares the walk of the set's nodes after most removals.
    auto follow = [&](const ParticleJoint& joint, int& a, int& b, ParticleInfo& both) {
        a = -1;
        b = -1;
        if (joint.inRange(oldCount)) {
            a = order[joint.a];
            b = order[joint.b];
        }
        both = a >= 0 && b >= 0 ? info[a] | info[b] : 0;
        return a >= 0 && b >= 0 && (both & kJointed) && (info[a] & kJoinable) && (info[b] & kJoinable);
    };
    auto unchanged = [](const ParticleJoint& joint, int a, int b, ParticleInfo both) {
        return joint.a == a && joint.b == b && joint.info == both;
    };
    bool anyChange = true;
    if (context && context->flatJointsStamp == joints.stamp()) {
        anyChange = false;
        for (const ParticleJoint& joint : context->flatJoints) {
            int a, b;
            ParticleInfo both;
            if (!follow(joint, a, b, both) || !unchanged(joint, a, b, both)) {
                anyChange = true;
                break;
            }
        }
    }
    for (auto it = anyChange ? joints.begin() : joints.end(); it != joints.end();) {
        int a, b;
        ParticleInfo both;
        if (!follow(*it, a, b, both)) {
            it = joints.erase(it);
            continue;
        }
        if (!unchanged(*it, a, b, both)) {
            ParticleJoint& renumbered = joints.edit(it);
            renumbered.a = a;
            renumbered.b = b;
            renumbered.info = both;
        }
        ++it;
    }

    ++layoutVersion;

    // 5.
    for (int p = 0; p < count; ++p)
        order[p] = p;
}

} // namespace Zeb::Kamblo
