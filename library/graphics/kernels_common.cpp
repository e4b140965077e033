// Checks and set-up shared by the image kernels: which images may be drawn, the kernel mode a
// blend mode and parameter select, the table rows the rules read, and the clip rectangle.
#include <algorithm>

#include "graphics/blend_tables.h"
#include "graphics/kernels_dispatch.h"

namespace zq::kernel {

int SelectKernelMode(int blendMode, int param, bool sourceAlpha, bool blendImage) {
    switch (blendMode) {
        case kBlendNone: return kmNone;
        case kBlendAlpha:
            if (param == 0) return -1;
            if (param == 255) return kmNone;
            if (param == 128 && !sourceAlpha && !blendImage) return kmAlphaHalf;
            return kmAlpha;
        case kBlendAdd:
            if (param == 0) return -1;
            return param == 255 ? kmAddFull : kmAdd;
        case kBlendSubtract:
            if (param == 0) return -1;
            return param == 255 ? kmSubtractFull : kmSubtract;
        case kBlendMultiply: return kmMultiply;
        case kBlendInvert: return kmInvert;
        case kBlendMultiplyAlpha: return kmMultiplyAlpha;
        default: return -1;
    }
}

bool TargetArea(const SoftDrawSettings &settings, const MEMIMG *target, MemImgRect *area) {
    // The draw area may be larger than the target (it is set for another target size, or by a
    // caller that bypassed the clamping); writing outside the target would corrupt memory.
    area->left = std::max(settings.drawArea.left, 0);
    area->top = std::max(settings.drawArea.top, 0);
    area->right = std::min(settings.drawArea.right, target->width);
    area->bottom = std::min(settings.drawArea.bottom, target->height);
    return area->left < area->right && area->top < area->bottom;
}

bool PrepareCall(const SoftDrawSettings &settings, const MEMIMG *target, const MEMIMG *source, int trans,
                 const MEMIMG *blendImage, Call *call) {
    if (!MemImgIsValid(target) || !MemImgIsValid(source)) return false;
    const MemImgBase &tb = *target->base;
    const MemImgBase &sb = *source->base;
    if (tb.colorType != sb.colorType || tb.usePalette || tb.hasAlpha) return false;
    if (tb.colorType != MEMIMG_RGB16 && tb.colorType != MEMIMG_RGB32) return false;
    if (blendImage) {
        // The blend image is read at the source's coordinates; a smaller one would be overrun.
        if (!MemImgIsValid(blendImage) || blendImage->base->colorType != MEMIMG_GRAY8 ||
            blendImage->width < source->width || blendImage->height < source->height) {
            return false;
        }
    }
    int param = std::clamp(settings.blendParam, 0, 255);
    bool sourceAlpha = sb.hasAlpha != 0;
    int mode = SelectKernelMode(settings.blendMode, param, sourceAlpha, blendImage != nullptr);
    if (mode < 0) return false;
    bool bright = settings.brightRed != 255 || settings.brightGreen != 255 || settings.brightBlue != 255;
    bool is32 = tb.colorType == MEMIMG_RGB32;
    int sourceKind = sb.usePalette ? kIndexed : (sourceAlpha ? kAlphaSource : kDirect);

    Context &c = call->ctx;
    c.param = param;
    c.mulParam = MulTableRow(param);
    c.signedParam = SignedMulTableRow(param);
    c.lerp6 = Lerp6Plane(param >> 2);
    c.mulBright[0] = MulTableRow(settings.brightBlue);
    c.mulBright[1] = MulTableRow(settings.brightGreen);
    c.mulBright[2] = MulTableRow(settings.brightRed);
    c.transColor = sb.transColor;
    c.palette = sb.palette;
    c.ramp = BlendImageRamp();
    call->index = TableIndex(is32, sourceKind, mode, trans != 0, bright, blendImage != nullptr);
    call->sourceBytes = MemImgBytesPerPixel(sb);
    call->targetBytes = is32 ? 4 : 2;
    call->mode = mode;
    call->sourceAlpha = sourceAlpha;
    return true;
}

}  // namespace zq::kernel
