#include "media/readers/JpegReader.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#include "base/Debug.h"

namespace modrane {

namespace {

// Beyond this a progressive file is taken as an attempt to keep the decoder
// busy: real encoders write a dozen scans or so.
constexpr int maxScans = 1000;

// libjpeg reports a fatal error by calling error_exit, which must not
// return: it jumps back to the decode, which cleans up and logs the text.
struct Failure {
    jpeg_error_mgr manager;  // first: libjpeg hands back its address
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
};

Failure& failureOf(j_common_ptr info) { return *reinterpret_cast<Failure*>(info->err); }

[[noreturn]] void fail(j_common_ptr info, const char* text) {
    Failure& failure = failureOf(info);
    std::snprintf(failure.text, sizeof failure.text, "%s", text);
    std::longjmp(failure.jump, 1);
}

[[noreturn]] void onError(j_common_ptr info) {
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    fail(info, text);
}

// libjpeg passes on only the first warning of a file.
void onMessage(j_common_ptr info) {
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    orvel::debug("JPEG decode warning: %s\n", text);
}

void onProgress(j_common_ptr info) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > maxScans)
        fail(info, "too many scans");
}

// Everything between the jump's setting and the jump lives in libjpeg's
// own memory or in the caller's: no object here has a destructor that a
// jump would skip.
bool decode(jpeg_decompress_struct& info, Failure& failure, pellium::Image& result, const unsigned char* data,
            size_t size) {
    if (setjmp(failure.jump))
        return false;
    jpeg_create_decompress(&info);
    info.progress = &failure.progress;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (!pellium::fileImageSizeAllowed(info.image_width, info.image_height))
        fail(reinterpret_cast<j_common_ptr>(&info), "picture too large");
    // Bytes blue, green, red, alpha (255): the image's own pixel layout.
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    const unsigned width = info.output_width, height = info.output_height;
    result = pellium::Image(int(width), int(height));
    uint32_t* pixels = result.pixels();
    // libjpeg gives the top row first; the image keeps the bottom row first.
    while (info.output_scanline < height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels + size_t(height - 1 - info.output_scanline) * width);
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

bool loadJPEG(pellium::Image& result, const unsigned char* data, size_t size) {
    result.release();
    jpeg_decompress_struct info;
    Failure failure;
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = onError;
    failure.manager.output_message = onMessage;
    failure.progress = {};
    failure.progress.progress_monitor = onProgress;
    const bool made = decode(info, failure, result, data, size);
    jpeg_destroy_decompress(&info);
    if (!made) {
        result.release();
        orvel::debug("JPEG decode failed: %s\n", failure.text);
        return false;
    }
    result.setMode(3);
    return true;
}

}  // namespace modrane
