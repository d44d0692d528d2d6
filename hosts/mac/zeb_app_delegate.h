#pragma once
// The application: its documents, the floating panels bound to the active
// document, and the menu actions shared by every document window.
#include "autosave.h"

#include <wx/app.h>
#include <wx/timer.h>
#include <wx/cmdline.h>
#include <wx/menu.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ZebColorWell;
class ZebDocument;
class ZebPanels;

class ZebAppDelegate : public wxApp {
public:
    ZebAppDelegate();
    ~ZebAppDelegate() override;

    bool OnInit() override;
    int OnExit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;

    // A window on a fresh engine.
    ZebDocument& newDocument();
    // A window on the scene at path; null (and the user told why) when it
    // cannot be read.
    ZebDocument* openDocument(const std::string& path);
    void openWithDialog(wxWindow* parent);

    ZebDocument* currentDocument() const { return current; }
    const std::vector<std::unique_ptr<ZebDocument>>& documents() const { return open; }
    ZebPanels& panels() { return *panelSet; }
    ZebColorWell* nextColorWell() const;
    bool nextColorWellIsActive() const;

    // Called by the documents.
    wxMenuBar* makeMenuBar();
    void onDocumentMenu(ZebDocument& document, wxCommandEvent& event);
    void documentActivated(ZebDocument& document);
    void documentDidChange(ZebDocument& document, std::string_view key);
    void documentClosed(ZebDocument& document);

    // The next-colour well was made active or inactive: painting uses the
    // well's colour instead of the material's while it is active.
    void nextColorWellChanged(ZebColorWell& well);

    void showAllPanels();
    void hideAllPanels();
    void toggleAllPanels();

    // Where the file dialogs start: the folder of the last scene opened or
    // saved (empty: the working directory).
    const wxString& lastFolder() const { return folder; }
    void rememberFolderOf(const std::string& path);

    // The end-to-end test keeps the application alive between its cases.
    bool quitWhenLastDocumentCloses = true;

private:
    void placeWindow(ZebDocument& document);
    // Drops a window whose scene could not be read.
    void discardDocument(ZebDocument& document);
    // Takes the document out of the open list (destroyed later); false when
    // it was not open.
    bool forget(ZebDocument& document);

    std::vector<std::unique_ptr<ZebDocument>> open;
    std::vector<std::unique_ptr<ZebDocument>> closing;
    void startAutosave();
    std::map<const ZebDocument*, std::unique_ptr<Pudlet::RecoveryFile>> recoveries;
    int nextRecovery = 0;
    wxTimer autosaveTimer;
    ZebDocument* current = nullptr;
    std::unique_ptr<ZebPanels> panelSet;
    std::vector<std::string> scenesToOpen;
    wxString folder;
};

wxDECLARE_APP(ZebAppDelegate);
