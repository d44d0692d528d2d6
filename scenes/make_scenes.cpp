// Builds the demo scenes with the particle builder and saves them, so the
// bundled files always match the current builder and file format.
//   pudlet_make_scenes OUTPUT_FOLDER
#include <cstdio>
#include <functional>
#include <string>

#include "particle_builder.h"
#include "particle_data.h"

using namespace Zeb::Kamblo;

namespace {

struct Painter {
    Pointer<ParticleData> data = autorelease(new ParticleData());
    Pointer<ParticleBuilder> builder = autorelease(new ParticleBuilder(data));

    void material(int code) { builder->setMaterial(code); }
    void rect(int code, float2 a, float2 b)
    {
        material(code);
        builder->fillRect(a, b);
    }
    void oval(int code, float2 a, float2 b)
    {
        material(code);
        builder->fillOval(a, b);
    }
    void line(int code, float2 a, float2 b, float width)
    {
        material(code);
        builder->prepareForDrawing(a, data->mouseRadius);
        builder->drawLine(a, b, width);
    }
    void finish() { data->gc(); }
};

// A tall block of water released against the left wall, with a few posts to
// break the wave.
void damBreak(Painter& p)
{
    p.rect('q', {2, 2}, {20, 38});
    for (float x : {34.0f, 44.0f, 54.0f})
        p.rect('w', {x, 1}, {x + 1.5f, 8});
}

// A wheel on an axle turned by falling water, and boxes that tumble into a pool.
void wheelAndBoxes(Painter& p)
{
    p.rect('q', {2, 2}, {62, 9});
    p.oval('r', {24, 20}, {36, 32});
    p.oval('x', {29.3f, 25.3f}, {30.7f, 26.7f});
    p.rect('r', {8, 30}, {13, 35});
    p.rect('r', {46, 36}, {52, 40});
    p.rect('r', {50, 24}, {54, 28});
    p.data->pouringFlag = true;
    p.data->pouringLocation = 27;
    p.data->pouringThickness = 1.5f;
}

// Fuel blocks and a heap of powder lit by a heater.
void fireFuelPowder(Painter& p)
{
    p.rect('h', {26, 1}, {38, 2.5f});
    p.rect('f', {27, 3}, {37, 6});
    p.rect('p', {6, 2}, {20, 10});
    p.rect('@', {45, 2}, {56, 5});
    p.rect('w', {22, 1}, {23.5f, 14});
}

// Water boils on a heater, rises as steam and condenses under a cooler.
void steamCycle(Painter& p)
{
    p.rect('h', {12, 1}, {52, 2.5f});
    p.rect('q', {12, 3}, {52, 10});
    p.rect('c', {12, 44}, {52, 45.5f});
    p.rect('w', {10, 1}, {11.5f, 30});
    p.rect('w', {52.5f, 1}, {54, 30});
}

// Water flows from an inflow into an outflow past elastic and spring toys.
void flowAndToys(Painter& p)
{
    p.rect('i', {3, 40}, {6, 43});
    p.rect('o', {56, 1}, {63, 3});
    p.rect('e', {14, 10}, {22, 16});
    p.oval('e', {30, 8}, {38, 16});
    p.line('s', {44, 30}, {44, 20}, 1);
    p.rect('w', {42, 30}, {46, 31.5f});
    p.rect('m', {46, 4}, {52, 8});
}

struct DemoScene {
    const char* fileName;
    std::function<void(Painter&)> build;
};

const DemoScene kScenes[] = {
    {"dam-break.pdl", damBreak},
    {"wheel-and-boxes.pdl", wheelAndBoxes},
    {"fire-fuel-powder.pdl", fireFuelPowder},
    {"steam-cycle.pdl", steamCycle},
    {"flow-and-toys.pdl", flowAndToys},
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pudlet_make_scenes OUTPUT_FOLDER\n");
        return 2;
    }
    std::string folder = argv[1];
    for (const DemoScene& scene : kScenes) {
        Painter painter;
        scene.build(painter);
        painter.finish();
        std::string path = folder + "/" + scene.fileName;
        if (!painter.data->save(path.c_str())) {
            std::fprintf(stderr, "pudlet_make_scenes: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s: %d particles, %zu bodies, %zu joints\n", path.c_str(), painter.data->count,
                    painter.data->bodies.size(), painter.data->joints.size());
    }
    return 0;
}
