#pragma once
// OpenGL set-up shared by the desktop hosts: the canvas attributes, a
// compatibility context with GLEW started, the pixel-space projection the
// engine draws in, and the conversion of window points to scene units.
//
// Include this header before any other wx header that pulls in GL: GLEW must
// come before <GL/gl.h>.
#include <GL/glew.h>
#include <wx/glcanvas.h>

#include <memory>

#include <scene_frame.h>

namespace PudletHost {

// wx's GL canvas works through X only; call before GTK starts so the hosts
// also run on Wayland desktops (through XWayland). An explicit GDK_BACKEND
// in the environment wins.
void preferX11Backend();

// GTK's overlay scroll bars appear only on hover and take the clicks meant
// for the controls under them; classic bars are always there. Call before
// GTK starts.
void useClassicScrollbars();

// RGBA with 8-bit destination alpha, double-buffered, 16-bit depth.
wxGLAttributes canvasAttributes();

// A 2.1 compatibility context on the canvas, made current, with GLEW started.
// The canvas must be shown (realised) first. Null, with the reason in *error,
// when the context or GLEW cannot start.
std::unique_ptr<wxGLContext> createGLContext(wxGLCanvas& canvas, wxString* error);

// The canvas's drawable size in pixels, with the scene's scale.
Pudlet::FrameView canvasView(const wxGLCanvas& canvas, float scale);

struct ScenePoint {
    float x;
    float y;
};

// A window point (origin top left, y down, in pixels) in scene units, through
// gluUnProject with the current matrices and viewport; the context must be
// current and the frame's projection (Pudlet::loadSceneProjection) applied.
ScenePoint unprojectPoint(double x, double y);

} // namespace PudletHost
