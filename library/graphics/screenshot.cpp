// Writes the draw target's pixels to a BMP file exactly as they are: a 16-bit target as R5G6B5
// bit fields, a 32-bit one as X8R8G8B8, rows bottom-up as the format stores them.
#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "graphics/draw_state.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int kMaskBytes = 12;
constexpr uint32_t kCompressionRgb = 0;
constexpr uint32_t kCompressionBitFields = 3;

void Put16(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t *p, uint32_t v) {
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

}  // namespace
}  // namespace zq

using namespace zq;

extern "C" int WriteDrawTargetToFile(const char *path) {
    const MEMIMG *target = DrawTargetImage();
    if (path == nullptr || target == nullptr || !MemImgIsValid(target)) return LogText("描画先がないため画像を書き出せません\n");
    const int bytes = MemImgBytesPerPixel(*target->base);
    if (target->base->usePalette || (bytes != 2 && bytes != 4)) return LogText("この描画先の形式は書き出せません\n");

    const bool sixteen = bytes == 2;
    const uint32_t rowBytes = (static_cast<uint32_t>(target->width) * bytes + 3) & ~3u;
    const uint32_t headerBytes = kFileHeaderSize + kInfoHeaderSize + (sixteen ? kMaskBytes : 0);
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(target->height);
    uint8_t header[kFileHeaderSize + kInfoHeaderSize + kMaskBytes] = {};
    header[0] = 'B';
    header[1] = 'M';
    Put32(header + 2, headerBytes + imageBytes);
    Put32(header + 10, headerBytes);
    uint8_t *info = header + kFileHeaderSize;
    Put32(info, kInfoHeaderSize);
    Put32(info + 4, static_cast<uint32_t>(target->width));
    Put32(info + 8, static_cast<uint32_t>(target->height));
    Put16(info + 12, 1);
    Put16(info + 14, static_cast<uint32_t>(bytes * 8));
    Put32(info + 16, sixteen ? kCompressionBitFields : kCompressionRgb);
    Put32(info + 20, imageBytes);
    if (sixteen) {
        Put32(info + 40, 0xF800);
        Put32(info + 44, 0x07E0);
        Put32(info + 48, 0x001F);
    }

    FILE *file = std::fopen(path, "wb");
    if (file == nullptr) return LogLine("%s を書き出し用に開けませんでした", path);
    bool ok = std::fwrite(header, 1, headerBytes, file) == headerBytes;
    const uint8_t padding[4] = {};
    const size_t pixelBytes = static_cast<size_t>(target->width) * bytes;
    for (int y = target->height - 1; ok && y >= 0; --y) {
        const uint8_t *row = target->pixels + static_cast<size_t>(y) * target->base->pitch;
        ok = std::fwrite(row, 1, pixelBytes, file) == pixelBytes &&
             std::fwrite(padding, 1, rowBytes - pixelBytes, file) == rowBytes - pixelBytes;
    }
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) return LogLine("%s の書き出しに失敗しました", path);
    return 0;
}
