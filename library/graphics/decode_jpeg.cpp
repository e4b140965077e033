// JPEG decoding through libjpeg, read from a StreamSource by our own source manager with a
// 4096-byte buffer. One-component files become gray images, three-component files R8G8B8
// (stored blue first); others are refused. libjpeg's fatal errors print its message and jump
// back into DecodeJpeg, which frees what it holds.
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstring>

#include "graphics/decode_image.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr size_t kJpegBufferSize = 4096;

struct JpegSource {
    jpeg_source_mgr manager;
    StreamSource *source;
    bool startOfFile;
    JOCTET buffer[kJpegBufferSize];
};

struct JpegErrors {
    jpeg_error_mgr manager;
    jmp_buf jump;
};

void InitSource(j_decompress_ptr cinfo) {
    reinterpret_cast<JpegSource *>(cinfo->src)->startOfFile = true;
}

// Refills the buffer; past the end an empty file is an error, otherwise a warning and a fake
// end-of-image marker let libjpeg finish what it has.
boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto *src = reinterpret_cast<JpegSource *>(cinfo->src);
    size_t count = src->source->ops.Read(src->buffer, 1, kJpegBufferSize, src->source->data);
    if (count == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        count = 2;
    }
    src->manager.next_input_byte = src->buffer;
    src->manager.bytes_in_buffer = count;
    src->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr *src = cinfo->src;
    if (count <= 0) return;
    while (count > static_cast<long>(src->bytes_in_buffer)) {
        count -= static_cast<long>(src->bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

[[noreturn]] void OnJpegError(j_common_ptr cinfo) {
    (*cinfo->err->output_message)(cinfo);
    std::longjmp(reinterpret_cast<JpegErrors *>(cinfo->err)->jump, 1);
}

}  // namespace

int DecodeJpeg(StreamSource *source, StandardImage *image) {
    uint8_t marker[2];
    if (!decode::ReadExact(source, marker, sizeof marker) || marker[0] != 0xFF || marker[1] != 0xD8) {
        return -1;
    }
    if (!decode::SeekTo(source, 0)) return -1;

    // Large records live in a tracked block so that nothing with a destructor sits between
    // setjmp and the libjpeg calls that may jump back.
    struct State {
        jpeg_decompress_struct cinfo;
        JpegErrors errors;
        JpegSource input;
    };
    auto *state = reinterpret_cast<State *>(decode::AllocBlock(sizeof(State), true));
    if (state == nullptr) return -1;
    jpeg_decompress_struct *cinfo = &state->cinfo;
    cinfo->err = jpeg_std_error(&state->errors.manager);
    state->errors.manager.error_exit = OnJpegError;
    uint8_t *volatile pixels = nullptr;
    if (setjmp(state->errors.jump) != 0) {
        TrackedFree(pixels);
        jpeg_destroy_decompress(cinfo);
        TrackedFree(state);
        return -1;
    }
    jpeg_create_decompress(cinfo);
    state->input.source = source;
    state->input.manager.init_source = InitSource;
    state->input.manager.fill_input_buffer = FillInputBuffer;
    state->input.manager.skip_input_data = SkipInputData;
    state->input.manager.resync_to_restart = jpeg_resync_to_restart;
    state->input.manager.term_source = TermSource;
    cinfo->src = &state->input.manager;

    jpeg_read_header(cinfo, TRUE);
    const bool gray = cinfo->num_components == 1;
    if (!gray && cinfo->jpeg_color_space != JCS_YCbCr && cinfo->jpeg_color_space != JCS_RGB) {
        ERREXIT(cinfo, JERR_CONVERSION_NOTIMPL);
    }
    // libjpeg writes the blue-first order itself.
    if (!gray) cinfo->out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(cinfo);
    const uint64_t pitch = uint64_t{cinfo->output_width} * cinfo->output_components;
    const uint64_t height = cinfo->output_height;
    pixels = decode::AllocBlock(pitch * height, false);
    if (pixels == nullptr) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    while (cinfo->output_scanline < cinfo->output_height) {
        JSAMPROW row = pixels + pitch * cinfo->output_scanline;
        jpeg_read_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_decompress(cinfo);

    StandardImage result{};
    if (gray) {
        CreateGrayFormat(&result.format);
    } else {
        CreateFullColorFormat(&result.format);
    }
    result.width = static_cast<int32_t>(cinfo->output_width);
    result.height = static_cast<int32_t>(height);
    result.pitch = static_cast<int32_t>(pitch);
    result.pixels = pixels;
    jpeg_destroy_decompress(cinfo);
    TrackedFree(state);
    *image = result;
    return 0;
}

}  // namespace zq
