#pragma once
#include "cg_types.h"
#include "object.h"
#include "particle_data.h"

namespace Zeb::Kamblo {

// Advances the scene by one step per simulate(): a fixed sequence of passes
// over the shared particle arrays.
class ParticleSimulator : public Object {
public:
    explicit ParticleSimulator(const Pointer<ParticleData>& data);

    void simulate();

    float2 gravityNormal() const;
    float2 gravity() const;
    float frand();

    // The passes, in the order simulate() runs them.
    void addUpInfo();
    void moveParticles();
    void searchBoundParticles();
    void joinParticles();
    void gravitateParticles();
    void updateParticleDensity();
    void applyStaticPressure();
    void applyPressure();
    void collideParticles();
    void resistParticles();
    void pourParticles();
    void drainParticles();

    Pointer<ParticleData> data;
    ParticleInfo presentInfo = 0;
    bool gcRequested = false;
};

// Iteration counts come from files and scripts. Counts above this bound are
// run this many times, so a mistyped count cannot stall the program; every
// sensible count is run exactly.
inline constexpr int kMaxIterations = 1000;
inline int boundedIterations(int requested)
{
    return requested < 0 ? 0 : (requested > kMaxIterations ? kMaxIterations : requested);
}

// One pour row never holds more particles than this, whatever the spacing.
inline constexpr int kMaxPouringRow = 100000;

} // namespace Zeb::Kamblo
