// Graphs from image files: whole pictures and pictures cut into cells, each remembering its file so
// that the graphs can be rebuilt from their files after the display device was lost. Files are
// read and decoded by the image decoders; this build plays no movies, so a file that is no image
// fails to load.
#include <cstring>

#include "core/file_stream.h"
#include "core/handles.h"
#include "core/log.h"
#include "core/window.h"
#include "graphics/decode_image.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kLogFormatSize = 512;

// The path is Shift-JIS already: only the format is converted, then the line is written as it is.
void LogWithPath(const char *utf8Format, const char *path) {
    char format[kLogFormatSize];
    Utf8ToShiftJis(utf8Format, format, sizeof format);
    WriteLogLine(format, path);
}

// The image files' pixels: the picture, and its alpha picture when one was found beside it.
struct LoadedImages {
    StandardImage image = {};
    StandardImage alpha = {};
    bool loaded = false;
    bool hasAlpha = false;

    bool Load(const char *path, int mirror) {
        Release();
        const int result = LoadImageWithAlpha(path, nullptr, 0, 0, nullptr, 0, 0, &image, &alpha, mirror);
        loaded = result >= 0;
        hasAlpha = result == 0;
        return loaded;
    }
    StandardImage *Alpha() { return hasAlpha ? &alpha : nullptr; }
    void Release() {
        if (loaded) ReleaseImage(&image);
        if (hasAlpha) ReleaseImage(&alpha);
        loaded = hasAlpha = false;
    }
};

}  // namespace

int ReloadAllGraphs() {
    LogText("グラフィックを復帰します\n");
    LoadedImages files;
    const RestoreSource *current = nullptr;
    int currentReverse = 0;
    bool currentFailed = false;
    const int top = HandleHighWaterMark(HandleKind::Graph);
    for (int slot = 0; slot < top; ++slot) {
        auto *graph = static_cast<GraphRecord *>(HandleRecordAt(HandleKind::Graph, slot));
        if (graph == nullptr || graph->restoreSource == nullptr) continue;
        // Cells of one sheet sit in consecutive slots: their file is read once.
        const bool same = current != nullptr && currentReverse == graph->reverse &&
                          std::strcmp(current->path, graph->restoreSource->path) == 0;
        if (!same) {
            current = graph->restoreSource;
            currentReverse = graph->reverse;
            currentFailed = !files.Load(current->path, graph->reverse);
        }
        if (currentFailed) continue;
        UploadImageToGraph(graph->handle, &files.image, files.Alpha(), graph->sourceX, graph->sourceY, graph->width,
                           graph->height, 0, 0);
    }
    files.Release();
    return 0;
}

}  // namespace zq

using namespace zq;

extern "C" int LoadGraphFile(const char *path, int flag) {
    (void)flag;
    if (!AreGraphicsUp() || path == nullptr) return -1;
    WaitWhileInactive();
    LoadedImages files;
    if (files.Load(path, 0)) {
        const int handle = MakeGraphFromImage(&files.image, files.Alpha());
        if (handle != -1) SetGraphRestoreSource(handle, path, -1);
        files.Release();
        return handle;
    }
    const uint32_t file = FileOpen(path, 0, 1, 0);
    if (file == 0) {
        LogWithPath("グラフィックファイル %s がありません", path);
        return -1;
    }
    FileClose(file);
    // Not an image: it could only be a movie, and this build opens none.
    LogWithPath("右記のグラフィックファイルのロードに失敗しました：%s \n", path);
    return -1;
}

extern "C" int LoadDividedGraphFile(const char *path, int cellCount, int cellsAcross, int cellsDown, int cellWidth,
                                    int cellHeight, int *handles, int flag) {
    (void)flag;
    if (!AreGraphicsUp() || path == nullptr || handles == nullptr) return -1;
    WaitWhileInactive();
    LoadedImages files;
    if (!files.Load(path, 0)) {
        LogWithPath("右記のグラフィックファイルのロードに失敗しました：%s", path);
        return -1;
    }
    const int result = CreateDivGraphFromGraphImage(&files.image, files.Alpha(), cellCount, cellsAcross, cellsDown,
                                                    cellWidth, cellHeight, handles, 0);
    if (result == 0) {
        for (int i = 0; i < cellCount; ++i) {
            if (handles[i] != -1) SetGraphRestoreSource(handles[i], path, -1);
        }
    }
    files.Release();
    return result;
}
