// PNG decoding through libpng, read from a StreamSource. 16-bit channels are cut to 8 bits, small
// depths unpacked to a byte per pixel, transparency expanded to an alpha channel, channels stored
// blue first. libpng reports errors by a jump back into DecodePng, which frees what it holds;
// its own memory comes from the tracked allocator.
#include <png.h>

#include <csetjmp>
#include <cstring>

#include "graphics/decode_image.h"
#include "zqlib.h"

namespace zq {
namespace {

void ReadFromSource(png_structp png, png_bytep buffer, size_t length) {
    auto *source = static_cast<StreamSource *>(png_get_io_ptr(png));
    if (source->ops.Read(buffer, 1, length, source->data) != length) png_error(png, "Read Error");
}

// Errors end the decode silently; warnings are ignored.
[[noreturn]] void OnPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnPngWarning(png_structp, png_const_charp) {}

png_voidp AllocForPng(png_structp, png_alloc_size_t size) {
    if (size == 0 || size > INT32_MAX) return nullptr;
    return TrackedAlloc(static_cast<int>(size), "", 0);
}
void FreeForPng(png_structp, png_voidp memory) { TrackedFree(memory); }

// The pixel format of rows with `channels` channels; palette images take the file's PLTE,
// completed with black.
void SetPngFormat(png_structp png, png_infop info, int colorType, int channels,
                  PixelFormat *format) {
    switch (channels) {
    case 1:
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            CreatePaletteFormat(format);
            std::memset(format->palette, 0, sizeof format->palette);
            png_colorp entries = nullptr;
            int count = 0;
            if (png_get_PLTE(png, info, &entries, &count) != 0) {
                for (int i = 0; i < count && i < kPaletteSize; ++i) {
                    format->palette[i] = PaletteEntry{entries[i].blue, entries[i].green, entries[i].red, 0};
                }
            }
        } else {
            CreateGrayFormat(format);
        }
        break;
    case 2:
        // Gray in the low byte, alpha in the high byte left as spare bits.
        CreateFormatFromMasks(format, 16, 0x00FF, 0x00FF, 0x00FF, 0);
        break;
    case 3:
        CreateFullColorFormat(format);
        break;
    default:
        CreateARGB8Format(format);
        break;
    }
}

}  // namespace

int DecodePng(StreamSource *source, StandardImage *image) {
    uint8_t signature[8];
    if (!decode::ReadExact(source, signature, sizeof signature) || png_sig_cmp(signature, 0, 8) != 0) {
        return -1;
    }
    if (!decode::SeekTo(source, 0)) return -1;

    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, OnPngError,
                                               OnPngWarning, nullptr, AllocForPng, FreeForPng);
    if (png == nullptr) return -1;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return -1;
    }
    // Written after setjmp and read after the jump back, so kept out of registers.
    uint8_t *volatile pixels = nullptr;
    png_bytep *volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png)) != 0) {
        TrackedFree(rows);
        TrackedFree(pixels);
        png_destroy_read_struct(&png, &info, nullptr);
        return -1;
    }

    png_set_read_fn(png, source, ReadFromSource);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, nullptr, nullptr, nullptr);
    png_set_strip_16(png);
    png_set_packing(png);
    png_set_packswap(png);
    const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if ((colorType == PNG_COLOR_TYPE_GRAY && bitDepth <= 8) || transparency) png_set_expand(png);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const size_t rowBytes = png_get_rowbytes(png, info);
    const int channels = png_get_channels(png, info);
    if (rowBytes > INT32_MAX || static_cast<uint64_t>(rowBytes) * height > kMaxDecodedBytes ||
        channels < 1 || channels > 4) {
        png_error(png, "image too large");
    }
    pixels = decode::AllocBlock(static_cast<uint64_t>(rowBytes) * height, false);
    rows = reinterpret_cast<png_bytep *>(decode::AllocBlock(uint64_t{sizeof(png_bytep)} * height, false));
    if (pixels == nullptr || rows == nullptr) png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + y * rowBytes;
    png_read_image(png, rows);

    StandardImage result{};
    SetPngFormat(png, info, colorType, channels, &result.format);
    result.width = static_cast<int32_t>(width);
    result.height = static_cast<int32_t>(height);
    result.pitch = static_cast<int32_t>(rowBytes);
    result.pixels = pixels;
    TrackedFree(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    *image = result;
    return 0;
}

}  // namespace zq
