#pragma once
// The engine's whole surface towards a host.
#include <cstdint>
#include <utility>
#include <vector>

#include "particle_attribute.h"
#include "particle_key.h"
#include "particle_material.h"
#include "particle_parameter.h"
#include "particle_tool.h"
#include "value.h"

namespace Zeb::Kamblo {

// A read-only copy of what the scene holds, for summaries: each particle's
// attribute set and body, the number of bodies (the default body 0
// included) and each joint's two particles.
struct SceneCensus {
    std::vector<uint32_t> particleInfo;
    std::vector<int> particleBody;
    int bodyCount = 0;
    std::vector<std::pair<int, int>> joints;
};

class RevivezoRora {
public:
    virtual ~RevivezoRora() = default;

    // Parameters: a getter and a setter for each, in table order.
#define KAMBLO_DECLARE_ACCESSORS(type, name, Name, defaultValue) \
    virtual type name() const = 0;                               \
    virtual void set##Name(type v) = 0;
    KAMBLO_PARAMETERS(KAMBLO_DECLARE_ACCESSORS)
#undef KAMBLO_DECLARE_ACCESSORS

    // Input, in scene units. Buttons: 1 left, 2 right, 3 other (modifier bits
    // 4, 8, 16 are ignored). Keys: characters 0-127, arrows 256-259.
    virtual void onKeyDown(int key) = 0;
    virtual void onKeyUp(int key) = 0;
    virtual void onMouseDown(int button, float x, float y) = 0;
    virtual void onMouseMove(float x, float y) = 0;
    virtual void onMouseUp() = 0;
    virtual void onFileDrop(const char* path, float x, float y) = 0;

    // Frame: one simulation step; drawing inside the host's current GL context.
    virtual void simulate() = 0;
    virtual void prerender() = 0;
    virtual void render() = 0;

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

    // View.
    virtual float contentWidth() = 0;
    virtual float contentHeight() = 0;
    virtual void setContentWidth(float width) = 0;
    virtual void setContentHeight(float height) = 0;

    // Images by file name; the empty string when there is none.
    virtual const char* backgroundImageName() const = 0;
    virtual const char* foregroundImageName() const = 0;
    virtual const char* fireImageName() const = 0;
    virtual const char* splashImageName() const = 0;
    virtual const char* bubbleImageName() const = 0;
    virtual void setBackgroundImageName(const char* name) = 0;
    virtual void setForegroundImageName(const char* name) = 0;
    virtual void setFireImageName(const char* name) = 0;
    virtual void setSplashImageName(const char* name) = 0;
    virtual void setBubbleImageName(const char* name) = 0;

    // Tools of the mouse buttons and operations of the key groups.
    virtual int leftButtonTool() const = 0;
    virtual void setLeftButtonTool(int tool) = 0;
    virtual int rightButtonTool() const = 0;
    virtual void setRightButtonTool(int tool) = 0;
    virtual int otherButtonTool() const = 0;
    virtual void setOtherButtonTool(int tool) = 0;
    virtual int lowerCaseKeyOperation() const = 0;
    virtual void setLowerCaseKeyOperation(int operation) = 0;
    virtual int upperCaseKeyOperation() const = 0;
    virtual void setUpperCaseKeyOperation(int operation) = 0;
    virtual int numberKeyOperation() const = 0;
    virtual void setNumberKeyOperation(int operation) = 0;
    virtual int arrowKeyOperation() const = 0;
    virtual void setArrowKeyOperation(int operation) = 0;

    // Colours, in r, g, b, a order.
    virtual void getClearColor(float& r, float& g, float& b, float& a) = 0;
    virtual void setClearColor(float r, float g, float b, float a) = 0;

    // The next particle painted.
    virtual int nextMaterial() const = 0;
    virtual void setNextMaterial(int material) = 0;
    virtual int nextLayer() const = 0;
    virtual void setNextLayer(int layer) = 0;
    virtual void getNextColor(float& r, float& g, float& b, float& a) = 0;
    virtual void setNextColor(float r, float g, float b, float a) = 0;
#define KAMBLO_DECLARE_ATTRIBUTE_ACCESSORS(name, Name)   \
    virtual bool next##Name##Attribute() const = 0;      \
    virtual void setNext##Name##Attribute(bool v) = 0;
    KAMBLO_ATTRIBUTES(KAMBLO_DECLARE_ATTRIBUTE_ACCESSORS)
#undef KAMBLO_DECLARE_ATTRIBUTE_ACCESSORS

    virtual int templateShape() const = 0;
    virtual void setTemplateShape(int shape) = 0;
    virtual bool materialColorFlag() const = 0;
    virtual void setMaterialColorFlag(bool flag) = 0;

    // Script access: a parameter or other script-visible value by name (null
    // for an unknown name), and storing one (unknown names are ignored).
    virtual Value getValue(const char* name) const = 0;
    virtual void setValue(const char* name, const Value& v) = 0;

    // Fills the census from the scene; nothing in the scene changes.
    virtual void takeCensus(SceneCensus& census) const = 0;

    static RevivezoRora* newInstance();
    static void deleteInstance(RevivezoRora* instance);
    static void getMaterialColor(int code, float& r, float& g, float& b, float& a);
};

} // namespace Zeb::Kamblo
