#include "pudlet_logic.h"

#include <cmath>

namespace PudletWin {

using Zeb::Kamblo::RevivezoRora;

int materialButtonFor(int code)
{
    for (size_t i = 0; i < materialButtons.size(); ++i)
        if (materialButtons[i].code == code)
            return static_cast<int>(i);
    return -1;
}

int toolButtonForKey(int key)
{
    for (size_t i = 0; i < toolButtons.size(); ++i)
        if (toolButtons[i].key == key)
            return static_cast<int>(i);
    return -1;
}

CharSelection selectionForChar(int c)
{
    if (c >= 'A' && c <= 'Z')
        return {CharSelection::tool, toolButtonForKey(c)};
    return {CharSelection::material, materialButtonFor(c)};
}

int engineKeyFor(SpecialKey key)
{
    switch (key) {
    case SpecialKey::left: return Zeb::Kamblo::Key::left;
    case SpecialKey::right: return Zeb::Kamblo::Key::right;
    case SpecialKey::down: return Zeb::Kamblo::Key::down;
    case SpecialKey::up: return Zeb::Kamblo::Key::up;
    case SpecialKey::del: return Zeb::Kamblo::Key::del;
    }
    return 0;
}

static bool endsWithSceneExtension(const std::string& path)
{
    size_t dot = path.rfind('.');
    return dot != std::string::npos && path.compare(dot, std::string::npos, ".pdl") == 0;
}

std::string sceneFileName(const std::string& chosen)
{
    return endsWithSceneExtension(chosen) ? chosen : chosen + ".pdl";
}

bool isSceneFile(const std::string& path)
{
    return endsWithSceneExtension(path);
}

PixelSize fittedClientSize(const RevivezoRora& engine)
{
    const float scale = engine.scale();
    return {static_cast<int>(std::lround(scale * (engine.boundsLeft() + engine.boundsRight()))),
            static_cast<int>(std::lround(scale * (engine.boundsBottom() + engine.boundsTop())))};
}

ControlState controlStateOf(const RevivezoRora& engine)
{
    const int mode = engine.renderMode();
    const int style = mode >= 1 && mode <= static_cast<int>(renderStyleNames.size()) ? mode - 1 : -1;
    return {engine.pauseFlag(), engine.gravityFlag(), !engine.boundsFlag(), engine.pouringFlag(),
            engine.splashFlag(), engine.bubbleFlag(), style};
}

bool FramePacer::startFrame(double now)
{
    if (waitTime(now) > 0.0)
        return false;
    last_ = now;
    return true;
}

double FramePacer::waitTime(double now) const
{
    if (!last_)
        return 0.0;
    const double elapsed = now - *last_;
    // A clock that went backwards must not stall the loop.
    if (elapsed < 0.0)
        return 0.0;
    return elapsed >= interval_ ? 0.0 : interval_ - elapsed;
}

} // namespace PudletWin
