#include "video_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include "cli_arguments.h"

namespace PudletCli {

namespace {

std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// The GIF palette: a 6 x 7 x 6 colour cube (green, to which the eye is most
// sensitive, gets the extra level), the same for every frame so the file
// carries one global palette. Colours between levels are spread by a 4 x 4
// ordered dither, which stays put from frame to frame (no crawling noise,
// and unchanged areas stay byte-identical).
constexpr int kRedLevels = 6, kGreenLevels = 7, kBlueLevels = 6;
constexpr uint8_t kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

struct Quantizer {
    // level[threshold][value] for each channel's number of levels.
    uint8_t red[16][256], green[16][256], blue[16][256];
    std::array<uint32_t, 256> palette{};

    static void fill(uint8_t (&table)[16][256], int levels)
    {
        for (int t = 0; t < 16; ++t)
            for (int c = 0; c < 256; ++c)
                table[t][c] = uint8_t(std::min(levels - 1, (c * (levels - 1) * 32 + (2 * t + 1) * 255) / (255 * 32)));
    }

    Quantizer()
    {
        fill(red, kRedLevels);
        fill(green, kGreenLevels);
        fill(blue, kBlueLevels);
        for (int r = 0; r < kRedLevels; ++r)
            for (int g = 0; g < kGreenLevels; ++g)
                for (int b = 0; b < kBlueLevels; ++b)
                    palette[size_t((r * kGreenLevels + g) * kBlueLevels + b)] =
                        0xff000000u | uint32_t(r * 255 / (kRedLevels - 1)) << 16 |
                        uint32_t(g * 255 / (kGreenLevels - 1)) << 8 | uint32_t(b * 255 / (kBlueLevels - 1));
        for (size_t i = kRedLevels * kGreenLevels * kBlueLevels; i < palette.size(); ++i)
            palette[i] = 0xff000000u;
    }

    uint8_t index(int x, int y, const uint8_t* rgb) const
    {
        const int t = kBayer[y & 3][x & 3];
        return uint8_t((red[t][rgb[0]] * kGreenLevels + green[t][rgb[1]]) * kBlueLevels + blue[t][rgb[2]]);
    }
};

const Quantizer& quantizer()
{
    static const Quantizer table;
    return table;
}

} // namespace

std::optional<VideoFormat> videoFormatFor(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".mp4")
        return VideoFormat::Mp4;
    if (extension == ".webm")
        return VideoFormat::WebM;
    if (extension == ".gif")
        return VideoFormat::Gif;
    return std::nullopt;
}

struct VideoWriter::Codec {
    AVFormatContext* format = nullptr;
    AVCodecContext* encoder = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* scaler = nullptr;
    int sourceHeight = 0; // rows of the picture the scaler reads (from the top)
    bool fileOpen = false;

    ~Codec()
    {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&encoder);
        if (format) {
            if (fileOpen)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }
};

VideoWriter::VideoWriter(const std::string& path, VideoFormat format, int width, int height, int framesPerSecond)
    : path_(path), format_(format), width_(width), height_(height), codec_(std::make_unique<Codec>())
{
    // FFmpeg's own messages would break the tool's one-line errors; its
    // failures are reported here with their codes instead.
    av_log_set_level(AV_LOG_QUIET);
    auto fail = [&](const std::string& why) { throw Failure(path + ": " + why); };

    const char* muxer = format == VideoFormat::Mp4 ? "mp4" : format == VideoFormat::WebM ? "webm" : "gif";
    const AVCodec* codec = nullptr;
    if (format == VideoFormat::Mp4) {
        codec = avcodec_find_encoder_by_name("libx264");
        codec = codec ? codec : avcodec_find_encoder(AV_CODEC_ID_H264);
    } else if (format == VideoFormat::WebM) {
        codec = avcodec_find_encoder_by_name("libvpx-vp9");
        codec = codec ? codec : avcodec_find_encoder(AV_CODEC_ID_VP9);
    } else {
        codec = avcodec_find_encoder(AV_CODEC_ID_GIF);
    }
    const char* codecName = format == VideoFormat::Mp4 ? "H.264" : format == VideoFormat::WebM ? "VP9" : "GIF";
    if (!codec)
        fail(std::string("this FFmpeg has no ") + codecName + " encoder");

    Codec& c = *codec_;
    if (avformat_alloc_output_context2(&c.format, nullptr, muxer, path.c_str()) < 0 || !c.format)
        fail(std::string("cannot make a ") + muxer + " file");
    c.encoder = avcodec_alloc_context3(codec);
    c.frame = av_frame_alloc();
    c.packet = av_packet_alloc();
    if (!c.encoder || !c.frame || !c.packet)
        fail("out of memory for the encoder");

    const bool palette = format == VideoFormat::Gif;
    // 4:2:0 colour needs even sides: an odd side drops its last pixel, and a
    // one-pixel side is stretched to two.
    const int encodedWidth = palette ? width : std::max(2, width & ~1);
    const int encodedHeight = palette ? height : std::max(2, height & ~1);
    const int fps = std::clamp(framesPerSecond, 1, 1000);
    c.encoder->width = encodedWidth;
    c.encoder->height = encodedHeight;
    c.encoder->time_base = AVRational{1, fps};
    c.encoder->framerate = AVRational{fps, 1};
    c.encoder->pix_fmt = palette ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_YUV420P;
    c.encoder->thread_count = 0; // as many as the machine has
    AVDictionary* options = nullptr;
    if (!palette) {
        // A key frame every two seconds, so a player can seek.
        c.encoder->gop_size = 2 * fps;
        c.encoder->color_range = AVCOL_RANGE_MPEG;
        c.encoder->colorspace = AVCOL_SPC_SMPTE170M;
        c.encoder->color_primaries = AVCOL_PRI_SMPTE170M;
        c.encoder->color_trc = AVCOL_TRC_SMPTE170M;
    }
    if (format == VideoFormat::Mp4) {
        av_dict_set(&options, "preset", "veryfast", 0);
        av_dict_set(&options, "crf", "20", 0);
    } else if (format == VideoFormat::WebM) {
        c.encoder->bit_rate = 0; // constant quality
        av_dict_set(&options, "crf", "32", 0);
        av_dict_set(&options, "deadline", "realtime", 0);
        av_dict_set(&options, "cpu-used", "7", 0);
        av_dict_set(&options, "row-mt", "1", 0);
    }
    if (c.format->oformat->flags & AVFMT_GLOBALHEADER)
        c.encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(c.encoder, codec, &options);
    av_dict_free(&options);
    if (opened < 0)
        fail(std::string("cannot open the ") + codecName + " encoder: " + avError(opened));

    c.stream = avformat_new_stream(c.format, nullptr);
    if (!c.stream || avcodec_parameters_from_context(c.stream->codecpar, c.encoder) < 0)
        fail("cannot make the video stream");
    c.stream->time_base = c.encoder->time_base;
    c.stream->avg_frame_rate = c.encoder->framerate;

    if (!(c.format->oformat->flags & AVFMT_NOFILE)) {
        const int error = avio_open(&c.format->pb, path.c_str(), AVIO_FLAG_WRITE);
        if (error < 0)
            fail("cannot write the video file: " + avError(error));
        c.fileOpen = true;
    }
    if (const int error = avformat_write_header(c.format, nullptr); error < 0)
        fail("cannot write the video header: " + avError(error));

    c.frame->format = c.encoder->pix_fmt;
    c.frame->width = encodedWidth;
    c.frame->height = encodedHeight;
    if (av_frame_get_buffer(c.frame, 0) < 0)
        fail("out of memory for a video frame");
    if (!palette) {
        c.sourceHeight = std::min(height, encodedHeight);
        c.scaler = sws_getContext(std::min(width, encodedWidth), c.sourceHeight, AV_PIX_FMT_RGBA, encodedWidth,
                                  encodedHeight, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!c.scaler)
            fail("cannot convert the frames to YUV");
    }
}

VideoWriter::~VideoWriter() = default;

void VideoWriter::addFrame(const std::vector<uint8_t>& pixels)
{
    if (pixels.size() != size_t(width_) * size_t(height_) * 4)
        throw Failure(path_ + ": a frame of another size than the video's " + std::to_string(width_) + "x" +
                      std::to_string(height_));
    const uint8_t* rgba = pixels.data();
    Codec& c = *codec_;
    // The encoder may still hold the last frame's buffer.
    if (av_frame_make_writable(c.frame) < 0)
        throw Failure(path_ + ": out of memory for a video frame");
    const ptrdiff_t stride = ptrdiff_t(width_) * 4;
    const uint8_t* top = rgba + stride * (height_ - 1);
    if (format_ == VideoFormat::Gif) {
        const Quantizer& q = quantizer();
        for (int y = 0; y < height_; ++y) {
            const uint8_t* source = top - stride * y;
            uint8_t* target = c.frame->data[0] + ptrdiff_t(c.frame->linesize[0]) * y;
            for (int x = 0; x < width_; ++x)
                target[x] = q.index(x, y, source + 4 * x);
        }
        std::copy(q.palette.begin(), q.palette.end(), reinterpret_cast<uint32_t*>(c.frame->data[1]));
    } else {
        const uint8_t* planes[1] = {top};
        const int strides[1] = {-int(stride)};
        sws_scale(c.scaler, planes, strides, 0, c.sourceHeight, c.frame->data, c.frame->linesize);
    }
    c.frame->pts = frames_;
    if (const int error = avcodec_send_frame(c.encoder, c.frame); error < 0)
        throw Failure(path_ + ": cannot encode frame " + std::to_string(frames_ + 1) + ": " + avError(error));
    ++frames_;
    encode(false);
}

void VideoWriter::encode(bool flush)
{
    Codec& c = *codec_;
    if (flush)
        avcodec_send_frame(c.encoder, nullptr);
    for (;;) {
        const int received = avcodec_receive_packet(c.encoder, c.packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return;
        if (received < 0)
            throw Failure(path_ + ": cannot encode the video: " + avError(received));
        av_packet_rescale_ts(c.packet, c.encoder->time_base, c.stream->time_base);
        c.packet->stream_index = c.stream->index;
        const int written = av_interleaved_write_frame(c.format, c.packet);
        if (written < 0)
            throw Failure(path_ + ": cannot write the video file: " + avError(written));
    }
}

void VideoWriter::finish()
{
    if (finished_)
        return;
    finished_ = true;
    Codec& c = *codec_;
    encode(true);
    if (const int error = av_write_trailer(c.format); error < 0)
        throw Failure(path_ + ": cannot finish the video file: " + avError(error));
    if (c.fileOpen) {
        c.fileOpen = false;
        if (const int error = avio_closep(&c.format->pb); error < 0)
            throw Failure(path_ + ": cannot write the video file: " + avError(error));
    }
}

} // namespace PudletCli
