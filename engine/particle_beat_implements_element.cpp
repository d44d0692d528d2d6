// The facade as a script object: scene parameters and a few engine values by
// name, the engine functions scripts may call, and the scene script hooks.
#include "particle_beat_implements.h"

#include <cmath>
#include <iostream>

#include "scene_script.h"
#include "script.h"

namespace Zeb::Kamblo {

namespace {

// One component of a packed colour: the truncation of component x 255, kept
// to its low 8 bits. Values too large for an integer (and NaN) give 0.
uint32_t packedComponent(float component)
{
    const double scaled = component * 255.0;
    if (!(std::fabs(scaled) < 2147483648.0))
        return 0;
    return uint32_t(int64_t(scaled)) & 0xff;
}

int packColor(float red, float green, float blue, float alpha)
{
    return int(packedComponent(red) << 24 | packedComponent(green) << 16 | packedComponent(blue) << 8 |
               packedComponent(alpha));
}

int packColor(const Color& c)
{
    return int(uint32_t(c.red) << 24 | uint32_t(c.green) << 16 | uint32_t(c.blue) << 8 | uint32_t(c.alpha));
}

Color unpackColor(int packed)
{
    const uint32_t word = uint32_t(packed);
    return Color{uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
}

// Engine functions that do work proportional to the scene charge it to the
// running script (chargeScript), so a script that calls them in a loop runs
// out of budget like any other long loop instead of stalling the program.
void chargeScript(long long work) { EvaluationStep::charge(work); }

constexpr long long kLoadWork = 10'000;
constexpr long long kWorkPerParticle = 10;

} // namespace

Value RevivezoRoraImplements::getValue(const char* name) const
{
#define KAMBLO_GET_PARAMETER(type, parameter, Name, defaultValue) \
    if (eq(name, #parameter))                                    \
        return Value(data->parameter);
    KAMBLO_PARAMETERS(KAMBLO_GET_PARAMETER)
#undef KAMBLO_GET_PARAMETER

#define KAMBLO_GET_ATTRIBUTE(attribute, Name) \
    if (eq(name, #attribute))                 \
        return Value(int(Attribute::attribute));
    KAMBLO_ATTRIBUTES(KAMBLO_GET_ATTRIBUTE)
#undef KAMBLO_GET_ATTRIBUTE

    if (eq(name, "nextMaterial"))
        return Value(builder->material());
    if (eq(name, "nextInfo"))
        return Value(int(builder->info()));
    if (eq(name, "nextLayer"))
        return Value(builder->layer());
    if (eq(name, "nextColor"))
        return Value(packColor(builder->color()));
    if (eq(name, "clearColor"))
        return Value(packColor(data->clearColorRed, data->clearColorGreen, data->clearColorBlue, data->clearColorAlpha));
    return Value();
}

void RevivezoRoraImplements::setValue(const char* name, const Value& v)
{
#define KAMBLO_SET_PARAMETER(type, parameter, Name, defaultValue) \
    if (eq(name, #parameter)) {                                  \
        data->parameter = type(v);                               \
        return;                                                  \
    }
    KAMBLO_PARAMETERS(KAMBLO_SET_PARAMETER)
#undef KAMBLO_SET_PARAMETER

    if (eq(name, "nextMaterial")) {
        builder->setMaterial(int(v));
    } else if (eq(name, "nextInfo")) {
        builder->setInfo(ParticleInfo(int(v)));
    } else if (eq(name, "nextLayer")) {
        builder->setLayer(int(v));
    } else if (eq(name, "nextColor")) {
        builder->setColor(unpackColor(int(v)));
    } else if (eq(name, "clearColor")) {
        const Color c = unpackColor(int(v));
        data->clearColorRed = colorComponentToFloat(c.red);
        data->clearColorGreen = colorComponentToFloat(c.green);
        data->clearColorBlue = colorComponentToFloat(c.blue);
        data->clearColorAlpha = colorComponentToFloat(c.alpha);
    }
    // Attribute names are constants; anything else is not ours.
}

Value RevivezoRoraImplements::exec(const char* name, const Value* args, int count)
{
    auto floatArgument = [&](int i, float fallback) { return i < count ? float(args[i]) : fallback; };
    auto intArgument = [&](int i, int fallback) { return i < count ? int(args[i]) : fallback; };

    if (eq(name, "clear")) {
        chargeScript(kWorkPerParticle * data->count);
        clear();
        return Value();
    }
    if (eq(name, "load")) {
        if (count >= 1) {
            // The object's own text: a reference (a variable) has none.
            const char* text = args[0].object->toString();
            const std::string path = text ? text : "";
            chargeScript(kLoadWork);
            load(path.c_str());
            chargeScript(kWorkPerParticle * data->count);
        }
        return Value();
    }
    if (eq(name, "color"))
        return Value(packColor(floatArgument(0, 0.0f), floatArgument(1, 0.0f), floatArgument(2, 0.0f),
                               floatArgument(3, 1.0f)));
    if (eq(name, "countParticles")) {
        const int mask = intArgument(0, -1);
        const float left = floatArgument(1, data->boundsLeft);
        const float right = floatArgument(2, data->boundsRight);
        const float bottom = floatArgument(3, data->boundsBottom);
        const float top = floatArgument(4, data->boundsTop);
        chargeScript(data->count);
        return Value(countParticlesMatching(mask, left, right, bottom, top));
    }
    if (eq(name, "countNeighbors")) {
        const int maskA = intArgument(0, -1);
        const int maskB = intArgument(1, -1);
        chargeScript(kWorkPerParticle * data->count);
        return Value(countNeighborsMatching(maskA, maskB));
    }
    return Value();
}

int RevivezoRoraImplements::countParticlesMatching(int mask, float left, float right, float bottom, float top) const
{
    const ParticleInfo bits = ParticleInfo(mask);
    int matching = 0;
    for (int i = 0; i < data->count; ++i) {
        const float2 p = data->position[i];
        if ((data->info[i] & bits) != 0 && left <= p.x && p.x <= right && bottom <= p.y && p.y <= top)
            ++matching;
    }
    return matching;
}

int RevivezoRoraImplements::countNeighborsMatching(int maskA, int maskB)
{
    data->searchParticleNeighbors();
    chargeScript(static_cast<long long>(data->neighbors.size()));
    const ParticleInfo a = ParticleInfo(maskA);
    const ParticleInfo b = ParticleInfo(maskB);
    int matching = 0;
    for (const ParticleNeighbor& n : data->neighbors) {
        const ParticleInfo infoA = data->info[n.a];
        const ParticleInfo infoB = data->info[n.b];
        if (((infoA & a) != 0 && (infoB & b) != 0) || ((infoA & b) != 0 && (infoB & a) != 0))
            ++matching;
    }
    return matching;
}

void RevivezoRoraImplements::runSceneScript(Pointer<SceneScript> ParticleData::*hook)
{
    // A local count keeps the script alive even if it loads another scene.
    Pointer<SceneScript> script = data.get()->*hook;
    // A script that failed was reported then and stays in the scene only so
    // that saving keeps its text; it never runs again.
    if (!script || script->errorMessage())
        return;
    script->run(Pointer<Element>(this));
    if (const char* message = script->errorMessage())
        std::cerr << message << '\n';
}

} // namespace Zeb::Kamblo
