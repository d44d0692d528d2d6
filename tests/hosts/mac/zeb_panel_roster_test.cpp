#include "zeb_panel_roster.h"

#include <gtest/gtest.h>

namespace {
struct FakePanel : ZebPanelFace {
    bool visible = true;
    bool isPanelVisible() const override { return visible; }
    void orderFront() override { visible = true; }
    void orderOut() override { visible = false; }
};
} // namespace

TEST(ZebPanelRoster, HideAndShowAllRestoreOnlyWhatTheyHid) {
    FakePanel tools, colors, closedByHand;
    ZebPanelRoster roster;
    for (FakePanel* p : {&tools, &colors, &closedByHand}) roster.add(p);
    roster.toggleVisible(&closedByHand);
    ASSERT_FALSE(closedByHand.visible);

    roster.hideAll();
    EXPECT_TRUE(roster.allPanelsAreHiddenTemporally());
    EXPECT_FALSE(tools.visible);
    EXPECT_FALSE(colors.visible);
    EXPECT_FALSE(closedByHand.hiddenTemporally);

    roster.showAll();
    EXPECT_FALSE(roster.allPanelsAreHiddenTemporally());
    EXPECT_TRUE(tools.visible);
    EXPECT_TRUE(colors.visible);
    EXPECT_FALSE(closedByHand.visible) << "a panel closed by hand stays closed";
}

TEST(ZebPanelRoster, ToggleAlternatesAndHandTogglesWin) {
    FakePanel a, b;
    ZebPanelRoster roster;
    roster.add(&a);
    roster.add(&b);
    roster.add(&a);  // twice: still one entry

    roster.toggleAll();
    EXPECT_FALSE(a.visible);
    EXPECT_FALSE(b.visible);
    // The user brings one back while hidden: it is no longer waiting.
    roster.toggleVisible(&a);
    EXPECT_TRUE(a.visible);
    EXPECT_FALSE(a.hiddenTemporally);
    roster.toggleVisible(&a);  // and closes it again by hand
    roster.toggleAll();
    EXPECT_FALSE(a.visible);
    EXPECT_TRUE(b.visible);

    // Show-all twice does not resurrect anything.
    roster.showAll();
    EXPECT_FALSE(a.visible);

    roster.remove(&b);
    roster.hideAll();
    EXPECT_TRUE(b.visible) << "a removed panel is left alone";
}
