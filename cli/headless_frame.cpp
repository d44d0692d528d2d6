#include "headless_frame.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "cli_arguments.h"
#include "png_writer.h"

namespace PudletCli {

using Zeb::Kamblo::RevivezoRora;

FrameView defaultView(RevivezoRora& engine)
{
    FrameView view;
    view.scale = engine.scale();
    const double width = double(engine.boundsRight() - engine.boundsLeft()) * view.scale;
    const double height = double(engine.boundsTop() - engine.boundsBottom()) * view.scale;
    if (!(std::isfinite(width) && std::isfinite(height) && width >= 1 && height >= 1)) {
        view.width = 512;
        view.height = 384;
        return view;
    }
    const double shrink = std::min(1.0, kMaxDefaultPictureSide / std::max(width, height));
    view.scale = float(view.scale * shrink);
    view.width = std::max(1, int(std::lround(width * shrink)));
    view.height = std::max(1, int(std::lround(height * shrink)));
    return view;
}

HeadlessFrame::HeadlessFrame(int width, int height)
{
    std::string reason;
    context_ = Pudlet::OffscreenContext::create(width, height, &reason);
    if (!context_)
        throw Failure("cannot create a headless OpenGL context: " + reason);
}

void HeadlessFrame::resize(int width, int height)
{
    if (context_->width() == width && context_->height() == height)
        return;
    if (!context_->resize(width, height))
        throw Failure("cannot make a " + std::to_string(width) + "x" + std::to_string(height) +
                      " frame buffer (too large for this OpenGL implementation)");
}

void HeadlessFrame::draw(RevivezoRora& engine, const FrameView& view, int mode)
{
    resize(view.width, view.height);
    context_->makeCurrent();
    const float sceneScale = engine.scale();
    const int sceneMode = engine.renderMode();
    engine.setScale(view.scale);
    engine.setRenderMode(mode);

    Pudlet::drawFrame(engine, view);
    glFinish();

    engine.setScale(sceneScale);
    engine.setRenderMode(sceneMode);
}

void HeadlessFrame::writePNG(const std::string& path) const
{
    const std::vector<uint8_t> pixels = context_->readPixels();
    if (!Zeb::Kamblo::writePNGFile(path.c_str(), context_->width(), context_->height(), pixels.data(), true))
        throw Failure(path + ": cannot write the PNG file");
}

} // namespace PudletCli
