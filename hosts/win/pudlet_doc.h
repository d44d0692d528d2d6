#pragma once
// The document carries no data: the scene lives in the view's engine. It
// forwards an opened or saved path to its view and keeps the file name and
// title.
#include <wx/docview.h>

class CPudletView;

class CPudletDoc : public wxDocument {
public:
    bool OnOpenDocument(const wxString& path) override;
    bool OnSaveDocument(const wxString& path) override;
    bool OnNewDocument() override;
    // The main window owns the document; wx would delete it with its last
    // view.
    void OnChangedViewList() override {}

private:
    CPudletView* view() const;

    wxDECLARE_DYNAMIC_CLASS(CPudletDoc);
};
