// Motion of the effect particles: flames rise, splash drops fly ballistically
// and bubbles drift with the water around them.
#include <cmath>
#include <cstdint>

#include "cg_math.h"
#include "particle_simulator.h"

namespace Zeb::Kamblo {

namespace {

// A side of the grid from a span of the bounds, truncated toward zero. Spans
// that are negative or not a number give no cells, huge ones the cap.
int gridSide(float span)
{
    if (!(span >= 1))
        return 0;
    if (!(span < float(kMaxBubbleGridSide)))
        return kMaxBubbleGridSide;
    return int(span);
}

// The four cells around a point and their bilinear weights, in scene units
// from the grid's lower-left corner. Corners outside the grid are skipped.
template <class Visit>
void forCorners(const ParticleSimulator::BubbleGrid& grid, float u, float v, Visit visit)
{
    // Beyond these spans no corner can fall inside the grid; checking first
    // also keeps huge or non-finite coordinates out of the integer conversion.
    if (!(u > -2 && u < float(grid.width) && v > -2 && v < float(grid.height)))
        return;
    int i = int(u);
    int j = int(v);
    float fx = u - float(i);
    float fy = v - float(j);
    auto corner = [&](int x, int y, float weight) {
        if (x >= 0 && x < grid.width && y >= 0 && y < grid.height)
            visit(grid.cells[x + grid.width * y], weight);
    };
    corner(i, j, (1 - fx) * (1 - fy));
    corner(i + 1, j, fx * (1 - fy));
    corner(i, j + 1, (1 - fx) * fy);
    corner(i + 1, j + 1, fx * fy);
}

// Resizes the grid to width x height, keeping the cells of the rows and
// columns that both sizes share and zeroing the rest.
void resizeGrid(ParticleSimulator::BubbleGrid& grid, int width, int height)
{
    auto* cells = new ParticleSimulator::BubbleCell[size_t(width) * size_t(height)]();
    int keepWidth = width < grid.width ? width : grid.width;
    int keepHeight = height < grid.height ? height : grid.height;
    for (int y = 0; y < keepHeight; ++y)
        for (int x = 0; x < keepWidth; ++x)
            cells[x + width * y] = grid.cells[x + grid.width * y];
    delete[] grid.cells;
    grid.cells = cells;
    grid.width = width;
    grid.height = height;
}

} // namespace

void ParticleSimulator::moveFire()
{
    ParticleEffect& fire = *data->fireEffect;
    if (fire.count <= 0)
        return;
    const ParticleData& d = *data;
    float2 g = gravity();
    float decay = 1 / d.fireLife;
    bool ended = false;
    for (int e = 0; e < fire.count; ++e) {
        fire.life[e] -= decay;
        if (fire.life[e] >= 0) {
            // The flame keeps its initial drift and rises against gravity.
            fire.position[e] += fire.velocity[e] - d.fireBuoyancyCoefficient * g;
        } else {
            fire.life[e] = 0;
            ended = true;
        }
    }
    if (ended)
        fire.gc();
}

void ParticleSimulator::moveSplash()
{
    ParticleEffect& splash = *data->splashEffect;
    if (splash.count <= 0)
        return;
    const ParticleData& d = *data;
    float2 g = gravity();
    bool ended = false;
    // A drop's life runs from 1 + its flight allowance down to 1.
    for (int e = 0; e < splash.count; ++e) {
        splash.life[e] -= d.splashExpansion;
        if (splash.life[e] >= 1) {
            splash.velocity[e] += g;
            splash.position[e] += splash.velocity[e];
        } else {
            splash.life[e] = 0;
            ended = true;
        }
    }
    if (ended)
        splash.gc();
}

void ParticleSimulator::moveBubble()
{
    ParticleEffect& bubble = *data->bubbleEffect;
    if (bubble.count <= 0)
        return;
    const ParticleData& d = *data;
    BubbleGrid& grid = bubbleGrid;

    int width = gridSide(d.boundsRight - d.boundsLeft);
    int height = gridSide(d.boundsTop - d.boundsBottom);
    if (width != grid.width || height != grid.height)
        resizeGrid(grid, width, height);

    // Once per rendered frame; a frame of no steps refreshes every step. The
    // remainder is taken in 64 bits so no step count can overflow it.
    int stepsPerFrame = d.timeStepsPerFrame;
    if (stepsPerFrame == 0 || int64_t(d.timeStep) % int64_t(stepsPerFrame) == 0) {
        size_t cellCount = size_t(grid.width) * size_t(grid.height);
        for (size_t c = 0; c < cellCount; ++c)
            grid.cells[c] = BubbleCell{};
        for (int i = 0; i < d.count; ++i) {
            if (!(d.info[i] & Attribute::aqua))
                continue;
            float2 p = d.position[i];
            float2 v = d.velocity[i];
            forCorners(grid, p.x - d.boundsLeft, p.y - d.boundsBottom, [v](BubbleCell& cell, float w) {
                cell.vx += v.x * w;
                cell.vy += v.y * w;
                cell.weight += w;
            });
        }
    }

    float2 g = gravity();
    float decay = 1 / d.bubbleLife;
    bool ended = false;
    for (int e = 0; e < bubble.count; ++e) {
        bubble.life[e] -= decay;
        float2 p = bubble.position[e];
        bool inside = d.boundsLeft <= p.x && p.x <= d.boundsRight && d.boundsBottom <= p.y && p.y <= d.boundsTop;
        bool alive = inside && bubble.life[e] >= 0;
        if (alive) {
            BubbleCell S;
            forCorners(grid, p.x - d.boundsLeft, p.y - d.boundsBottom, [&S](BubbleCell& cell, float w) {
                S.vx += cell.vx * w;
                S.vy += cell.vy * w;
                S.weight += cell.weight * w;
            });
            // The weighted sum, not the mean: dense water carries a bubble faster.
            if (S.weight < 1)
                alive = false; // no water around it
            else
                bubble.position[e] += float2(S.vx, S.vy) - d.bubbleBuoyancyCoefficient * g;
        }
        if (!alive) {
            bubble.life[e] = 0;
            ended = true;
        }
    }
    if (ended)
        bubble.gc();
}

} // namespace Zeb::Kamblo
