#include "pudlet_app.h"

#include "main_frame.h"
#include "pudlet_doc.h"

#include <wx/config.h>
#include <wx/log.h>
#include <wx/msgdlg.h>

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
    startAutosave(*frame);

    wake_.Bind(wxEVT_TIMER, [](wxTimerEvent&) { wxWakeUpIdle(); });
    Bind(wxEVT_IDLE, &CPudletApp::OnIdle, this);
    return true;
}

// A modified scene is saved every minute to a recovery file that only a
// clean exit removes. The newest file left by a session that ended otherwise
// is offered back at the start, as a modified scene; older ones are dropped.
void CPudletApp::startAutosave(CMainFrame& frame)
{
    const std::filesystem::path folder = Pudlet::recoveryFolder();
    if (folder.empty())
        return;
    const auto leftovers = Pudlet::leftoverRecoveryFiles(folder, "pudlet");
    if (!leftovers.empty()
        && wxMessageBox("Pudlet did not close properly last time. Restore the scene it was showing?", "Pudlet",
                        wxYES_NO | wxICON_QUESTION, &frame) == wxYES
        && Pudlet::restoreRecoveryFile(frame.view().engine(), leftovers.front()) && frame.view().document()) {
        frame.view().document()->Modify(true);
        frame.refreshControls();
    }
    std::error_code ignored;
    for (const auto& leftover : leftovers)
        std::filesystem::remove(leftover, ignored);
    recovery_ = std::make_unique<Pudlet::RecoveryFile>(folder, "pudlet");
    autosave_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
        if (CMainFrame* f = frame_.get(); f && f->view().document())
            recovery_->update(f->view().engine(), f->view().document()->IsModified());
    });
    autosave_.Start(60 * 1000);
}

int CPudletApp::OnExit()
{
    autosave_.Stop();
    if (recovery_)
        recovery_->remove();
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
