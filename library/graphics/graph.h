// Graphs inside the library: the graph record behind each graph handle, the picture its cells share,
// the file a graph can be rebuilt from, the settings read when a graph is made, and the facts the
// drawing operations, the draw state and the text code read about a graph.
#pragma once

#include <cstdint>

#include "graphics/memimg.h"
#include "graphics/standard_image.h"

namespace zq {

// Which renderer holds a picture's pixels: the software renderer keeps a MEMIMG; a hardware
// renderer keeps textures of its own.
enum class GraphRenderer { Software = 0, Hardware = 1 };

// The file a graph's pixels came from, shared by the graphs cut from one load.
struct RestoreSource {
    int refCount;
    char path[1];  // full path, allocated to its length
};

// What was asked for when a picture was made.
struct GraphCreationSettings {
    int colorDepth;     // 16 or 32
    int drawable;
    int alpha;
    int palette;
    int blend;          // a blend graph: one channel of weights
    uint32_t compression;
};

// One picture, shared by every graph cut from it.
struct GraphPicture {
    int refCount;
    GraphRenderer renderer;
    GraphCreationSettings settings;
    uint32_t transparentColor;  // 0x00RRGGBB in effect when it was made
    int width, height;
    MEMIMG image;               // the whole picture (software renderer)
};

struct GraphRecord {
    int check;
    int handle;
    int *deletionNotice;        // set to 1 when the graph is released
    GraphPicture *picture;
    int movieHandle;            // -1: no movie feeds this graph
    RestoreSource *restoreSource;
    int sourceX, sourceY;       // where the pixels lie in the image file
    int reverse;                // the picture was uploaded mirrored
    int offsetX, offsetY;       // where the graph lies in its picture
    int width, height;
    MEMIMG view;                // software: the graph's rectangle of the picture's image
};

// The settings read when a graph is made. Graphics start resets them; code that makes graphs
// for its own use saves and restores them around its calls.
struct GraphMakingSettings {
    uint32_t transparentColor;  // 0x00RRGGBB
    int newGraphDepth;          // 0: the screen's depth
    int newGraphDrawable;
    int newGraphAlpha;
    int newGraphOption;
    int newGraphBlend;          // new graphs are blend graphs (a MEMIMG_GRAY8 of weights)
};
GraphMakingSettings GetGraphMakingSettings();
void SetGraphMakingSettings(const GraphMakingSettings &settings);
// Back to the values after graphics start.
void ResetGraphMakingSettings();

// The record of a live graph handle, or nullptr.
GraphRecord *GraphFromHandle(int handle);
// The graph's software image, or nullptr (invalid handle, or a picture held by a hardware renderer).
MEMIMG *GraphImage(int handle);
bool IsGraphDrawable(const GraphRecord &graph);
// The weights of a blend graph, or nullptr for any other graph.
MEMIMG *GraphBlendImage(const GraphRecord &graph);
// The graph's picture was changed by drawing: the structures derived from its pixels are stale.
void MarkGraphPixelsChanged(GraphRecord &graph);
// The pointed-to int is set to 1 when the graph is released (null: none). 0, or -1.
int SetGraphDeletionNotice(int handle, int *notice);

// Making graphs. Each returns a graph handle, or -1.
int MakeGraphFromImage(StandardImage *image, StandardImage *alphaImage);
// A graph of the given size whose pixels are 0, made with the current making settings.
int MakeEmptyGraph(int width, int height, int hasAlpha);
int CutGraph(int x, int y, int width, int height, int parent);
// 0, or -1 with nothing kept.
int CreateDivGraphFromGraphImage(StandardImage *image, StandardImage *alphaImage, int cellCount,
                                 int cellsAcross, int cellsDown, int cellWidth, int cellHeight,
                                 int *handles, int reverse);
// The images must have the graph's size. 0, or -1.
int RefillGraphFromImage(StandardImage *image, StandardImage *alphaImage, int handle);
// Converts (srcX, srcY, width, height) of the image into the graph at (destX, destY). 0, or -1.
int UploadImageToGraph(int handle, StandardImage *image, StandardImage *alphaImage, int srcX, int srcY,
                       int width, int height, int destX, int destY);
// Attaches the image file (path, resolved to a full path now) or, with path null, the source
// graph's file (-1: none). 0, or -1.
int SetGraphRestoreSource(int handle, const char *path, int sourceHandle);
// Releases every graph (graphics shutdown and screen mode changes).
void ReleaseAllGraphs();
// Rebuilds every graph that has a restore source from its file; the default restore hook.
int ReloadAllGraphs();

}  // namespace zq
