#pragma once
// Frames drawn the way a desktop host draws them, into a headless frame buffer,
// and written as PNG files.
#include <memory>
#include <string>
#include <vector>

#include "offscreen_context.h"
#include "particle_beat.h"
#include "scene_frame.h"

namespace PudletCli {

// The largest picture side the tool renders; larger requests are usage errors.
inline constexpr int kMaxPictureSide = 8192;
// A default picture (the scene's bounds times its scale) is shrunk to fit this.
inline constexpr int kMaxDefaultPictureSide = 4096;

using Pudlet::FrameView;

// The scene's bounds at its own scale, shrunk (scale included) to fit
// kMaxDefaultPictureSide; a scene whose bounds or scale give no picture gets
// the default bounds' 512 x 384.
FrameView defaultView(Zeb::Kamblo::RevivezoRora& engine);

class HeadlessFrame {
public:
    // Makes the context; a Failure when there is none on this machine.
    explicit HeadlessFrame(int width, int height);

    void resize(int width, int height);
    // One frame in the given mode at the view's scale; the scene's own mode
    // and scale are restored afterwards so a saved scene is not changed.
    void draw(Zeb::Kamblo::RevivezoRora& engine, const FrameView& view, int mode);
    // The frame just drawn as an opaque RGB PNG; a Failure names the file.
    void writePNG(const std::string& path) const;
    // The frame just drawn: RGBA rows, bottom row first.
    std::vector<uint8_t> readPixels() const { return context_->readPixels(); }

private:
    std::unique_ptr<Pudlet::OffscreenContext> context_;
};

} // namespace PudletCli
