#include "gl_canvas.h"

#include <GL/glu.h>

#include <cstdlib>

namespace PudletHost {

void preferX11Backend()
{
    setenv("GDK_BACKEND", "x11", 0);
}

void useClassicScrollbars()
{
    setenv("GTK_OVERLAY_SCROLLING", "0", 0);
}

wxGLAttributes canvasAttributes()
{
    wxGLAttributes attributes;
    // The blob modes blend with GL_SRC_ALPHA_SATURATE: without destination
    // alpha they draw nothing but black.
    attributes.PlatformDefaults().RGBA().MinRGBA(8, 8, 8, 8).DoubleBuffer().Depth(16).EndList();
    return attributes;
}

std::unique_ptr<wxGLContext> createGLContext(wxGLCanvas& canvas, wxString* error)
{
    wxGLContextAttrs attributes;
    attributes.PlatformDefaults().CompatibilityProfile().OGLVersion(2, 1).EndList();
    auto context = std::make_unique<wxGLContext>(&canvas, nullptr, &attributes);
    if (!context->IsOK()) {
        if (error)
            *error = "Could not create an OpenGL 2.1 compatibility context.";
        return nullptr;
    }
    if (!canvas.SetCurrent(*context)) {
        if (error)
            *error = "Could not make the OpenGL context current.";
        return nullptr;
    }
    GLenum status = glewInit();
    if (status != GLEW_OK) {
        if (error)
            *error = wxString::Format("Could not start GLEW: %s",
                                      reinterpret_cast<const char*>(glewGetErrorString(status)));
        return nullptr;
    }
    return context;
}

Pudlet::FrameView canvasView(const wxGLCanvas& canvas, float scale)
{
    const wxSize size = canvas.GetClientSize() * canvas.GetContentScaleFactor();
    return {size.x, size.y, scale};
}

ScenePoint unprojectPoint(double x, double y)
{
    GLint viewport[4];
    GLdouble modelView[16], projection[16];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, modelView);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluUnProject(x, viewport[3] - y, 0.0, modelView, projection, viewport, &wx, &wy, &wz);
    return {static_cast<float>(wx), static_cast<float>(wy)};
}

} // namespace PudletHost
