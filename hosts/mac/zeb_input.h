#pragma once
// Translation of pointer buttons, modifiers and keys into the engine's codes,
// and the document timer's interval; free of any toolkit.
#include <map>
#include <optional>

#include "particle_key.h"

struct ZebModifiers {
    bool control = false;
    bool shift = false;
    bool command = false;  // the Super (Windows) key on Linux
    bool option = false;   // Alt
};

enum class ZebPointerButton { Left, Right, Other };

// Left: 1, or 2 with Control (a one-button mouse's right click); Shift adds 4;
// Command ORs 8; Option ORs 16. Right is 2 and other 3, without modifiers.
int zebMouseButtonCode(ZebPointerButton button, ZebModifiers modifiers);


// A typed character as the engine's key code: a signed 8-bit value.
int zebCharacterKeyCode(int character);

// Pairs each physical key's press with the character it typed, so that its
// release reports the same code (a release carries no character of its own).
class ZebKeyTracker {
public:
    // The code to send for a press; nullopt for Tab, which only toggles panels.
    std::optional<int> pressed(int physicalKey, int character);
    std::optional<int> pressedArrow(int physicalKey, int arrowCode);
    // The code to send for a release; nullopt when the press was never seen.
    std::optional<int> released(int physicalKey);
    // True when the release is Tab's (toggle the panels instead).
    bool releaseIsTab(int physicalKey) const;

private:
    std::map<int, int> down;  // physical key -> engine code
};

// Milliseconds between timer ticks for 1 / (stepsPerFrame x framesPerSecond)
// seconds; 0 (no timer) when the product is not positive.
int zebTimerIntervalMs(int timeStepsPerFrame, int framesPerSecond);
