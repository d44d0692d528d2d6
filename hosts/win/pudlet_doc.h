#pragma once
// The document carries no data: the scene lives in the view's engine. It
// forwards an opened or saved path to its view and keeps the file name and
// title.
#include <wx/docview.h>

#include <string>

class CPudletView;

class CPudletDoc : public wxDocument {
public:
    bool OnOpenDocument(const wxString& path) override;
    bool OnSaveDocument(const wxString& path) override;
    bool OnNewDocument() override;
    // The main window owns the document; wx would delete it with its last
    // view.
    void OnChangedViewList() override {}

    // Why the last open or save failed: one line naming the file.
    const std::string& lastError() const { return lastError_; }

private:
    CPudletView* view() const;
    std::string lastError_;

    wxDECLARE_DYNAMIC_CLASS(CPudletDoc);
};
