#include "zeb_input.h"

#include <gtest/gtest.h>

TEST(ZebInput, LeftButtonModifiers) {
    using B = ZebPointerButton;
    EXPECT_EQ(zebMouseButtonCode(B::Left, {}), 1);
    EXPECT_EQ(zebMouseButtonCode(B::Left, {.control = true}), 2) << "Control-click is the right button";
    EXPECT_EQ(zebMouseButtonCode(B::Left, {.shift = true}), 5);
    EXPECT_EQ(zebMouseButtonCode(B::Left, {.control = true, .shift = true}), 6);
    EXPECT_EQ(zebMouseButtonCode(B::Left, {.command = true}), 9);
    EXPECT_EQ(zebMouseButtonCode(B::Left, {.option = true}), 17);
    EXPECT_EQ(zebMouseButtonCode(B::Left, {true, true, true, true}), 2 + 4 + 8 + 16);
    EXPECT_EQ(zebMouseButtonCode(B::Right, {true, true, true, true}), 2);
    EXPECT_EQ(zebMouseButtonCode(B::Other, {.shift = true}), 3);
}

TEST(ZebInput, CharactersAreSignedBytes) {
    EXPECT_EQ(zebCharacterKeyCode('q'), 'q');
    EXPECT_EQ(zebCharacterKeyCode(127), 127);
    EXPECT_EQ(zebCharacterKeyCode(0xe9), -23);  // e acute
    EXPECT_EQ(zebCharacterKeyCode(0x20ac), -84);  // beyond Latin-1: the low byte
}

TEST(ZebInput, ReleaseRepeatsThePressedCode) {
    ZebKeyTracker keys;
    const int physicalQ = 81, physicalLeft = 314, physicalTab = 9;
    EXPECT_EQ(keys.pressed(physicalQ, 'Q'), 'Q');
    // Shift may be let go first: the release still reports the upper case.
    EXPECT_EQ(keys.released(physicalQ), 'Q');
    EXPECT_EQ(keys.released(physicalQ), std::nullopt) << "one release per press";
    EXPECT_EQ(keys.pressedArrow(physicalLeft, Zeb::Kamblo::Key::left), 256);
    EXPECT_EQ(keys.released(physicalLeft), 256);

    EXPECT_EQ(keys.pressed(physicalTab, '\t'), std::nullopt) << "Tab never reaches the engine";
    EXPECT_TRUE(keys.releaseIsTab(physicalTab));
    EXPECT_EQ(keys.released(physicalTab), std::nullopt);
    EXPECT_FALSE(keys.releaseIsTab(physicalTab));
}

TEST(ZebInput, TimerInterval) {
    EXPECT_EQ(zebTimerIntervalMs(2, 30), 17);  // 1/60 s
    EXPECT_EQ(zebTimerIntervalMs(8, 25), 5);
    EXPECT_EQ(zebTimerIntervalMs(1, 1), 1000);
    EXPECT_EQ(zebTimerIntervalMs(1000, 1000), 1) << "never a zero interval";
    EXPECT_EQ(zebTimerIntervalMs(0, 25), 0);
    EXPECT_EQ(zebTimerIntervalMs(8, 0), 0);
    EXPECT_EQ(zebTimerIntervalMs(-2, -30), 0) << "two negatives make no timer";
    EXPECT_EQ(zebTimerIntervalMs(1 << 30, 1 << 30), 1) << "no overflow";
}
