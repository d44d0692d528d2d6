#pragma once
// Writes a run as a video file through FFmpeg's libraries: H.264 in MP4, VP9
// in WebM, or an animated GIF with one palette for the whole video.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace PudletCli {

enum class VideoFormat { Mp4, WebM, Gif };

// The format named by the file's extension (case ignored); none for another.
std::optional<VideoFormat> videoFormatFor(const std::string& path);

class VideoWriter {
public:
    // Opens the file and the encoder; a Failure names the file. H.264 and VP9
    // store colour at half resolution, so there an odd side loses its last
    // pixel row or column.
    VideoWriter(const std::string& path, VideoFormat format, int width, int height, int framesPerSecond);
    ~VideoWriter();
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // One frame of the size given at opening: RGBA rows, bottom row first (as
    // OpenGL reads them); alpha is ignored. A Failure for another size.
    void addFrame(const std::vector<uint8_t>& rgba);
    // Drains the encoder and writes the file's trailer. A writer destroyed
    // without finish() leaves an unfinished file.
    void finish();

    int framesWritten() const { return frames_; }

private:
    struct Codec;
    void encode(bool flush);

    std::string path_;
    VideoFormat format_;
    int width_;
    int height_;
    int frames_ = 0;
    bool finished_ = false;
    std::unique_ptr<Codec> codec_;
};

} // namespace PudletCli
