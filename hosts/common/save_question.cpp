#include "save_question.h"

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace PudletHost {

namespace {

std::function<SaveChoice(const wxString&)>& testAnswer()
{
    static std::function<SaveChoice(const wxString&)> answer;
    return answer;
}

} // namespace

SaveChoice askToSaveChanges(wxWindow* parent, const wxString& name)
{
    if (testAnswer())
        return testAnswer()(name);
    wxMessageDialog dialog(parent, wxString::Format("Do you want to save the changes to \"%s\"?", name),
                           wxTheApp ? wxTheApp->GetAppDisplayName() : wxString("Pudlet"),
                           wxYES_NO | wxCANCEL | wxYES_DEFAULT | wxICON_QUESTION);
    dialog.SetExtendedMessage("Your changes will be lost if you don't save them.");
    dialog.SetYesNoCancelLabels("&Save", "Do&n't Save", "&Cancel");
    switch (dialog.ShowModal()) {
    case wxID_YES: return SaveChoice::save;
    case wxID_NO: return SaveChoice::discard;
    default: return SaveChoice::cancel;
    }
}

void answerSaveQuestionsWith(std::function<SaveChoice(const wxString& name)> answer)
{
    testAnswer() = std::move(answer);
}

} // namespace PudletHost
