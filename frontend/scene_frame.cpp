#include "scene_frame.h"

#include <GL/gl.h>

#include <cmath>

namespace Pudlet {

using Zeb::Kamblo::RevivezoRora;

void loadSceneProjection(const FrameView& view)
{
    glViewport(0, 0, view.width, view.height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glOrtho(0, view.width, 0, view.height, -1, 1);
    glScalef(view.scale, view.scale, view.scale);
}

void applyScroll(const RevivezoRora& engine)
{
    const double cx = 0.5 * (double(engine.boundsLeft()) + double(engine.boundsRight()));
    const double cy = 0.5 * (double(engine.boundsBottom()) + double(engine.boundsTop()));
    glMatrixMode(GL_MODELVIEW);
    glTranslated(cx, cy, 0.0);
    glRotated(double(engine.scrollAngle()) * 180.0 / M_PI, 0.0, 0.0, 1.0);
    glTranslated(double(engine.scrollX()) - cx, double(engine.scrollY()) - cy, 0.0);
}

void clearFrame(bool clearFlag, float red, float green, float blue)
{
    if (clearFlag)
        glClearColor(red, green, blue, 0);
    else
        glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}

void drawFrame(RevivezoRora& engine, const FrameView& view, FrameOptions options)
{
    loadSceneProjection(view);
    engine.prerender();
    if (options.scrolled)
        applyScroll(engine);
    clearFrame(engine.clearFlag(), engine.clearColorRed(), engine.clearColorGreen(), engine.clearColorBlue());
    engine.render();
}

void followViewSize(RevivezoRora& engine, int width, int height)
{
    const float scale = engine.scale();
    if (!(scale > 0.0f) || !std::isfinite(scale) || width <= 0 || height <= 0)
        return;
    engine.setBoundsRight(float(width) / scale - engine.boundsLeft());
    engine.setBoundsTop(float(height) / scale - engine.boundsBottom());
}

bool keyEditsScene(int key)
{
    return !((key >= 'a' && key <= 'z') || key == '@');
}

} // namespace Pudlet
