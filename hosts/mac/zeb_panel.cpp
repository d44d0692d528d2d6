#include "zeb_panel.h"

ZebPanelRoster& ZebPanel::roster() {
    static ZebPanelRoster panels;
    return panels;
}

ZebPanel::ZebPanel(const wxString& title, const wxPoint& position)
    : wxFrame(nullptr, wxID_ANY, title, position, wxDefaultSize,
              wxCAPTION | wxCLOSE_BOX | wxRESIZE_BORDER | wxFRAME_TOOL_WINDOW | wxFRAME_NO_TASKBAR |
                  wxSTAY_ON_TOP) {
    roster().add(this);
    Bind(wxEVT_CLOSE_WINDOW, &ZebPanel::onClose, this);
}

ZebPanel::~ZebPanel() { roster().remove(this); }

// Shown without taking the keyboard: the document window keeps its focus.
void ZebPanel::orderFront() { ShowWithoutActivating(); }

void ZebPanel::toggleVisible() { roster().toggleVisible(this); }

// The close box hides the panel, as closing it by hand.
void ZebPanel::onClose(wxCloseEvent& event) {
    if (!event.CanVeto()) {
        event.Skip();
        return;
    }
    event.Veto();
    if (IsShown()) toggleVisible();
}
