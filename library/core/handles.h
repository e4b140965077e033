// The handle scheme: every object a program receives is a 32-bit handle holding its kind, a check
// value that tells a stale handle from a live one, and the slot of its record in the kind's table.
//
//   bit 31       always 0 (-1 means no handle)
//   bits 27..30  kind
//   bits 16..26  check value, 0..2047
//   bits 0..15   slot
//
// Graph and sound slots are handed out by a high-water mark (slots freed below the top are reused
// only once the top has reached the table's end); font slots are the first free ones. Every record
// begins with its check value.
#pragma once

namespace zq {

enum class HandleKind {
    Graph = 1,
    Sound = 2,
    Movie = 3,
    Font = 4,
    Network = 9,
    TextInput = 10,
    SoftwareImage = 14,
};

constexpr int kGraphTableSize = 32768;
constexpr int kSoundTableSize = 4096;
constexpr int kFontTableSize = 40;
constexpr int kCheckValueLimit = 2048;

// The part every record starts with.
struct HandleRecordHeader {
    int check;
};

constexpr int MakeHandle(HandleKind kind, int slot, int check) {
    return slot | ((check | (static_cast<int>(kind) << 11)) << 16);
}
constexpr int HandleSlot(int handle) { return handle & 0xFFFF; }
constexpr int HandleCheck(int handle) { return (handle >> 16) & 0x7FF; }

// A new graph record of recordSize bytes (zeroed, check filled in, the handle stored as its second
// int). The table's limit and a failed allocation end the process.
int AllocateGraphHandle(int recordSize);
// A new sound record; wanted -1 asks for a new handle, a wanted handle whose slot is free is
// re-created as it was. -1 with a log line when the table is full or memory runs out.
int AllocateSoundHandle(int recordSize, int wanted);
// A new font record in the wanted slot (-1: the first free one) with the wanted check (-1: the
// next one). -1 when the slot is taken or none is free (logged).
int AllocateFontHandle(int recordSize, int wantedSlot, int wantedCheck);

// The record of a live handle of this kind, or nullptr for an invalid, stale or foreign handle.
void *ValidateHandle(int handle, HandleKind kind);
// Frees the record of a live handle and gives its slot back; false for an invalid handle.
bool ReleaseHandle(int handle, HandleKind kind);
// Slot by slot access for operations over all records of a kind: the record or nullptr.
void *HandleRecordAt(HandleKind kind, int slot);
int HandleTableSize(HandleKind kind);
int HandleCount(HandleKind kind);
int HandleHighWaterMark(HandleKind kind);
// Graphics start: the graph table forgets its slots (their records must be released already).
void ResetGraphTable();

// An intrusive list of handles between two sentinels, newest first.
struct HandleListNode {
    int handle;
    void *data;
    HandleListNode *prev;
    HandleListNode *next;
};
int HandleListInit(HandleListNode *head, HandleListNode *tail);
int HandleListAdd(HandleListNode *head, HandleListNode *node, int handle, void *data);
int HandleListRemove(HandleListNode *node);

}  // namespace zq
