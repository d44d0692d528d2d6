#pragma once
// The document: the scene lives in the view's engine; every change to it
// goes through edit() or changed(), which mark it modified and update every
// view. Opening and saving go through the front-end layer.
#include <particle_beat.h>
#include <wx/docview.h>

#include <functional>
#include <string>

class CPudletView;

// The update hint of a typed character: the frame presses its buttons.
struct CTypedCharacter : wxObject {
    explicit CTypedCharacter(int c) : character(c) {}
    int character;
};

class CPudletDoc : public wxDocument {
public:
    bool OnOpenDocument(const wxString& path) override;
    bool OnSaveDocument(const wxString& path) override;
    bool OnNewDocument() override;
    // The main window owns the document; wx would delete it with its last
    // view.
    void OnChangedViewList() override {}

    // Applies a change to the scene, then changed().
    void edit(const std::function<void(Zeb::Kamblo::RevivezoRora&)>& change);
    // The scene was changed (by input on the view): mark it modified and
    // update every view.
    // hint goes to the views' OnUpdate.
    void changed(wxObject* hint = nullptr);

    // Why the last open or save failed: one line naming the file.
    const std::string& lastError() const { return lastError_; }

private:
    CPudletView* view() const;
    std::string lastError_;

    wxDECLARE_DYNAMIC_CLASS(CPudletDoc);
};
