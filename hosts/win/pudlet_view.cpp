#include "pudlet_view.h"

#include "main_frame.h"
#include "pudlet_doc.h"
#include "pudlet_logic.h"

#include <default_scene.h>
#include <scene_session.h>
#include <export_picture.h>

#include <wx/dcclient.h>
#include <wx/display.h>
#include <wx/dnd.h>
#include <wx/filename.h>

#include <algorithm>
#include <filesystem>
#include <optional>

using PudletWin::SpecialKey;
using Zeb::Kamblo::RevivezoRora;

wxIMPLEMENT_DYNAMIC_CLASS(CPudletView, wxView);

namespace {

// Files dropped on the canvas, with the drop point.
class CSceneDropTarget : public wxFileDropTarget {
public:
    explicit CSceneDropTarget(CPudletView& view) : view_(view) {}
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& files) override
    {
        view_.dropFiles(wxPoint(x, y), files);
        return true;
    }

private:
    CPudletView& view_;
};

std::optional<SpecialKey> specialKeyFor(int keyCode)
{
    switch (keyCode) {
    case WXK_LEFT: return SpecialKey::left;
    case WXK_RIGHT: return SpecialKey::right;
    case WXK_DOWN: return SpecialKey::down;
    case WXK_UP: return SpecialKey::up;
    case WXK_DELETE: return SpecialKey::del;
    default: return std::nullopt;
    }
}

} // namespace

CPudletCanvas::CPudletCanvas(wxWindow* parent, CPudletView& view)
    : wxGLCanvas(parent, PudletHost::canvasAttributes(), wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE),
      view_(view)
{
    Bind(wxEVT_PAINT, &CPudletCanvas::OnPaint, this);
    Bind(wxEVT_SIZE, &CPudletCanvas::OnSize, this);
    Bind(wxEVT_LEFT_DOWN, &CPudletCanvas::OnMouse, this);
    Bind(wxEVT_LEFT_UP, &CPudletCanvas::OnMouse, this);
    Bind(wxEVT_RIGHT_DOWN, &CPudletCanvas::OnMouse, this);
    Bind(wxEVT_RIGHT_UP, &CPudletCanvas::OnMouse, this);
    Bind(wxEVT_MOTION, &CPudletCanvas::OnMouse, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CPudletCanvas::OnCaptureLost, this);
    Bind(wxEVT_KEY_DOWN, &CPudletCanvas::OnKeyDown, this);
    Bind(wxEVT_KEY_UP, &CPudletCanvas::OnKeyUp, this);
    Bind(wxEVT_CHAR, &CPudletCanvas::OnChar, this);
    SetDropTarget(new CSceneDropTarget(view));
}

void CPudletCanvas::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    view_.drawFrame();
}

void CPudletCanvas::OnSize(wxSizeEvent& event)
{
    view_.resized(GetClientSize());
    event.Skip();
}

void CPudletCanvas::OnMouse(wxMouseEvent& event)
{
    const wxPoint point = event.GetPosition();
    if (event.LeftDown() || event.RightDown()) {
        if (!HasCapture())
            CaptureMouse();
        view_.mouseDown(event.LeftDown() ? 1 : 2, point);
    } else if (event.LeftUp() || event.RightUp()) {
        if (HasCapture())
            ReleaseMouse();
        // Only the left button's release refreshes the controls: the right
        // button's tool (Arrow) changes no switch.
        view_.mouseUp(event.LeftUp());
    } else if (event.Dragging() && (event.LeftIsDown() || event.RightIsDown())) {
        view_.mouseMove(point);
    }
    SetFocus();
}

void CPudletCanvas::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    // A stroke cut short still ends, so the engine's pause state comes back.
    view_.mouseUp(true);
}

void CPudletCanvas::OnKeyDown(wxKeyEvent& event)
{
    if (auto key = specialKeyFor(event.GetKeyCode())) {
        view_.keyDown(PudletWin::engineKeyFor(*key));
        SetFocus();
        return;
    }
    event.Skip(); // becomes a character event
}

void CPudletCanvas::OnKeyUp(wxKeyEvent& event)
{
    if (auto key = specialKeyFor(event.GetKeyCode())) {
        view_.keyUp(PudletWin::engineKeyFor(*key));
        SetFocus();
        return;
    }
    event.Skip();
}

void CPudletCanvas::OnChar(wxKeyEvent& event)
{
    int c = event.GetUnicodeKey();
    if (c == WXK_NONE)
        c = event.GetKeyCode();
    // Menu accelerators (Ctrl+Z and friends) and non-ASCII characters are
    // not engine keys.
    if (c <= 0 || c > 127 || event.ControlDown() || event.AltDown()) {
        event.Skip();
        return;
    }
    view_.character(c);
    SetFocus();
}

CPudletView::CPudletView() = default;

CPudletView::~CPudletView()
{
    // The renderer's GL objects belong to this context: delete the engine
    // while it is still current.
    if (context_ && canvas_)
        canvas_->SetCurrent(*context_);
    engine_.reset();
    context_.reset();
}

void CPudletView::Create(CMainFrame* frame, wxWindow* parent)
{
    frame_ = frame;
    SetFrame(frame);
    canvas_ = new CPudletCanvas(parent, *this);
    engine_.reset(RevivezoRora::newInstance());
    engine_->setNextMaterial(PudletWin::materialButtons[PudletWin::initialMaterialIndex].code);
    engine_->setLeftButtonTool(PudletWin::toolButtons[PudletWin::initialToolIndex].code);
}

bool CPudletView::startGraphics(wxString* error)
{
    if (context_)
        return true;
    if (!canvas_ || !canvas_->IsShownOnScreen()) {
        if (error)
            *error = "The drawing area is not on screen.";
        return false;
    }
    context_ = PudletHost::createGLContext(*canvas_, error);
    if (!context_)
        return false;
    resized(canvas_->GetClientSize());
    return true;
}

bool CPudletView::makeCurrent()
{
    return context_ && canvas_ && canvas_->IsShownOnScreen() && canvas_->SetCurrent(*context_);
}

void CPudletView::render()
{
    Pudlet::drawFrame(*engine_, PudletHost::canvasView(*canvas_, engine_->scale()));
    glFinish();
}

PudletHost::ScenePoint CPudletView::scenePoint(wxPoint point)
{
    Pudlet::loadSceneProjection(PudletHost::canvasView(*canvas_, engine_->scale()));
    const double factor = canvas_->GetContentScaleFactor();
    return PudletHost::unprojectPoint(point.x * factor, point.y * factor);
}

void CPudletView::runFrame()
{
    const int steps = engine_->timeStepsPerFrame();
    for (int i = 0; i < steps; ++i)
        engine_->simulate();
    drawFrame();
    if (frame_)
        frame_->SetStatusText(wxString::Format("Particles: %d   Time: %.0f", engine_->countParticles(),
                                               static_cast<double>(engine_->time())));
}

void CPudletView::drawFrame()
{
    if (!makeCurrent())
        return;
    render();
    canvas_->SwapBuffers();
}

bool CPudletView::exportPicture(const std::string& path)
{
    if (!makeCurrent())
        return false;
    render();
    const bool written = PudletHost::exportViewportPNG(path.c_str());
    canvas_->SwapBuffers();
    return written;
}

void CPudletView::newScene()
{
    engine_->clear();
    // A new scene starts its clock again.
    engine_->setTime(0.0f);
    engine_->setTimeStep(0);
    sceneName_.clear();
    engine_->setForegroundImageName(nullptr);
    engine_->setBackgroundImageName(nullptr);
}

bool CPudletView::openScene(const std::string& path, std::string* error)
{
    // Image loading needs the context current.
    makeCurrent();
    if (!Pudlet::openScene(*engine_, path, error))
        return false;
    // Kept absolute: the image dialogs move the working directory.
    sceneName_ = std::filesystem::absolute(path).lexically_normal().string();
    fitWindow();
    return true;
}

bool CPudletView::saveScene(const std::string& path, std::string* error)
{
    if (!Pudlet::saveScene(*engine_, path, error))
        return false;
    sceneName_ = std::filesystem::absolute(path).lexically_normal().string();
    return true;
}

void CPudletView::openDefaultScene()
{
    const std::string path = PudletHost::defaultScenePath();
    if (path.empty())
        return;
    if (openScene(path, nullptr))
        sceneName_.clear();
}

void CPudletView::fitWindow()
{
    if (!frame_ || !canvas_)
        return;
    const PudletWin::PixelSize wanted = PudletWin::fittedClientSize(*engine_);
    if (wanted.width <= 0 || wanted.height <= 0)
        return;
    const wxSize now = canvas_->GetClientSize();
    wxSize client = frame_->GetClientSize() + wxSize(wanted.width, wanted.height) - now;
    // Never so low that the Basic Menu is cut off: a short scene gets a
    // taller view, and its top wall follows the view.
    client.y = std::max(client.y, frame_->basicMenuHeight());
    const wxRect screen = wxDisplay(wxDisplay::GetFromWindow(frame_) == wxNOT_FOUND
                                        ? 0u
                                        : static_cast<unsigned>(wxDisplay::GetFromWindow(frame_)))
                              .GetClientArea();
    const wxSize chrome = frame_->GetSize() - frame_->GetClientSize();
    client.x = std::min(client.x, screen.width - chrome.x);
    client.y = std::min(client.y, screen.height - chrome.y);
    frame_->SetClientSize(client);
    frame_->Layout();
}

void CPudletView::mouseDown(int button, wxPoint point)
{
    if (!makeCurrent())
        return;
    const PudletHost::ScenePoint p = scenePoint(point);
    engine_->onMouseDown(button, p.x, p.y);
    captured_ = true;
}

void CPudletView::mouseMove(wxPoint point)
{
    if (!captured_ || !makeCurrent())
        return;
    const PudletHost::ScenePoint p = scenePoint(point);
    engine_->onMouseMove(p.x, p.y);
}

void CPudletView::OnUpdate(wxView*, wxObject* hint)
{
    if (!frame_)
        return;
    if (const auto* typed = dynamic_cast<const CTypedCharacter*>(hint))
        frame_->selectButtonsForChar(typed->character);
    frame_->documentChanged();
}

void CPudletView::OnChangeFilename()
{
    if (frame_)
        frame_->updateTitle();
}

CPudletDoc* CPudletView::document() const
{
    return static_cast<CPudletDoc*>(GetDocument());
}

void CPudletView::mouseUp(bool)
{
    if (!captured_)
        return;
    captured_ = false;
    engine_->onMouseUp();
    // A stroke of any tool may have changed the scene.
    if (CPudletDoc* doc = document())
        doc->changed();
}

void CPudletView::keyDown(int key)
{
    engine_->onKeyDown(key);
    if (CPudletDoc* doc = document())
        doc->changed();
}

void CPudletView::keyUp(int key)
{
    engine_->onKeyUp(key);
}

void CPudletView::character(int c)
{
    engine_->onKeyDown(c);
    engine_->onKeyUp(c);
    // Lower-case letters choose what to paint; every other key may change
    // the scene (pouring, switches, clearing).
    CPudletDoc* doc = document();
    if (!doc)
        return;
    CTypedCharacter typed(c);
    if (Pudlet::keyEditsScene(c))
        doc->changed(&typed);
    else
        doc->UpdateAllViews(nullptr, &typed);
}

void CPudletView::dropFiles(wxPoint point, const wxArrayString& files)
{
    for (const wxString& file : files) {
        const std::string path = file.utf8_string();
        if (PudletWin::isSceneFile(path)) {
            if (frame_)
                frame_->openDocument(path);
            continue;
        }
        if (!makeCurrent())
            continue;
        const PudletHost::ScenePoint p = scenePoint(point);
        engine_->onFileDrop(path.c_str(), p.x, p.y);
        if (CPudletDoc* doc = document())
            doc->changed();
    }
    if (canvas_)
        canvas_->SetFocus();
}

void CPudletView::resized(wxSize clientSize)
{
    if (canvas_)
        clientSize = clientSize * canvas_->GetContentScaleFactor();
    Pudlet::followViewSize(*engine_, clientSize.x, clientSize.y);
}
