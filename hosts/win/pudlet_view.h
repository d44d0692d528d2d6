#pragma once
// The view: owns the engine, the GL canvas and its context, and the name of
// the current scene file; turns window input into engine calls.
#include <gl_canvas.h>

#include <particle_beat.h>
#include <wx/docview.h>

#include <memory>
#include <string>

class CMainFrame;
class CPudletDoc;
class CPudletView;

// The GL window the view draws into; forwards its input to the view.
class CPudletCanvas : public wxGLCanvas {
public:
    CPudletCanvas(wxWindow* parent, CPudletView& view);

private:
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnKeyUp(wxKeyEvent& event);
    void OnChar(wxKeyEvent& event);

    CPudletView& view_;
};

class CPudletView : public wxView {
public:
    CPudletView();
    ~CPudletView() override;

    // Makes the canvas inside `parent` and the engine.
    void Create(CMainFrame* frame, wxWindow* parent);
    // Makes the GL context once the canvas is on screen. False, with the
    // reason in *error, when GL cannot start.
    bool startGraphics(wxString* error);

    void OnDraw(wxDC*) override {}
    // Every change of the document ends here: the frame's controls, title
    // and canvas follow it.
    void OnUpdate(wxView* sender, wxObject* hint) override;
    void OnChangeFilename() override;

    Zeb::Kamblo::RevivezoRora& engine() { return *engine_; }
    CPudletCanvas* canvas() { return canvas_; }
    CMainFrame* mainFrame() { return frame_; }
    const std::string& sceneName() const { return sceneName_; }
    CPudletDoc* document() const;

    // One frame of the idle loop: timeStepsPerFrame steps, then a redraw.
    void runFrame();
    // Draws the current scene (no step) and swaps buffers.
    void drawFrame();
    // Draws the current scene into `path` as a PNG; false when it failed.
    bool exportPicture(const std::string& path);

    // Files. A failed load leaves the current scene untouched; failures are
    // reported to the user by the caller.
    void newScene();
    bool openScene(const std::string& path, std::string* error);
    bool saveScene(const std::string& path, std::string* error);
    // The default demo scene, loaded untitled (Save asks for a name).
    void openDefaultScene();
    void fitWindow();

    // Input, in window pixels.
    void mouseDown(int button, wxPoint point);
    void mouseMove(wxPoint point);
    void mouseUp(bool refreshControls);
    void keyDown(int key);
    void keyUp(int key);
    void character(int c);
    void dropFiles(wxPoint point, const wxArrayString& files);
    void resized(wxSize clientSize);

    bool makeCurrent();

private:
    void render();
    // A window point in scene units, through the frame's projection.
    PudletHost::ScenePoint scenePoint(wxPoint point);

    struct EngineDeleter {
        void operator()(Zeb::Kamblo::RevivezoRora* engine) const { Zeb::Kamblo::RevivezoRora::deleteInstance(engine); }
    };
    std::unique_ptr<Zeb::Kamblo::RevivezoRora, EngineDeleter> engine_;
    CMainFrame* frame_ = nullptr;
    CPudletCanvas* canvas_ = nullptr;
    std::unique_ptr<wxGLContext> context_;
    std::string sceneName_; // empty for an untitled scene
    bool captured_ = false;

    wxDECLARE_DYNAMIC_CLASS(CPudletView);
};
