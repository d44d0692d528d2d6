#pragma once
// The OpenGL view of a document: draws the engine's frame and forwards the
// pointer, keys and dropped files to it in scene units.
#include "gl_canvas.h"
#include "zeb_input.h"

#include <memory>

class ZebDocument;

class ZebView : public wxGLCanvas {
public:
    ZebView(wxWindow* parent, ZebDocument& document);
    ~ZebView() override;

    bool cursorFlag() const { return cursor; }
    float cursorX() const { return cursorPoint.x; }
    float cursorY() const { return cursorPoint.y; }
    void setCursorFlag(bool flag);
    void setCursorX(float x, float y);

    // Makes the view's context current; false when there is none yet.
    bool makeCurrent();
    // Draws a frame now and writes it as a PNG (File > Export Picture).
    bool exportPicture(const std::string& path);
    // Moves the right and top walls to the view's edges.
    void followSize();
    // The window point in scene units, through the current scene transform.
    PudletHost::ScenePoint unProjectPoint(wxPoint point);

private:
    bool ensureContext();
    void drawFrame();

    void onPaint(wxPaintEvent&);
    void onSize(wxSizeEvent&);
    void onMouseDown(wxMouseEvent&);
    void onMouseDrag(wxMouseEvent&);
    void onMouseUp(wxMouseEvent&);
    void onCaptureLost(wxMouseCaptureLostEvent&);
    void onKeyDown(wxKeyEvent&);
    void onChar(wxKeyEvent&);
    void onKeyUp(wxKeyEvent&);
    void finishMouseUp();

    ZebDocument& document;
    std::unique_ptr<wxGLContext> context;
    bool contextFailed = false;
    bool cursor = false;
    PudletHost::ScenePoint cursorPoint{0, 0};
    bool buttonDown = false;
    ZebKeyTracker keys;
    int lastKeyDown = 0;
};
