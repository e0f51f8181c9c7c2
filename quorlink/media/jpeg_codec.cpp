#include "quorlink/media/jpeg_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace quorlink::media {

namespace {

// libjpeg's error manager, extended with the jump target of the wrapper
// that is running and the text of the last message.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings (corrupt data that libjpeg can skip) are not printed on stderr.
void EmitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        ++cinfo->err->num_warnings;
}

// A progressive picture can carry thousands of tiny scans that each cost a
// pass over the whole image; no real picture needs more than a few dozen.
constexpr int kMaxScans = 256;

struct Progress {
    jpeg_progress_mgr pub;
    ErrorManager* err;
};

void CheckScans(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
        auto* p = reinterpret_cast<Progress*>(cinfo->progress);
        std::snprintf(p->err->message, sizeof p->err->message, "too many scans in a progressive JPEG");
        std::longjmp(p->err->jump, 1);
    }
}

void InitErrors(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.message[0] = '\0';
}

JpegResult Failure(const char* text)
{
    return {false, text};
}

// The decoding proper. Everything that must be released after a jump lives
// in the caller's frame (cinfo); this function's own locals are trivial, as
// setjmp requires.
JpegResult DecodeInto(jpeg_decompress_struct& cinfo, ErrorManager& err, Progress& progress,
                      std::span<const uint8_t> data, bool headerOnly, JpegHeader* header, JpegPixels pixels, int width,
                      int height, uint8_t* firstRow, ptrdiff_t stride)
{
    if (setjmp(err.jump))
        return Failure(err.message[0] ? err.message : "damaged JPEG data");
    jpeg_create_decompress(&cinfo);
    progress.pub.progress_monitor = CheckScans;
    progress.err = &err;
    cinfo.progress = &progress.pub;
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return Failure("not a JPEG picture");
    if (cinfo.image_width == 0 || cinfo.image_height == 0)
        return Failure("JPEG picture without pixels");
    if (int64_t(cinfo.image_width) * cinfo.image_height > kJpegMaxPixels)
        return Failure("JPEG picture too large");
    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    if (!grey && cinfo.jpeg_color_space != JCS_YCbCr && cinfo.jpeg_color_space != JCS_RGB)
        return Failure("JPEG colour space not supported (CMYK)");
    if (header) {
        header->width = static_cast<int>(cinfo.image_width);
        header->height = static_cast<int>(cinfo.image_height);
        header->components = grey ? 1 : 3;
    }
    if (headerOnly)
        return {true, {}};
    if (static_cast<int>(cinfo.image_width) != width || static_cast<int>(cinfo.image_height) != height)
        return Failure("JPEG picture size differs from the frame it is decoded into");
    cinfo.out_color_space = pixels == JpegPixels::Grey8 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = firstRow + static_cast<ptrdiff_t>(cinfo.output_scanline) * stride;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    return {true, {}};
}

JpegResult EncodeFrom(jpeg_compress_struct& cinfo, ErrorManager& err, unsigned char*& buffer, unsigned long& size,
                      const uint8_t* firstRow, ptrdiff_t stride, int width, int height, JpegPixels pixels, int quality)
{
    if (setjmp(err.jump))
        return Failure(err.message[0] ? err.message : "JPEG compression failed");
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = pixels == JpegPixels::Grey8 ? 1 : 3;
    cinfo.in_color_space = pixels == JpegPixels::Grey8 ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        // libjpeg does not write through its row pointers.
        auto* row = const_cast<JSAMPROW>(firstRow + static_cast<ptrdiff_t>(cinfo.next_scanline) * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return {true, {}};
}

}  // namespace

JpegResult ReadJpegHeader(std::span<const uint8_t> data, JpegHeader& header)
{
    if (data.empty())
        return Failure("empty JPEG file");
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    Progress progress{};
    InitErrors(err);
    cinfo.err = &err.pub;
    JpegResult r = DecodeInto(cinfo, err, progress, data, true, &header, JpegPixels::Bgr24, 0, 0, nullptr, 0);
    jpeg_destroy_decompress(&cinfo);
    return r;
}

JpegResult DecodeJpeg(std::span<const uint8_t> data, JpegPixels pixels, int width, int height, uint8_t* firstRow,
                      ptrdiff_t stride)
{
    if (data.empty())
        return Failure("empty JPEG file");
    if (!firstRow || width <= 0 || height <= 0)
        return Failure("no rows to decode into");
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    Progress progress{};
    InitErrors(err);
    cinfo.err = &err.pub;
    JpegResult r = DecodeInto(cinfo, err, progress, data, false, nullptr, pixels, width, height, firstRow, stride);
    jpeg_destroy_decompress(&cinfo);
    return r;
}

JpegResult EncodeJpeg(const uint8_t* firstRow, ptrdiff_t stride, int width, int height, JpegPixels pixels, int quality,
                      std::vector<uint8_t>& out)
{
    if (!firstRow || width <= 0 || height <= 0 || width > 65500 || height > 65500)
        return Failure("no picture to compress");
    if (quality < 1 || quality > 100)
        return Failure("JPEG quality outside 1-100");
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    InitErrors(err);
    cinfo.err = &err.pub;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    JpegResult r = EncodeFrom(cinfo, err, buffer, size, firstRow, stride, width, height, pixels, quality);
    jpeg_destroy_compress(&cinfo);
    if (r.ok)
        out.assign(buffer, buffer + size);
    std::free(buffer);
    return r;
}

}  // namespace quorlink::media
