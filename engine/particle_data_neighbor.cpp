// Neighbour search: a sort of the particles by (strip, x) and a sweep that
// tests each particle against a bounded window of its successors.
#include <algorithm>
#include <cmath>
#include <cstring>

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
// number make the order total, so any sort gives the same order and the same
// pair list. Particles with a non-finite coordinate go last, in number order,
// and take no part in the sweep.
//
// The order is kept as one 64-bit key per particle, strip in the high half and
// x in the low half, each float mapped to bits that compare as unsigned
// integers the way the floats compare. -0 becomes +0 first, since the two
// compare equal and must tie.
inline uint32_t orderedBits(float v)
{
    v += 0.0f;
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return (u & 0x80000000u) ? ~u : (u | 0x80000000u);
}

constexpr uint64_t kNonFiniteKey = ~uint64_t(0); // above every finite key

inline uint64_t sweepKey(float2 p)
{
    if (!isFinitePosition(p))
        return kNonFiniteKey;
    return uint64_t(orderedBits(std::floor(p.y))) << 32 | orderedBits(p.x);
}

using SweepEntry = ParticleData::SweepEntry;

inline bool sweepsBefore(const SweepEntry& a, const SweepEntry& b)
{
    return a.key < b.key || (a.key == b.key && a.particle < b.particle);
}

// An exact sort from scratch: least-significant-digit radix on the key, one
// byte per pass, starting from number order. Each pass is stable, so equal
// keys stay in number order, which is the tie rule. Passes in which every key
// has the same byte are skipped.
void radixSortSweepEntries(const float2* position, SweepEntry* entries, SweepEntry* spare, int n)
{
    for (int p = 0; p < n; ++p)
        spare[p] = {sweepKey(position[p]), p};
    uint32_t histogram[8][256] = {};
    for (int i = 0; i < n; ++i)
        for (int byte = 0; byte < 8; ++byte)
            ++histogram[byte][(spare[i].key >> (8 * byte)) & 0xFF];
    SweepEntry* from = spare;
    SweepEntry* to = entries;
    for (int byte = 0; byte < 8; ++byte) {
        uint32_t* counts = histogram[byte];
        if (counts[(from[0].key >> (8 * byte)) & 0xFF] == uint32_t(n))
            continue;
        uint32_t offset = 0;
        for (int b = 0; b < 256; ++b) {
            uint32_t c = counts[b];
            counts[b] = offset;
            offset += c;
        }
        for (int i = 0; i < n; ++i)
            to[counts[(from[i].key >> (8 * byte)) & 0xFF]++] = from[i];
        std::swap(from, to);
    }
    if (from != entries)
        for (int i = 0; i < n; ++i)
            entries[i] = from[i];
}

// The previous step's order is nearly sorted: most particles keep their place
// or swap with a close neighbour, while a few (those that crossed into another
// strip) jump far. One pass keeps a sorted prefix, inserting each particle at
// most kLocalMoves places back; particles that would have to go further are
// set aside, sorted on their own and merged in. Every particle ends up in
// either sorted list, so the result is exactly the sorted order. A scene
// scrambled beyond that (a new scene, an explosion) takes the radix sort.
constexpr int kLocalMoves = 16;

void sortSweepEntries(const float2* position, SweepEntry* entries, SweepEntry* spare, int n)
{
    int kept = 0;
    int aside = 0;
    for (int i = 0; i < n; ++i) {
        SweepEntry e = entries[i];
        int limit = std::max(0, kept - kLocalMoves);
        int j = kept;
        while (j > limit && sweepsBefore(e, entries[j - 1]))
            --j;
        if (j > 0 && sweepsBefore(e, entries[j - 1])) {
            spare[aside++] = e;
            continue;
        }
        for (int k = kept; k > j; --k)
            entries[k] = entries[k - 1];
        entries[j] = e;
        ++kept;
    }
    if (aside == 0)
        return;
    if (aside > n / 2) {
        radixSortSweepEntries(position, entries, spare, n);
        return;
    }
    std::sort(spare, spare + aside, [](const SweepEntry& a, const SweepEntry& b) { return sweepsBefore(a, b); });
    // Merge from the back; the keys with their numbers are all distinct.
    int a = kept - 1;
    int b = aside - 1;
    for (int w = n - 1; b >= 0; --w)
        entries[w] = a >= 0 && sweepsBefore(spare[b], entries[a]) ? entries[a--] : spare[b--];
}

} // namespace

void ParticleData::searchParticleNeighbors()
{
    // Sort the previous order anew, and lay out positions in sweep order so
    // the sweep reads them sequentially.
    sweepEntries.resize(size_t(count));
    sweepSpare.resize(size_t(count));
    sweepPositions.resize(size_t(count));
    SweepEntry* entries = sweepEntries.data();
    // After gc `order` is the identity, far from sorted; gc leaves the last
    // sweep order, renumbered, in the entries, which is a better start. Use it
    // when it is still a permutation of the particles (nothing was created or
    // replaced since). In a step without gc the two agree.
    if (!std::equal(order, order + count, entries, [](int p, const SweepEntry& e) { return p == e.particle; })) {
        sweepSeen.assign(size_t(count), 0);
        bool permutation = true;
        for (int i = 0; i < count && permutation; ++i) {
            int p = entries[i].particle;
            permutation = p >= 0 && p < count && !sweepSeen[size_t(p)];
            if (permutation)
                sweepSeen[size_t(p)] = 1;
        }
        if (permutation) {
            for (int i = 0; i < count; ++i)
                order[i] = entries[i].particle;
        }
    }
    for (int i = 0; i < count; ++i)
        entries[i] = {sweepKey(position[order[i]]), order[i]};
    sortSweepEntries(position, entries, sweepSpare.data(), count);
    float2* at = sweepPositions.data();
    for (int i = 0; i < count; ++i) {
        order[i] = entries[i].particle;
        at[i] = position[entries[i].particle];
    }
    neighbors.clear();

    int n = count;
    while (n > 0 && entries[n - 1].key == kNonFiniteKey)
        --n;

    auto tryPair = [this, at](int i, int j) {
        ParticleNeighbor record;
        if (neighborKernel(at[j] - at[i], record.weight, record.direction)) {
            record.a = order[i];
            record.b = order[j];
            neighbors.push_back(record);
        }
    };

    int s = 0;
    for (int i = 0; i < n; ++i) {
        float x = at[i].x;
        float y = at[i].y;
        float f = std::floor(y);
        float nextStrip = f + 1;
        float stripAfter = f + 2;

        int sameEnd = std::min(i + 1 + kSameStripScan, n);
        for (int j = i + 1; j < sameEnd; ++j) {
            if (at[j].y >= nextStrip || at[j].x > x + 1)
                break;
            tryPair(i, j);
        }

        // The next-strip start only moves forward: x grows within a strip and
        // the strips grow with i.
        while (s < n) {
            float2 q = at[s];
            bool belowNextStrip = q.y < nextStrip;
            bool leftInNextStrip = q.y < stripAfter && q.x <= x - 1;
            if (!belowNextStrip && !leftInNextStrip)
                break;
            ++s;
        }
        int nextEnd = std::min(s + kNextStripScan, n);
        for (int j = s; j < nextEnd; ++j) {
            if (at[j].y >= stripAfter || at[j].x > x + 1)
                break;
            tryPair(i, j);
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
