#pragma once
// Drawing one frame of a scene, the same way in every program: the
// pixel-space projection from the view and the scene's scale, prerender(),
// the clear, render(). Needs a current GL context.
#include "particle_beat.h"

namespace Pudlet {

struct FrameView {
    int width = 0;   // pixels
    int height = 0;
    float scale = 8; // pixels per scene unit
};

// Viewport (0, 0, width, height), identity projection, and a model-view of
// glOrtho over the viewport's pixels scaled by view.scale: the transform the
// engine's renderer draws in. Also the transform points are unprojected with.
void loadSceneProjection(const FrameView& view);

// Turns the scene about the centre of its bounds by scrollAngle and shifts it
// by (scrollX, scrollY), after loadSceneProjection (the scrolling view).
void applyScroll(const Zeb::Kamblo::RevivezoRora& engine);

// The clear between prerender() and render(): prerender leaves its
// off-screen work in the frame buffer, so every frame starts from the
// scene's clear colour, or from black when the scene's clearFlag is off. The
// alpha is 0, as render() clears, for the blending that follows.
void clearFrame(bool clearFlag, float red, float green, float blue);

struct FrameOptions {
    bool scrolled = false; // apply the scene's scroll and rotation
};

// One frame: loadSceneProjection, prerender(), [applyScroll], clearFrame,
// render(). Leaves the projection in place for unprojecting points; does not
// flush, finish or swap.
void drawFrame(Zeb::Kamblo::RevivezoRora& engine, const FrameView& view, FrameOptions options = {});

// The walls follow the view: the right and top bounds move with the edges of
// a view of width x height pixels at the scene's scale, keeping the margins
// the left and bottom walls have to their edges. Nothing happens for a
// non-positive scale or size.
void followViewSize(Zeb::Kamblo::RevivezoRora& engine, int width, int height);

// Whether a key given to the engine may change the scene: with the default
// key operations lower-case letters and the at sign only choose the material
// to paint; every other key may change switches, pouring or the scene.
bool keyEditsScene(int key);

} // namespace Pudlet
