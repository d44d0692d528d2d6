#include "pudlet_app.h"

#include "main_frame.h"

#include <wx/config.h>
#include <wx/log.h>

#include <clocale>
#include <locale>
#include <stdexcept>

CPudletApp::CPudletApp()
{
    // The app object is made before GTK starts.
    PudletHost::preferX11Backend();
    PudletHost::useClassicScrollbars();
}

bool CPudletApp::OnInit()
{
    return startUp(argc > 1 ? argv[1].utf8_string() : std::string());
}

static void useClassicNumbers()
{
    // The user's locale for everything but numbers: scene files always carry
    // '.' as the decimal point.
    try {
        std::locale::global(std::locale("").combine<std::numpunct<char>>(std::locale::classic()));
    } catch (const std::runtime_error&) {
        // An unknown locale in the environment: keep the classic one.
    }
    std::setlocale(LC_NUMERIC, "C");
}

bool CPudletApp::startUp(const std::string& scene)
{
    SetAppName("Pudlet");
    SetVendorName("Pudlet");
    useClassicNumbers();

    auto* frame = new CMainFrame;
    frame_ = frame;
    SetTopWindow(frame);
    frame->Show();
    wxString error;
    if (!frame->view().startGraphics(&error)) {
        wxLogError("%s", error);
        frame->Destroy();
        return false;
    }
    if (!scene.empty())
        frame->openDocument(scene);
    else
        frame->view().openDefaultScene();
    frame->refreshControls();

    wake_.Bind(wxEVT_TIMER, [](wxTimerEvent&) { wxWakeUpIdle(); });
    Bind(wxEVT_IDLE, &CPudletApp::OnIdle, this);
    return true;
}

int CPudletApp::OnExit()
{
    wake_.Stop();
    return wxApp::OnExit();
}

void CPudletApp::OnIdle(wxIdleEvent& event)
{
    event.Skip();
    CMainFrame* frame = frame_.get();
    if (!frame || frame->IsBeingDeleted())
        return;
    // Buffer swaps are not tied to the display everywhere: the pacer keeps
    // the frame rate, and so the simulation speed, at most 60 per second,
    // and the timer wakes the loop for the next frame instead of spinning.
    if (pacer_.startFrame(clock_.TimeInMicro().ToDouble() * 1e-6))
        frame->view().runFrame();
    const double wait = pacer_.waitTime(clock_.TimeInMicro().ToDouble() * 1e-6);
    if (wait > 0.0)
        wake_.StartOnce(std::max(1, static_cast<int>(wait * 1000.0)));
    else
        event.RequestMore();
}
