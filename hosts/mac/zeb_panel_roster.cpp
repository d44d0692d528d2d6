#include "zeb_panel_roster.h"

#include <algorithm>

void ZebPanelRoster::add(ZebPanelFace* panel) {
    if (std::find(panels.begin(), panels.end(), panel) == panels.end()) panels.push_back(panel);
}

void ZebPanelRoster::remove(ZebPanelFace* panel) {
    panels.erase(std::remove(panels.begin(), panels.end(), panel), panels.end());
}

void ZebPanelRoster::showAll() {
    hiddenTemporally = false;
    for (ZebPanelFace* panel : panels) {
        if (!panel->hiddenTemporally) continue;
        panel->hiddenTemporally = false;
        panel->orderFront();
    }
}

void ZebPanelRoster::hideAll() {
    hiddenTemporally = true;
    for (ZebPanelFace* panel : panels) {
        if (!panel->isPanelVisible()) continue;
        panel->orderOut();
        panel->hiddenTemporally = true;
    }
}

void ZebPanelRoster::toggleAll() {
    if (hiddenTemporally)
        showAll();
    else
        hideAll();
}

void ZebPanelRoster::toggleVisible(ZebPanelFace* panel) {
    if (panel->isPanelVisible())
        panel->orderOut();
    else
        panel->orderFront();
    panel->hiddenTemporally = false;
}
