#pragma once
// The scene parameters, declared once. Every list of parameters in the
// program (fields and defaults, facade accessors, scene-file records, script
// names, host tables) is generated from this table, in this order.
// X(type, name, CapitalisedName, default)
//
// The clear colour is stored red, blue, green, alpha: files and hosts depend on
// that order, and every user reads the fields by name.

#define KAMBLO_PARAMETERS(X) \
    X(float, time, Time, 0.0f)                                                \
    X(int, timeStep, TimeStep, 0)                                             \
    X(float, scale, Scale, 8.0f)                                              \
    X(int, timeStepsPerFrame, TimeStepsPerFrame, 8)                           \
    X(int, framesPerSecond, FramesPerSecond, 25)                              \
    X(bool, pauseFlag, PauseFlag, false)                                      \
    X(int, randSeed, RandSeed, 0)                                             \
    X(bool, gravityFlag, GravityFlag, true)                                   \
    X(float, gravityAcceleration, GravityAcceleration, 0.001f)                \
    X(float, gravityAmplification, GravityAmplification, 1.0f)                \
    X(float, gravityAngle, GravityAngle, 0.0f)                                \
    X(bool, boundsFlag, BoundsFlag, true)                                     \
    X(float, boundsThickness, BoundsThickness, 0.25f)                         \
    X(float, boundsLeft, BoundsLeft, 0.0f)                                    \
    X(float, boundsRight, BoundsRight, 64.0f)                                 \
    X(float, boundsBottom, BoundsBottom, 0.0f)                                \
    X(float, boundsTop, BoundsTop, 48.0f)                                     \
    X(float, boundsRadius, BoundsRadius, 1.0f)                                \
    X(float, standardDistance, StandardDistance, 0.75f)                       \
    X(float, standardDensity, StandardDensity, 1.002498f)                     \
    X(float, maxSpeed, MaxSpeed, 0.5f)                                        \
    X(float, pressureCoefficient, PressureCoefficient, 0.05f)                 \
    X(float, repulsionCoefficient, RepulsionCoefficient, 0.05f)               \
    X(bool, dampingFlag, DampingFlag, true)                                   \
    X(float, dampingCoefficient, DampingCoefficient, 0.05f)                   \
    X(bool, staticPressureFlag, StaticPressureFlag, false)                    \
    X(float, staticPressureCoefficient, StaticPressureCoefficient, 0.5f)      \
    X(int, staticPressureIteration, StaticPressureIteration, 1)               \
    X(float, staticMaxPressure, StaticMaxPressure, 0.5f)                      \
    X(float, springCoefficient, SpringCoefficient, 0.05f)                     \
    X(int, springIteration, SpringIteration, 5)                               \
    X(float, elasticCoefficient, ElasticCoefficient, 0.5f)                    \
    X(int, elasticIteration, ElasticIteration, 5)                             \
    X(float, mochiElasticityCoefficient, MochiElasticityCoefficient, 0.1f)    \
    X(float, mochiSpringCoefficient, MochiSpringCoefficient, 0.1f)            \
    X(int, mochiIteration, MochiIteration, 3)                                 \
    X(float, viscosityCoefficient, ViscosityCoefficient, 0.4f)                \
    X(int, viscosityIteration, ViscosityIteration, 5)                         \
    X(float, surfaceTensionCoefficient, SurfaceTensionCoefficient, 0.1f)      \
    X(float, surfacePressureCoefficient, SurfacePressureCoefficient, 0.05f)   \
    X(int, surfaceTensionIteration, SurfaceTensionIteration, 5)               \
    X(float, powderSpringCoefficient, PowderSpringCoefficient, 0.5f)          \
    X(float, powderDampingCoefficient, PowderDampingCoefficient, 0.3f)        \
    X(float, powderFrictionCoefficient, PowderFrictionCoefficient, 0.05f)     \
    X(float, powderLightProbability, PowderLightProbability, 0.5f)            \
    X(float, powderExtinguishProbability, PowderExtinguishProbability, 0.05f) \
    X(float, powderExplosionCoefficient, PowderExplosionCoefficient, 1.0f)    \
    X(float, brittlenessCoefficient, BrittlenessCoefficient, 0.5f)            \
    X(float, jetCoefficient, JetCoefficient, 0.5f)                            \
    X(float, fuelLightProbability, FuelLightProbability, 0.01f)               \
    X(float, fuelExtinguishProbability, FuelExtinguishProbability, 0.0005f)   \
    X(float, upCoefficient, UpCoefficient, 10.0f)                             \
    X(float, downCoefficient, DownCoefficient, 10.0f)                         \
    X(float, yukiSpringCoefficient, YukiSpringCoefficient, 0.02f)             \
    X(float, yukiMeltingProbability, YukiMeltingProbability, 0.0001f)         \
    X(bool, resistanceFlag, ResistanceFlag, false)                            \
    X(float, resistanceCoefficient, ResistanceCoefficient, 0.02f)             \
    X(bool, fireFlag, FireFlag, true)                                         \
    X(float, fireProbability, FireProbability, 0.005f)                        \
    X(float, fireLife, FireLife, 1000.0f)                                     \
    X(float, fireBuoyancyCoefficient, FireBuoyancyCoefficient, 10.0f)         \
    X(bool, splashFlag, SplashFlag, false)                                    \
    X(float, splashProbability, SplashProbability, 0.05f)                     \
    X(float, splashExpansion, SplashExpansion, 0.00001f)                      \
    X(float, splashMinLife, SplashMinLife, 50.0f)                             \
    X(bool, bubbleFlag, BubbleFlag, false)                                    \
    X(float, bubbleProbability, BubbleProbability, 0.05f)                     \
    X(float, bubbleLife, BubbleLife, 10000.0f)                                \
    X(float, bubbleBuoyancyCoefficient, BubbleBuoyancyCoefficient, 20.0f)     \
    X(bool, pouringFlag, PouringFlag, false)                                  \
    X(bool, pouringRainFlag, PouringRainFlag, false)                          \
    X(float, pouringLocation, PouringLocation, 10.0f)                         \
    X(float, pouringThickness, PouringThickness, 2.0f)                        \
    X(float, pouringVelocity, PouringVelocity, 0.1f)                          \
    X(float, pouringTimer, PouringTimer, 0.0f)                                \
    X(int, pouringMaterial, PouringMaterial, 113)                             \
    X(int, pouringLayer, PouringLayer, -1)                                    \
    X(bool, clearFlag, ClearFlag, true)                                       \
    X(float, clearColorRed, ClearColorRed, 0.2f)                              \
    X(float, clearColorBlue, ClearColorBlue, 0.2f)                            \
    X(float, clearColorGreen, ClearColorGreen, 0.2f)                          \
    X(float, clearColorAlpha, ClearColorAlpha, 1.0f)                          \
    X(float, mouseRadius, MouseRadius, 1.0f)                                  \
    X(float, mouseDelay, MouseDelay, 10.0f)                                   \
    X(float, mouseForce, MouseForce, 1.0f)                                    \
    X(float, lineWidth, LineWidth, 1.0f)                                      \
    X(int, usersCharge, UsersCharge, 0)                                       \
    X(int, usersMaxCharge, UsersMaxCharge, 15)                                \
    X(float, usersSpeedX, UsersSpeedX, 0.05f)                                 \
    X(float, usersSpeedY, UsersSpeedY, 0.15f)                                 \
    X(float, usersForceX, UsersForceX, 0.05f)                                 \
    X(float, usersForceY, UsersForceY, 0.5f)                                  \
    X(float, usersX, UsersX, 0.0f)                                            \
    X(float, usersY, UsersY, 0.0f)                                            \
    X(float, viewWidth, ViewWidth, 0.0f)                                      \
    X(float, viewHeight, ViewHeight, 0.0f)                                    \
    X(bool, scrollFlag, ScrollFlag, false)                                    \
    X(float, scrollX, ScrollX, 0.0f)                                          \
    X(float, scrollY, ScrollY, 0.0f)                                          \
    X(float, scrollAngle, ScrollAngle, 0.0f)                                  \
    X(bool, colorFlag, ColorFlag, true)                                       \
    X(int, renderMode, RenderMode, 6)                                        

namespace Zeb::Kamblo {

enum class ParameterType { Float, Int, Bool };

struct ParameterDescriptor {
    const char* name;
    ParameterType type;
};

inline constexpr ParameterDescriptor kParameters[] = {
#define KAMBLO_PARAMETER_DESCRIPTOR(type, name, Name, value) {#name, ParameterType::KAMBLO_PARAMETER_TYPE_##type},
#define KAMBLO_PARAMETER_TYPE_float Float
#define KAMBLO_PARAMETER_TYPE_int Int
#define KAMBLO_PARAMETER_TYPE_bool Bool
    KAMBLO_PARAMETERS(KAMBLO_PARAMETER_DESCRIPTOR)
#undef KAMBLO_PARAMETER_DESCRIPTOR
};
inline constexpr int kParameterCount = sizeof(kParameters) / sizeof(kParameters[0]);
static_assert(kParameterCount == 102, "the scene has exactly 102 parameters");

} // namespace Zeb::Kamblo
