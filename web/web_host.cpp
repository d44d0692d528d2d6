// The browser host's engine side: one engine drawing into the page's WebGL
// canvas, and the calls the page makes (input, frames, files, controls). The
// page (pudlet.js) owns the controls, built from manifest(); every decision
// the desktop host makes without a window (button tables, which button a
// typed character presses, the controls' state) comes from the same code.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <GL/gl.h>
#include <sys/stat.h>

#include <cstring>
#include <sstream>
#include <string>

#include "decoded_images.h"
#include "default_scene.h"
#include "particle_beat.h"
#include "particle_renderer.h"
#include "pudlet_logic.h"
#include "scene_frame.h"
#include "scene_session.h"
#include "shader.h"

using Zeb::Kamblo::RevivezoRora;

// Sets up emscripten's legacy-GL emulation for the context just made current
// (gl_attrib_stack.js).
extern "C" void pudletInitGLEmulation();

namespace {

struct WebHost {
    Pudlet::EngineHandle engine;
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;
    int width = 0;
    int height = 0;
    std::string text; // the last string handed to the page
};

WebHost host;

const char* hand(std::string s)
{
    host.text = std::move(s);
    return host.text.c_str();
}

void jsonString(std::ostringstream& out, const char* s)
{
    out << '"';
    for (; *s; ++s) {
        if (*s == '"' || *s == '\\')
            out << '\\';
        out << *s;
    }
    out << '"';
}

// Pixels of the canvas, top-left origin, to scene units under the frame's
// projection (no scroll: the host draws unscrolled).
float sceneX(float x) { return x / host.engine->scale(); }
float sceneY(float y) { return (float(host.height) - y) / host.engine->scale(); }

} // namespace

extern "C" {

// Creates the WebGL context on the canvas (a CSS selector) and the engine.
// False when the browser gives no WebGL.
EMSCRIPTEN_KEEPALIVE bool pudlet_start(const char* canvas, int width, int height)
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    // Opaque: the renderer draws its off-screen images in textures of their
    // own (imagesInFramebuffers), so the page's frame buffer needs no alpha.
    attributes.alpha = false;
    attributes.depth = false;
    attributes.stencil = false;
    attributes.antialias = false;
    attributes.premultipliedAlpha = false;
    // The page exports pictures from the canvas between frames.
    attributes.preserveDrawingBuffer = true;
    // Emscripten starts with a umask that leaves new files unreadable; the
    // page reads saved scenes back to offer them as downloads.
    umask(022);
    host.context = emscripten_webgl_create_context(canvas, &attributes);
    if (host.context <= 0)
        return false;
    emscripten_webgl_make_context_current(host.context);
    pudletInitGLEmulation();
    Zeb::Kamblo::ParticleRenderer::imagesInFramebuffers = true;
    // The renderer's checks would each wait for the GPU process to finish the
    // frame so far; the page reads the error once a second (pudlet_gl_error).
    Zeb::Kamblo::checkErrorReads = false;
    host.engine = Pudlet::newEngine();
    host.width = width;
    host.height = height;
    return true;
}

// The Basic Menu's tables, as JSON: material and tool buttons, the style
// list and the sliders, with the initial choices.
EMSCRIPTEN_KEEPALIVE const char* pudlet_manifest()
{
    std::ostringstream out;
    out << "{\"materials\":[";
    for (size_t i = 0; i < PudletWin::materialButtons.size(); ++i) {
        out << (i ? "," : "") << "{\"label\":";
        jsonString(out, PudletWin::materialButtons[i].label);
        out << ",\"code\":" << PudletWin::materialButtons[i].code << "}";
    }
    out << "],\"tools\":[";
    for (size_t i = 0; i < PudletWin::toolButtons.size(); ++i) {
        out << (i ? "," : "") << "{\"label\":";
        jsonString(out, PudletWin::toolButtons[i].label);
        out << ",\"code\":" << PudletWin::toolButtons[i].code << ",\"key\":" << PudletWin::toolButtons[i].key
            << "}";
    }
    out << "],\"images\":[";
    for (size_t i = 0; i < PudletWin::imageRows.size(); ++i) {
        out << (i ? "," : "") << "{\"label\":";
        jsonString(out, PudletWin::imageRows[i].label);
        out << ",\"name\":";
        jsonString(out, PudletWin::imageRows[i].name);
        out << "}";
    }
    out << "],\"styles\":[";
    for (size_t i = 0; i < PudletWin::renderStyleNames.size(); ++i) {
        out << (i ? "," : "");
        jsonString(out, PudletWin::renderStyleNames[i]);
    }
    out << "],\"initialMaterial\":" << PudletWin::initialMaterialIndex
        << ",\"initialTool\":" << PudletWin::initialToolIndex << ",\"initialStyle\":" << PudletWin::initialStyleIndex
        << ",\"gravity\":{\"max\":" << PudletWin::gravitySliderMax << ",\"initial\":"
        << PudletWin::gravitySliderInitial << "},\"pouring\":{\"max\":" << PudletWin::pouringSliderMax
        << ",\"initial\":" << PudletWin::pouringSliderInitial << "},\"defaultScene\":";
    jsonString(out, PudletHost::defaultSceneName);
    out << "}";
    return hand(out.str());
}

// Opens a scene file of the page's file system; on failure the scene stays
// and pudlet_error() says why.
EMSCRIPTEN_KEEPALIVE bool pudlet_open(const char* path)
{
    std::string error;
    const bool ok = Pudlet::openScene(*host.engine, path, &error);
    hand(error);
    if (ok)
        Pudlet::followViewSize(*host.engine, host.width, host.height);
    return ok;
}

EMSCRIPTEN_KEEPALIVE bool pudlet_save(const char* path)
{
    std::string error;
    const bool ok = Pudlet::saveScene(*host.engine, path, &error);
    hand(error);
    return ok;
}

EMSCRIPTEN_KEEPALIVE const char* pudlet_error() { return host.text.c_str(); }

// The pending WebGL error code (0 for none), and clears it.
EMSCRIPTEN_KEEPALIVE int pudlet_gl_error()
{
    emscripten_webgl_make_context_current(host.context);
    return int(glGetError());
}

// The canvas's new size in pixels; the walls follow it.
EMSCRIPTEN_KEEPALIVE void pudlet_resize(int width, int height)
{
    host.width = width;
    host.height = height;
    Pudlet::followViewSize(*host.engine, width, height);
}

// One frame: the scene's steps per frame, then the picture.
EMSCRIPTEN_KEEPALIVE void pudlet_frame(bool simulate)
{
    RevivezoRora& engine = *host.engine;
    if (simulate) {
        const int steps = engine.timeStepsPerFrame();
        for (int i = 0; i < steps; ++i)
            engine.simulate();
    }
    emscripten_webgl_make_context_current(host.context);
    Pudlet::drawFrame(engine, {host.width, host.height, engine.scale()});
}

// Mouse and touch, in canvas pixels from the top-left corner.
EMSCRIPTEN_KEEPALIVE void pudlet_mouse_down(int button, float x, float y)
{
    host.engine->onMouseDown(button, sceneX(x), sceneY(y));
}

EMSCRIPTEN_KEEPALIVE void pudlet_mouse_move(float x, float y) { host.engine->onMouseMove(sceneX(x), sceneY(y)); }

EMSCRIPTEN_KEEPALIVE void pudlet_mouse_up() { host.engine->onMouseUp(); }

// The arrows and Delete, on down and up, as the desktop host gives them.
EMSCRIPTEN_KEEPALIVE void pudlet_key_down(int key) { host.engine->onKeyDown(key); }

EMSCRIPTEN_KEEPALIVE void pudlet_key_up(int key) { host.engine->onKeyUp(key); }

// A typed character, as a press and release. Returns the button it presses:
// 1000 + its index among the tools, its index among the materials, or -1.
EMSCRIPTEN_KEEPALIVE int pudlet_character(int c)
{
    host.engine->onKeyDown(c);
    host.engine->onKeyUp(c);
    const PudletWin::CharSelection selection = PudletWin::selectionForChar(c);
    if (selection.index < 0)
        return -1;
    return selection.group == PudletWin::CharSelection::tool ? 1000 + selection.index : selection.index;
}

// What the check boxes and the style list show: bits pause 1, gravity 2,
// drain 4, pouring 8, splash 16, bubble 32; the style index from bit 8
// (255 for none).
EMSCRIPTEN_KEEPALIVE int pudlet_control_state()
{
    const PudletWin::ControlState s = PudletWin::controlStateOf(*host.engine);
    const int style = s.styleIndex < 0 ? 255 : s.styleIndex;
    return (s.pause ? 1 : 0) | (s.gravity ? 2 : 0) | (s.drain ? 4 : 0) | (s.pouring ? 8 : 0) |
           (s.splash ? 16 : 0) | (s.bubble ? 32 : 0) | style << 8;
}

// Any scene parameter by its name in the parameter table (the status line
// shows the time); NaN for an unknown name.
EMSCRIPTEN_KEEPALIVE double pudlet_get(const char* name)
{
#define PUDLET_GET(type, param, Param, defaultValue) \
    if (std::strcmp(name, #param) == 0)             \
        return double(host.engine->param());
    KAMBLO_PARAMETERS(PUDLET_GET)
#undef PUDLET_GET
    return __builtin_nan("");
}

// The Scene group's check boxes by their control-state bit; Drain opens
// the container (the walls are off while it is ticked).
EMSCRIPTEN_KEEPALIVE void pudlet_set_switch(int bit, bool on)
{
    RevivezoRora& e = *host.engine;
    switch (bit) {
    case 1: e.setPauseFlag(on); break;
    case 2: e.setGravityFlag(on); break;
    case 4: e.setBoundsFlag(!on); break;
    case 8: e.setPouringFlag(on); break;
    case 16: e.setSplashFlag(on); break;
    case 32: e.setBubbleFlag(on); break;
    default: break;
    }
}

// The sliders' positions: gravity's is the amplification, pouring's tenths
// of the thickness.
EMSCRIPTEN_KEEPALIVE void pudlet_set_gravity_slider(int position)
{
    host.engine->setGravityAmplification(float(position));
}

EMSCRIPTEN_KEEPALIVE void pudlet_set_pouring_slider(int position)
{
    host.engine->setPouringThickness(float(position) * 0.1f);
}

// The style list's items are render modes 1 to 7.
EMSCRIPTEN_KEEPALIVE void pudlet_set_style(int index) { host.engine->setRenderMode(index + 1); }

EMSCRIPTEN_KEEPALIVE void pudlet_set_material(int code) { host.engine->setNextMaterial(code); }

EMSCRIPTEN_KEEPALIVE void pudlet_set_tool(int letter) { host.engine->setLeftButtonTool(letter); }

EMSCRIPTEN_KEEPALIVE void pudlet_set_next_color(float r, float g, float b) { host.engine->setNextColor(r, g, b, 1); }

EMSCRIPTEN_KEEPALIVE void pudlet_set_clear_color(float r, float g, float b) { host.engine->setClearColor(r, g, b, 1); }

// Hands over a picture the page has decoded (PNG, JPEG, GIF) under the name
// the engine will ask for: width x height RGBA pixels, top row first.
EMSCRIPTEN_KEEPALIVE bool pudlet_provide_image(const char* name, int width, int height, const uint8_t* rgba)
{
    return Pudlet::Web::provideDecodedImage(name, width, height, rgba);
}

// The Graphics group's image rows (manifest's "images"): loads the image of
// the page's file system called name into the row's place, or unloads it
// (null name). False when the image did not load: the place is empty then,
// as in the desktop host.
EMSCRIPTEN_KEEPALIVE bool pudlet_set_image(int row, const char* name)
{
    if (row < 0 || size_t(row) >= PudletWin::imageRows.size())
        return false;
    const PudletWin::ImageRow& r = PudletWin::imageRows[size_t(row)];
    emscripten_webgl_make_context_current(host.context);
    ((*host.engine).*r.set)(name);
    return !name || *((*host.engine).*r.get)() != '\0';
}

EMSCRIPTEN_KEEPALIVE void pudlet_clear() { host.engine->clear(); }

EMSCRIPTEN_KEEPALIVE void pudlet_undo() { host.engine->undo(); }

EMSCRIPTEN_KEEPALIVE int pudlet_count_particles() { return host.engine->countParticles(); }

} // extern "C"
