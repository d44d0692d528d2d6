#pragma once
#include "object.h"
#include "particle_beat.h"
#include "particle_data.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

// The one implementation of RevivezoRora: owns a scene, its undo snapshot and
// the components that work on the scene.
class RevivezoRoraImplements : public RevivezoRora, public Object {
public:
    RevivezoRoraImplements();
    ~RevivezoRoraImplements() override;

#define KAMBLO_DEFINE_ACCESSORS(type, name, Name, defaultValue)    \
    type name() const override { return data->name; }       \
    void set##Name(type v) override { data->name = v; }
    KAMBLO_PARAMETERS(KAMBLO_DEFINE_ACCESSORS)
#undef KAMBLO_DEFINE_ACCESSORS

    void simulate() override;

    bool save(const char* path) override;
    bool load(const char* path) override;
    void clear() override;
    void registerUndo() override;
    void undo() override;
    bool canUndo() const override { return undoFlag; }

    int countParticles() const override { return data->count; }
    int countBodies() const override { return int(data->bodies.size()); }
    int countJoints() const override { return int(data->joints.size()); }

    void getClearColor(float& r, float& g, float& b, float& a) override;
    void setClearColor(float r, float g, float b, float a) override;

    Pointer<ParticleData> data;
    Pointer<ParticleData> undoData;
    Pointer<ParticleSimulator> simulator;
    bool undoFlag = false;
};

} // namespace Zeb::Kamblo
