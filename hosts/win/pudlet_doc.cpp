#include "pudlet_doc.h"

#include "pudlet_view.h"

#include <wx/filename.h>

wxIMPLEMENT_DYNAMIC_CLASS(CPudletDoc, wxDocument);

CPudletView* CPudletDoc::view() const
{
    return static_cast<CPudletView*>(GetFirstView());
}

bool CPudletDoc::OnOpenDocument(const wxString& path)
{
    CPudletView* target = view();
    if (!target || !target->openScene(path.utf8_string(), &lastError_))
        return false;
    SetFilename(path, false);
    SetTitle(wxFileName(path).GetFullName());
    Modify(false);
    return true;
}

bool CPudletDoc::OnSaveDocument(const wxString& path)
{
    CPudletView* target = view();
    if (!target || !target->saveScene(path.utf8_string(), &lastError_))
        return false;
    SetFilename(path, false);
    SetTitle(wxFileName(path).GetFullName());
    Modify(false);
    return true;
}

bool CPudletDoc::OnNewDocument()
{
    if (CPudletView* target = view())
        target->newScene();
    SetFilename(wxString(), false);
    SetTitle("Untitled");
    Modify(false);
    return true;
}

void CPudletDoc::edit(const std::function<void(Zeb::Kamblo::RevivezoRora&)>& change)
{
    if (CPudletView* target = view())
        change(target->engine());
    changed();
}

void CPudletDoc::changed(wxObject* hint)
{
    Modify(true);
    UpdateAllViews(nullptr, hint);
}
