#include "zeb_app_delegate.h"

#include "gl_canvas.h"
#include "default_scene.h"
#include "particle_beat.h"
#include "pudlet_version.h"
#include "zeb_controls.h"
#include "zeb_document.h"
#include "zeb_panel.h"
#include "zeb_panels.h"
#include "zeb_view.h"

#include <wx/filedlg.h>
#include <wx/log.h>
#include <wx/msgdlg.h>

#include <algorithm>
#include <filesystem>

namespace {

enum MenuId {
    kExportPicture = wxID_HIGHEST + 1,
    kTiltGravity,
    kShowAllPanels,
    kHideAllPanels,
    kToggleAllPanels,
    kShowParameters,
    kHideParameters,
    kToggleParameters,
    kPanelFirst,  // one per panel, in ZebPanels::all() order
};

} // namespace

ZebAppDelegate::ZebAppDelegate() {
    // wx's GL canvas needs X; on Wayland it runs through XWayland.
    PudletHost::preferX11Backend();
    PudletHost::useClassicScrollbars();
}

ZebAppDelegate::~ZebAppDelegate() = default;

bool ZebAppDelegate::OnInit() {
    if (!wxApp::OnInit()) return false;
    SetAppName("PudletMac");
    panelSet = std::make_unique<ZebPanels>(*this);
    for (ZebPanel* panel : panelSet->all()) panel->Show();
    bool opened = false;
    for (const std::string& path : scenesToOpen)
        if (openDocument(path)) opened = true;
    if (!opened) {
        // The first demo scene, untitled; an empty scene when none is installed.
        ZebDocument& document = newDocument();
        std::string demo = PudletHost::defaultScenePath();
        if (!demo.empty()) document.readTemplate(demo);
    }
    startAutosave();
    return true;
}

// Every modified scene is saved each minute to a recovery file of its own,
// removed when its window closes or the program quits cleanly. Files left by
// a session that ended otherwise are offered back at the start, each as a
// modified scene in a window of its own.
void ZebAppDelegate::startAutosave() {
    const std::filesystem::path folder = Pudlet::recoveryFolder();
    if (folder.empty()) return;
    const auto leftovers = Pudlet::leftoverRecoveryFiles(folder, "pudletmac");
    if (!leftovers.empty() &&
        wxMessageBox("PudletMac did not close properly last time. Restore the scenes it was showing?", "PudletMac",
                     wxYES_NO | wxICON_QUESTION) == wxYES) {
        for (const auto& leftover : leftovers) {
            ZebDocument& document = newDocument();
            if (!Pudlet::restoreRecoveryFile(document.engine(), leftover)) continue;
            document.markModified();
            documentActivated(document);
        }
    }
    std::error_code ignored;
    for (const auto& leftover : leftovers) std::filesystem::remove(leftover, ignored);
    autosaveTimer.Bind(wxEVT_TIMER, [this, folder](wxTimerEvent&) {
        for (const auto& document : open) {
            auto& recovery = recoveries[document.get()];
            if (!recovery) recovery = std::make_unique<Pudlet::RecoveryFile>(folder, "pudletmac", nextRecovery++);
            recovery->update(document->engine(), document->isModified());
        }
    });
    autosaveTimer.Start(60 * 1000);
}

void ZebAppDelegate::OnInitCmdLine(wxCmdLineParser& parser) {
    wxApp::OnInitCmdLine(parser);
    parser.AddParam("scene.pdl", wxCMD_LINE_VAL_STRING, wxCMD_LINE_PARAM_OPTIONAL | wxCMD_LINE_PARAM_MULTIPLE);
}

bool ZebAppDelegate::OnCmdLineParsed(wxCmdLineParser& parser) {
    for (size_t i = 0; i < parser.GetParamCount(); ++i) scenesToOpen.push_back(parser.GetParam(i).utf8_string());
    return wxApp::OnCmdLineParsed(parser);
}

int ZebAppDelegate::OnExit() {
    autosaveTimer.Stop();
    for (auto& recovery : recoveries) recovery.second->remove();
    current = nullptr;
    open.clear();
    closing.clear();
    // The panels stay until wx has destroyed the windows whose controls
    // refer to them.
    return wxApp::OnExit();
}

void ZebAppDelegate::placeWindow(ZebDocument& document) {
    // Each new window a little below and right of the last.
    int offset = 24 * static_cast<int>((open.size() - 1) % 8);
    document.window().SetPosition(wxPoint(offset, offset));
}

ZebDocument& ZebAppDelegate::newDocument() {
    // The lowest number no untitled window is showing.
    int number = 1;
    while (std::any_of(open.begin(), open.end(),
                       [&](auto& d) { return d->path().empty() && d->untitledNumber() == number; }))
        ++number;
    open.push_back(std::make_unique<ZebDocument>(*this, number));
    ZebDocument& document = *open.back();
    placeWindow(document);
    document.window().Show();
    documentActivated(document);
    return document;
}

ZebDocument* ZebAppDelegate::openDocument(const std::string& path) {
    ZebDocument& document = newDocument();
    std::string error;
    if (document.readFromFile(path, &error)) return &document;
    // The window never held a scene: it goes without the last-window rules,
    // so the panels and the other windows stay as they were.
    discardDocument(document);
    wxLogError("%s", wxString::FromUTF8(error));
    return nullptr;
}

void ZebAppDelegate::openWithDialog(wxWindow* parent) {
    wxArrayString paths;
    {
        wxFileDialog dialog(parent, "Open Scene", folder, wxEmptyString, "PUDLET Files (*.pdl)|*.pdl",
                            wxFD_OPEN | wxFD_FILE_MUST_EXIST | wxFD_MULTIPLE);
        if (dialog.ShowModal() != wxID_OK) return;
        dialog.GetPaths(paths);
    }
    for (const wxString& path : paths) openDocument(path.utf8_string());
}

void ZebAppDelegate::rememberFolderOf(const std::string& path) {
    folder = wxString::FromUTF8(std::filesystem::path(path).parent_path().string());
}

ZebColorWell* ZebAppDelegate::nextColorWell() const { return panelSet ? panelSet->nextColorWell : nullptr; }

bool ZebAppDelegate::nextColorWellIsActive() const {
    ZebColorWell* well = nextColorWell();
    return well && well->isActive();
}

void ZebAppDelegate::nextColorWellChanged(ZebColorWell& well) {
    for (auto& document : open) document->engine().setMaterialColorFlag(!well.isActive());
    if (current) current->didChange("materialColorFlag");
}

wxMenuBar* ZebAppDelegate::makeMenuBar() {
    auto* file = new wxMenu;
    file->Append(wxID_NEW, "&New\tCtrl+N");
    file->Append(wxID_OPEN, "&Open...\tCtrl+O");
    file->AppendSeparator();
    file->Append(wxID_CLOSE, "&Close\tCtrl+W");
    file->Append(wxID_SAVE, "&Save\tCtrl+S");
    file->Append(wxID_SAVEAS, "Save &As...\tCtrl+Shift+S");
    file->Append(kExportPicture, "&Export Picture...");
    file->AppendSeparator();
    file->Append(wxID_EXIT, "&Quit\tCtrl+Q");
    auto* edit = new wxMenu;
    edit->Append(wxID_UNDO, "&Undo\tCtrl+Z");
    edit->Append(wxID_CLEAR, "C&lear");
    auto* scene = new wxMenu;
    scene->AppendCheckItem(kTiltGravity, "&Tilt Gravity");
    scene->AppendSeparator();
    scene->Append(kShowParameters, "Show Parameters");
    scene->Append(kHideParameters, "Hide Parameters");
    scene->Append(kToggleParameters, "Toggle Parameters\tCtrl+P");
    auto* window = new wxMenu;
    int id = kPanelFirst;
    for (const char* title : {"Materials", "Tools", "Scene", "Parameters", "Colors", "Images"})
        window->Append(id++, title);
    window->AppendSeparator();
    window->Append(kShowAllPanels, "Show All Panels");
    window->Append(kHideAllPanels, "Hide All Panels");
    window->Append(kToggleAllPanels, "Toggle All Panels");
    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(edit, "&Edit");
    bar->Append(scene, "&Scene");
    bar->Append(window, "&Window");
    auto* help = new wxMenu;
    help->Append(wxID_ABOUT, "&About PudletMac...");
    bar->Append(help, "&Help");
    return bar;
}

void ZebAppDelegate::onDocumentMenu(ZebDocument& document, wxCommandEvent& event) {
    int id = event.GetId();
    ZebPanel* parameters = panelSet->parameters;
    switch (id) {
    case wxID_NEW: newDocument(); return;
    case wxID_OPEN: openWithDialog(&document.window()); return;
    case wxID_CLOSE: document.close(); return;
    case wxID_SAVE: document.save(); return;
    case wxID_SAVEAS: document.saveAs(); return;
    case kExportPicture: document.exportPicture(); return;
    case wxID_ABOUT:
        wxMessageBox("PudletMac Version " PUDLET_VERSION "\nA two-dimensional particle sandbox.", "About PudletMac",
                     wxOK, &document.window());
        return;
    case wxID_EXIT:
        // Each modified scene is asked about; Cancel stops the quitting.
        while (!open.empty())
            if (!open.back()->close()) return;
        return;
    case wxID_UNDO: document.undo(); return;
    case wxID_CLEAR: document.clear(); return;
    case kTiltGravity: document.setMotionSensorFlag(event.IsChecked()); return;
    case kShowParameters:
        if (!parameters->IsShown()) parameters->toggleVisible();
        return;
    case kHideParameters:
        if (parameters->IsShown()) parameters->toggleVisible();
        return;
    case kToggleParameters: parameters->toggleVisible(); return;
    case kShowAllPanels: showAllPanels(); return;
    case kHideAllPanels: hideAllPanels(); return;
    case kToggleAllPanels: toggleAllPanels(); return;
    default: break;
    }
    auto panels = panelSet->all();
    if (id >= kPanelFirst && id < kPanelFirst + static_cast<int>(panels.size())) panels[id - kPanelFirst]->toggleVisible();
}

void ZebAppDelegate::documentActivated(ZebDocument& document) {
    if (current == &document) return;
    current = &document;
    panelSet->refresh("imp");
}

void ZebAppDelegate::documentDidChange(ZebDocument& document, std::string_view key) {
    if (&document == current && panelSet) panelSet->refresh(key);
}

void ZebAppDelegate::discardDocument(ZebDocument& document) {
    if (!forget(document)) return;
    document.window().Hide();
}

bool ZebAppDelegate::forget(ZebDocument& document) {
    auto it = std::find_if(open.begin(), open.end(), [&](auto& d) { return d.get() == &document; });
    if (it == open.end()) return false;
    if (auto recovery = recoveries.find(&document); recovery != recoveries.end()) {
        recovery->second->remove();
        recoveries.erase(recovery);
    }
    // Destroyed after the event that closed it has finished with it.
    closing.push_back(std::move(*it));
    open.erase(it);
    if (current == &document) {
        current = open.empty() ? nullptr : open.back().get();
        if (current) panelSet->refresh("imp");
    }
    CallAfter([this] { closing.clear(); });
    return true;
}

void ZebAppDelegate::documentClosed(ZebDocument& document) {
    if (!forget(document)) return;
    if (open.empty() && quitWhenLastDocumentCloses) {
        for (ZebPanel* panel : panelSet->all()) panel->Hide();
        CallAfter([this] { ExitMainLoop(); });
    }
}

void ZebAppDelegate::showAllPanels() { ZebPanel::showAllPanels(); }
void ZebAppDelegate::hideAllPanels() { ZebPanel::hideAllPanels(); }
void ZebAppDelegate::toggleAllPanels() { ZebPanel::toggleAllPanels(); }
