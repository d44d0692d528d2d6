#pragma once
// The engine's whole surface towards a host.
#include "particle_parameter.h"

namespace Zeb::Kamblo {

class RevivezoRora {
public:
    virtual ~RevivezoRora() = default;

    // Parameters: a getter and a setter for each, in table order.
#define KAMBLO_DECLARE_ACCESSORS(type, name, Name, defaultValue) \
    virtual type name() const = 0;                       \
    virtual void set##Name(type v) = 0;
    KAMBLO_PARAMETERS(KAMBLO_DECLARE_ACCESSORS)
#undef KAMBLO_DECLARE_ACCESSORS

    // Frame.
    virtual void simulate() = 0;

    // Scene. save and load report success; a load that cannot open its file
    // keeps the current scene.
    virtual bool save(const char* path) = 0;
    virtual bool load(const char* path) = 0;
    virtual void clear() = 0;
    virtual void registerUndo() = 0;
    virtual void undo() = 0;
    virtual bool canUndo() const = 0;

    // Counts.
    virtual int countParticles() const = 0;
    virtual int countBodies() const = 0;
    virtual int countJoints() const = 0;

    // Colours, in r, g, b, a order.
    virtual void getClearColor(float& r, float& g, float& b, float& a) = 0;
    virtual void setClearColor(float r, float g, float b, float a) = 0;

    static RevivezoRora* newInstance();
    static void deleteInstance(RevivezoRora* instance);
    static void getMaterialColor(int code, float& r, float& g, float& b, float& a);
};

} // namespace Zeb::Kamblo
