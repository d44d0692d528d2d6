// Neighbour search: a sort of the particles by (strip, x) and a sweep that
// tests each particle against a bounded window of its successors.
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>


#include "cg_math.h"
#include "float4.h"
#include "particle_data.h"
#include "particle_step_context.h"

namespace Zeb::Kamblo {

namespace {

// Same-strip and next-strip candidate windows; pairs beyond them are not
// found in that step.
constexpr int kSameStripScan = 7;
constexpr int kNextStripScan = 16;
// Vectors of lanes that cover a window of candidates.
constexpr int vectorsFor(int length) { return (length + kLanes - 1) / kLanes; }
// Positions are padded so that a whole window can be read past the last place.
constexpr int kWindowPad = kLanes * vectorsFor(std::max(kSameStripScan, kNextStripScan));

inline bool isFinitePosition(float2 p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Sweep order: by strip floor(y), then x, then particle number. Ties broken by
// number make the order total, so any sort gives the same order and the same
// pair list. Particles with a non-finite coordinate go last, in number order,
// and take no part in the sweep.
//
// Floats are compared through bits that order as unsigned integers the way
// the floats order. -0 becomes +0 first, since the two compare equal and must
// tie.
inline uint32_t orderedBits(float v)
{
    v += 0.0f;
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return (u & 0x80000000u) ? ~u : (u | 0x80000000u);
}

// Bits needed to write v.
inline int bitWidth(uint64_t v)
{
    int bits = 0;
    while (bits < 64 && (v >> bits))
        ++bits;
    return bits;
}

// Widest radix digit, and the bits a coarse x may take.
constexpr int kRadixDigitBits = 11;
constexpr int kMinCoarseBits = 12;
constexpr int kMaxCoarseBits = 16;

// Least-significant-digit radix sort of the keys on bits [low, low + width),
// digits of at most 11 bits, every pass stable. Keys equal on those bits keep
// their input order. The result ends in `keys`.
void radixSort(uint64_t* keys, uint64_t* spare, int n, int low, int width)
{
    int passes = (width + kRadixDigitBits - 1) / kRadixDigitBits;
    if (passes == 0)
        return;
    int digitBits = (width + passes - 1) / passes;
    uint32_t mask = (1u << digitBits) - 1;
    static thread_local uint32_t histogram[(64 + kRadixDigitBits - 1) / kRadixDigitBits][1 << kRadixDigitBits];
    for (int pass = 0; pass < passes; ++pass)
        std::fill_n(histogram[pass], mask + 1, 0u);
    for (int i = 0; i < n; ++i)
        for (int pass = 0; pass < passes; ++pass)
            ++histogram[pass][(keys[i] >> (low + pass * digitBits)) & mask];
    uint64_t* from = keys;
    uint64_t* to = spare;
    for (int pass = 0; pass < passes; ++pass) {
        int shift = low + pass * digitBits;
        uint32_t* counts = histogram[pass];
        uint32_t offset = 0;
        for (uint32_t d = 0; d <= mask; ++d) {
            uint32_t c = counts[d];
            counts[d] = offset;
            offset += c;
        }
        for (int i = 0; i < n; ++i)
            to[counts[(from[i] >> shift) & mask]++] = from[i];
        std::swap(from, to);
    }
    if (from != keys)
        std::copy(from, from + n, keys);
}

// Below this many particles a comparison sort of the packed keys is quicker
// than clearing the radix histograms.
constexpr int kRadixThreshold = 256;

} // namespace

// The radix sort above split between tasks: each pass counts the digits of
// each task's run of keys, and each task then places its run after every
// smaller digit and after the same digit of the runs before it. Every pass
// stays stable, so the result is the one-task result.
void StepContext::splitRadixSort(uint64_t* keys, uint64_t* spare, int n, int low, int width, bool firstCounted)
{
    int passes = (width + kRadixDigitBits - 1) / kRadixDigitBits;
    if (passes == 0)
        return;
    int digitBits = (width + passes - 1) / passes;
    uint32_t mask = (1u << digitBits) - 1;
    size_t digits = size_t(mask) + 1;
    int tasks = tasksFor(n);
    uint32_t* counts = scratch(radixCounts, int(digits) * tasks);
    uint64_t* from = keys;
    uint64_t* to = spare;
    for (int pass = 0; pass < passes; ++pass) {
        int shift = low + pass * digitBits;
        if (pass > 0 || !firstCounted) {
            forRanges(n, [&](int t, int first, int end) {
                uint32_t* mine = counts + size_t(t) * digits;
                std::fill_n(mine, digits, 0u);
                for (int i = first; i < end; ++i)
                    ++mine[(from[i] >> shift) & mask];
            });
        }
        uint32_t offset = 0;
        for (size_t digit = 0; digit < digits; ++digit) {
            for (int t = 0; t < tasks; ++t) {
                uint32_t& c = counts[size_t(t) * digits + digit];
                uint32_t here = c;
                c = offset;
                offset += here;
            }
        }
        forRanges(n, [&](int t, int first, int end) {
            uint32_t* mine = counts + size_t(t) * digits;
            for (int i = first; i < end; ++i)
                to[mine[(from[i] >> shift) & mask]++] = from[i];
        });
        std::swap(from, to);
    }
    if (from != keys)
        forRanges(n, [&](int, int first, int end) { std::copy(from + first, from + end, keys + first); });
}

// Puts the particles in sweep order: order[i] is the particle at place i, and
// sweptX, sweptY hold its position. Returns how many of them have a finite
// position (they come first). The places after those, and a window's reach
// beyond the last place, read as +inf, which stops every scan.
//
// Usually each particle's whole place in the order fits one 64-bit word: the
// strip counted from the lowest one, then x, then the particle number, from
// the high bits down, so that sorting the words sorts by (strip, x, number).
// Radix passes cost per bit, and an exact x takes 27 to 32 bits where 16 tell
// nearly all particles of a strip apart; so the words first hold a coarse x,
// which never reorders (it grows with x), and the few particles sharing a
// strip and a coarse x are then put in exact order. Should that take too long
// (particles heaped on one spot) the words are made again with the exact x.
// When even that does not fit (particles flung far away) the full keys are
// sorted by comparison, with the same result.
int StepContext::sortSweepOrder(ParticleData& d)
{
    int n = d.count;
    const float2* position = d.position;
    int* order = d.order;
    float* x = scratch(sweptX, n + kWindowPad);
    float* y = scratch(sweptY, n + kWindowPad);
    constexpr float inf = std::numeric_limits<float>::infinity();
    std::fill_n(x + n, kWindowPad, inf);
    std::fill_n(y + n, kWindowPad, inf);
    uint64_t* keys = scratch(this->keys, n);
    uint64_t* spare = scratch(this->spare, n);

    // The extent of the finite positions, and how many each task holds (the
    // step's first pass may have found them already).
    int tasks = tasksFor(n);
    if (slots.size() < size_t(tasks))
        slots.resize(size_t(tasks));
    if (extentCount != n) {
        forRanges(n, [&](int t, int first, int end) {
            PositionExtent e;
            for (int p = first; p < end; ++p)
                e.add(position[p]);
            extents[size_t(t)] = e;
        });
    }
    extentCount = -1;
    PositionExtent all;
    for (int t = 0; t < tasks; ++t) {
        slots[size_t(t)].firstFinite = all.finite;
        all.take(extents[size_t(t)]);
    }
    int finite = all.finite;
    float lowStrip = all.lowStrip, highStrip = all.highStrip, lowX = all.lowX, highX = all.highX;

    int numberBits = bitWidth(uint64_t(std::max(n - 1, 0)));
    int exactXBits = bitWidth(orderedBits(highX) - orderedBits(lowX));
    // The strip span is measured in doubles, which hold every float integer
    // difference exactly; spans beyond 2^24 strips never pack anyway.
    double stripSpan = double(highStrip) - double(lowStrip);
    int stripBits = stripSpan < double(1 << 24) ? bitWidth(uint64_t(stripSpan)) : 64;
    uint64_t numberMask = (uint64_t(1) << numberBits) - 1;

    // The coarse x takes what is left of whole radix digits after the strip,
    // between 12 bits (ties stay rare at ordinary spacings) and 16: a tall
    // scene would otherwise pay a third radix pass for a few bits of x.
    int radixDigits = (stripBits + kMinCoarseBits + kRadixDigitBits - 1) / kRadixDigitBits;
    int coarseBits = std::clamp(radixDigits * kRadixDigitBits - stripBits, kMinCoarseBits, kMaxCoarseBits);
    float coarseTop = float((1 << coarseBits) - 1);
    // A span too wide for a float (x near both ends of the range) or too
    // narrow for its inverse takes the exact x.
    float xSpan = highX - lowX;
    float coarseScale = coarseTop / xSpan;
    bool coarse = exactXBits > coarseBits && std::isfinite(xSpan) && std::isfinite(coarseScale);

    auto pack = [&](bool coarseX) {
        int xBits = coarseX ? coarseBits : exactXBits;
        int stripShift = numberBits + xBits;
        uint32_t lowXBits = orderedBits(lowX);
        int width = xBits + stripBits;
        bool split = finite >= kRadixThreshold && tasksFor(finite) > 1;
        // When every position is finite, each task's keys are the run the
        // split sort's first pass gives it, so the task counts their first
        // digits as it makes them.
        int passes = (width + kRadixDigitBits - 1) / kRadixDigitBits;
        bool countFirst = split && finite == n && passes > 0;
        int digitBits = passes > 0 ? (width + passes - 1) / passes : 0;
        uint64_t mask = (uint64_t(1) << digitBits) - 1;
        size_t digits = size_t(mask) + 1;
        uint32_t* counts = countFirst ? scratch(radixCounts, int(digits) * tasks) : nullptr;
        forRanges(n, [&](int t, int first, int end) {
            int w = slots[size_t(t)].firstFinite;
            uint32_t* mine = countFirst ? counts + size_t(t) * digits : nullptr;
            if (mine)
                std::fill_n(mine, digits, 0u);
            for (int p = first; p < end; ++p) {
                float2 at = position[p];
                if (!isFinitePosition(at))
                    continue;
                uint64_t strip = uint64_t(double(std::floor(at.y)) - double(lowStrip));
                // (at.x - lowX) * scale never decreases as x grows: each
                // rounding keeps the order, and the cap only merges the top.
                uint64_t xKey = coarseX ? uint64_t(std::min((at.x - lowX) * coarseScale, coarseTop))
                                        : uint64_t(orderedBits(at.x) - lowXBits);
                uint64_t key = strip << stripShift | xKey << numberBits | uint64_t(p);
                keys[w++] = key;
                if (mine)
                    ++mine[(key >> numberBits) & mask];
            }
        });
        // Keys built in number order and sorted stably on the strip and x
        // bits alone come out with ties already in number order.
        if (finite < kRadixThreshold)
            std::sort(keys, keys + finite);
        else if (!split)
            radixSort(keys, spare, finite, numberBits, width);
        else
            splitRadixSort(keys, spare, finite, numberBits, width, countFirst);
        forRanges(finite, [&](int, int first, int end) {
            for (int i = first; i < end; ++i) {
                int p = int(keys[i] & numberMask);
                order[i] = p;
                x[i] = position[p].x;
                y[i] = position[p].y;
            }
        });
    };

    // Exact order within runs of equal strip and coarse x, by insertion,
    // which stops (false) after a number of moves proportional to the count.
    // Each task takes the runs that begin in its range, so no run is split.
    auto refine = [&]() {
        auto sameRun = [&](int i) { return keys[i] >> numberBits == keys[i - 1] >> numberBits; };
        auto runStart = [&](int i) {
            while (i > 0 && i < finite && sameRun(i))
                ++i;
            return i;
        };
        std::atomic<bool> gaveUp{false};
        forRanges(finite, [&](int, int first, int end) {
            int stop = runStart(end);
            int64_t moves = 8 * int64_t(stop - first) + 64;
            for (int i = std::max(1, runStart(first)); i < stop; ++i) {
                if (!sameRun(i))
                    continue;
                uint64_t run = keys[i] >> numberBits;
                float ex = x[i], ey = y[i];
                int ep = order[i];
                int j = i;
                while (j > 0 && keys[j - 1] >> numberBits == run && (ex < x[j - 1] || (ex == x[j - 1] && ep < order[j - 1]))) {
                    x[j] = x[j - 1];
                    y[j] = y[j - 1];
                    order[j] = order[j - 1];
                    --j;
                    if (--moves < 0) {
                        gaveUp.store(true, std::memory_order_relaxed);
                        return;
                    }
                }
                x[j] = ex;
                y[j] = ey;
                order[j] = ep;
            }
        });
        return !gaveUp.load(std::memory_order_relaxed);
    };

    if (numberBits + exactXBits + stripBits <= 64) {
        pack(coarse);
        if (coarse && !refine())
            pack(false);
    } else {
        // Full keys, with the number in a second word, sorted by comparison.
        // Only for scenes far out of the ordinary.
        std::vector<std::pair<uint64_t, int>> entries;
        entries.reserve(size_t(finite));
        for (int p = 0; p < n; ++p) {
            float2 at = position[p];
            if (isFinitePosition(at))
                entries.emplace_back(uint64_t(orderedBits(std::floor(at.y))) << 32 | orderedBits(at.x), p);
        }
        std::sort(entries.begin(), entries.end());
        for (int i = 0; i < finite; ++i) {
            int p = entries[size_t(i)].second;
            order[i] = p;
            x[i] = position[p].x;
            y[i] = position[p].y;
        }
    }
    int w = finite;
    for (int p = 0; p < n && w < n; ++p) {
        if (!isFinitePosition(position[p])) {
            order[w] = p;
            x[w] = inf;
            y[w] = inf;
            ++w;
        }
    }
    return finite;
}

namespace {

// Four candidates at a time (float4.h): lanes compute exactly what the
// scalar operations would, in the same order, so the results are the same bits.

// Lane numbers of the set bits of a 4-bit mask, lowest first, and how many.
struct LanePack {
    alignas(16) int32_t lanes[16][kLanes];
    int count[16];
};
constexpr LanePack makeLanePack()
{
    LanePack pack{};
    for (int mask = 0; mask < 16; ++mask) {
        int w = 0;
        for (int lane = 0; lane < kLanes; ++lane)
            if (mask >> lane & 1)
                pack.lanes[mask][w++] = lane;
        pack.count[mask] = w;
    }
    return pack;
}
constexpr LanePack kLanePack = makeLanePack();

// One particle's close successors within a window of candidates. Only the
// places are written here; the pairs' records are made afterwards, for the
// close pairs alone.
struct Window {
    const float* x;      // positions in sweep order, padded by a window
    const float* y;
    SweepPair* places;
    int k;               // pairs found so far

    // Tests the candidates at places first .. first + length - 1 against
    // particle i at (px, py), stopping at the first one at or above yStop or
    // right of px + 1. Every candidate before the stop that is closer than 1
    // is kept.
    template <int length>
    void scan(int i, float px, float py, int first, float yStop)
    {
        constexpr int vectors = vectorsFor(length);
        // Lanes of the last vector beyond the window.
        constexpr int beyond = 0xF & ~((1 << (length - (vectors - 1) * kLanes)) - 1);
        // Locals, not members: the stores below could otherwise alias
        // them, and each vector would reload them from memory.
        const float* xs = x;
        const float* ys = y;
        SweepPair* out = places;
        int found = k;
        float xStop = px + 1;
        Int4 a = Int4{0, 0, 0, 0} + i;
        for (int v = 0; v < vectors; ++v) {
            int j = first + v * kLanes;
            Float4 cx = load4(xs + j);
            Float4 cy = load4(ys + j);
            int stops = laneBits((cy >= yStop) | (cx > xStop)) | (v == vectors - 1 ? beyond : 0);
            // The lanes before the first stop (all four when none stops).
            int before = (stops & -stops) - 1;
            Float4 dx = cx - px;
            Float4 dy = cy - py;
            int close = laneBits(dx * dx + dy * dy < 1.0f) & before;
            // The close lanes' places, packed to the front; the rest of the
            // vector is written too and overwritten by the next pairs.
            Int4 lanes;
            std::memcpy(&lanes, kLanePack.lanes[close], sizeof lanes);
            Int4 b = lanes + j;
            Int4 low = lowPairs(a, b);
            Int4 high = highPairs(a, b);
            std::memcpy(static_cast<void*>(out + found), &low, sizeof low);
            std::memcpy(static_cast<void*>(out + found + 2), &high, sizeof high);
            found += kLanePack.count[close];
            if (stops)
                break;
        }
        k = found;
    }
};

// The records of the pairs at places[0 .. count), four at a time and the
// rest one by one; both give the same bits.
void makeRecords(const float* x, const float* y, const int* order, const SweepPair* places, int count,
                 ParticleNeighbor* found)
{
    int k = 0;
    for (; k + kLanes <= count; k += kLanes) {
        const SweepPair* at = places + k;
        Float4 ax{x[at[0].a], x[at[1].a], x[at[2].a], x[at[3].a]};
        Float4 ay{y[at[0].a], y[at[1].a], y[at[2].a], y[at[3].a]};
        Float4 bx{x[at[0].b], x[at[1].b], x[at[2].b], x[at[3].b]};
        Float4 by{y[at[0].b], y[at[1].b], y[at[2].b], y[at[3].b]};
        Float4 dx = bx - ax;
        Float4 dy = by - ay;
        Float4 weight, ux, uy;
        neighborWeight4(dx, dy, dx * dx + dy * dy, weight, ux, uy);
        // The four records are twenty words in a row; the lanes are put in
        // that order by shuffles (which move bits, the particle numbers'
        // included, unchanged) and stored as five vectors.
        Float4 a = Float4(Int4{order[at[0].a], order[at[1].a], order[at[2].a], order[at[3].a]});
        Float4 b = Float4(Int4{order[at[0].b], order[at[1].b], order[at[2].b], order[at[3].b]});
        Float4 abLow = KAMBLO_SHUFFLE(a, b, 0, 4, 1, 5);          // a0 b0 a1 b1
        Float4 abHigh = KAMBLO_SHUFFLE(a, b, 2, 6, 3, 7);         // a2 b2 a3 b3
        Float4 wxLow = KAMBLO_SHUFFLE(weight, ux, 0, 4, 1, 5);    // w0 x0 w1 x1
        Float4 wxHigh = KAMBLO_SHUFFLE(weight, ux, 2, 6, 3, 7);   // w2 x2 w3 x3
        Float4 yaLow = KAMBLO_SHUFFLE(uy, a, 0, 4, 1, 5);         // y0 a0 y1 a1
        Float4 yaHigh = KAMBLO_SHUFFLE(uy, a, 2, 6, 3, 7);        // y2 a2 y3 a3
        Float4 bwLow = KAMBLO_SHUFFLE(b, weight, 0, 4, 1, 5);     // b0 w0 b1 w1
        Float4 bwHigh = KAMBLO_SHUFFLE(b, weight, 2, 6, 3, 7);    // b2 w2 b3 w3
        Float4 xyLow = KAMBLO_SHUFFLE(ux, uy, 0, 4, 1, 5);        // x0 y0 x1 y1
        Float4 xyHigh = KAMBLO_SHUFFLE(ux, uy, 2, 6, 3, 7);       // x2 y2 x3 y3
        Float4 words[5] = {
            KAMBLO_SHUFFLE(abLow, wxLow, 0, 1, 4, 5),   // a0 b0 w0 x0
            KAMBLO_SHUFFLE(yaLow, bwLow, 0, 3, 6, 7),   // y0 a1 b1 w1
            KAMBLO_SHUFFLE(xyLow, abHigh, 2, 3, 4, 5),  // x1 y1 a2 b2
            KAMBLO_SHUFFLE(wxHigh, yaHigh, 0, 1, 4, 7), // w2 x2 y2 a3
            KAMBLO_SHUFFLE(bwHigh, xyHigh, 2, 3, 6, 7), // b3 w3 x3 y3
        };
        static_assert(sizeof words == kLanes * sizeof(ParticleNeighbor));
        std::memcpy(static_cast<void*>(found + k), words, sizeof words);
    }
    for (; k < count; ++k) {
        const SweepPair& at = places[k];
        float2 offset(x[at.b] - x[at.a], y[at.b] - y[at.a]);
        ParticleNeighbor& record = found[k];
        record.a = order[at.a];
        record.b = order[at.b];
        neighborWeight(offset, offset.x * offset.x + offset.y * offset.y, record.weight, record.direction);
    }
}

} // namespace

void ParticleData::searchParticleNeighbors()
{
    // A search outside a step (bodies being split, a script counting pairs)
    // brings its own working storage.
    StepContext context;
    context.setThreads(1);
    context.searchNeighbors(*this);
}

void StepContext::searchNeighbors(ParticleData& d)
{
    // Positions in sweep order, coordinates apart for the vector loads, with
    // room for the lanes that reach past the end.
    int n = sortSweepOrder(d);
    const float* x = sweptX.data();
    const float* y = sweptY.data();
    const int* order = d.order;
    int* start = scratch(pairStart, d.count + 1);

    // Each task sweeps its own run of places into its own list; the lists
    // then follow each other in task order, which is the order one sweep over
    // all places gives. Strips as high as 2^23 and more are swept in one run:
    // there f + 1 and f + 2 may round, and the next-strip start of a place
    // depends on the places before it.
    bool ordinary = n == 0 || (std::fabs(y[0]) < 8388608.0f && std::fabs(y[n - 1]) < 8388608.0f);
    int tasks = ordinary ? tasksFor(n) : 1;
    if (slots.size() < size_t(tasks))
        slots.resize(size_t(tasks));
    sweepPairs.clear();

    // The pairs go straight into the task's list, which is kept longer than
    // one particle's windows can fill: a vector's lanes are written whether
    // they hold a pair or not.
    constexpr int kPerParticle = kSameStripScan + kNextStripScan + 2 * kLanes;
    auto sweep = [&](int t, int first, int end) {
        TaskSlot& slot = slots[size_t(t)];
        std::vector<SweepPair>& out = t == 0 ? sweepPairs : slot.places;
        size_t ahead = kPairsAhead * size_t(t == 0 ? n : end - first);
        auto room = [&](int found) {
            makeRoom(out, size_t(found) + kPerParticle, ahead);
            out.resize(out.capacity());
        };
        room(0);
        Window window{x, y, out.data(), 0};
        int reach = 0;
        // Where the next-strip scan of the first place begins: the places
        // below the next strip, and those of it at most x - 1, come first.
        int s = 0;
        if (first > 0 && first < end) {
            float px = x[first];
            float nextStrip = std::floor(y[first]) + 1;
            float stripAfter = nextStrip + 1;
            int high = n;
            while (s < high) {
                int middle = s + (high - s) / 2;
                bool before = y[middle] < nextStrip || (y[middle] < stripAfter && x[middle] <= px - 1);
                if (before)
                    s = middle + 1;
                else
                    high = middle;
            }
        }
        for (int i = first; i < end; ++i) {
            start[i] = window.k;
            float px = x[i];
            float py = y[i];
            float f = std::floor(py);
            float nextStrip = f + 1;
            float stripAfter = f + 2;
            if (size_t(window.k) + kPerParticle > out.size()) {
                room(window.k);
                window.places = out.data();
            }

            window.scan<kSameStripScan>(i, px, py, i + 1, nextStrip);

            // The next-strip start only moves forward: x grows within a strip
            // and the strips grow with i. It moves by none or a few places,
            // a different number for nearly every particle, so four places
            // are tested at once rather than one by one with a branch that
            // would be mispredicted; the padding past the last place stops it.
            for (float left = px - 1;;) {
                Float4 sy = load4(y + s);
                Float4 sx = load4(x + s);
                int before = laneBits((sy < nextStrip) | ((sy < stripAfter) & (sx <= left)));
                if (before != 0xF) {
                    s += __builtin_ctz(~before);
                    break;
                }
                s += kLanes;
            }
            // s is past i itself unless f + 1 rounds to f (|y| of 2^24 and
            // more); starting after i there keeps a particle from pairing
            // with itself or with one that already found it.
            int next = std::max(s, i + 1);
            window.scan<kNextStripScan>(i, px, py, next, stripAfter);
            // No partner of i lies further on than the end of either window.
            reach = std::max(reach, std::max(kSameStripScan, next + kNextStripScan - 1 - i));
        }
        out.resize(size_t(window.k));
        slot.reach = reach;
    };
    // One run where the strips are too high to split: forRanges would still
    // split them, and the lists after the first would be lost.
    auto split = [&](auto&& task) {
        if (tasks == 1)
            task(0, 0, n);
        else
            forRanges(n, task);
    };
    split(sweep);

    // Where each task's pairs begin.
    int total = 0;
    pairReach = 0;
    for (int t = 0; t < tasks; ++t) {
        TaskSlot& slot = slots[size_t(t)];
        slot.firstPair = total;
        total += int(t == 0 ? sweepPairs.size() : slot.places.size());
        pairReach = std::max(pairReach, slot.reach);
    }
    scratch(sweepPairs, total);
    // The list keeps its allocation; only records past the old end are
    // initialised before being written.
    makeRoom(d.neighbors, size_t(total), kPairsAhead * size_t(n));
    d.neighbors.resize(size_t(total));
    for (int i = n; i <= d.count; ++i)
        start[i] = total;
    ParticleNeighbor* records = d.neighbors.data();
    SweepPair* pairs = sweepPairs.data();

    // Then the lists side by side and their records made, cut by pairs
    // rather than by places: pairs per place differ across a scene (packed
    // bodies, sparse fire) while a record costs the same wherever it lies.
    // Each part also moves its share of the places' first records on by the
    // pairs of the lists before their own.
    auto listEnd = [&](int t) { return t + 1 < tasks ? slots[size_t(t) + 1].firstPair : total; };
    auto sweptEnd = [&](int t) { return t + 1 < tasks ? rangeFirst(n, t + 1, tasks, threadCount) : n; };
    int parts = tasksFor(total);
    forRanges(total, [&](int part, int first, int end) {
        int t = 0;
        while (t + 1 < tasks && listEnd(t) <= first)
            ++t;
        for (int k = first; k < end; ++t) {
            int stop = std::min(end, listEnd(t));
            if (t > 0) {
                const TaskSlot& slot = slots[size_t(t)];
                std::copy(slot.places.begin() + (k - slot.firstPair), slot.places.begin() + (stop - slot.firstPair),
                          pairs + k);
            }
            k = stop;
        }
        makeRecords(x, y, order, pairs + first, end - first, records + first);

        int place = rangeFirst(n, part, parts, threadCount);
        int placeEnd = rangeFirst(n, part + 1, parts, threadCount);
        for (t = 0; place < placeEnd; ++t) {
            int stop = std::min(placeEnd, sweptEnd(t));
            int offset = slots[size_t(t)].firstPair;
            for (; offset != 0 && place < stop; ++place)
                start[place] += offset;
            place = std::max(place, stop);
        }
    });
    ++d.layoutVersion;
    incomingTasks = 0;
    frameData = &d;
    frameVersion = d.layoutVersion;
    frameSearched = true;
}

bool StepContext::searchedFrame(const ParticleData& d) const
{
    return frameSearched && frameData == &d && frameVersion == d.layoutVersion &&
           sweepPairs.size() == d.neighbors.size();
}

const int* StepContext::sweepFrame(ParticleData& d)
{
    if (searchedFrame(d))
        return d.order;
    // No search since the particles changed, or a list made elsewhere: the
    // identity order, in which places are particle numbers.
    frameSearched = false;
    for (int p = 0; p < d.count; ++p)
        d.order[p] = p;
    scratch(sweepPairs, int(d.neighbors.size()));
    for (size_t k = 0; k < d.neighbors.size(); ++k)
        sweepPairs[k] = {d.neighbors[k].a, d.neighbors[k].b};
    return d.order;
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
