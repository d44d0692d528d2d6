// Removal of zombie particles: split broken rigid bodies, compact the arrays,
// renumber joints.
#include <array>
#include <iterator>

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
        // Connected pieces by repeated min-label propagation over neighbour pairs.
        for (bool changed = true; changed;) {
            changed = false;
            for (const ParticleNeighbor& n : neighbors) {
                if (linked(n.a, n.b) && label[n.a] != label[n.b]) {
                    int smaller = label[n.a] < label[n.b] ? label[n.a] : label[n.b];
                    label[n.a] = label[n.b] = smaller;
                    changed = true;
                }
            }
            for (int p = 0; p < count; ++p)
                while (label[label[p]] < label[p])
                    label[p] = label[label[p]];
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
    int oldCount = count;
    int w = 0;
    for (int p = 0; p < oldCount; ++p) {
        if (info[p] & zombie) {
            order[p] = -1;
            continue;
        }
        order[p] = w;
        if (w != p) {
#define KAMBLO_MOVE_ARRAY(type, name, persistence) KAMBLO_IF_##persistence(name[w] = name[p];)
            KAMBLO_PARTICLE_ARRAYS(KAMBLO_MOVE_ARRAY)
#undef KAMBLO_MOVE_ARRAY
        }
        ++w;
    }
    count = w;

    // 4. Joints follow their particles and must still qualify. Renumbering
    // keeps the survivors' relative order, so each joint is updated in place
    // (extracted and put back at the same spot, which allocates nothing) and
    // the set stays ordered throughout.
    for (auto it = joints.begin(); it != joints.end();) {
        const ParticleJoint& joint = *it;
        int a = -1;
        int b = -1;
        if (joint.a >= 0 && joint.b >= 0 && joint.a < oldCount && joint.b < oldCount) {
            a = order[joint.a];
            b = order[joint.b];
        }
        ParticleInfo both = a >= 0 && b >= 0 ? info[a] | info[b] : 0;
        if (a < 0 || b < 0 || !(both & kJointed) || !(info[a] & kJoinable) || !(info[b] & kJoinable)) {
            it = joints.erase(it);
            continue;
        }
        auto next = std::next(it);
        auto node = joints.extract(it);
        node.value().a = a;
        node.value().b = b;
        node.value().info = both;
        joints.insert(next, std::move(node));
        it = next;
    }

    ++layoutVersion;

    // 5.
    for (int p = 0; p < count; ++p)
        order[p] = p;
}

} // namespace Zeb::Kamblo
