#include "zeb_view.h"

#include "export_picture.h"
#include "particle_beat.h"
#include "zeb_document.h"
#include "zeb_panel.h"

#include <GL/glu.h>
#include <wx/dcclient.h>
#include <wx/dnd.h>
#include <wx/filename.h>
#include <wx/log.h>

#include <cmath>

using Zeb::Kamblo::RevivezoRora;

namespace {

// Exactly one file: a scene replaces this document's scene, anything else
// becomes an image body at the drop point.
class ViewDropTarget : public wxFileDropTarget {
public:
    ViewDropTarget(ZebView& v, ZebDocument& d) : view(v), document(d) {}
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) override {
        if (files.size() != 1) return false;
        std::string path = files[0].utf8_string();
        if (wxFileName(files[0]).GetExt() == "pdl") {
            document.loadDroppedScene(path);
        } else {
            PudletHost::ScenePoint p = view.unProjectPoint(wxPoint(x, y));
            if (view.makeCurrent()) document.engine().onFileDrop(path.c_str(), p.x, p.y);
            document.markModified();
            document.didChange("imp");
        }
        view.Refresh();
        document.window().Raise();
        return true;
    }

private:
    ZebView& view;
    ZebDocument& document;
};

ZebModifiers modifiersOf(const wxMouseEvent& event) {
    ZebModifiers m;
    m.control = event.RawControlDown();
    m.shift = event.ShiftDown();
    m.command = event.MetaDown();
    m.option = event.AltDown();
    return m;
}

} // namespace

ZebView::ZebView(wxWindow* parent, ZebDocument& doc)
    : wxGLCanvas(parent, PudletHost::canvasAttributes(), wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE),
      document(doc) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetDropTarget(new ViewDropTarget(*this, doc));
    Bind(wxEVT_PAINT, &ZebView::onPaint, this);
    Bind(wxEVT_SIZE, &ZebView::onSize, this);
    Bind(wxEVT_LEFT_DOWN, &ZebView::onMouseDown, this);
    Bind(wxEVT_RIGHT_DOWN, &ZebView::onMouseDown, this);
    Bind(wxEVT_MIDDLE_DOWN, &ZebView::onMouseDown, this);
    Bind(wxEVT_LEFT_DCLICK, &ZebView::onMouseDown, this);
    Bind(wxEVT_RIGHT_DCLICK, &ZebView::onMouseDown, this);
    Bind(wxEVT_MIDDLE_DCLICK, &ZebView::onMouseDown, this);
    Bind(wxEVT_MOTION, &ZebView::onMouseDrag, this);
    Bind(wxEVT_LEFT_UP, &ZebView::onMouseUp, this);
    Bind(wxEVT_RIGHT_UP, &ZebView::onMouseUp, this);
    Bind(wxEVT_MIDDLE_UP, &ZebView::onMouseUp, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &ZebView::onCaptureLost, this);
    Bind(wxEVT_KEY_DOWN, &ZebView::onKeyDown, this);
    Bind(wxEVT_CHAR, &ZebView::onChar, this);
    Bind(wxEVT_KEY_UP, &ZebView::onKeyUp, this);
}

ZebView::~ZebView() {
    if (HasCapture()) ReleaseMouse();
}

void ZebView::setCursorFlag(bool flag) {
    cursor = flag;
    Refresh();
}

void ZebView::setCursorX(float x, float y) {
    cursorPoint = {x, y};
    Refresh();
}

bool ZebView::ensureContext() {
    if (context) return true;
    if (contextFailed || !IsShownOnScreen()) return false;
    wxString error;
    context = PudletHost::createGLContext(*this, &error);
    if (!context) {
        contextFailed = true;
        wxLogError("%s", error);
        return false;
    }
    return true;
}

bool ZebView::makeCurrent() { return ensureContext() && SetCurrent(*context); }

void ZebView::drawFrame() {
    RevivezoRora& e = document.engine();
    Pudlet::drawFrame(e, PudletHost::canvasView(*this, e.scale()), {.scrolled = true});
    if (cursor) {
        glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
        glBegin(GL_LINES);
        glVertex2f(e.boundsLeft(), cursorPoint.y);
        glVertex2f(e.boundsRight(), cursorPoint.y);
        glVertex2f(cursorPoint.x, e.boundsBottom());
        glVertex2f(cursorPoint.x, e.boundsTop());
        glEnd();
    }
    glFlush();
}

void ZebView::onPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    if (!makeCurrent()) return;
    drawFrame();
    SwapBuffers();
}

void ZebView::followSize() {
    // A scrolling scene keeps its bounds: the view is a window onto it.
    if (document.engine().scrollFlag()) return;
    Pudlet::FrameView view = PudletHost::canvasView(*this, 1);
    Pudlet::followViewSize(document.engine(), view.width, view.height);
}

void ZebView::onSize(wxSizeEvent& event) {
    // The walls follow the view, so the whole view is scene.
    followSize();
    Refresh(false);
    event.Skip();
}

bool ZebView::exportPicture(const std::string& path) {
    if (!makeCurrent()) return false;
    drawFrame();
    bool written = PudletHost::exportViewportPNG(path.c_str());
    SwapBuffers();
    return written;
}

PudletHost::ScenePoint ZebView::unProjectPoint(wxPoint point) {
    if (!makeCurrent()) return {0, 0};
    RevivezoRora& e = document.engine();
    Pudlet::loadSceneProjection(PudletHost::canvasView(*this, e.scale()));
    Pudlet::applyScroll(e);
    double factor = GetContentScaleFactor();
    return PudletHost::unprojectPoint(point.x * factor, point.y * factor);
}

void ZebView::onMouseDown(wxMouseEvent& event) {
    SetFocus();
    ZebPointerButton button = event.GetButton() == wxMOUSE_BTN_LEFT    ? ZebPointerButton::Left
                              : event.GetButton() == wxMOUSE_BTN_RIGHT ? ZebPointerButton::Right
                                                                       : ZebPointerButton::Other;
    // A second press during a gesture would start another without ending
    // the first; the engine sees one gesture at a time.
    if (buttonDown) return;
    int code = zebMouseButtonCode(button, modifiersOf(event));
    PudletHost::ScenePoint p = unProjectPoint(event.GetPosition());
    buttonDown = true;
    if (!HasCapture()) CaptureMouse();
    document.engine().onMouseDown(code, p.x, p.y);
    Refresh(false);
}

void ZebView::onMouseDrag(wxMouseEvent& event) {
    if (!buttonDown) return;
    PudletHost::ScenePoint p = unProjectPoint(event.GetPosition());
    document.engine().onMouseMove(p.x, p.y);
    Refresh(false);
}

void ZebView::finishMouseUp() {
    if (!buttonDown) return;
    buttonDown = false;
    document.engine().onMouseUp();
    document.markModified();
    document.didChange("imp");
    Refresh(false);
}

void ZebView::onMouseUp(wxMouseEvent&) {
    if (HasCapture()) ReleaseMouse();
    finishMouseUp();
}

void ZebView::onCaptureLost(wxMouseCaptureLostEvent&) { finishMouseUp(); }

void ZebView::onKeyDown(wxKeyEvent& event) {
    int arrow = 0;
    switch (event.GetKeyCode()) {
    case WXK_LEFT: case WXK_NUMPAD_LEFT: arrow = Zeb::Kamblo::Key::left; break;
    case WXK_RIGHT: case WXK_NUMPAD_RIGHT: arrow = Zeb::Kamblo::Key::right; break;
    case WXK_DOWN: case WXK_NUMPAD_DOWN: arrow = Zeb::Kamblo::Key::down; break;
    case WXK_UP: case WXK_NUMPAD_UP: arrow = Zeb::Kamblo::Key::up; break;
    default: break;
    }
    if (arrow) {
        if (auto code = keys.pressedArrow(event.GetKeyCode(), arrow)) {
            document.engine().onKeyDown(*code);
            document.markModified();
        }
        document.didChange("imp");
        Refresh(false);
        return;
    }
    // Menu shortcuts (Ctrl+N, Ctrl+Z, Shift+Ctrl+S...) are the window's, not
    // the scene's: left alone, the menus get them.
    if (event.ControlDown() || event.AltDown()) {
        event.Skip();
        return;
    }
    // The character arrives with the char event that follows.
    lastKeyDown = event.GetKeyCode();
    event.Skip();
}

void ZebView::onChar(wxKeyEvent& event) {
    if (event.ControlDown() || event.AltDown()) {
        event.Skip();
        return;
    }
    int character = event.GetUnicodeKey() != WXK_NONE ? static_cast<int>(event.GetUnicodeKey()) : event.GetKeyCode();
    if (character == WXK_TAB || (event.GetUnicodeKey() != WXK_NONE) || character == WXK_DELETE ||
        character == WXK_BACK || character == WXK_ESCAPE || character == WXK_RETURN) {
        if (character == WXK_DELETE) character = 127;
        if (auto code = keys.pressed(lastKeyDown, character)) {
            document.engine().onKeyDown(*code);
            if (Pudlet::keyEditsScene(*code)) document.markModified();
        }
        document.didChange("imp");
        Refresh(false);
        return;
    }
    event.Skip();
}

void ZebView::onKeyUp(wxKeyEvent& event) {
    int physical = event.GetKeyCode();
    if (keys.releaseIsTab(physical)) {
        keys.released(physical);
        ZebPanel::toggleAllPanels();
        // Panels that come back must not take the keys meant for the scene.
        document.window().Raise();
        SetFocus();
        return;
    }
    if (auto code = keys.released(physical)) {
        document.engine().onKeyUp(*code);
        document.didChange("imp");
        Refresh(false);
        return;
    }
    event.Skip();
}
