// Graph records and handles: the settings read when a graph is made, pictures and the graphs that
// share them (whole, or cut into cells), uploads of standard images into the software picture,
// restore sources, and release. Loading from files and the restore after a lost device are in
// graph_load.cpp.
#include "graphics/graph.h"

#include <unistd.h>

#include <cstring>

#include "core/handles.h"
#include "core/log.h"
#include "core/window.h"
#include "graphics/draw_state.h"
#include "graphics/pixel_format.h"
#include "graphics/screen.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr uint32_t kIndexedKeyUnset = 0xFFFF;  // an indexed picture's key until its upload sets it
constexpr int kPathBufferSize = 4096;

const GraphMakingSettings kMakingDefaults = {0, 0, 0, 1, 0, 0};

GraphMakingSettings &Making() {
    static GraphMakingSettings settings = kMakingDefaults;
    return settings;
}

int ScreenDepth() { return ScreenPixelFormat().colorBitDepth == 16 ? 16 : 32; }

void ReleasePicture(GraphPicture *picture) {
    if (--picture->refCount > 0) return;
    ReleaseMemImg(&picture->image);
    TrackedFree(picture);
}

void DropRestoreSource(GraphRecord &graph) {
    RestoreSource *source = graph.restoreSource;
    graph.restoreSource = nullptr;
    if (source != nullptr && --source->refCount == 0) TrackedFree(source);
}

// The graph's view: its rectangle of the picture's image.
void BindGraphView(GraphRecord &graph) {
    GraphPicture &picture = *graph.picture;
    if (picture.renderer != GraphRenderer::Software) return;
    ReleaseMemImg(&graph.view);
    MakeSubMemImg(&graph.view, &picture.image, graph.offsetX, graph.offsetY, graph.width, graph.height);
}

// The picture of a new graph: its software image by the making settings, bound to the record.
// On failure the handle is released and -1 returned.
int CreateGraphPicture(int handle, int width, int height, int alpha, int palette, uint32_t compression) {
    GraphRecord &graph = *GraphFromHandle(handle);
    auto *picture = static_cast<GraphPicture *>(TrackedAllocZero(sizeof(GraphPicture), "", 0));
    if (picture == nullptr) {
        LogText("グラフィックのオリジナル画像データ保存用メモリの確保に失敗しました\n");
        ReleaseGraph(handle);
        return -1;
    }
    const GraphMakingSettings &making = Making();
    picture->refCount = 1;
    picture->renderer = GraphRenderer::Software;
    picture->settings.colorDepth = making.newGraphDepth != 0 ? making.newGraphDepth : ScreenDepth();
    picture->settings.drawable = making.newGraphDrawable;
    picture->settings.alpha = alpha;
    picture->settings.palette = palette;
    picture->settings.blend = making.newGraphBlend;
    picture->settings.compression = compression;
    picture->transparentColor = making.transparentColor;
    picture->width = width;
    picture->height = height;
    graph.picture = picture;
    graph.offsetX = graph.offsetY = 0;
    graph.width = width;
    graph.height = height;

    int result;
    if (picture->settings.blend) {
        result = CreateMemImg(&picture->image, width, height, -1, 0, MEMIMG_GRAY8, 0, 0, 0, nullptr);
    } else {
        const int colorType = picture->settings.colorDepth == 16 ? MEMIMG_RGB16 : MEMIMG_RGB32;
        uint32_t key = kIndexedKeyUnset;
        if (!palette) {
            const uint32_t c = picture->transparentColor;
            key = PackColor(MemImgPixelFormat(colorType, alpha != 0, false), int(c >> 16) & 0xFF,
                            int(c >> 8) & 0xFF, int(c & 0xFF), 255);
        }
        // The skip table and premultiplied copy speed up keyed and alpha draws of whole pictures.
        result = CreateMemImg(&picture->image, width, height, -1, key, colorType, palette, alpha, 1, nullptr);
    }
    if (result != 0) {
        LogText(picture->settings.blend ? "ブレンド画像用メモリイメージの作成に失敗しました\n"
                                        : "メモリイメージの作成に失敗しました\n");
        ReleaseGraph(handle);
        return -1;
    }
    FillMemImg(&picture->image, nullptr, 0);
    BindGraphView(graph);
    return 0;
}

bool HasAlphaChannel(const StandardImage &image) { return image.format.alphaMask != 0; }

// The first palette entry of an indexed picture equal to its key in the picture's layout (16 bits
// compared whole, 32 bits by the low 24), or 0 when none is.
uint32_t IndexOfKey(const GraphPicture &picture) {
    const MemImgBase &base = *picture.image.base;
    const uint32_t c = picture.transparentColor;
    const uint32_t key = PackColor(MemImgPixelFormat(base.colorType, false, false), int(c >> 16) & 0xFF,
                                   int(c >> 8) & 0xFF, int(c & 0xFF), 255);
    const bool is32 = base.colorType == MEMIMG_RGB32;
    for (int i = 0; i < kPaletteSize; ++i) {
        uint32_t entry = 0;
        std::memcpy(&entry, base.palette + i * (is32 ? 4 : 2), is32 ? 4 : 2);
        if (is32 ? (entry & 0xFFFFFF) == (key & 0xFFFFFF) : entry == (key & 0xFFFF)) return uint32_t(i);
    }
    return 0;
}

}  // namespace

GraphMakingSettings GetGraphMakingSettings() { return Making(); }
void SetGraphMakingSettings(const GraphMakingSettings &settings) { Making() = settings; }
void ResetGraphMakingSettings() { Making() = kMakingDefaults; }

GraphRecord *GraphFromHandle(int handle) {
    return static_cast<GraphRecord *>(ValidateHandle(handle, HandleKind::Graph));
}

MEMIMG *GraphImage(int handle) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr || graph->picture == nullptr || !MemImgIsValid(&graph->view)) return nullptr;
    return &graph->view;
}

bool IsGraphDrawable(const GraphRecord &graph) {
    return graph.picture != nullptr && graph.picture->settings.drawable != 0;
}

MEMIMG *GraphBlendImage(const GraphRecord &graph) {
    if (graph.picture == nullptr || !graph.picture->settings.blend) return nullptr;
    return MemImgIsValid(&graph.view) ? const_cast<MEMIMG *>(&graph.view) : nullptr;
}

void MarkGraphPixelsChanged(GraphRecord &graph) {
    if (graph.picture == nullptr || !MemImgIsValid(&graph.picture->image)) return;
    graph.picture->image.base->skipValid = 0;
    graph.picture->image.base->premulValid = 0;
}

int SetGraphDeletionNotice(int handle, int *notice) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return -1;
    graph->deletionNotice = notice;
    return 0;
}

int MakeGraphFromImage(StandardImage *image, StandardImage *alphaImage) {
    if (!AreGraphicsUp() || image == nullptr || image->pixels == nullptr) return -1;
    WaitWhileInactive();
    RecomputeSpareMask(&image->format);
    if (alphaImage != nullptr) {
        if (alphaImage->pixels == nullptr) return -1;
        RecomputeSpareMask(&alphaImage->format);
        if (alphaImage->width != image->width || alphaImage->height != image->height) return -1;
    }
    const int handle = AllocateGraphHandle(sizeof(GraphRecord));
    GraphFromHandle(handle)->movieHandle = -1;
    const int alpha = HasAlphaChannel(*image) || alphaImage != nullptr;
    const int palette = image->format.bytesPerPixel == 1 && !alpha;
    if (CreateGraphPicture(handle, image->width, image->height, alpha, palette, image->format.compression) != 0) {
        return -1;
    }
    if (UploadImageToGraph(handle, image, alphaImage, 0, 0, image->width, image->height, 0, 0) != 0) {
        ReleaseGraph(handle);
        return -1;
    }
    return handle;
}

int MakeEmptyGraph(int width, int height, int hasAlpha) {
    if (!AreGraphicsUp() || width <= 0 || height <= 0) return -1;
    const int handle = AllocateGraphHandle(sizeof(GraphRecord));
    GraphFromHandle(handle)->movieHandle = -1;
    if (CreateGraphPicture(handle, width, height, hasAlpha ? 1 : 0, 0, kCompressionNone) != 0) return -1;
    return handle;
}

int CutGraph(int x, int y, int width, int height, int parentHandle) {
    GraphRecord *parent = GraphFromHandle(parentHandle);
    if (parent == nullptr) return -1;
    if (x < 0 || y < 0 || x >= parent->width || y >= parent->height || width <= 0 || height <= 0) return -1;
    const int handle = AllocateGraphHandle(sizeof(GraphRecord));
    GraphRecord &graph = *GraphFromHandle(handle);
    graph.movieHandle = -1;
    graph.picture = parent->picture;
    ++graph.picture->refCount;
    graph.restoreSource = parent->restoreSource;
    if (graph.restoreSource != nullptr) ++graph.restoreSource->refCount;
    graph.sourceX = parent->sourceX + x;
    graph.sourceY = parent->sourceY + y;
    graph.reverse = parent->reverse;
    graph.offsetX = parent->offsetX + x;
    graph.offsetY = parent->offsetY + y;
    graph.width = width < parent->width - x ? width : parent->width - x;
    graph.height = height < parent->height - y ? height : parent->height - y;
    BindGraphView(graph);
    return handle;
}

int CreateDivGraphFromGraphImage(StandardImage *image, StandardImage *alphaImage, int cellCount, int cellsAcross,
                                 int cellsDown, int cellWidth, int cellHeight, int *handles, int reverse) {
    if (handles == nullptr || cellCount < 0) return -1;
    const int base = MakeGraphFromImage(image, alphaImage);
    if (base == -1) return -1;
    int made = 0;
    for (int row = 0; row < cellsDown && made < cellCount; ++row) {
        int x = reverse ? cellWidth * (cellsAcross - 1) : 0;
        for (int column = 0; column < cellsAcross && made < cellCount; ++column) {
            const int cell = CutGraph(x, row * cellHeight, cellWidth, cellHeight, base);
            if (cell == -1) {
                LogText("グラフィックの分割に失敗しました in CreateDivGraphFromGraphImage\n");
                for (int i = 0; i < made; ++i) {
                    ReleaseGraph(handles[i]);
                    handles[i] = -1;
                }
                ReleaseGraph(base);
                return -1;
            }
            handles[made++] = cell;
            x += reverse ? -cellWidth : cellWidth;
        }
    }
    // A grid smaller than the count leaves the rest of the handles without a graph.
    for (int i = made; i < cellCount; ++i) handles[i] = -1;
    ReleaseGraph(base);
    return 0;
}

int RefillGraphFromImage(StandardImage *image, StandardImage *alphaImage, int handle) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr || image == nullptr) return -1;
    if (image->width != graph->width || image->height != graph->height) return -1;
    if (alphaImage != nullptr && (alphaImage->width != graph->width || alphaImage->height != graph->height)) return -1;
    return UploadImageToGraph(handle, image, alphaImage, 0, 0, image->width, image->height, 0, 0);
}

int UploadImageToGraph(int handle, StandardImage *image, StandardImage *alphaImage, int srcX, int srcY, int width,
                       int height, int destX, int destY) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr || graph->picture == nullptr || image == nullptr) return -1;
    GraphPicture &picture = *graph->picture;
    if (picture.renderer != GraphRenderer::Software) return -1;
    // The graph's rectangle bounds the upload: a cell never writes into its neighbours.
    if (destX < 0 || destY < 0 || width < 0 || height < 0 || int64_t{destX} + width > graph->width ||
        int64_t{destY} + height > graph->height) {
        return -1;
    }
    // The whole picture is loaded through its own image so that the skip table and the
    // premultiplied copy are rebuilt; a cell is loaded through its view.
    const bool wholePicture = graph->offsetX == 0 && graph->offsetY == 0 && destX == 0 && destY == 0 &&
                              width == picture.width && height == picture.height;
    MEMIMG *target = wholePicture ? &picture.image : &graph->view;
    if (LoadImageIntoMemImg(image, alphaImage, target, srcX, srcY, width, height, destX, destY, 0) != 0) return -1;
    if (!wholePicture) MarkGraphPixelsChanged(*graph);
    if (picture.image.base->usePalette) {
        // The key's palette index is known only once the palette is loaded; the skip table built
        // by the load must then be built again against it.
        picture.image.base->transColor = IndexOfKey(picture);
        if (picture.image.base->skipValid) BuildSkipTable(picture.image.base);
    }
    graph->sourceX = srcX;
    graph->sourceY = srcY;
    return 0;
}

int SetGraphRestoreSource(int handle, const char *path, int sourceHandle) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return -1;
    DropRestoreSource(*graph);
    if (path != nullptr) {
        char full[kPathBufferSize];
        full[0] = '\0';
        const bool absolute = path[0] == '/' || path[0] == '\\';
        if (!absolute && getcwd(full, sizeof full) != nullptr) {
            std::strncat(full, "/", sizeof full - std::strlen(full) - 1);
        } else {
            full[0] = '\0';
        }
        std::strncat(full, path, sizeof full - std::strlen(full) - 1);
        const size_t length = std::strlen(full);
        auto *source = static_cast<RestoreSource *>(TrackedAlloc(int(sizeof(RestoreSource) + length), "", 0));
        if (source == nullptr) {
            LogText("転送する画像ファイルのファイル名を保存するメモリ領域の確保に失敗しました\n");
            return -1;
        }
        source->refCount = 1;
        std::memcpy(source->path, full, length + 1);
        graph->restoreSource = source;
        return 0;
    }
    if (sourceHandle == -1) return 0;
    GraphRecord *from = GraphFromHandle(sourceHandle);
    if (from == nullptr) return -1;
    graph->restoreSource = from->restoreSource;
    if (graph->restoreSource != nullptr) ++graph->restoreSource->refCount;
    return 0;
}

void ReleaseAllGraphs() {
    const int top = HandleHighWaterMark(HandleKind::Graph);
    for (int slot = 0; slot < top; ++slot) {
        auto *graph = static_cast<GraphRecord *>(HandleRecordAt(HandleKind::Graph, slot));
        if (graph != nullptr) ReleaseGraph(graph->handle);
    }
}

}  // namespace zq

using namespace zq;

extern "C" int SetTransparentColor(int red, int green, int blue) {
    if (ScreenPixelFormat().colorBitDepth == 8) return 0;
    Making().transparentColor = uint32_t(red & 0xFF) << 16 | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF);
    return 0;
}

extern "C" int ReleaseGraph(int handle) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return -1;
    // A released graph must not stay the draw target: drawing would write into freed memory.
    ForgetDrawTargetGraph(handle);
    ReleaseMemImg(&graph->view);
    if (graph->picture != nullptr) ReleasePicture(graph->picture);
    graph->picture = nullptr;
    DropRestoreSource(*graph);
    if (graph->deletionNotice != nullptr) *graph->deletionNotice = 1;
    ReleaseHandle(handle, HandleKind::Graph);
    return 0;
}
