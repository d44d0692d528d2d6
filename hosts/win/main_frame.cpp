#include "main_frame.h"

#include "about_dlg.h"
#include "pudlet_doc.h"
#include "pudlet_logic.h"

#include <save_question.h>

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/colordlg.h>
#include <wx/config.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/tglbtn.h>
#include <wx/toolbar.h>

#include <algorithm>

using PudletWin::materialButtons;
using PudletWin::toolButtons;
using Zeb::Kamblo::RevivezoRora;

namespace {

enum {
    ID_VIEW_BASIC_MENU = wxID_HIGHEST + 1,
    ID_EXPORT_PICTURE,
};

constexpr const char* frameTitle = "PUDLET+";
constexpr const char* basicMenuPane = "BasicMenu";

wxColour colourOf(float r, float g, float b)
{
    auto byte = [](float v) { return static_cast<unsigned char>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return wxColour(byte(r), byte(g), byte(b));
}

wxColour askColour(wxWindow* parent, const wxColour& initial)
{
    wxColourData data;
    data.SetColour(initial);
    wxColourDialog dialog(parent, &data);
    return dialog.ShowModal() == wxID_OK ? dialog.GetColourData().GetColour() : wxNullColour;
}

} // namespace

CMainFrame::CMainFrame()
    : wxFrame(nullptr, wxID_ANY, frameTitle, wxDefaultPosition, wxSize(1024, 768)), history_(PudletWin::recentFileCount)
{
    dock_.SetManagedWindow(this);
    CreateStatusBar();
    createMenus();

    doc_ = new CPudletDoc;
    view_ = new CPudletView;
    view_->SetDocument(doc_);
    view_->Create(this, this);

    bar_ = createBasicMenu();
    dock_.AddPane(view_->canvas(), wxAuiPaneInfo().Name("Canvas").CenterPane());
    dock_.AddPane(bar_, wxAuiPaneInfo()
                            .Name(basicMenuPane)
                            .Caption("Basic Menu")
                            .Left()
                            .LeftDockable(true)
                            .RightDockable(true)
                            .TopDockable(false)
                            .BottomDockable(false)
                            .Floatable(true)
                            .CloseButton(true)
                            .BestSize(bar_->GetMinSize().x, 600)
                            .MinSize(bar_->GetMinSize()));
    dock_.Update();

    doc_->SetTitle("Untitled");
    updateTitle();
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
}

CMainFrame::~CMainFrame()
{
    dock_.UnInit();
    if (wxConfigBase* config = wxConfigBase::Get())
        history_.Save(*config);
    // The view goes first: it deletes the engine with its GL context current.
    delete view_;
    delete doc_;
}

void CMainFrame::createMenus()
{
    auto* file = new wxMenu;
    file->Append(wxID_NEW, "&New\tCtrl+N");
    file->Append(wxID_OPEN, "&Open...\tCtrl+O");
    file->Append(wxID_SAVE, "&Save\tCtrl+S");
    file->Append(wxID_SAVEAS, "Save &As...");
    file->AppendSeparator();
    file->Append(ID_EXPORT_PICTURE, "&Export Picture...");
    file->AppendSeparator();
    auto* recent = new wxMenu;
    file->AppendSubMenu(recent, "Recent Files");
    file->AppendSeparator();
    file->Append(wxID_EXIT, "E&xit");

    auto* edit = new wxMenu;
    edit->Append(wxID_UNDO, "&Undo\tCtrl+Z");
    auto* view = new wxMenu;
    view->AppendCheckItem(ID_VIEW_BASIC_MENU, "Basic Menu");
    auto* help = new wxMenu;
    help->Append(wxID_ABOUT, "&About PUDLET+...");

    auto* bar = new wxMenuBar;
    bar->Append(file, "&File");
    bar->Append(edit, "&Edit");
    bar->Append(view, "&View");
    bar->Append(help, "&Help");
    SetMenuBar(bar);

    history_.UseMenu(recent);
    if (wxConfigBase* config = wxConfigBase::Get())
        history_.Load(*config);

    // Alt+Backspace is the second Undo key.
    wxAcceleratorEntry keys[] = {wxAcceleratorEntry(wxACCEL_ALT, WXK_BACK, wxID_UNDO)};
    SetAcceleratorTable(wxAcceleratorTable(1, keys));

    wxToolBar* tools = CreateToolBar();
    tools->AddTool(wxID_NEW, "New", wxArtProvider::GetBitmap(wxART_NEW, wxART_TOOLBAR), "New scene");
    tools->AddTool(wxID_OPEN, "Open", wxArtProvider::GetBitmap(wxART_FILE_OPEN, wxART_TOOLBAR), "Open a scene");
    tools->AddTool(wxID_SAVE, "Save", wxArtProvider::GetBitmap(wxART_FILE_SAVE, wxART_TOOLBAR), "Save the scene");
    tools->AddSeparator();
    tools->AddTool(wxID_UNDO, "Undo", wxArtProvider::GetBitmap(wxART_UNDO, wxART_TOOLBAR), "Undo");
    tools->AddSeparator();
    tools->AddTool(wxID_ABOUT, "About", wxArtProvider::GetBitmap(wxART_HELP, wxART_TOOLBAR), "About PUDLET+");
    tools->Realize();

    Bind(wxEVT_MENU, &CMainFrame::OnNew, this, wxID_NEW);
    Bind(wxEVT_MENU, &CMainFrame::OnOpen, this, wxID_OPEN);
    Bind(wxEVT_MENU, &CMainFrame::OnSave, this, wxID_SAVE);
    Bind(wxEVT_MENU, &CMainFrame::OnSaveAs, this, wxID_SAVEAS);
    Bind(wxEVT_MENU, &CMainFrame::OnExportPicture, this, ID_EXPORT_PICTURE);
    Bind(wxEVT_MENU, &CMainFrame::OnRecentFile, this, wxID_FILE1, wxID_FILE9);
    Bind(wxEVT_MENU, &CMainFrame::OnExit, this, wxID_EXIT);
    Bind(wxEVT_MENU, &CMainFrame::OnUndo, this, wxID_UNDO);
    Bind(wxEVT_MENU, &CMainFrame::OnToggleBasicMenu, this, ID_VIEW_BASIC_MENU);
    Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateBasicMenu, this, ID_VIEW_BASIC_MENU);
    Bind(wxEVT_MENU, &CMainFrame::OnAbout, this, wxID_ABOUT);
}

wxWindow* CMainFrame::createBasicMenu()
{
    // Scrolls when the window is shorter than the bar, so fitting the window
    // to a small scene never cuts controls off.
    auto* panel = new wxScrolledWindow(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxVSCROLL);
    panel->SetName("Basic Menu");
    panel->SetScrollRate(0, 10);
    auto* column = new wxBoxSizer(wxVERTICAL);
    const wxSizerFlags cell = wxSizerFlags().Expand().Border(wxALL, 1);

    // Physics: the material buttons.
    auto* physics = new wxStaticBoxSizer(wxVERTICAL, panel, "Physics");
    auto* materialGrid = new wxGridSizer(4, 0, 0);
    for (size_t i = 0; i < materialButtons.size(); ++i) {
        auto* button = new wxToggleButton(physics->GetStaticBox(), wxID_ANY, materialButtons[i].label);
        button->SetName(wxString("material:") + materialButtons[i].label);
        button->Bind(wxEVT_TOGGLEBUTTON, [this, i](wxCommandEvent&) { pressMaterial(static_cast<int>(i)); });
        materials_[i] = button;
        materialGrid->Add(button, cell);
    }
    physics->Add(materialGrid, wxSizerFlags().Expand());
    column->Add(physics, wxSizerFlags().Expand().Border(wxALL, 3));

    // Scene: switches, the two sliders and the scene buttons.
    auto* scene = new wxStaticBoxSizer(wxVERTICAL, panel, "Scene");
    wxWindow* sceneBox = scene->GetStaticBox();
    auto check = [&](const char* label, void (RevivezoRora::*set)(bool), bool inverted) {
        auto* box = new wxCheckBox(sceneBox, wxID_ANY, label);
        box->SetName(wxString("check:") + label);
        box->Bind(wxEVT_CHECKBOX, [this, set, inverted](wxCommandEvent& event) {
            const bool on = event.IsChecked() != inverted;
            doc_->edit([set, on](RevivezoRora& e) { (e.*set)(on); });
            giveViewFocus();
        });
        return box;
    };
    auto* switches = new wxGridSizer(4, 0, 0);
    switches->Add(pause_ = check("Pause", &RevivezoRora::setPauseFlag, false), cell);
    // Drain opens the container: the walls are off while it is ticked.
    switches->Add(drain_ = check("Drain", &RevivezoRora::setBoundsFlag, true), cell);
    switches->Add(splash_ = check("Splash", &RevivezoRora::setSplashFlag, false), cell);
    switches->Add(bubble_ = check("Bubble", &RevivezoRora::setBubbleFlag, false), cell);
    scene->Add(switches, wxSizerFlags().Expand());

    auto slider = [&](wxCheckBox* box, int initial, int maximum, const char* name) {
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        auto* bar = new wxSlider(sceneBox, wxID_ANY, initial, 0, maximum);
        bar->SetName(wxString("slider:") + name);
        row->Add(box, wxSizerFlags().Center().Border(wxALL, 1));
        row->Add(bar, wxSizerFlags(1).Expand());
        scene->Add(row, wxSizerFlags().Expand());
        return bar;
    };
    gravity_ = check("Gravity", &RevivezoRora::setGravityFlag, false);
    gravity_->SetValue(true);
    gravitySlider_ = slider(gravity_, PudletWin::gravitySliderInitial, PudletWin::gravitySliderMax, "Gravity");
    pouring_ = check("Pouring", &RevivezoRora::setPouringFlag, false);
    pouringSlider_ = slider(pouring_, PudletWin::pouringSliderInitial, PudletWin::pouringSliderMax, "Pouring");
    // The engine hears a slider when it is let go, not at every step of a drag.
    gravitySlider_->Bind(wxEVT_SCROLL_CHANGED, [this](wxScrollEvent& event) {
        const float amplification = static_cast<float>(event.GetPosition());
        doc_->edit([amplification](RevivezoRora& e) { e.setGravityAmplification(amplification); });
        giveViewFocus();
    });
    pouringSlider_->Bind(wxEVT_SCROLL_CHANGED, [this](wxScrollEvent& event) {
        const float thickness = static_cast<float>(event.GetPosition()) * 0.1f;
        doc_->edit([thickness](RevivezoRora& e) { e.setPouringThickness(thickness); });
        giveViewFocus();
    });

    auto* sceneButtons = new wxGridSizer(4, 0, 0);
    auto button = [&](wxWindow* parent, const char* label, auto&& action) -> wxButton* {
        auto* b = new wxButton(parent, wxID_ANY, label);
        b->SetName(wxString("button:") + label);
        b->Bind(wxEVT_BUTTON, [this, action](wxCommandEvent&) {
            action();
            giveViewFocus();
        });
        return b;
    };
    sceneButtons->Add(button(sceneBox, "Clear", [this] { doc_->edit([](RevivezoRora& e) { e.clear(); }); }), cell);
    sceneButtons->Add(button(sceneBox, "Undo", [this] { doc_->edit([](RevivezoRora& e) { e.undo(); }); }), cell);
    // Each colour dialog starts at the colour it changes.
    sceneButtons->Add(button(sceneBox, "Color", [this] {
        float r, g, b, a;
        view_->engine().getNextColor(r, g, b, a);
        const wxColour c = askColour(this, colourOf(r, g, b));
        if (c.IsOk())
            doc_->edit([c](RevivezoRora& e) { e.setNextColor(c.Red() / 255.0f, c.Green() / 255.0f, c.Blue() / 255.0f, 1.0f); });
    }), cell);
    sceneButtons->Add(button(sceneBox, "BG Color", [this] {
        float r, g, b, a;
        view_->engine().getClearColor(r, g, b, a);
        const wxColour c = askColour(this, colourOf(r, g, b));
        if (c.IsOk())
            doc_->edit([c](RevivezoRora& e) { e.setClearColor(c.Red() / 255.0f, c.Green() / 255.0f, c.Blue() / 255.0f, 1.0f); });
    }), cell);
    scene->Add(sceneButtons, wxSizerFlags().Expand());
    column->Add(scene, wxSizerFlags().Expand().Border(wxALL, 3));

    // Tool: what the left button does.
    auto* tool = new wxStaticBoxSizer(wxVERTICAL, panel, "Tool");
    auto* toolGrid = new wxGridSizer(4, 0, 0);
    for (size_t i = 0; i < toolButtons.size(); ++i) {
        auto* b = new wxToggleButton(tool->GetStaticBox(), wxID_ANY, toolButtons[i].label);
        b->SetName(wxString("tool:") + toolButtons[i].label);
        b->Bind(wxEVT_TOGGLEBUTTON, [this, i](wxCommandEvent&) { pressTool(static_cast<int>(i)); });
        tools_[i] = b;
        toolGrid->Add(b, cell);
    }
    tool->Add(toolGrid, wxSizerFlags().Expand());
    column->Add(tool, wxSizerFlags().Expand().Border(wxALL, 3));

    // Graphics: the render style and the images.
    auto* graphics = new wxStaticBoxSizer(wxVERTICAL, panel, "Graphics");
    wxWindow* graphicsBox = graphics->GetStaticBox();
    auto* styleRow = new wxBoxSizer(wxHORIZONTAL);
    styleRow->Add(new wxStaticText(graphicsBox, wxID_ANY, "Style:"), wxSizerFlags().Center().Border(wxALL, 2));
    style_ = new wxChoice(graphicsBox, wxID_ANY);
    style_->SetName("choice:Style");
    for (const char* name : PudletWin::renderStyleNames)
        style_->Append(name);
    style_->SetSelection(PudletWin::initialStyleIndex);
    style_->Bind(wxEVT_CHOICE, [this](wxCommandEvent& event) {
        const int mode = event.GetSelection() + 1;
        doc_->edit([mode](RevivezoRora& e) { e.setRenderMode(mode); });
        giveViewFocus();
    });
    styleRow->Add(style_, wxSizerFlags(1).Expand());
    graphics->Add(styleRow, wxSizerFlags().Expand());
    auto* imageGrid = new wxFlexGridSizer(2, 0, 0);
    imageGrid->AddGrowableCol(0);
    for (const PudletWin::ImageRow& row : PudletWin::imageRows) {
        auto set = row.set;
        imageGrid->Add(button(graphicsBox, row.label, [this, set] {
            wxFileDialog dialog(this, "Open Image", "", "", PudletWin::imageFileFilter,
                                wxFD_OPEN | wxFD_FILE_MUST_EXIST);
            if (dialog.ShowModal() != wxID_OK)
                return;
            // Image names are relative to the working directory.
            wxSetWorkingDirectory(dialog.GetDirectory());
            view_->makeCurrent();
            const std::string name = dialog.GetFilename().utf8_string();
            doc_->edit([set, &name](RevivezoRora& e) { (e.*set)(name.c_str()); });
        }), cell);
        auto* unload = button(graphicsBox, "Unload", [this, set] { doc_->edit([set](RevivezoRora& e) { (e.*set)(nullptr); }); });
        unload->SetName(wxString("unload:") + row.name);
        imageGrid->Add(unload, cell);
    }
    graphics->Add(imageGrid, wxSizerFlags().Expand());
    column->Add(graphics, wxSizerFlags().Expand().Border(wxALL, 3));

    panel->SetSizer(column);
    panel->FitInside();
    panel->SetMinSize(wxSize(column->GetMinSize().x + wxSystemSettings::GetMetric(wxSYS_VSCROLL_X), 100));
    return panel;
}

int CMainFrame::basicMenuHeight()
{
    const int caption = dock_.GetArtProvider()->GetMetric(wxAUI_DOCKART_CAPTION_SIZE);
    const int border = dock_.GetArtProvider()->GetMetric(wxAUI_DOCKART_PANE_BORDER_SIZE);
    return bar_->GetSizer()->GetMinSize().y + caption + 4 * border + 8;
}

// Choosing what to paint and with which tool changes no scene: the views
// are updated, the scene is not marked modified.
void CMainFrame::pressMaterial(int index)
{
    pressedMaterial_ = index;
    view_->engine().setNextMaterial(materialButtons[index].code);
    doc_->UpdateAllViews();
    giveViewFocus();
}

void CMainFrame::pressTool(int index)
{
    pressedTool_ = index;
    view_->engine().setLeftButtonTool(toolButtons[index].code);
    doc_->UpdateAllViews();
    giveViewFocus();
}

void CMainFrame::selectButtonsForChar(int c)
{
    const PudletWin::CharSelection selection = PudletWin::selectionForChar(c);
    if (selection.index < 0)
        return;
    if (selection.group == PudletWin::CharSelection::tool) {
        // The pressed button must name the tool the left button really has.
        pressedTool_ = selection.index;
        view_->engine().setLeftButtonTool(toolButtons[selection.index].code);
    } else {
        pressedMaterial_ = selection.index;
    }
}

void CMainFrame::refreshControls()
{
    const PudletWin::ControlState state = PudletWin::controlStateOf(view_->engine());
    pause_->SetValue(state.pause);
    gravity_->SetValue(state.gravity);
    drain_->SetValue(state.drain);
    pouring_->SetValue(state.pouring);
    splash_->SetValue(state.splash);
    bubble_->SetValue(state.bubble);
    style_->SetSelection(state.styleIndex);
    for (int i = 0; i < static_cast<int>(materials_.size()); ++i)
        materials_[i]->SetValue(i == pressedMaterial_);
    for (int i = 0; i < static_cast<int>(tools_.size()); ++i)
        tools_[i]->SetValue(i == pressedTool_);
}

void CMainFrame::giveViewFocus()
{
    if (view_->canvas())
        view_->canvas()->SetFocus();
}

void CMainFrame::updateTitle()
{
    // A modified scene shows a star before its name.
    SetTitle((doc_->IsModified() ? "*" : "") + doc_->GetTitle() + " - " + frameTitle);
}

void CMainFrame::documentChanged()
{
    refreshControls();
    updateTitle();
    if (view_->canvas())
        view_->canvas()->Refresh(false);
}

bool CMainFrame::confirmDiscard()
{
    if (!doc_->IsModified())
        return true;
    switch (PudletHost::askToSaveChanges(this, doc_->GetTitle())) {
    case PudletHost::SaveChoice::save: return saveDocument();
    case PudletHost::SaveChoice::discard: return true;
    case PudletHost::SaveChoice::cancel: break;
    }
    return false;
}

void CMainFrame::rememberFolderOf(const std::string& path)
{
    lastFolder_ = wxFileName(wxString::FromUTF8(path)).GetPath();
}

void CMainFrame::newDocument()
{
    if (!confirmDiscard())
        return;
    doc_->OnNewDocument();
    documentChanged();
    giveViewFocus();
}

bool CMainFrame::openDocument(const std::string& path, bool askedToSave)
{
    if (!askedToSave && !confirmDiscard())
        return false;
    const wxString file = wxString::FromUTF8(path);
    const bool opened = doc_->OnOpenDocument(file);
    if (opened) {
        history_.AddFileToHistory(wxFileName(file).GetAbsolutePath());
        rememberFolderOf(path);
    } else {
        // The scene, the title and the recent files stay as they were.
        wxLogError("%s", wxString::FromUTF8(doc_->lastError()));
    }
    documentChanged();
    giveViewFocus();
    return opened;
}

bool CMainFrame::saveDocument()
{
    if (view_->sceneName().empty())
        return askAndSaveAs();
    return saveDocumentAs(view_->sceneName());
}

bool CMainFrame::askAndSaveAs()
{
    wxFileDialog dialog(this, "Save As", lastFolder_, "", PudletWin::sceneFileFilter, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return false;
    return saveDocumentAs(dialog.GetPath().utf8_string());
}

bool CMainFrame::saveDocumentAs(const std::string& chosenPath)
{
    const std::string path = PudletWin::sceneFileName(chosenPath);
    const bool saved = doc_->OnSaveDocument(wxString::FromUTF8(path));
    if (saved) {
        history_.AddFileToHistory(wxFileName(wxString::FromUTF8(path)).GetAbsolutePath());
        rememberFolderOf(path);
    } else {
        wxLogError("%s", wxString::FromUTF8(doc_->lastError()));
    }
    updateTitle();
    giveViewFocus();
    return saved;
}

bool CMainFrame::exportPicture(const std::string& path)
{
    const bool written = view_->exportPicture(path);
    if (!written)
        wxLogError("Could not write the picture \"%s\".", wxString::FromUTF8(path));
    giveViewFocus();
    return written;
}

void CMainFrame::OnNew(wxCommandEvent&)
{
    newDocument();
}

void CMainFrame::OnOpen(wxCommandEvent&)
{
    // Asked before the file dialog, so Cancel leaves everything as it was.
    if (!confirmDiscard())
        return;
    wxFileDialog dialog(this, "Open", lastFolder_, "", PudletWin::sceneFileFilter, wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (dialog.ShowModal() == wxID_OK)
        openDocument(dialog.GetPath().utf8_string(), true);
    giveViewFocus();
}

void CMainFrame::OnSave(wxCommandEvent&)
{
    saveDocument();
}

void CMainFrame::OnSaveAs(wxCommandEvent&)
{
    askAndSaveAs();
    giveViewFocus();
}

void CMainFrame::OnExportPicture(wxCommandEvent&)
{
    wxFileDialog dialog(this, "Export Picture", lastFolder_, "picture.png", "PNG Files (*.png)|*.png",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() == wxID_OK) {
        wxFileName name(dialog.GetPath());
        if (name.GetExt().empty())
            name.SetExt("png");
        exportPicture(name.GetFullPath().utf8_string());
    }
    giveViewFocus();
}

void CMainFrame::OnRecentFile(wxCommandEvent& event)
{
    const size_t index = static_cast<size_t>(event.GetId() - wxID_FILE1);
    if (index < history_.GetCount())
        openDocument(history_.GetHistoryFile(index).utf8_string());
}

void CMainFrame::OnExit(wxCommandEvent&)
{
    Close();
}

void CMainFrame::OnUndo(wxCommandEvent&)
{
    doc_->edit([](RevivezoRora& e) { e.undo(); });
    giveViewFocus();
}

void CMainFrame::OnToggleBasicMenu(wxCommandEvent&)
{
    wxAuiPaneInfo& pane = dock_.GetPane(basicMenuPane);
    if (pane.IsShown())
        pane.Float().Hide();
    else
        pane.Left().Dock().Show();
    dock_.Update();
    giveViewFocus();
}

void CMainFrame::OnUpdateBasicMenu(wxUpdateUIEvent& event)
{
    event.Check(dock_.GetPane(basicMenuPane).IsShown());
}

void CMainFrame::OnAbout(wxCommandEvent&)
{
    CAboutDlg dialog(this);
    dialog.ShowModal();
    giveViewFocus();
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
    if (event.CanVeto() && !confirmDiscard()) {
        event.Veto();
        return;
    }
    if (wxConfigBase* config = wxConfigBase::Get())
        history_.Save(*config);
    event.Skip();
}
