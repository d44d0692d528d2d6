#include "zeb_input.h"

#include <cmath>
#include <cstdint>

int zebMouseButtonCode(ZebPointerButton button, ZebModifiers modifiers) {
    if (button == ZebPointerButton::Right) return 2;
    if (button == ZebPointerButton::Other) return 3;
    int code = modifiers.control ? 2 : 1;
    if (modifiers.shift) code += 4;
    if (modifiers.command) code |= 8;
    if (modifiers.option) code |= 16;
    return code;
}

int zebCharacterKeyCode(int character) {
    return static_cast<std::int8_t>(static_cast<std::uint8_t>(character & 0xff));
}

std::optional<int> ZebKeyTracker::pressed(int physicalKey, int character) {
    if (character == Zeb::Kamblo::Key::tab) {
        down[physicalKey] = Zeb::Kamblo::Key::tab;
        return std::nullopt;
    }
    int code = zebCharacterKeyCode(character);
    down[physicalKey] = code;
    return code;
}

std::optional<int> ZebKeyTracker::pressedArrow(int physicalKey, int arrowCode) {
    down[physicalKey] = arrowCode;
    return arrowCode;
}

std::optional<int> ZebKeyTracker::released(int physicalKey) {
    auto it = down.find(physicalKey);
    if (it == down.end()) return std::nullopt;
    int code = it->second;
    down.erase(it);
    if (code == Zeb::Kamblo::Key::tab) return std::nullopt;
    return code;
}

bool ZebKeyTracker::releaseIsTab(int physicalKey) const {
    auto it = down.find(physicalKey);
    return it != down.end() && it->second == Zeb::Kamblo::Key::tab;
}

int zebTimerIntervalMs(int timeStepsPerFrame, int framesPerSecond) {
    long long product = static_cast<long long>(timeStepsPerFrame) * framesPerSecond;
    if (timeStepsPerFrame <= 0 || framesPerSecond <= 0 || product <= 0) return 0;
    long long ms = std::llround(1000.0 / static_cast<double>(product));
    return ms < 1 ? 1 : static_cast<int>(ms);
}
