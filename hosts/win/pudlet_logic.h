#pragma once
// The host's decisions that need no window: button tables, the keyboard's
// button selection, file naming, drop dispatch, window fitting, walls that
// follow the window, the controls' state and frame pacing. The window classes
// only apply what these functions decide, so the decisions are tested without
// a display.
#include <particle_beat.h>

#include <array>
#include <optional>
#include <string>

namespace PudletWin {

struct MaterialButton {
    const char* label;
    int code;
};

inline constexpr size_t basicMenuMaterialCount = [] {
    size_t count = 0;
    for (const Zeb::Kamblo::MaterialEntry& m : Zeb::Kamblo::kMaterials)
        count += m.onBasicMenu ? 1 : 0;
    return count;
}();

// The Physics group, four per row, in reading order: the engine's materials
// that have a Basic Menu button.
inline constexpr std::array<MaterialButton, basicMenuMaterialCount> materialButtons = [] {
    std::array<MaterialButton, basicMenuMaterialCount> buttons{};
    size_t next = 0;
    for (const Zeb::Kamblo::MaterialEntry& m : Zeb::Kamblo::kMaterials)
        if (m.onBasicMenu)
            buttons[next++] = {m.name, m.code};
    return buttons;
}();

struct ToolButton {
    const char* label;
    int code; // the engine's tool letter
    int key;  // the upper-case key that selects it
};

// The Tool group, four per row, in reading order: the engine's named tools.
inline constexpr std::array<ToolButton, Zeb::Kamblo::kToolButtonCount> toolButtons = [] {
    std::array<ToolButton, Zeb::Kamblo::kToolButtonCount> buttons{};
    for (size_t i = 0; i < buttons.size(); ++i)
        buttons[i] = {Zeb::Kamblo::kTools[i].name, Zeb::Kamblo::kTools[i].letter, Zeb::Kamblo::kTools[i].key()};
    return buttons;
}();

// One row of the Graphics group: a loader button, its Unload button, the
// engine setter both call (a null name unloads) and the getter of the name
// of the image in place (empty for none).
struct ImageRow {
    using Engine = Zeb::Kamblo::RevivezoRora;
    const char* label;
    const char* name;
    void (Engine::*set)(const char*);
    const char* (Engine::*get)() const;
};
inline constexpr std::array<ImageRow, 5> imageRows = {{
    {"Load Foreground", "Foreground", &ImageRow::Engine::setForegroundImageName,
     &ImageRow::Engine::foregroundImageName},
    {"Load Background", "Background", &ImageRow::Engine::setBackgroundImageName,
     &ImageRow::Engine::backgroundImageName},
    {"Load Fire Texture", "Fire", &ImageRow::Engine::setFireImageName, &ImageRow::Engine::fireImageName},
    {"Load Splash Texture", "Splash", &ImageRow::Engine::setSplashImageName, &ImageRow::Engine::splashImageName},
    {"Load Bubble Texture", "Bubble", &ImageRow::Engine::setBubbleImageName, &ImageRow::Engine::bubbleImageName},
}};

inline constexpr int initialMaterialIndex = 2; // Wall
inline constexpr int initialToolIndex = 0;     // Brush

inline constexpr std::array<const char*, 7> renderStyleNames = {
    "Points", "Crosses", "Circles", "Blurred Circles", "Blob", "Blob and Texture", "Shader"};
inline constexpr int initialStyleIndex = 5; // "Blob and Texture"

inline constexpr int gravitySliderMax = 20, gravitySliderInitial = 1;
inline constexpr int pouringSliderMax = 40, pouringSliderInitial = 20;

inline constexpr int recentFileCount = 4;

inline constexpr const char* sceneFileFilter = "PUDLET Files (*.pdl)|*.pdl|All Files (*.*)|*.*";
// GTK takes the patterns of one filter separated by ';' without spaces.
inline constexpr const char* imageFileFilter =
    "Image Files (*.bmp;*.jpg;*.gif;*.png;*.tif;*.tiff)|*.bmp;*.jpg;*.gif;*.png;*.tif;*.tiff|All Files (*.*)|*.*";

// Index into materialButtons / toolButtons, or -1.
int materialButtonFor(int code);
int toolButtonForKey(int key);

// Which button a typed character presses. Upper-case letters choose in the
// Tool group, everything else in the Physics group; index -1 means the
// character has no button there and the buttons stay as they are.
struct CharSelection {
    enum Group { material, tool } group;
    int index;
};
CharSelection selectionForChar(int c);

// The five keys translated on key-down and key-up (arrows and Delete), by
// the toolkit-neutral names the view maps its key codes to.
enum class SpecialKey { left, right, down, up, del };
int engineKeyFor(SpecialKey key);

// Save As: a name whose part from the last '.' is not exactly ".pdl" (or
// that has no '.') gets ".pdl" appended.
std::string sceneFileName(const std::string& chosen);

// Drops: only a name ending exactly in ".pdl" (case-sensitive) is a scene;
// anything else goes to the engine's onFileDrop.
bool isSceneFile(const std::string& path);

// The view's client size that shows the whole scene.
struct PixelSize {
    int width;
    int height;
};
PixelSize fittedClientSize(const Zeb::Kamblo::RevivezoRora& engine);

// What the bar's check boxes and style list show for the engine's state.
struct ControlState {
    bool pause, gravity, drain, pouring, splash, bubble;
    int styleIndex; // -1 when renderMode names no listed style
};
ControlState controlStateOf(const Zeb::Kamblo::RevivezoRora& engine);

// Caps the frame rate where buffer swaps are not tied to the display's
// refresh, so the simulation speed does not depend on the machine's speed.
class FramePacer {
public:
    explicit FramePacer(double framesPerSecond = 60.0) : interval_(1.0 / framesPerSecond) {}
    // Whether a frame may start at `now` (seconds); if so it is counted as
    // started then.
    bool startFrame(double now);
    // Seconds until the next frame may start (0 when it may start now).
    double waitTime(double now) const;

private:
    double interval_;
    std::optional<double> last_;
};

} // namespace PudletWin
