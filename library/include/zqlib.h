/* zqlib: a 2D game library.
 *
 * The one public header: every operation and constant a program may use. The library is a flat
 * set of C-style operations on integer handles. Operations return 0 on success and -1 on failure;
 * strings are Shift-JIS (code page 932). Failures are written to "Log.txt" in the start directory
 * unless the program switches the log off.
 */
#ifndef ZQLIB_H
#define ZQLIB_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Settings made before start-up, life cycle ---------------------------------------------- */

int ChangeWindowMode(int flag);                  /* 1 window, 0 full screen */
int SetScreenMode(int width, int height, int bits, int refresh);
int SetWindowTitle(const char *text);            /* Shift-JIS caption, at most 255 bytes */
int InitLibrary(void);                           /* 0, or -1 on failure */
int EndLibrary(void);                            /* always 0 */
void ErrorExit(const char *message)              /* logs, shuts down, exits with -1 */
#if defined(__GNUC__)
    __attribute__((noreturn))
#endif
    ;
int ProcessMessages(void);                       /* 0 to go on, -1 when the program must end */

/* Why the last InitLibrary failed, in plain UTF-8 text for the user ("" when it did not fail).
 * The log may be off; this lets a program tell its user what went wrong. */
const char *GetStartupError(void);

/* Converts UTF-8 text to Shift-JIS for the library's operations (out always NUL-terminated).
 * 0, or -1 when characters had to be replaced or the text was cut. */
int Utf8ToShiftJis(const char *utf8, char *out, int outSize);

/* ---- Log ------------------------------------------------------------------------------------ */

int SetLogOutputEnabled(int flag);
int SetLogTimeStamp(int flag);                   /* 0 drops the "%d:" time stamps; default 1 */
int WriteLog(const char *text);                  /* always -1 */
int WriteLogLine(const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
int RaiseLogIndent(void);
int LowerLogIndent(void);

/* ---- Tracked memory ------------------------------------------------------------------------- */

void *TrackedAlloc(int size, const char *tag, int line);
void *TrackedAllocZero(int size, const char *tag, int line);
void TrackedFree(void *memory);
void *TrackedRealloc(void *memory, int size, const char *tag, int line);
void DumpAllocations(void);
int CheckAllocations(void);                      /* 0, or -1 when a damaged header was found */
/* The bytes and the number of blocks held now; either pointer may be NULL. */
int GetAllocationTotals(int *totalSize, int *blockCount);
/* watchSize: log operations on blocks of this size (negative: all); logAll: log every operation;
 * logTotals: log the totals after each operation; checkAlways: check headers on every operation. */
int SetAllocationTracking(int watchSize, int logAll, int logTotals, int checkAlways);

/* ---- Time ----------------------------------------------------------------------------------- */

int GetMillisecondCount(void);                   /* 31-bit monotonic milliseconds */

/* ---- Mouse and keyboard --------------------------------------------------------------------- */

#define MOUSE_LEFT   1
#define MOUSE_RIGHT  2
#define MOUSE_MIDDLE 4

/* Key codes: the keyboard scan codes of a Japanese 106-key layout. */
#define KEY_ESCAPE     0x01
#define KEY_1          0x02
#define KEY_2          0x03
#define KEY_3          0x04
#define KEY_4          0x05
#define KEY_5          0x06
#define KEY_6          0x07
#define KEY_7          0x08
#define KEY_8          0x09
#define KEY_9          0x0A
#define KEY_0          0x0B
#define KEY_MINUS      0x0C
#define KEY_BACK       0x0E
#define KEY_TAB        0x0F
#define KEY_Q          0x10
#define KEY_W          0x11
#define KEY_E          0x12
#define KEY_R          0x13
#define KEY_T          0x14
#define KEY_Y          0x15
#define KEY_U          0x16
#define KEY_I          0x17
#define KEY_O          0x18
#define KEY_P          0x19
#define KEY_LBRACKET   0x1A
#define KEY_RBRACKET   0x1B
#define KEY_RETURN     0x1C
#define KEY_LCONTROL   0x1D
#define KEY_A          0x1E
#define KEY_S          0x1F
#define KEY_D          0x20
#define KEY_F          0x21
#define KEY_G          0x22
#define KEY_H          0x23
#define KEY_J          0x24
#define KEY_K          0x25
#define KEY_L          0x26
#define KEY_SEMICOLON  0x27
#define KEY_LSHIFT     0x2A
#define KEY_BACKSLASH  0x2B
#define KEY_Z          0x2C
#define KEY_X          0x2D
#define KEY_C          0x2E
#define KEY_V          0x2F
#define KEY_B          0x30
#define KEY_N          0x31
#define KEY_M          0x32
#define KEY_COMMA      0x33
#define KEY_PERIOD     0x34
#define KEY_SLASH      0x35
#define KEY_RSHIFT     0x36
#define KEY_MULTIPLY   0x37
#define KEY_LALT       0x38
#define KEY_SPACE      0x39
#define KEY_CAPSLOCK   0x3A
#define KEY_F1         0x3B
#define KEY_F2         0x3C
#define KEY_F3         0x3D
#define KEY_F4         0x3E
#define KEY_F5         0x3F
#define KEY_F6         0x40
#define KEY_F7         0x41
#define KEY_F8         0x42
#define KEY_F9         0x43
#define KEY_F10        0x44
#define KEY_NUMLOCK    0x45
#define KEY_SCROLL     0x46
#define KEY_NUMPAD7    0x47
#define KEY_NUMPAD8    0x48
#define KEY_NUMPAD9    0x49
#define KEY_SUBTRACT   0x4A
#define KEY_NUMPAD4    0x4B
#define KEY_NUMPAD5    0x4C
#define KEY_NUMPAD6    0x4D
#define KEY_ADD        0x4E
#define KEY_NUMPAD1    0x4F
#define KEY_NUMPAD2    0x50
#define KEY_NUMPAD3    0x51
#define KEY_NUMPAD0    0x52
#define KEY_DECIMAL    0x53
#define KEY_F11        0x57
#define KEY_F12        0x58
#define KEY_KANA       0x70
#define KEY_CONVERT    0x79
#define KEY_NOCONVERT  0x7B
#define KEY_YEN        0x7D
#define KEY_PREVTRACK  0x90
#define KEY_AT         0x91
#define KEY_COLON      0x92
#define KEY_KANJI      0x94
#define KEY_NUMPADENTER 0x9C
#define KEY_RCONTROL   0x9D
#define KEY_DIVIDE     0xB5
#define KEY_SYSRQ      0xB7
#define KEY_RALT       0xB8
#define KEY_PAUSE      0xC5
#define KEY_HOME       0xC7
#define KEY_UP         0xC8
#define KEY_PGUP       0xC9
#define KEY_LEFT       0xCB
#define KEY_RIGHT      0xCD
#define KEY_END        0xCF
#define KEY_DOWN       0xD0
#define KEY_PGDN       0xD1
#define KEY_INSERT     0xD2
#define KEY_DELETE     0xD3
#define KEY_LWIN       0xDB
#define KEY_RWIN       0xDC
#define KEY_APPS       0xDD

int IsKeyDown(int keyCode);                      /* 1 while held */
int GetMouseButtons(void);                       /* MOUSE_* bits of the held buttons */
int GetMousePosition(int *x, int *y);            /* client coordinates; either pointer may be NULL */
int SetMouseCursorVisible(int flag);             /* 1 show, 0 hide, -1 re-apply */
/* what: 1 keyboard (then pads), 4 mouse buttons in the client area. Returns the first held key
 * code, -1 for a pad or mouse button, 0 for nothing. */
int CheckAnyInput(int what);

/* ---- Random numbers, waiting, dates --------------------------------------------------------- */

typedef struct DateRecord {
    int year, month, day, hour, minute, second;  /* local time; month 1..12 */
} DateRecord;

/* Microseconds: from the time-stamp counter when asked (useTimeStampCounter 1, library started),
 * else from the high-resolution counter when start-up chose it, else from the millisecond clock. */
int64_t GetMicrosecondCount(int useTimeStampCounter);
int ReadLocalDate(DateRecord *out);              /* 0; -1 for a NULL record */
/* Waits until every key and button is up, then for a key (its code), a pad or a click in the client
 * area (-1); 0 when the program must end meanwhile. Draws and presents nothing. */
int WaitForKey(void);
void SeedRandom(int seed);
/* A random number in 0..max, or max+1..0 for a negative max; one generator step per call. */
int GetRandom(int max);

/* ---- Pixel formats, colors and standard images ---------------------------------------------- */

/* A screen color value: R5G6B5 on a 16-bit screen, X8R8G8B8 with the top byte 0xFF otherwise.
 * Only the low 8 bits of each component count; low bits that do not fit are dropped. Before the
 * screen exists the requested screen depth decides (16 bits by default). */
uint32_t MakeColor(int red, int green, int blue);
/* The 8-bit components of a screen color value; any pointer may be NULL. Always 0. */
int SplitColor(uint32_t color, int *red, int *green, int *blue);

typedef struct ColorF {
    float red, green, blue, alpha;
} ColorF;
/* Fills the record (when not NULL) and returns its value. */
ColorF MakeColorF(ColorF *record, float red, float green, float blue, float alpha);

/* ---- Software images and drawing kernels ---------------------------------------------------- */

/* ---- Screen, presentation and draw state ---------------------------------------------------- */

#define SCREEN_BACK  (-2)   /* the back buffer that FlipScreen presents */
#define SCREEN_FRONT (-4)   /* the visible screen, presented every 32 ms while it is the target */

#define BLEND_NONE           0
#define BLEND_ALPHA          1
#define BLEND_ADD            2
#define BLEND_SUBTRACT       3
#define BLEND_MULTIPLY       4
#define BLEND_INVERT        10
#define BLEND_MULTIPLY_ALPHA 11

typedef struct DisplayMode {
    int width, height, bits, refresh;
} DisplayMode;

int FlipScreen(void);                            /* 0, or -1 when nothing could be presented */
int SetVSyncWait(int flag);
int GetVSyncWait(void);
int SetEmulate320x240(int flag);
/* Run after the graphics device was rebuilt; NULL restores the default. */
int SetGraphicsRestoreHook(int (*hook)(void));
int RestoreGraphicsDevice(void);
int GetDisplayModeCount(void);
DisplayMode GetDisplayModeEntry(int index);      /* four -1 values outside the list */
/* 1 allows a hardware renderer, 0 draws in software only; -1 once the library has started. */
int SetHardwareRendering(int flag);
int SetDeviceDialogBoxMode(int flag);
/* The colour ClearDrawTarget fills with; black unless set. Taken when graphics start. */
int SetBackgroundColor(int red, int green, int blue);

int SetDrawTarget(int target);                   /* SCREEN_BACK, SCREEN_FRONT or a drawable graph */
int GetDrawTargetSize(int target, int *width, int *height);
int SetClipArea(int x1, int y1, int x2, int y2);
int SetBlendMode(int mode, int param);           /* param clamped to 0..255 */
int SetDrawBrightness(int red, int green, int blue);
int SetFilterMode(int mode);
int ClearDrawTarget(void);
/* Writes the draw target's pixels as they are to a BMP file (16-bit as R5G6B5 bit fields, 32-bit as
 * X8R8G8B8): 0, or -1 with a log line. */
int WriteDrawTargetToFile(const char *path);

/* ---- Files --------------------------------------------------------------------------------- */

/* ---- Images and graphs ---------------------------------------------------------------------- */

/* The color key of graphs made from now on (keyed pixels are left out by draws with transparency);
 * black after start-up. Always 0. */
int SetTransparentColor(int red, int green, int blue);
/* A graph of an image file (a file "name_a.ext" beside it, when present, gives its alpha), or -1. */
int LoadGraphFile(const char *path, int flag);
/* Cuts the image file into cellCount graphs, row by row, into handles: 0, or -1. */
int LoadDividedGraphFile(const char *path, int cellCount, int cellsAcross, int cellsDown, int cellWidth,
                         int cellHeight, int *handles, int flag);
int ReleaseGraph(int handle);                     /* 0, or -1 for an invalid handle */

/* ---- Drawing graphs ------------------------------------------------------------------------- */

/* The graph drawing operations return 0, or -1 for an invalid handle or a blend image smaller than
 * the graph; an empty draw area draws nothing and gives 0. trans 1 leaves out the keyed pixels (or
 * uses the alpha channel). */
int DrawGraphAt(int x, int y, int handle, int trans);
/* Reversed corners mirror the picture on that axis. */
int DrawGraphStretched(int x1, int y1, int x2, int y2, int handle, int trans);
int DrawGraphMirrored(int x, int y, int handle, int trans);
/* Corners of the picture's top-left, top-right, bottom-right and bottom-left. */
int DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int handle,
                  int trans);
int DrawGraphPart(int x, int y, int srcX, int srcY, int width, int height, int handle, int trans, int mirror);
int DrawGraphPartStretched(int x1, int y1, int x2, int y2, int srcX, int srcY, int srcWidth, int srcHeight,
                           int handle, int trans);
/* Fills the graph under the blend mode and brightness; alpha is not used by the software renderer. */
int FillGraphColor(int handle, int red, int green, int blue, int alpha);
/* Copies (x1, y1)-(x2, y2) of the draw target into a graph of exactly that size. */
int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int handle);
/* A blend graph's weights, shaped by the border position and range (0..255), mix every graph draw;
 * -1 turns it off. */
int SetBlendImage(int handle, int position, int range);

/* ---- Fonts and strings ---------------------------------------------------------------------- */

/* Font types: bit 0 draws an edge around each glyph, bit 1 anti-aliases. */
#define FONT_TYPE_NORMAL         0
#define FONT_TYPE_EDGE           1
#define FONT_TYPE_ANTIALIAS      2
#define FONT_TYPE_ANTIALIAS_EDGE 3

/* Character sets: 0 default, 1 Shift-JIS, 2 Hangul; -1 chooses from the system's code page. */
#define FONT_CHARSET_DEFAULT  0
#define FONT_CHARSET_SHIFTJIS 1
#define FONT_CHARSET_HANGUL   2

/* A font of a face (NULL or "": the default Japanese gothic) at a pixel height (-1: 16), thickness
 * 1..9 (-1: 6; 6 and more draw bold), type (-1: FONT_TYPE_NORMAL), character set (-1: choose),
 * edge size (-1: 1; above 1 turns the edge on) and italic flag, in a slot (-1: the first free one of
 * 40) with a check number (-1: the next one). The handle, or -1. */
int CreateFontToHandle(const char *faceName, int size, int thickness, int fontType, int charSet, int edgeSize,
                       int italic, int slot, int check);
int DeleteFontHandle(int fontHandle);            /* 0, or -1 for an invalid handle */
int IsFontHandleValid(int fontHandle);           /* 1 or 0 */
int GetFontSize(int fontHandle);                 /* the size, or -1 */
/* The face name (into a buffer of at least 256 bytes), size and thickness; each pointer may be NULL. */
int GetFontInfo(char *faceName, int *size, int *thickness, int fontHandle);
int SetFontCharSpacing(int spacing, int fontHandle);   /* extra advance in pixels per character */
/* notice (may be NULL) becomes 0 now and 1 when the font is deleted. */
int SetFontDeleteNotice(int fontHandle, int *notice);
int GetDefaultFontHandle(void);
/* The default font that DrawStringAt and DrawFormattedString use; a change re-creates it. */
int SetDefaultFontSize(int size);                /* -1: 16 */
int SetDefaultFontType(int fontType);            /* -1: FONT_TYPE_NORMAL */
int SetDefaultFontSizeThickness(const char *faceName, int size, int thickness);  /* the name is ignored */
int RefreshDefaultFont(void);
int ReinitFonts(void);                           /* every font deleted, the default one re-created */
int RecreateAllFonts(void);                      /* every font re-made with the same handle */

/* Draws a Shift-JIS string with its top-left corner at (x, y), in a screen color (MakeColor), the
 * edge in edgeColor for edged fonts. 0; -1 for an invalid handle. No byte is a control code. */
int DrawStringWithFont(int x, int y, const char *text, uint32_t color, int fontHandle, uint32_t edgeColor);
int DrawStringAt(int x, int y, const char *text, uint32_t color, uint32_t edgeColor);  /* default font */
/* printf-style text (at most 2047 bytes, longer output is cut) in the default font, edge color 0. */
int DrawFormattedString(int x, int y, uint32_t color, const char *format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 4, 5)))
#endif
    ;

/* ---- Sound ---------------------------------------------------------------------------------- */

/* Play types of StartSound. Any other value plays once and returns at once. */
#define PLAY_WAIT       0                        /* play once, return when it has finished */
#define PLAY_BACKGROUND 1                        /* play once, return at once */
#define PLAY_LOOP       3                        /* play looping, return at once */

/* Sounds are WAV (PCM, IMA/MS ADPCM, mu-law, A-law), Ogg Vorbis or MP3 files, decoded whole at load.
 * bufferCount copies of a sound may play over each other (at most 10); streamArgument is -1. */
int LoadSoundFile(const char *path, int bufferCount, int streamArgument);   /* handle or -1 */
int CreateSoundFromMemory(const void *image, int size, int bufferCount, int streamArgument);
int StartSound(int handle, int playType, int top); /* top 1: from the start */
int IsSoundPlaying(int handle);                  /* 1 playing, 0 not, -1 invalid handle */
int StopSound(int handle);
int SetSoundVolume(int volume, int handle);      /* volume 0..255 */
int DeleteSoundHandle(int handle);
int DeleteAllSounds(void);

#ifdef __cplusplus
}
#endif

#endif
