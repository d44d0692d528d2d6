#pragma once
// The whole state of one scene: particles as parallel arrays, bodies, joints,
// the neighbour list of the current step, effect pools, images and parameters.
// The step's own working storage lives with the simulator (StepContext).
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <set>
#include <vector>

#include "cg_math.h"
#include "color.h"
#include "object.h"
#include "particle_body.h"
#include "particle_effect.h"
#include "particle_info.h"
#include "particle_joint.h"
#include "particle_neighbor.h"
#include "particle_parameter.h"

// The per-particle arrays in declared order: X(element type, name, persistence).
// Persistent arrays travel with their particle through copy, swap, gc and files;
// scratch arrays are recomputed every step.
#define KAMBLO_PARTICLE_ARRAYS(X)                      \
    X(ParticleInfo, info, persistent)                 \
    X(uint8_t, body, persistent)                      \
    X(uint8_t, layer, persistent)                     \
    X(Color, color, persistent)                       \
    X(float2, position, persistent)                   \
    X(float2, velocity, persistent)                   \
    X(float2, delta, scratch)                         \
    X(float2, anchor, persistent)                     \
    X(float, angle, persistent)                       \
    X(float, angularVelocity, persistent)             \
    X(float, density, scratch)                        \
    X(float, staticPressure, persistent)              \
    X(float, pressure, scratch)                       \
    X(float, boundWeight, scratch)                    \
    X(float2, boundNormal, scratch)                   \
    X(Color, renderColor, scratch)                    \
    X(int, order, scratch)

// Expands to its argument only for persistent arrays.
#define KAMBLO_IF_persistent(...) __VA_ARGS__
#define KAMBLO_IF_scratch(...)

namespace Zeb::Kamblo {

class Texture;
class SceneScript;
class StepContext;

class ParticleData : public Object {
public:
    ParticleData();
    ParticleData(const ParticleData&) = delete;
    ParticleData& operator=(const ParticleData&) = delete;
    ~ParticleData() override;

    void setParticleCapacity(int n);
    int createParticle(int body);
    void clear();
    void copy(const Pointer<ParticleData>& other);
    void swap(const Pointer<ParticleData>& other);
    // A step passes its own working storage for the search that splitting
    // bodies may need; without it the search brings its own.
    void gc(StepContext* context = nullptr);

    static ParticleInfo materialInfo(int code);
    static Color materialColor(int code);
    static Color colorForInfo(ParticleInfo info);

    // Bodies (particle_body.cpp).
    int createBody();
    int uniteBody(int first, int second);
    void bindParticleToBody(int particle, int body);
    void splitBody(int body);

    // Neighbour search (particle_data_neighbor.cpp).
    void searchParticleNeighbors();
    void updateParticleNeighbors();

    // Scene file (particle_data_io.cpp). save replaces the file (or the
    // target of a link to it) only once the new one is completely on disk,
    // keeping its permissions. load keeps the scene when the path names no
    // regular file or a file that holds no scene. Both report success.
    bool save(const char* path) const;
    bool load(const char* path);
    // Reads a script section through its closing "$" line.
    static Pointer<SceneScript> loadScript(std::istream& in);

    int count = 0;
    int capacity = 0;
    // Changes whenever particles are created, removed or renumbered, or the
    // neighbour list or sweep order is rebuilt here; what a step keeps about
    // the particles is valid only while it stays the same.
    uint64_t layoutVersion = 0;
#define KAMBLO_DECLARE_ARRAY(type, name, persistence) type* name = nullptr;
    KAMBLO_PARTICLE_ARRAYS(KAMBLO_DECLARE_ARRAY)
#undef KAMBLO_DECLARE_ARRAY

    std::vector<ParticleBody> bodies;
    std::vector<ParticleNeighbor> neighbors;
    JointSet joints;
    Pointer<ParticleEffect> fireEffect;
    Pointer<ParticleEffect> splashEffect;
    Pointer<ParticleEffect> bubbleEffect;
    Pointer<Texture> foreground;
    Pointer<Texture> background;

#define KAMBLO_DECLARE_PARAMETER(type, name, Name, value) type name = value;
    KAMBLO_PARAMETERS(KAMBLO_DECLARE_PARAMETER)
#undef KAMBLO_DECLARE_PARAMETER

    int templateKind = 0;
    float2 templateStart;
    float2 templateEnd;
    Pointer<SceneScript> onSimulate;
    Pointer<SceneScript> onRender;

private:
    void copyParameters(const ParticleData& other);
    void swapParameters(ParticleData& other);
};

} // namespace Zeb::Kamblo
