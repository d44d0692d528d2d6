// The scene reader on arbitrary text, followed by what a user does next: a
// few steps (pouring on), a brush stroke and a flood fill, a save, and a
// load of the saved file. Nothing may crash, and the saved file must load.
#include "fuzz_file.h"
#include "particle_builder.h"
#include "particle_data.h"
#include "particle_simulator.h"

using namespace Zeb::Kamblo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    static const std::string input = PudletFuzz::scratchPath("scene", ".pdl");
    static const std::string saved = PudletFuzz::scratchPath("scene-saved", ".pdl");
    if (!PudletFuzz::writeFile(input, bytes, size))
        return 0;

    auto data = autorelease(new ParticleData());
    data->load(input.c_str());
    data->pauseFlag = false;
    auto simulator = autorelease(new ParticleSimulator(data));
    for (int step = 0; step < 3; ++step)
        simulator->simulate();

    auto builder = autorelease(new ParticleBuilder(data));
    const float2 middle((data->boundsLeft + data->boundsRight) / 2, (data->boundsBottom + data->boundsTop) / 2);
    const float2 end = middle + float2(4, 1);
    builder->prepareForDrawing(middle, 1);
    builder->drawLine(middle, end);
    builder->drawLine(middle, end, 1);
    // Flooding the open box would fill it and make every input slow; a
    // small walled square keeps the fill cheap for sensible spacings.
    builder->setMaterial('w');
    const float2 corners[] = {middle - float2(6, 6), middle - float2(2, 6), middle - float2(2, 2), middle - float2(6, 2)};
    builder->prepareForDrawing(corners[0], 1);
    for (int k = 0; k < 4; ++k)
        builder->drawLine(corners[k], corners[(k + 1) % 4]);
    builder->setMaterial('q');
    builder->floodParticles(middle - float2(4, 4));
    data->pouringFlag = true;
    simulator->simulate();

    if (!data->save(saved.c_str()))
        return 0;
    auto reloaded = autorelease(new ParticleData());
    if (!reloaded->load(saved.c_str()))
        __builtin_trap();
    return 0;
}
