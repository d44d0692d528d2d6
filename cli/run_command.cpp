// pudlet-cli run: steps a scene, saves it and renders frames.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <optional>

#include "cli_arguments.h"
#include "cli_commands.h"
#include "headless_frame.h"
#include "particle_beat_implements.h"
#include "progress_bar.h"
#include "output_paths.h"
#include "video_writer.h"

namespace fs = std::filesystem;

namespace PudletCli {

const char* const kRunHelp =
    "Usage: pudlet-cli run SCENE [OPTIONS]\n"
    "\n"
    "Loads SCENE (a .pdl file; its folder becomes the working directory, so the\n"
    "images it names are found), steps it and writes what was asked. Output paths\n"
    "are taken relative to the directory pudlet-cli was started in; missing\n"
    "folders are created.\n"
    "\n"
    "Options:\n"
    "  --steps N        simulation steps to run (default 0); the scene's\n"
    "                   timeStepsPerFrame steps make one frame\n"
    "  --save OUT.pdl   save the scene after the last step\n"
    "  --png OUT.png    render the last frame to a PNG file\n"
    "  --frames DIR     render every K-th frame to DIR/frame-NNNNNN.png, numbered\n"
    "                   by frame\n"
    "  --every K        with --frames: keep every K-th frame (default 1)\n"
    "  --video OUT      write every frame as a video at the scene's\n"
    "                   framesPerSecond; the format from the extension: .mp4\n"
    "                   (H.264), .webm (VP9) or .gif (one palette for the whole\n"
    "                   video); H.264 and VP9 drop an odd side's last pixel\n"
    "  --mode M         render mode 0-10 (default: the scene's own)\n"
    "  --size WxH       picture size in pixels, up to 8192 a side (default: the\n"
    "                   scene's bounds times its scale, shrunk to 4096 a side)\n"
    "  --scale S        with --size: pixels per scene unit, a whole number up to\n"
    "                   1024 (default: the scene's own scale)\n"
    "  --threads N      worker threads of the simulation, 1-256 (default: the\n"
    "                   machine's hardware threads); results are the same for any N\n"
    "  --help           show this help\n";

namespace {

// Enough for hours of simulation, small enough that counts never overflow.
constexpr long long kMaxSteps = 1000000000LL;

struct RunOptions {
    fs::path scene;
    long long steps = 0;
    std::optional<fs::path> save;
    std::optional<fs::path> png;
    std::optional<fs::path> frames;
    std::optional<fs::path> video;
    VideoFormat videoFormat = VideoFormat::Mp4;
    long long every = 1;
    bool everyGiven = false;
    int mode = -1; // -1: the scene's own
    std::optional<PixelSize> size;
    std::optional<int> scale;
    int threads = 0; // 0: the machine's hardware threads
};

RunOptions parseRunOptions(const std::vector<std::string>& arguments)
{
    RunOptions options;
    std::optional<std::string> scene;
    ArgumentReader reader(arguments);
    while (!reader.done()) {
        const std::string argument = reader.take();
        if (argument == "--steps")
            options.steps = parseInteger(argument, reader.value(argument), 0, kMaxSteps);
        else if (argument == "--save")
            options.save = absolutePath(reader.value(argument));
        else if (argument == "--png")
            options.png = absolutePath(reader.value(argument));
        else if (argument == "--frames")
            options.frames = absolutePath(reader.value(argument));
        else if (argument == "--video") {
            const std::string video = reader.value(argument);
            const std::optional<VideoFormat> format = videoFormatFor(video);
            if (!format)
                throw UsageError("--video needs a file name ending in .mp4, .webm or .gif, got '" + video + "'");
            options.video = absolutePath(video);
            options.videoFormat = *format;
        }
        else if (argument == "--every") {
            options.every = parseInteger(argument, reader.value(argument), 1, kMaxSteps);
            options.everyGiven = true;
        } else if (argument == "--mode")
            options.mode = int(parseInteger(argument, reader.value(argument), 0, 10));
        else if (argument == "--threads")
            options.threads = int(parseInteger(argument, reader.value(argument), 1, Zeb::Kamblo::kMaxThreads));
        else if (argument == "--size")
            options.size = parseSize(argument, reader.value(argument), kMaxPictureSide);
        else if (argument == "--scale")
            options.scale = int(parseInteger(argument, reader.value(argument), 1, 1024));
        else if (reader.isOption(argument))
            throw UsageError("unknown option '" + argument + "'");
        else if (scene)
            throw UsageError("more than one scene given ('" + *scene + "', '" + argument + "')");
        else
            scene = argument;
    }
    if (!scene)
        throw UsageError("no scene file given");
    if (scene->empty())
        throw UsageError("the scene file name is empty");
    if (options.everyGiven && !options.frames)
        throw UsageError("--every needs --frames DIR");
    if (options.scale && !options.size)
        throw UsageError("--scale needs --size WxH");
    options.scene = absolutePath(*scene);
    return options;
}

std::string framePath(const fs::path& folder, long long frame)
{
    char name[64];
    std::snprintf(name, sizeof name, "frame-%06lld.png", frame);
    return (folder / name).string();
}

} // namespace

int runCommand(const std::vector<std::string>& arguments)
{
    const RunOptions options = parseRunOptions(arguments);
    // Outputs are checked before the (possibly long) run.
    if (options.save)
        prepareOutputFile(*options.save);
    if (options.png)
        prepareOutputFile(*options.png);
    if (options.frames)
        prepareOutputFolder(*options.frames);
    if (options.video)
        prepareOutputFile(*options.video);

    // A machine without OpenGL fails here, before any stepping.
    std::optional<HeadlessFrame> frame;
    if (options.png || options.frames || options.video)
        frame.emplace(options.size ? options.size->width : 1, options.size ? options.size->height : 1);
    Pudlet::EngineHandle engine = openSceneOrFail(options.scene);
    Zeb::Kamblo::RevivezoRora& scene = *engine;
    if (options.threads > 0)
        if (auto* implementation = dynamic_cast<Zeb::Kamblo::RevivezoRoraImplements*>(&scene))
            implementation->simulator->context.setThreads(options.threads);

    auto view = [&] {
        if (!options.size)
            return defaultView(scene);
        return FrameView{options.size->width, options.size->height,
                         options.scale ? float(*options.scale) : scene.scale()};
    };
    auto modeToDraw = [&] { return options.mode >= 0 ? options.mode : scene.renderMode(); };

    // A scene whose timeStepsPerFrame is not positive still makes a frame per
    // step, so --frames cannot divide by zero or never finish a frame.
    const long long stepsPerFrame = std::max(1, scene.timeStepsPerFrame());
    std::optional<VideoWriter> video;
    FrameView videoSize;
    if (options.video) {
        if (options.steps < stepsPerFrame)
            throw UsageError("--video needs at least one frame: --steps " + std::to_string(options.steps) +
                             " is below the scene's timeStepsPerFrame " + std::to_string(stepsPerFrame));
        videoSize = view();
        video.emplace(options.video->string(), options.videoFormat, videoSize.width, videoSize.height,
                      scene.framesPerSecond());
    }
    // A video keeps its first frame's size even when a script changes the
    // scene's bounds or scale mid-run.
    auto frameView = [&] {
        FrameView now = view();
        if (video) {
            now.width = videoSize.width;
            now.height = videoSize.height;
        }
        return now;
    };
    long long framesWritten = 0;
    ProgressBar progress(options.steps, "steps");
    for (long long step = 1; step <= options.steps; ++step) {
        scene.simulate();
        progress.update(step);
        if (step % stepsPerFrame != 0)
            continue;
        const long long frameNumber = step / stepsPerFrame;
        const bool toFolder = options.frames && frameNumber % options.every == 0;
        if (!toFolder && !video)
            continue;
        frame->draw(scene, frameView(), modeToDraw());
        if (toFolder) {
            frame->writePNG(framePath(*options.frames, frameNumber));
            ++framesWritten;
        }
        if (video)
            video->addFrame(frame->readPixels());
    }
    progress.finish();
    if (video) {
        video->finish();
        std::printf("wrote %d video frames to %s\n", video->framesWritten(), options.video->c_str());
    }

    if (options.frames)
        std::printf("wrote %lld frames to %s\n", framesWritten, options.frames->c_str());
    if (options.save) {
        std::string error;
        if (!Pudlet::saveScene(scene, *options.save, &error))
            throw Failure(error);
        std::printf("wrote %s\n", options.save->c_str());
    }
    if (options.png) {
        frame->draw(scene, view(), modeToDraw());
        frame->writePNG(options.png->string());
        std::printf("wrote %s\n", options.png->c_str());
    }
    return kExitSuccess;
}

} // namespace PudletCli
