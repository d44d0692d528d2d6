#pragma once
#include <atomic>
#include <cstdint>
#include <set>

#include "cg_types.h"
#include "particle_info.h"

namespace Zeb::Kamblo {

// A tie between two particles that remembers their relation when it formed.
struct ParticleJoint {
    ParticleInfo info = 0; // union of both particles' attributes
    int a = 0;             // always the smaller particle number
    int b = 0;
    float length = 0;      // distance at creation
    float strength = 0;    // max(1 - length, 0)
    float2 offset;         // position[b] - position[a] at creation
    float angleA = 0;
    float angleB = 0;

    // Joints come from files as well as from the join pass; one that names a
    // particle outside the arrays is left alone rather than read out of bounds.
    bool inRange(int count) const { return a >= 0 && b >= 0 && a < count && b < count; }

    // Only the pair takes part: the set holds at most one joint per pair.
    friend bool operator<(const ParticleJoint& x, const ParticleJoint& y)
    {
        return x.a < y.a || (x.a == y.a && x.b < y.b);
    }
};
static_assert(sizeof(ParticleJoint) == 36);

// The scene's joints, ordered by pair, at most one per pair. Every change
// gives the set a stamp no set has had before, so a step may keep what it
// derived from the set (a flat copy, the elastic pass's joint ends) until the
// stamp moves, whichever scene the set belongs to.
class JointSet {
public:
    using Set = std::set<ParticleJoint>;
    using const_iterator = Set::const_iterator;
    using iterator = const_iterator;
    using value_type = ParticleJoint;

    JointSet() = default;
    JointSet(const JointSet& other) : set(other.set) {}
    JointSet(JointSet&& other) noexcept : set(std::move(other.set)) { other.renew(); }
    JointSet& operator=(const JointSet& other)
    {
        set = other.set;
        renew();
        return *this;
    }
    JointSet& operator=(JointSet&& other) noexcept
    {
        set = std::move(other.set);
        renew();
        other.renew();
        return *this;
    }

    const_iterator begin() const { return set.begin(); }
    const_iterator end() const { return set.end(); }
    auto rbegin() const { return set.rbegin(); }
    auto rend() const { return set.rend(); }
    size_t size() const { return set.size(); }
    bool empty() const { return set.empty(); }
    size_t count(const ParticleJoint& joint) const { return set.count(joint); }
    const_iterator find(const ParticleJoint& joint) const { return set.find(joint); }

    // An existing joint for the pair stays as it is.
    std::pair<iterator, bool> insert(const ParticleJoint& joint)
    {
        auto result = set.insert(joint);
        if (result.second)
            renew();
        return result;
    }
    iterator erase(const_iterator at)
    {
        renew();
        return set.erase(at);
    }
    // The joint of the same pair, if there is one.
    size_t erase(const ParticleJoint& joint)
    {
        size_t erased = set.erase(joint);
        if (erased)
            renew();
        return erased;
    }
    template <class Predicate>
    size_t eraseIf(Predicate&& predicate)
    {
        size_t erased = std::erase_if(set, predicate);
        if (erased)
            renew();
        return erased;
    }
    void clear()
    {
        renew();
        set.clear();
    }
    // The joint at `at`, to be changed where it stands: its pair only in
    // ways that keep the set's order.
    ParticleJoint& edit(const_iterator at)
    {
        renew();
        return const_cast<ParticleJoint&>(*at);
    }

    uint64_t stamp() const { return stamped; }

private:
    void renew() { stamped = issued.fetch_add(1, std::memory_order_relaxed) + 1; }

    static inline std::atomic<uint64_t> issued{0};
    Set set;
    uint64_t stamped = issued.fetch_add(1, std::memory_order_relaxed) + 1;
};

} // namespace Zeb::Kamblo
