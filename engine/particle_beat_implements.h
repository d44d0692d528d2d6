#pragma once
#include "element.h"
#include "particle_beat.h"
#include "particle_builder.h"
#include "particle_data.h"
#include "particle_renderer.h"
#include "particle_responder.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

// The one implementation of RevivezoRora: owns a scene, its undo snapshot and
// the components that work on the scene, and hands each request to the
// component it belongs to. It is also the script object at the end of every
// scene script's scope chain; its Element part carries the reference count.
class RevivezoRoraImplements : public RevivezoRora, public Element {
public:
    RevivezoRoraImplements();
    ~RevivezoRoraImplements() override;

#define KAMBLO_DEFINE_ACCESSORS(type, name, Name, defaultValue) \
    type name() const override { return data->name; }           \
    void set##Name(type v) override { data->name = v; }
    KAMBLO_PARAMETERS(KAMBLO_DEFINE_ACCESSORS)
#undef KAMBLO_DEFINE_ACCESSORS

    void onKeyDown(int key) override;
    void onKeyUp(int key) override;
    void onMouseDown(int button, float x, float y) override;
    void onMouseMove(float x, float y) override;
    void onMouseUp() override;
    void onFileDrop(const char* path, float x, float y) override;

    void simulate() override;
    void prerender() override;
    void render() override;

    bool save(const char* path) override;
    bool load(const char* path) override;
    void clear() override;
    void registerUndo() override;
    void undo() override;
    bool canUndo() const override { return undoFlag; }

    int countParticles() const override { return data->count; }
    int countBodies() const override { return int(data->bodies.size()); }
    int countJoints() const override { return int(data->joints.size()); }

    float contentWidth() override { return responder->contentWidth(); }
    float contentHeight() override { return responder->contentHeight(); }
    void setContentWidth(float width) override { responder->setContentWidth(width); }
    void setContentHeight(float height) override { responder->setContentHeight(height); }

    const char* backgroundImageName() const override;
    const char* foregroundImageName() const override;
    const char* fireImageName() const override;
    const char* splashImageName() const override;
    const char* bubbleImageName() const override;
    void setBackgroundImageName(const char* name) override;
    void setForegroundImageName(const char* name) override;
    void setFireImageName(const char* name) override;
    void setSplashImageName(const char* name) override;
    void setBubbleImageName(const char* name) override;

    int leftButtonTool() const override { return responder->leftButtonTool; }
    void setLeftButtonTool(int tool) override { responder->leftButtonTool = tool; }
    int rightButtonTool() const override { return responder->rightButtonTool; }
    void setRightButtonTool(int tool) override { responder->rightButtonTool = tool; }
    int otherButtonTool() const override { return responder->otherButtonTool; }
    void setOtherButtonTool(int tool) override { responder->otherButtonTool = tool; }
    int lowerCaseKeyOperation() const override { return responder->lowerCaseKeyOperation; }
    void setLowerCaseKeyOperation(int operation) override { responder->lowerCaseKeyOperation = operation; }
    int upperCaseKeyOperation() const override { return responder->upperCaseKeyOperation; }
    void setUpperCaseKeyOperation(int operation) override { responder->upperCaseKeyOperation = operation; }
    int numberKeyOperation() const override { return responder->numberKeyOperation; }
    void setNumberKeyOperation(int operation) override { responder->numberKeyOperation = operation; }
    int arrowKeyOperation() const override { return responder->arrowKeyOperation; }
    void setArrowKeyOperation(int operation) override { responder->arrowKeyOperation = operation; }

    void getClearColor(float& r, float& g, float& b, float& a) override;
    void setClearColor(float r, float g, float b, float a) override;

    int nextMaterial() const override { return builder->material(); }
    void setNextMaterial(int material) override { builder->setMaterial(material); }
    int nextLayer() const override { return builder->layer(); }
    void setNextLayer(int layer) override { builder->setLayer(layer); }
    void getNextColor(float& r, float& g, float& b, float& a) override;
    void setNextColor(float r, float g, float b, float a) override;
#define KAMBLO_DEFINE_ATTRIBUTE_ACCESSORS(name, Name)                                                   \
    bool next##Name##Attribute() const override { return (builder->info() & Attribute::name) != 0; } \
    void setNext##Name##Attribute(bool v) override { setNextAttribute(Attribute::name, v); }
    KAMBLO_ATTRIBUTES(KAMBLO_DEFINE_ATTRIBUTE_ACCESSORS)
#undef KAMBLO_DEFINE_ATTRIBUTE_ACCESSORS

    int templateShape() const override { return responder->templateShape; }
    void setTemplateShape(int shape) override { responder->templateShape = shape; }
    bool materialColorFlag() const override { return builder->materialColorFlag(); }
    void setMaterialColorFlag(bool flag) override { builder->setMaterialColorFlag(flag); }

    // Script access (particle_beat_implements_element.cpp).
    Value getValue(const char* name) const override;
    void setValue(const char* name, const Value& v) override;
    void takeCensus(SceneCensus& census) const override;
    Value exec(const char* name, const Value* args, int count) override;

    Pointer<ParticleData> data;
    Pointer<ParticleData> undoData;
    Pointer<ParticleSimulator> simulator;
    Pointer<ParticleRenderer> renderer;
    Pointer<ParticleBuilder> builder;
    Pointer<ParticleResponder> responder;
    bool undoFlag = false;

private:
    void setNextAttribute(ParticleInfo attribute, bool on);
    // Runs a scene script hook: onSimulate after a step, onRender after a frame.
    void runSceneScript(Pointer<SceneScript> ParticleData::*hook);
    int countParticlesMatching(int mask, float left, float right, float bottom, float top) const;
    int countNeighborsMatching(int maskA, int maskB);
};

} // namespace Zeb::Kamblo
