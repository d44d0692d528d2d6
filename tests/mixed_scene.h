#pragma once
// A small scene holding every material in its own patch, with bodies, joints
// and every effect pool switched on, for the hostile-scene and soak tests.
#include <cmath>
#include <cstdio>
#include <string>

#include "particle_builder.h"
#include "particle_data.h"

namespace PudletTest {

inline constexpr char kEveryMaterial[] = "@bcdefghijklmopqrstuvwxy";

// Patches of 5 x 5 units (about 50 particles each) in rows across the
// default 64 x 48 box.
inline void fillEveryMaterial(const Zeb::Kamblo::Pointer<Zeb::Kamblo::ParticleData>& data)
{
    using namespace Zeb::Kamblo;
    auto builder = autorelease(new ParticleBuilder(data));
    data->fireFlag = true;
    data->splashFlag = true;
    data->bubbleFlag = true;
    int slot = 0;
    for (const char* m = kEveryMaterial; *m; ++m, ++slot) {
        builder->setMaterial(*m);
        const float x = 4 + float(slot % 8) * 7;
        const float y = 6 + float(slot / 8) * 12;
        builder->fillRect(float2(x, y), float2(x + 5, y + 5));
    }
}

// Every particle's position is finite, every body index names a body, and
// every joint joins two distinct particles in order. Empty when all hold.
// A scene given non-finite positions on purpose skips the position check.
inline std::string brokenInvariant(const Zeb::Kamblo::ParticleData& d, bool checkPositions = true)
{
    char text[160];
    if (d.count < 0 || d.count > d.capacity)
        return "count outside 0..capacity";
    if (d.bodies.empty() || d.bodies.size() > size_t(Zeb::Kamblo::kMaxBodies))
        return "body table size " + std::to_string(d.bodies.size());
    for (int i = 0; i < d.count; ++i) {
        if (checkPositions && !(std::isfinite(d.position[i].x) && std::isfinite(d.position[i].y))) {
            std::snprintf(text, sizeof text, "particle %d at (%g, %g)", i, double(d.position[i].x),
                          double(d.position[i].y));
            return text;
        }
        if (d.body[i] >= d.bodies.size()) {
            std::snprintf(text, sizeof text, "particle %d in body %d of %zu", i, int(d.body[i]), d.bodies.size());
            return text;
        }
    }
    for (const Zeb::Kamblo::ParticleJoint& j : d.joints) {
        if (!(0 <= j.a && j.a < j.b && j.b < d.count)) {
            std::snprintf(text, sizeof text, "joint (%d, %d) with %d particles", j.a, j.b, d.count);
            return text;
        }
    }
    return "";
}

} // namespace PudletTest
