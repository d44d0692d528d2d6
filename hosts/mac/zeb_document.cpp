#include "zeb_document.h"

#include "particle_beat.h"
#include "save_question.h"
#include "scene_session.h"
#include "zeb_app_delegate.h"
#include "zeb_input.h"
#include "zeb_panels.h"
#include "zeb_view.h"

#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

using Zeb::Kamblo::RevivezoRora;

namespace {

// Polling interval while the scene asks for no frames at all (a zero
// steps-per-frame or frame rate): the timer starts once the product is positive.
constexpr int kIdleProbeMs = 250;
// A tick never runs more steps than this, whatever the scene asks: the
// window must stay responsive.
constexpr int kMaxStepsPerTick = 1000;

const wxString kSceneWildcard = "PUDLET Files (*.pdl)|*.pdl";

} // namespace

ZebDocument::ZebDocument(ZebAppDelegate& delegate, int untitledNumber)
    : app(delegate), imp(RevivezoRora::newInstance()), untitled(untitledNumber) {
    frame = new wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(displayName()), wxDefaultPosition, wxSize(kDocumentWidth, kDocumentHeight));
    canvas = new ZebView(frame, *this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(canvas, 1, wxEXPAND);
    frame->SetSizer(sizer);
    frame->SetMenuBar(app.makeMenuBar());
    frame->Bind(wxEVT_MENU, &ZebDocument::onMenu, this);
    frame->Bind(wxEVT_CLOSE_WINDOW, &ZebDocument::onCloseWindow, this);
    frame->Bind(wxEVT_ACTIVATE, &ZebDocument::onActivate, this);
    timer.SetOwner(this);
    Bind(wxEVT_TIMER, &ZebDocument::onTimer, this);
    // The document keeps no undo manager: undo is the engine's single level.
    imp->setMaterialColorFlag(!app.nextColorWellIsActive());
    restartTimer();
}

ZebDocument::~ZebDocument() {
    timer.Stop();
    // The engine's textures belong to the view's context.
    canvas->makeCurrent();
    RevivezoRora::deleteInstance(imp);
    // The frame goes later, at idle time: nothing left in it may reach this
    // document by then.
    frame->Unbind(wxEVT_MENU, &ZebDocument::onMenu, this);
    frame->Unbind(wxEVT_CLOSE_WINDOW, &ZebDocument::onCloseWindow, this);
    frame->Unbind(wxEVT_ACTIVATE, &ZebDocument::onActivate, this);
    canvas->Destroy();
    frame->Destroy();
}

void ZebDocument::onMenu(wxCommandEvent& event) { app.onDocumentMenu(*this, event); }

void ZebDocument::onCloseWindow(wxCloseEvent& event) {
    if (!close() && event.CanVeto()) event.Veto();
}

void ZebDocument::onActivate(wxActivateEvent& event) {
    if (event.GetActive() && !closed) app.documentActivated(*this);
    event.Skip();
}

std::string ZebDocument::displayName() const {
    if (filePath.empty()) return untitled > 1 ? "Untitled " + std::to_string(untitled) : "Untitled";
    return std::filesystem::path(filePath).stem().string();
}

void ZebDocument::updateTitle() { frame->SetTitle(wxString::FromUTF8((modified ? "*" : "") + displayName())); }

void ZebDocument::markModified() {
    if (modified) return;
    modified = true;
    updateTitle();
}

bool ZebDocument::confirmDiscard() {
    if (!modified) return true;
    PudletHost::SaveChoice choice;
    {
        ModalScope modal(*this);
        choice = PudletHost::askToSaveChanges(frame, wxString::FromUTF8(displayName()));
    }
    switch (choice) {
    case PudletHost::SaveChoice::save: save(); return !modified;
    case PudletHost::SaveChoice::discard: return true;
    case PudletHost::SaveChoice::cancel: break;
    }
    return false;
}

// Through the log: a message box at idle time, and the same one line on the
// standard error stream where the log goes there.
void ZebDocument::showError(const wxString& message) { wxLogError("%s", message); }

void ZebDocument::restartTimer() {
    interval = zebTimerIntervalMs(imp->timeStepsPerFrame(), imp->framesPerSecond());
    timer.Start(interval > 0 ? interval : kIdleProbeMs);
}

void ZebDocument::onTimer(wxTimerEvent&) {
    if (interval == 0) {
        // Waiting for a positive frame rate.
        if (zebTimerIntervalMs(imp->timeStepsPerFrame(), imp->framesPerSecond()) > 0) restartTimer();
        return;
    }
    run();
}

void ZebDocument::run() {
    if (closed) return;
    if (tilt) {
        if (!motionSensor) motionSensor = std::make_unique<ZebMotionSensor>();
        imp->setGravityAngle(motionSensor->angle());
    }
    if (imp->pauseFlag()) return;
    if (hasModalDialog()) return;
    for (int i = 0; i < std::min(imp->timeStepsPerFrame(), kMaxStepsPerTick); ++i) imp->simulate();
    didChange("fps");
    postRedisplay();
}

void ZebDocument::setMotionSensorFlag(bool flag) {
    tilt = flag;
    if (tilt && !motionSensor) motionSensor = std::make_unique<ZebMotionSensor>();
    if (tilt && !motionSensor->isEnabled()) {
        // Nothing will steer gravity; say so once rather than silently.
        wxLogStatus("No accelerometer found: gravity keeps its angle.");
    }
}

bool ZebDocument::readFromFile(const std::string& path, std::string* error) { return read(path, true, error); }

bool ZebDocument::readTemplate(const std::string& path) { return read(path, false, nullptr); }

bool ZebDocument::read(const std::string& path, bool adopt, std::string* error) {
    std::string absolute = std::filesystem::absolute(path).lexically_normal().string();
    canvas->makeCurrent();
    if (!Pudlet::openScene(*imp, absolute, error)) return false;
    imp->setLeftButtonTool('a');
    canvas->followSize();
    if (adopt) {
        filePath = absolute;
        app.rememberFolderOf(absolute);
    }
    modified = false;
    updateTitle();
    restartTimer();
    didChange("imp");
    postRedisplay();
    return true;
}

bool ZebDocument::writeToFile(const std::string& path, std::string* error) {
    if (!Pudlet::saveScene(*imp, path, error)) return false;
    filePath = std::filesystem::absolute(path).lexically_normal().string();
    app.rememberFolderOf(filePath);
    modified = false;
    updateTitle();
    return true;
}

void ZebDocument::loadDroppedScene(const std::string& path) {
    // The dropped scene replaces this one.
    if (!confirmDiscard()) return;
    std::string error;
    if (!readFromFile(path, &error)) showError(wxString::FromUTF8(error));
}

void ZebDocument::save() {
    if (filePath.empty()) {
        saveAs();
        return;
    }
    std::string error;
    if (!writeToFile(filePath, &error)) showError(wxString::FromUTF8(error));
}

void ZebDocument::saveAs() {
    wxString chosen;
    {
        ModalScope modal(*this);
        wxFileDialog dialog(frame, "Save Scene", app.lastFolder(), wxString::FromUTF8(displayName()) + ".pdl",
                            kSceneWildcard, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (dialog.ShowModal() != wxID_OK) return;
        chosen = dialog.GetPath();
    }
    wxFileName name(chosen);
    if (!name.HasExt()) name.SetExt("pdl");
    std::string path = name.GetFullPath().utf8_string();
    std::string error;
    if (!writeToFile(path, &error)) showError(wxString::FromUTF8(error));
}

void ZebDocument::exportPicture() {
    wxString chosen;
    {
        ModalScope modal(*this);
        wxFileDialog dialog(frame, "Export Picture", app.lastFolder(), wxString::FromUTF8(displayName()) + ".png",
                            "PNG Images (*.png)|*.png", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
        if (dialog.ShowModal() != wxID_OK) return;
        chosen = dialog.GetPath();
    }
    wxFileName name(chosen);
    if (!name.HasExt()) name.SetExt("png");
    if (!canvas->exportPicture(name.GetFullPath().utf8_string()))
        showError(wxString::Format("The picture could not be written to \"%s\".", name.GetFullPath()));
}

void ZebDocument::undo() {
    imp->undo();
    markModified();
    didChange("imp");
    postRedisplay();
}

void ZebDocument::clear() {
    imp->clear();
    markModified();
    didChange("imp");
    postRedisplay();
}

bool ZebDocument::close() {
    if (closed) return true;
    if (!confirmDiscard()) return false;
    closed = true;
    // The timer stops before anything else goes.
    timer.Stop();
    frame->Hide();
    app.documentClosed(*this);
    return true;
}

void ZebDocument::setNumber(const ZebKey& key, double value) {
    if (!key.setNumber) return;
    key.setNumber(*imp, value);
    if (zebKeyChangesScene(key)) markModified();
    didChange(zebAnnouncedKey(key));
    postRedisplay();
}

void ZebDocument::setText(const ZebKey& key, const std::string& value) {
    if (!key.setText) return;
    if (!canvas->makeCurrent()) return;
    key.setText(*imp, value);
    markModified();
    if (!value.empty() && key.getText(*imp).empty())
        showError(wxString::Format("The image \"%s\" could not be read.", wxString::FromUTF8(value)));
    didChange(zebAnnouncedKey(key));
    postRedisplay();
}

void ZebDocument::setColor(const ZebKey& key, ZebRGBA value) {
    if (!key.setColor) return;
    key.setColor(*imp, value);
    if (zebKeyChangesScene(key)) markModified();
    didChange(zebAnnouncedKey(key));
    postRedisplay();
}

void ZebDocument::didChange(std::string_view key) { app.documentDidChange(*this, key); }

void ZebDocument::postRedisplay() {
    if (canvas) canvas->Refresh(false);
}
