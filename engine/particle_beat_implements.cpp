#include "particle_beat_implements.h"

#include "texture.h"

namespace Zeb::Kamblo {

namespace {

// Keys whose operation changes the scene in a way the user may want back:
// percent, comma, full stop, slash, semicolon and delete.
bool keyTakesUndoSnapshot(int key)
{
    return key == '%' || key == ',' || key == '.' || key == '/' || key == ';' || key == Key::del;
}

const char* nameOf(const Pointer<Texture>& texture)
{
    return texture ? texture->name() : "";
}

Pointer<Texture> textureNamed(const char* name)
{
    return name ? Texture::withContentsOfFile(name) : Pointer<Texture>();
}

} // namespace

RevivezoRora* RevivezoRora::newInstance()
{
    return new RevivezoRoraImplements();
}

void RevivezoRora::deleteInstance(RevivezoRora* instance)
{
    // The facade is reference counted as a script object: the host gives up
    // its own count, and whoever still holds one keeps it alive.
    if (auto* object = dynamic_cast<Object*>(instance))
        object->release();
    else
        delete instance;
}

void RevivezoRora::getMaterialColor(int code, float& r, float& g, float& b, float& a)
{
    Color c = ParticleData::materialColor(code);
    r = colorComponentToFloat(c.red);
    g = colorComponentToFloat(c.green);
    b = colorComponentToFloat(c.blue);
    a = colorComponentToFloat(c.alpha);
}

RevivezoRoraImplements::RevivezoRoraImplements()
    : data(autorelease(new ParticleData())),
      undoData(autorelease(new ParticleData())),
      simulator(autorelease(new ParticleSimulator(data))),
      renderer(autorelease(new ParticleRenderer(data))),
      builder(autorelease(new ParticleBuilder(data))),
      responder(autorelease(new ParticleResponder(data, builder)))
{
}

RevivezoRoraImplements::~RevivezoRoraImplements()
{
    // Release in reverse order of construction.
    responder = nullptr;
    builder = nullptr;
    renderer = nullptr;
    simulator = nullptr;
    undoData = nullptr;
    data = nullptr;
}

void RevivezoRoraImplements::onKeyDown(int key)
{
    if (keyTakesUndoSnapshot(key))
        registerUndo();
    responder->onKeyDown(key);
}

void RevivezoRoraImplements::onKeyUp(int key)
{
    responder->onKeyUp(key);
}

void RevivezoRoraImplements::onMouseDown(int button, float x, float y)
{
    if (toolRecordsUndo(responder->toolForButton(button)))
        registerUndo();
    responder->onMouseDown(button, {x, y});
}

void RevivezoRoraImplements::onMouseMove(float x, float y)
{
    responder->onMouseMove({x, y});
}

void RevivezoRoraImplements::onMouseUp()
{
    responder->onMouseUp();
}

void RevivezoRoraImplements::onFileDrop(const char* path, float x, float y)
{
    registerUndo();
    responder->onFileDrop(path, {x, y});
}

void RevivezoRoraImplements::simulate()
{
    simulator->simulate();
    responder->onSimulate();
    runSceneScript(&ParticleData::onSimulate);
}

void RevivezoRoraImplements::prerender()
{
    renderer->prerender();
}

void RevivezoRoraImplements::render()
{
    renderer->render();
    responder->onRender();
    runSceneScript(&ParticleData::onRender);
}

bool RevivezoRoraImplements::save(const char* path)
{
    return data->save(path);
}

bool RevivezoRoraImplements::load(const char* path)
{
    bool loaded = data->load(path);
    // The snapshot belongs to the scene before the load.
    undoFlag = false;
    return loaded;
}

void RevivezoRoraImplements::clear()
{
    registerUndo();
    data->clear();
}

void RevivezoRoraImplements::registerUndo()
{
    undoData->copy(data);
    undoFlag = true;
}

void RevivezoRoraImplements::undo()
{
    // The flag stays set: a second undo swaps back.
    if (undoFlag)
        data->swap(undoData);
}

const char* RevivezoRoraImplements::backgroundImageName() const { return nameOf(data->background); }
const char* RevivezoRoraImplements::foregroundImageName() const { return nameOf(data->foreground); }
const char* RevivezoRoraImplements::fireImageName() const { return nameOf(data->fireEffect->texture); }
const char* RevivezoRoraImplements::splashImageName() const { return nameOf(data->splashEffect->texture); }
const char* RevivezoRoraImplements::bubbleImageName() const { return nameOf(data->bubbleEffect->texture); }

void RevivezoRoraImplements::setBackgroundImageName(const char* name) { data->background = textureNamed(name); }
void RevivezoRoraImplements::setForegroundImageName(const char* name) { data->foreground = textureNamed(name); }
void RevivezoRoraImplements::setFireImageName(const char* name) { data->fireEffect->texture = textureNamed(name); }
void RevivezoRoraImplements::setSplashImageName(const char* name) { data->splashEffect->texture = textureNamed(name); }
void RevivezoRoraImplements::setBubbleImageName(const char* name) { data->bubbleEffect->texture = textureNamed(name); }

void RevivezoRoraImplements::getClearColor(float& r, float& g, float& b, float& a)
{
    r = data->clearColorRed;
    g = data->clearColorGreen;
    b = data->clearColorBlue;
    a = data->clearColorAlpha;
}

void RevivezoRoraImplements::setClearColor(float r, float g, float b, float a)
{
    data->clearColorRed = r;
    data->clearColorGreen = g;
    data->clearColorBlue = b;
    data->clearColorAlpha = a;
}

void RevivezoRoraImplements::getNextColor(float& r, float& g, float& b, float& a)
{
    Color c = builder->color();
    r = colorComponentToFloat(c.red);
    g = colorComponentToFloat(c.green);
    b = colorComponentToFloat(c.blue);
    a = colorComponentToFloat(c.alpha);
}

void RevivezoRoraImplements::setNextColor(float r, float g, float b, float a)
{
    builder->setColor(Color{colorComponentFromFloat(r), colorComponentFromFloat(g), colorComponentFromFloat(b),
                            colorComponentFromFloat(a)});
}

void RevivezoRoraImplements::setNextAttribute(ParticleInfo attribute, bool on)
{
    // The builder gets the whole set back, so its own rules for sets apply.
    ParticleInfo info = builder->info();
    builder->setInfo(on ? (info | attribute) : (info & ~attribute));
}

void RevivezoRoraImplements::takeCensus(SceneCensus& census) const
{
    const ParticleData& d = *data;
    census.particleInfo.assign(d.info, d.info + d.count);
    census.particleBody.assign(d.body, d.body + d.count);
    census.bodyCount = int(d.bodies.size());
    census.joints.clear();
    census.joints.reserve(d.joints.size());
    for (const ParticleJoint& joint : d.joints)
        census.joints.emplace_back(joint.a, joint.b);
}

} // namespace Zeb::Kamblo
