// The per-kind handle tables: allocation, validation and release of slots, and the handle list.
#include "core/handles.h"

#include "core/log.h"
#include "zqlib.h"

namespace zq {
namespace {

struct HandleTable {
    HandleKind kind;
    int size;
    void **slots;
    int count;
    int next;          // one past the highest slot in use; the size once the top was reached
    int checkCounter;  // the next check value
};

void *graphSlots[kGraphTableSize];
void *soundSlots[kSoundTableSize];
void *fontSlots[kFontTableSize];

HandleTable graphTable = {HandleKind::Graph, kGraphTableSize, graphSlots, 0, 0, 0};
HandleTable soundTable = {HandleKind::Sound, kSoundTableSize, soundSlots, 0, 0, 0};
HandleTable fontTable = {HandleKind::Font, kFontTableSize, fontSlots, 0, 0, 0};

HandleTable *TableOf(HandleKind kind) {
    switch (kind) {
    case HandleKind::Graph: return &graphTable;
    case HandleKind::Sound: return &soundTable;
    case HandleKind::Font: return &fontTable;
    default: return nullptr;
    }
}

int TakeCheckValue(HandleTable &table) {
    const int check = table.checkCounter;
    table.checkCounter = (table.checkCounter + 1) % kCheckValueLimit;
    return check;
}

// The slot for a new record by the high-water mark: the next one, or the first free slot once the
// top has been reached.
int HighWaterSlot(const HandleTable &table) {
    if (table.next < table.size) return table.next;
    for (int slot = 0; slot < table.size; ++slot) {
        if (table.slots[slot] == nullptr) return slot;
    }
    return -1;
}

// A graph record holds its check value and then its own handle.
constexpr int kGraphRecordMinimum = 2 * static_cast<int>(sizeof(int));

[[noreturn]] void ExitWithMessage(const char *utf8) {
    char message[256];
    Utf8ToShiftJis(utf8, message, sizeof message);
    ErrorExit(message);
}

void *NewRecord(int recordSize) {
    const int size = recordSize < static_cast<int>(sizeof(HandleRecordHeader)) ? static_cast<int>(sizeof(HandleRecordHeader)) : recordSize;
    return TrackedAllocZero(size, "", 0);
}

}  // namespace

int AllocateGraphHandle(int recordSize) {
    HandleTable &table = graphTable;
    if (table.count == table.size) ExitWithMessage("グラフィックの数が許容量を越えました終了します");
    const int slot = HighWaterSlot(table);
    void *record = NewRecord(recordSize < kGraphRecordMinimum ? kGraphRecordMinimum : recordSize);
    if (record == nullptr) ExitWithMessage("メモリの確保に失敗しました");
    const int check = TakeCheckValue(table);
    table.slots[slot] = record;
    table.count += 1;
    if (slot == table.next) table.next += 1;
    const int handle = MakeHandle(HandleKind::Graph, slot, check);
    static_cast<int *>(record)[0] = check;
    static_cast<int *>(record)[1] = handle;
    return handle;
}

int AllocateSoundHandle(int recordSize, int wanted) {
    HandleTable &table = soundTable;
    const bool recreate = wanted >= 0 && HandleSlot(wanted) < table.size && table.slots[HandleSlot(wanted)] == nullptr;
    int slot;
    if (recreate) {
        slot = HandleSlot(wanted);
    } else {
        if (table.count == table.size) return LogText("サウンドの数が許容量を越えました\n");
        slot = HighWaterSlot(table);
    }
    void *record = NewRecord(recordSize);
    if (record == nullptr) return LogText("メモリ領域の確保に失敗しました in AddSoundData");
    const int check = recreate ? HandleCheck(wanted) : TakeCheckValue(table);
    table.slots[slot] = record;
    table.count += 1;
    if (!recreate && slot == table.next) table.next += 1;
    if (slot + 1 > table.next) table.next = slot + 1;
    if (table.count > table.next) table.next = table.count;
    static_cast<int *>(record)[0] = check;
    return recreate ? wanted : MakeHandle(HandleKind::Sound, slot, check);
}

int AllocateFontHandle(int recordSize, int wantedSlot, int wantedCheck) {
    HandleTable &table = fontTable;
    int slot = wantedSlot;
    if (slot < 0) {
        for (slot = 0; slot < table.size && table.slots[slot] != nullptr; ++slot) {
        }
        if (slot == table.size) return LogLine("作成できるフォントハンドル数 %d の限界を超えました", kFontTableSize);
    } else if (slot >= table.size || table.slots[slot] != nullptr) {
        return -1;
    }
    void *record = NewRecord(recordSize);
    if (record == nullptr) return -1;
    const int check = wantedCheck >= 0 ? wantedCheck % kCheckValueLimit : TakeCheckValue(table);
    table.slots[slot] = record;
    table.count += 1;
    static_cast<int *>(record)[0] = check;
    return MakeHandle(HandleKind::Font, slot, check);
}

void *ValidateHandle(int handle, HandleKind kind) {
    const HandleTable *table = TableOf(kind);
    if (table == nullptr || handle < 0) return nullptr;
    if (((handle >> 27) & 0xF) != static_cast<int>(kind)) return nullptr;
    const int slot = HandleSlot(handle);
    if (slot >= table->size) return nullptr;
    void *record = table->slots[slot];
    if (record == nullptr) return nullptr;
    if ((static_cast<HandleRecordHeader *>(record)->check << 16) != (handle & 0x07FF0000)) return nullptr;
    return record;
}

bool ReleaseHandle(int handle, HandleKind kind) {
    void *record = ValidateHandle(handle, kind);
    if (record == nullptr) return false;
    HandleTable &table = *TableOf(kind);
    const int slot = HandleSlot(handle);
    TrackedFree(record);
    table.slots[slot] = nullptr;
    table.count -= 1;
    if (kind != HandleKind::Font && slot == table.next - 1) {
        if (table.count == 0) {
            table.next = 0;
        } else {
            while (table.next > 0 && table.slots[table.next - 1] == nullptr) table.next -= 1;
        }
    }
    return true;
}

void *HandleRecordAt(HandleKind kind, int slot) {
    const HandleTable *table = TableOf(kind);
    if (table == nullptr || slot < 0 || slot >= table->size) return nullptr;
    return table->slots[slot];
}

int HandleTableSize(HandleKind kind) {
    const HandleTable *table = TableOf(kind);
    return table != nullptr ? table->size : 0;
}

int HandleCount(HandleKind kind) {
    const HandleTable *table = TableOf(kind);
    return table != nullptr ? table->count : 0;
}

int HandleHighWaterMark(HandleKind kind) {
    const HandleTable *table = TableOf(kind);
    return table != nullptr ? table->next : 0;
}

void ResetGraphTable() {
    graphTable.count = 0;
    graphTable.next = 0;
    for (void *&slot : graphSlots) slot = nullptr;
}

int HandleListInit(HandleListNode *head, HandleListNode *tail) {
    *head = {-1, nullptr, nullptr, tail};
    *tail = {-1, nullptr, head, nullptr};
    return 0;
}

int HandleListAdd(HandleListNode *head, HandleListNode *node, int handle, void *data) {
    node->handle = handle;
    node->data = data;
    node->prev = head;
    node->next = head->next;
    head->next->prev = node;
    head->next = node;
    return 0;
}

int HandleListRemove(HandleListNode *node) {
    node->prev->next = node->next;
    node->next->prev = node->prev;
    node->prev = nullptr;
    node->next = nullptr;
    return 0;
}

}  // namespace zq
