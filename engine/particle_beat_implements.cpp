#include "particle_beat_implements.h"

namespace Zeb::Kamblo {

RevivezoRora* RevivezoRora::newInstance()
{
    return new RevivezoRoraImplements();
}

void RevivezoRora::deleteInstance(RevivezoRora* instance)
{
    delete instance;
}

void RevivezoRora::getMaterialColor(int code, float& r, float& g, float& b, float& a)
{
    Color c = ParticleData::materialColor(code);
    r = c.red / 255.0f;
    g = c.green / 255.0f;
    b = c.blue / 255.0f;
    a = c.alpha / 255.0f;
}

RevivezoRoraImplements::RevivezoRoraImplements()
    : data(autorelease(new ParticleData())),
      undoData(autorelease(new ParticleData())),
      simulator(autorelease(new ParticleSimulator(data)))
{
}

RevivezoRoraImplements::~RevivezoRoraImplements()
{
    // Release in reverse order of construction.
    simulator = nullptr;
    undoData = nullptr;
    data = nullptr;
}

void RevivezoRoraImplements::simulate()
{
    simulator->simulate();
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

} // namespace Zeb::Kamblo
