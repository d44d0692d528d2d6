// Neighbour search: a sort of the particles by (strip, x) and a sweep that
// tests each particle against a bounded window of its successors.
#include <algorithm>
#include <cmath>

#include "cg_math.h"
#include "particle_data.h"

namespace Zeb::Kamblo {

namespace {

// Same-strip and next-strip candidate windows; pairs beyond them are not
// found in that step.
constexpr int kSameStripScan = 7;
constexpr int kNextStripScan = 16;

inline bool isFinitePosition(float2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Sweep order: by strip floor(y), then x, then particle number. Ties broken by
// number make the order total, so any sort gives the same pair list. Particles
// with a non-finite coordinate go last, in number order, and take no part in
// the sweep: comparing them would break the ordering the sort relies on.
struct ParticleComparator {
    const float2* position;

    bool operator()(int p, int q) const
    {
        float2 a = position[p];
        float2 b = position[q];
        bool finiteA = isFinitePosition(a);
        bool finiteB = isFinitePosition(b);
        if (finiteA != finiteB)
            return finiteA;
        if (!finiteA)
            return p < q;
        float stripA = std::floor(a.y);
        float stripB = std::floor(b.y);
        if (stripA != stripB)
            return stripA < stripB;
        if (a.x != b.x)
            return a.x < b.x;
        return p < q;
    }
};

} // namespace

void ParticleData::searchParticleNeighbors()
{
    std::sort(order, order + count, ParticleComparator{position});
    neighbors.clear();

    int n = count;
    while (n > 0 && !isFinitePosition(position[order[n - 1]]))
        --n;

    auto tryPair = [this](int p, int q) {
        ParticleNeighbor record;
        if (neighborKernel(position[q] - position[p], record.weight, record.direction)) {
            record.a = p;
            record.b = q;
            neighbors.push_back(record);
        }
    };

    int s = 0;
    for (int i = 0; i < n; ++i) {
        int p = order[i];
        float x = position[p].x;
        float y = position[p].y;
        float f = std::floor(y);
        float nextStrip = f + 1;
        float stripAfter = f + 2;

        int sameEnd = std::min(i + 1 + kSameStripScan, n);
        for (int j = i + 1; j < sameEnd; ++j) {
            int q = order[j];
            if (position[q].y >= nextStrip || position[q].x > x + 1)
                break;
            tryPair(p, q);
        }

        while (s < n) {
            float2 q = position[order[s]];
            bool belowNextStrip = q.y < nextStrip;
            bool leftInNextStrip = q.y < stripAfter && q.x <= x - 1;
            if (!belowNextStrip && !leftInNextStrip)
                break;
            ++s;
        }
        int nextEnd = std::min(s + kNextStripScan, n);
        for (int j = s; j < nextEnd; ++j) {
            int q = order[j];
            if (position[q].y >= stripAfter || position[q].x > x + 1)
                break;
            tryPair(p, q);
        }
    }
}

void ParticleData::updateParticleNeighbors()
{
    for (ParticleNeighbor& record : neighbors) {
        if (!neighborKernel(position[record.b] - position[record.a], record.weight, record.direction)) {
            record.weight = 0;
            record.direction = {0, 0};
        }
    }
}

} // namespace Zeb::Kamblo
