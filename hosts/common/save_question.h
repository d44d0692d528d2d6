#pragma once
// The question both hosts ask before a modified scene would be lost (closing
// its window, quitting, New, Open): Save, Don't Save or Cancel.
#include <wx/string.h>
#include <wx/window.h>

#include <functional>

namespace PudletHost {

enum class SaveChoice { save, discard, cancel };

// Asks whether to save the changes made to the scene called `name`.
SaveChoice askToSaveChanges(wxWindow* parent, const wxString& name);

// End-to-end tests answer in the user's place (an empty function restores
// the dialog).
void answerSaveQuestionsWith(std::function<SaveChoice(const wxString& name)> answer);

} // namespace PudletHost
