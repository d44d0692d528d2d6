#pragma once
// The main window: menus, tool bar, status bar, the dockable "Basic Menu"
// bar and the view's canvas; the file commands.
#include "pudlet_logic.h"
#include "pudlet_view.h"

#include <wx/aui/aui.h>
#include <wx/filehistory.h>
#include <wx/frame.h>

#include <array>
#include <string>

class wxCheckBox;
class wxChoice;
class wxSlider;
class wxToggleButton;
class CPudletDoc;

class CMainFrame : public wxFrame {
public:
    CMainFrame();
    ~CMainFrame() override;

    CPudletView& view() { return *view_; }
    wxAuiManager& dockManager() { return dock_; }
    wxFileHistory& fileHistory() { return history_; }
    wxWindow* basicMenu() { return bar_; }
    // The frame's client height that shows the whole Basic Menu docked.
    int basicMenuHeight();

    // Files. Each reports failures to the user and returns whether it worked.
    void newDocument();
    // askedToSave: the user has already answered for the current scene.
    bool openDocument(const std::string& path, bool askedToSave = false);
    bool saveDocument();
    bool saveDocumentAs(const std::string& chosenPath);
    bool exportPicture(const std::string& path);

    // The bar's check boxes and style list, from the engine.
    void refreshControls();
    // After every change of the document: the controls, the title (with the
    // modified state) and the canvas.
    void documentChanged();
    void updateTitle();
    // Before a modified scene would be lost: Save, Don't Save or Cancel.
    // False when the user cancelled (or saving failed).
    bool confirmDiscard();
    // The buttons a typed character presses (shown by the next update).
    void selectButtonsForChar(int c);

private:
    wxWindow* createBasicMenu();
    void createMenus();
    void pressMaterial(int index);
    void pressTool(int index);
    bool askAndSaveAs();
    void rememberFolderOf(const std::string& path);
    void giveViewFocus();

    void OnNew(wxCommandEvent&);
    void OnOpen(wxCommandEvent&);
    void OnSave(wxCommandEvent&);
    void OnSaveAs(wxCommandEvent&);
    void OnExportPicture(wxCommandEvent&);
    void OnRecentFile(wxCommandEvent&);
    void OnExit(wxCommandEvent&);
    void OnUndo(wxCommandEvent&);
    void OnToggleBasicMenu(wxCommandEvent&);
    void OnUpdateBasicMenu(wxUpdateUIEvent&);
    void OnAbout(wxCommandEvent&);
    void OnClose(wxCloseEvent&);

    wxAuiManager dock_;
    wxWindow* bar_ = nullptr;
    CPudletDoc* doc_ = nullptr;
    CPudletView* view_ = nullptr;
    wxFileHistory history_;
    std::array<wxToggleButton*, 24> materials_{};
    std::array<wxToggleButton*, 10> tools_{};
    wxCheckBox *pause_ = nullptr, *drain_ = nullptr, *splash_ = nullptr, *bubble_ = nullptr;
    wxCheckBox *gravity_ = nullptr, *pouring_ = nullptr;
    wxSlider *gravitySlider_ = nullptr, *pouringSlider_ = nullptr;
    wxChoice* style_ = nullptr;
    wxString lastFolder_; // where the file dialogs start: the last scene's folder
    // The buttons shown pressed: the last ones chosen, by click or key.
    int pressedMaterial_ = PudletWin::initialMaterialIndex;
    int pressedTool_ = PudletWin::initialToolIndex;
};
