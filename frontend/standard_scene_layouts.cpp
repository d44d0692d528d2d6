// The standard benchmark scenes themselves: how each is laid out. Apart from
// their measurement (standard_scenes.cpp), so that a program that only steps
// them, such as the web build's comparison tool, needs the engine alone.
#include <algorithm>
#include <cmath>

#include "standard_scenes.h"

namespace Zeb::Kamblo::Bench {

namespace {

struct Layout {
    float spacing;
    float extent; // side of the square block the scene's particles would fill
};

// Bounds twice as wide as the block of n particles and a little taller.
Layout setBoundsFor(ParticleData& d, int n)
{
    float spacing = d.standardDistance;
    int side = int(std::ceil(std::sqrt(double(n))));
    float extent = float(side) * spacing;
    d.boundsLeft = 0;
    d.boundsBottom = 0;
    d.boundsRight = 2 * extent + 4;
    d.boundsTop = extent + 4;
    return {spacing, extent};
}

void addParticle(ParticleData& d, int code, float2 at, int body)
{
    int p = d.createParticle(body);
    d.info[p] = ParticleData::materialInfo(code);
    d.color[p] = ParticleData::materialColor(code);
    d.position[p] = at;
    d.anchor[p] = at;
}

// A block of `rows` x `columns` particles of one material and body.
void addBlock(ParticleData& d, int code, float2 corner, int columns, int rows, int body, float spacing)
{
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i)
            addParticle(d, code, corner + float2(spacing * float(i), spacing * float(j)), body);
}

// The water block of the dam break, n particles from the bottom-left corner.
void addWaterBlock(ParticleData& d, int n, float spacing)
{
    int columns = int(std::ceil(std::sqrt(double(n))));
    for (int i = 0; i < n; ++i)
        addParticle(d, 'q', float2(1.5f + spacing * float(i % columns), 1.5f + spacing * float(i / columns)), 0);
}

} // namespace

void makeWaterScene(ParticleData& d, int n)
{
    d.clear();
    Layout layout = setBoundsFor(d, n);
    addWaterBlock(d, n, layout.spacing);
}

void makeWindowWaterScene(ParticleData& d, float width, float height, int n)
{
    d.clear();
    d.boundsLeft = 0;
    d.boundsBottom = 0;
    d.boundsRight = width;
    d.boundsTop = height;
    // Rows at the standard spacing across, and as close as the count needs
    // up the window (more water than the window holds at rest, so it ends
    // a little compressed rather than poured over the top).
    float spacing = d.standardDistance;
    float margin = 1.5f;
    int columns = std::max(1, int((width - 2 * margin) / spacing) + 1);
    int rows = (n + columns - 1) / columns;
    float rowSpacing = std::min(spacing, (height - 2 * margin) / float(std::max(1, rows - 1)));
    for (int i = 0; i < n; ++i)
        addParticle(d, 'q', float2(margin + spacing * float(i % columns), margin + rowSpacing * float(i / columns)), 0);
}

void makeMixedScene(ParticleData& d, int n)
{
    d.clear();
    auto [spacing, extent] = setBoundsFor(d, n);

    // The right half: a wall shelf a third of the way up, rigid boxes on it and
    // elastic slabs above them that fall onto the boxes and join the shelf.
    float left = extent + 3;
    int across = int((extent - 2) / spacing);
    float shelfY = extent / 3;
    for (int i = 0; i < across; ++i)
        addParticle(d, 'w', float2(left + spacing * float(i), shelfY), 0);

    constexpr int box = 6;
    float boxPitch = box * spacing + 1;
    int perRow = std::max(1, int((extent - 2) / boxPitch));
    int boxes = std::min(n / 10 / (box * box), 150);
    for (int k = 0; k < boxes; ++k) {
        float2 corner(left + float(k % perRow) * boxPitch, shelfY + 1 + float(k / perRow) * boxPitch);
        addBlock(d, 'r', corner, box, box, d.createBody(), spacing);
    }
    float slabBottom = shelfY + 1 + float((boxes + perRow - 1) / perRow) * boxPitch + 1;

    int slabs = n / 10 / 80;
    float slabPitch = 20 * spacing + 1;
    int slabsPerRow = std::max(1, int((extent - 2) / slabPitch));
    for (int k = 0; k < slabs; ++k) {
        float2 corner(left + float(k % slabsPerRow) * slabPitch, slabBottom + float(k / slabsPerRow) * (4 * spacing + 1));
        addBlock(d, 'e', corner, 20, 4, 0, spacing);
    }

    // Under the shelf: a powder heap on the left, and on the right rigid fuel
    // blocks standing on a hot floor, which sets them burning and keeps fire,
    // removal and body splitting going through the run.
    int powder = n / 10;
    int powderColumns = std::max(1, across / 2);
    addBlock(d, 'p', float2(left, 1.5f), powderColumns, (powder + powderColumns - 1) / powderColumns, 0, spacing);

    float hotLeft = left + float(powderColumns) * spacing + 2;
    int hotColumns = std::max(1, int((2 * extent + 3 - hotLeft) / spacing));
    for (int i = 0; i < hotColumns; ++i)
        addParticle(d, 'h', float2(hotLeft + spacing * float(i), 0.8f), 0);
    constexpr int fuelSide = 8;
    float fuelPitch = fuelSide * spacing + 1;
    int fuelBlocks = std::max(1, std::min(n / 50 / (fuelSide * fuelSide), int(hotColumns * spacing / fuelPitch)));
    for (int k = 0; k < fuelBlocks; ++k)
        addBlock(d, 'f', float2(hotLeft + float(k) * fuelPitch, 1.6f), fuelSide, fuelSide, d.createBody(), spacing);

    // Water makes up the rest, in the left half.
    addWaterBlock(d, std::max(0, n - d.count), spacing);
}

void makeRigidPileScene(ParticleData& d)
{
    d.clear();
    constexpr int boxes = 100;
    constexpr int perRow = 10;
    constexpr int box = 6;
    float spacing = d.standardDistance;
    float pitch = box * spacing + 1.5f;
    d.boundsLeft = 0;
    d.boundsBottom = 0;
    d.boundsRight = perRow * pitch + pitch / 2 + 2;
    d.boundsTop = float(boxes / perRow) * pitch + 8;
    // Alternate rows shift by half a box so the boxes land on edges and tip.
    for (int k = 0; k < boxes; ++k) {
        int row = k / perRow;
        float2 corner(1.5f + float(k % perRow) * pitch + float(row % 2) * pitch / 2, 1.5f + float(row) * pitch);
        addBlock(d, 'r', corner, box, box, d.createBody(), spacing);
    }
}

const std::vector<std::string>& standardSceneNames()
{
    static const std::vector<std::string> names = {"water-5k", "water-20k", "water-60k", "water-250k",
                                                   "mixed-20k", "rigid-100"};
    return names;
}

bool makeStandardScene(const std::string& name, ParticleData& d)
{
    if (name == "water-5k")
        makeWaterScene(d, 5000);
    else if (name == "water-20k")
        makeWaterScene(d, 20000);
    else if (name == "water-60k")
        makeWaterScene(d, 60000);
    else if (name == "water-250k")
        makeWindowWaterScene(d, 480, 270, 250000); // a 4K window at 8 pixels per unit
    else if (name == "mixed-20k")
        makeMixedScene(d, 20000);
    else if (name == "rigid-100")
        makeRigidPileScene(d);
    else
        return false;
    return true;
}

} // namespace Zeb::Kamblo::Bench
