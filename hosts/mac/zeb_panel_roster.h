#pragma once
// The bookkeeping behind hiding and showing all floating panels at once,
// free of any toolkit: a panel the user closed by hand stays closed when the
// panels hidden by "hide all" come back.
#include <vector>

class ZebPanelFace {
public:
    virtual ~ZebPanelFace() = default;
    virtual bool isPanelVisible() const = 0;
    virtual void orderFront() = 0;
    virtual void orderOut() = 0;
    bool hiddenTemporally = false;
};

class ZebPanelRoster {
public:
    void add(ZebPanelFace* panel);
    void remove(ZebPanelFace* panel);

    void showAll();
    void hideAll();
    void toggleAll();
    // The user shows or hides one panel: it no longer waits for show-all.
    void toggleVisible(ZebPanelFace* panel);

    bool allPanelsAreHiddenTemporally() const { return hiddenTemporally; }

private:
    std::vector<ZebPanelFace*> panels;
    bool hiddenTemporally = false;
};
