#pragma once
// A floating tool panel. Hide All / Show All / Toggle All (and Tab) act on
// every panel at once, bringing back only the panels they hid.
#include "zeb_panel_roster.h"

#include <wx/frame.h>

class ZebPanel : public wxFrame, public ZebPanelFace {
public:
    ZebPanel(const wxString& title, const wxPoint& position);
    ~ZebPanel() override;

    bool isPanelVisible() const override { return IsShown(); }
    void orderFront() override;
    void orderOut() override { Hide(); }
    // The user shows or hides this panel (its menu item or close box).
    void toggleVisible();

    static void showAllPanels() { roster().showAll(); }
    static void hideAllPanels() { roster().hideAll(); }
    static void toggleAllPanels() { roster().toggleAll(); }
    static bool allPanelsAreHiddenTemporally() { return roster().allPanelsAreHiddenTemporally(); }

private:
    static ZebPanelRoster& roster();
    void onClose(wxCloseEvent& event);
};
