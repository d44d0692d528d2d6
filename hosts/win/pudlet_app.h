#pragma once
// The application: start-up, the idle loop that steps and draws, shut-down.
#include "autosave.h"
#include "pudlet_logic.h"

#include <wx/app.h>
#include <wx/stopwatch.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include <memory>
#include <string>

class CMainFrame;

class CPudletApp : public wxApp {
public:
    CPudletApp();

    bool OnInit() override;
    int OnExit() override;

    // Creates and shows the main window and opens `scene` (the default demo
    // scene when empty). False when graphics cannot start.
    bool startUp(const std::string& scene);

    CMainFrame* mainFrame() const { return frame_.get(); }

private:
    void OnIdle(wxIdleEvent& event);
    void startAutosave(CMainFrame& frame);

    wxWeakRef<CMainFrame> frame_;
    PudletWin::FramePacer pacer_;
    wxStopWatch clock_;
    wxTimer wake_;
    std::unique_ptr<Pudlet::RecoveryFile> recovery_;
    wxTimer autosave_;
};

wxDECLARE_APP(CPudletApp);
