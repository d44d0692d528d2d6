#pragma once
#include "cg_types.h"
#include "object.h"
#include "particle_data.h"
#include "particle_step_context.h"

namespace Zeb::Kamblo {

// Advances the scene by one step per simulate(): a fixed sequence of passes
// over the shared particle arrays.
class ParticleSimulator : public Object {
public:
    explicit ParticleSimulator(const Pointer<ParticleData>& data);
    ParticleSimulator(const ParticleSimulator&) = delete;
    ParticleSimulator& operator=(const ParticleSimulator&) = delete;
    ~ParticleSimulator() override;

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
    // collideParticles over context.sweptPosition and sweptVelocity, already
    // gathered into sweep order.
    void dampSwept();
    // d.updateParticleNeighbors(), split between the threads.
    void refreshNeighbors();
    void resistParticles();
    void pourParticles();
    void drainParticles();

    // What simulate() runs instead of the passes they name, with the same
    // results: neighbouring per-particle passes walk the particles once, and
    // the threads meet once for them.
    // addUpInfo, moveParticles, searchBoundParticles; and the positions'
    // extent for the neighbour search.
    void moveAndBound();
    // gravitateParticles, updateParticleDensity; and the sweep-order
    // pressures (and attributes, with walls or powder) of applyPressure.
    void gravitateAndWeigh();
    // applyPressure, searchBoundParticles, collideParticles.
    void pushAndCollide();

    // The material passes, in the order expressAttributes runs them. Each does
    // nothing when no particle carries its attribute.
    void expressAttributes();
    void expressMochi();
    void expressTensile();
    void expressYuki();
    void expressViscous();
    void expressKome();
    void expressElastic();
    void expressSpring();
    void expressBrittle();
    void expressRigid();
    void expressWall();

    // The flowing, buoyant, burning and steered materials.
    void expressPowder();
    void expressLight();
    void liftPairs(ParticleInfo attribute, float coefficient, bool rises);
    void expressDense();
    void expressJet();
    void expressAqua();
    void expressFuel();
    void expressHot();
    void expressCold();
    void expressInflow();
    void expressOutflow();
    void expressUsers();

    // Effect particles: move them and retire those whose life ended.
    void moveFire();
    void moveSplash();
    void moveBubble();

    // Water flow sampled on 1 x 1 cells from (boundsLeft, boundsBottom):
    // the weighted sums of water velocity and the weights themselves.
    struct BubbleCell {
        float vx = 0;
        float vy = 0;
        float weight = 0;
    };
    struct BubbleGrid {
        int width = 0;
        int height = 0;
        BubbleCell* cells = nullptr; // width x height, row-major, owned
    };

    Pointer<ParticleData> data;
    // The step's working state and its threads.
    StepContext context;
    BubbleGrid bubbleGrid;
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

// The bubble grid never has more cells than this per side, however wide the
// bounds; bubbles beyond it find no water and end.
inline constexpr int kMaxBubbleGridSide = 2048;

} // namespace Zeb::Kamblo
