// Decoding of the image files the engine does not read itself: PNG, JPEG and
// GIF (first frame), recognised by their signatures rather than their names.
#include "texture.h"

#include "regular_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <utility>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Zeb::Kamblo {

namespace {

// A decoded picture before it becomes a Texture: RGBA, row 0 at the bottom.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    bool allocate(int64_t w, int64_t h)
    {
        if (w < 1 || h < 1 || !Texture::isReasonableSize(w, h))
            return false;
        width = int(w);
        height = int(h);
        pixels.assign(size_t(width) * size_t(height) * 4, 0);
        return true;
    }
    uint8_t* row(int y) { return pixels.data() + size_t(y) * size_t(width) * 4; }
};

Pointer<Texture> textureOf(Picture& picture)
{
    Pointer<Texture> image = Texture::withSize(0, 0);
    image->width = image->textureWidth = picture.width;
    image->height = image->textureHeight = picture.height;
    image->pixels = std::move(picture.pixels);
    return image;
}

class File {
public:
    explicit File(const char* path) : file(openRegularFile(path)) {}
    ~File()
    {
        if (file)
            std::fclose(file);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    std::FILE* const file;
};

// PNG. libpng reports errors by jumping back to the setjmp in readPng, so that
// frame holds nothing that needs destroying; the picture belongs to the caller.

constexpr png_alloc_size_t kMaxPngChunkBytes = 8 << 20;
constexpr png_uint_32 kMaxPngChunks = 1000;

void pngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void pngWarning(png_structp, png_const_charp) {}

bool readPng(png_structp png, png_infop info, std::FILE* file, Picture* picture, std::vector<png_bytep>* rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, file);
    png_set_user_limits(png, Texture::maxSide, Texture::maxSide);
    // libpng reads a text, profile or palette-list chunk whole, allocating
    // whatever length the file declares: a 300-byte file claiming a 1.6 GB
    // text chunk gets that much. A picture needs none of them, so they are
    // skipped as they stream past instead.
    static const png_byte unused[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0pCAL\0sCAL\0hIST";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, unused, int(sizeof unused / 5));
    png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
    png_set_chunk_cache_max(png, kMaxPngChunks);
    png_read_info(png, info);
    if (!picture->allocate(png_get_image_width(png, info), png_get_image_height(png, info)))
        return false;
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != size_t(picture->width) * 4)
        return false;
    rows->resize(size_t(picture->height));
    for (int y = 0; y < picture->height; ++y)
        (*rows)[size_t(y)] = picture->row(picture->height - 1 - y);
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    return true;
}

bool decodePng(std::FILE* file, Picture& picture)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows;
    const bool ok = info && readPng(png, info, file, &picture, &rows);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    return ok;
}

// JPEG. Same pattern: libjpeg's fatal errors jump back to readJpeg.

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info) { std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }
void jpegOutputMessage(j_common_ptr) {}

// A progressive file may hold any number of scans, each costing a pass over
// the whole image; no real encoder writes more than a few dozen.
void jpegLimitScans(j_common_ptr info)
{
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > 500)
        jpegErrorExit(info);
}

bool readJpeg(jpeg_decompress_struct* info, jpeg_progress_mgr* progress, std::FILE* file, Picture* picture)
{
    if (setjmp(reinterpret_cast<JpegErrors*>(info->err)->jump))
        return false;
    jpeg_create_decompress(info);
    info->progress = progress;
    jpeg_stdio_src(info, file);
    jpeg_read_header(info, TRUE);
    if (!picture->allocate(info->image_width, info->image_height))
        return false;
    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    info->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    jpeg_start_decompress(info);
    if (info->output_components != 4 || int64_t(info->output_width) != picture->width
        || int64_t(info->output_height) != picture->height)
        return false;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = picture->row(picture->height - 1 - int(info->output_scanline));
        jpeg_read_scanlines(info, &row, 1);
        if (!cmyk)
            continue;
        // Adobe's files store CMYK inverted.
        const bool inverted = info->saw_Adobe_marker;
        for (int x = 0; x < picture->width; ++x) {
            uint8_t* p = row + 4 * x;
            const int k = inverted ? p[3] : 255 - p[3];
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t((inverted ? p[c] : 255 - p[c]) * k / 255);
            p[3] = 255;
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

bool decodeJpeg(std::FILE* file, Picture& picture)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress = {};
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegErrorExit;
    errors.manager.output_message = jpegOutputMessage;
    progress.progress_monitor = jpegLimitScans;
    const bool ok = readJpeg(&info, &progress, file, &picture);
    jpeg_destroy_decompress(&info);
    return ok;
}

// GIF: the first frame on the logical screen; what the frame does not cover,
// and its transparent colour, stay transparent.

constexpr int64_t kMaxGifPixelsPerByte = 4096;

// giflib reads through a descriptor of its own, here a duplicate of the one
// already opened (and checked to be a regular file), rewound.
bool decodeGif(std::FILE* file, Picture& picture)
{
    int error = 0;
    const int fd = ::dup(fileno(file));
    if (fd < 0)
        return false;
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        ::close(fd);
        return false;
    }
    struct stat status;
    const int64_t fileSize = ::fstat(fd, &status) == 0 ? int64_t(status.st_size) : 0;
    GifFileType* gif = DGifOpenFileHandle(fd, &error);
    if (!gif)
        return false;
    bool ok = false;
    int transparent = -1;
    // One code of at most 12 bits stands for at most 4096 pixels, so a screen
    // larger than that many pixels per byte of the file cannot be filled by
    // it: a few bytes declaring a huge screen would only cost memory.
    const int64_t screen = int64_t(gif->SWidth) * int64_t(gif->SHeight);
    if (screen <= fileSize * kMaxGifPixelsPerByte && picture.allocate(gif->SWidth, gif->SHeight)) {
        for (;;) {
            GifRecordType type;
            if (DGifGetRecordType(gif, &type) == GIF_ERROR)
                break;
            if (type == EXTENSION_RECORD_TYPE) {
                int code = 0;
                GifByteType* block = nullptr;
                if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
                    break;
                if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4)
                    transparent = (block[1] & 1) ? block[4] : -1;
                bool failed = false;
                while (block && !failed)
                    failed = DGifGetExtensionNext(gif, &block) == GIF_ERROR;
                if (failed)
                    break;
                continue;
            }
            if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif) == GIF_ERROR)
                break;
            const GifImageDesc& frame = gif->Image;
            const ColorMapObject* colors = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
            if (!colors || frame.Width < 1 || frame.Height < 1)
                break;
            std::vector<GifPixelType> line(size_t(frame.Width));
            // Interlaced frames store every 8th row from 0, every 8th from 4,
            // every 4th from 2, then every 2nd from 1.
            static const int starts[] = {0, 4, 2, 1};
            static const int steps[] = {8, 8, 4, 2};
            const int passes = frame.Interlace ? 4 : 1;
            bool failed = false;
            for (int pass = 0; pass < passes && !failed; ++pass) {
                const int start = frame.Interlace ? starts[pass] : 0;
                const int step = frame.Interlace ? steps[pass] : 1;
                for (int y = start; y < frame.Height && !failed; y += step) {
                    failed = DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR;
                    const int screenY = frame.Top + y;
                    if (failed || screenY >= picture.height)
                        continue;
                    uint8_t* row = picture.row(picture.height - 1 - screenY);
                    for (int x = 0; x < frame.Width && frame.Left + x < picture.width; ++x) {
                        const int index = line[size_t(x)];
                        if (index == transparent || index >= colors->ColorCount)
                            continue;
                        uint8_t* p = row + 4 * (frame.Left + x);
                        p[0] = colors->Colors[index].Red;
                        p[1] = colors->Colors[index].Green;
                        p[2] = colors->Colors[index].Blue;
                        p[3] = 255;
                    }
                }
            }
            ok = !failed;
            break;
        }
    }
    DGifCloseFile(gif, &error);
    return ok;
}

} // namespace

Pointer<Texture> Texture::withContentsOfOtherFile(const char* path)
{
    if (!path)
        return nullptr;
    File source(path);
    uint8_t signature[8] = {};
    if (!source.file || std::fread(signature, 1, sizeof signature, source.file) != sizeof signature
        || std::fseek(source.file, 0, SEEK_SET) != 0)
        return nullptr;

    Picture picture;
    bool ok = false;
    if (png_sig_cmp(signature, 0, sizeof signature) == 0)
        ok = decodePng(source.file, picture);
    else if (signature[0] == 0xFF && signature[1] == 0xD8 && signature[2] == 0xFF)
        ok = decodeJpeg(source.file, picture);
    else if (std::memcmp(signature, "GIF87a", 6) == 0 || std::memcmp(signature, "GIF89a", 6) == 0)
        ok = decodeGif(source.file, picture);
    return ok ? textureOf(picture) : nullptr;
}

} // namespace Zeb::Kamblo
