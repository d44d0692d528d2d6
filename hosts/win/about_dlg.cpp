#include "about_dlg.h"

#include "pudlet_version.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

CAboutDlg::CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About PUDLET+")
{
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(new wxStaticText(this, wxID_ANY, "PUDLET+ Version " PUDLET_VERSION), 0, wxALL, 12);
    sizer->Add(new wxStaticText(this, wxID_ANY, "A two-dimensional particle sandbox."), 0, wxLEFT | wxRIGHT, 12);
    sizer->Add(CreateStdDialogButtonSizer(wxOK), 0, wxALL | wxEXPAND, 12);
    SetSizerAndFit(sizer);
    CentreOnParent();
}
