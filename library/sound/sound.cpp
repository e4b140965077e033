// Sound handles and playback: start-up of the host's audio device with a silent looping buffer,
// loading a sound by decoding it whole into one sound buffer plus duplicates (so the same sound
// can overlap itself), starting with buffer rotation, polling, stopping, volume, deletion.
//
// Relies on the host's audio service (platform/host.h), the converter for decoding, the file
// layer for reading files, and the handle tables. Without an audio device every operation fails
// and the program runs silent.
#include "sound/sound.h"

#include "zqlib.h"
#include "core/file_stream.h"
#include "core/handles.h"
#include "core/log.h"
#include "core/window.h"
#include "platform/host.h"
#include "platform/sjis.h"
#include "sound/converter.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zq {

namespace {

constexpr int kSilentBufferBytes = 400;  // 100 frames of 16-bit stereo
constexpr int kMaxVolume = 255;

struct SoundState {
    bool open;
    int silentBuffer;
    int dataType;
    int streamSampleSize;
    HandleListNode streamHead, streamTail;
};

SoundState &State() {
    static SoundState state;
    return state;
}

// Writes a formatted UTF-8 text as it is (the format carries its own line feeds).
void LogFormat(const char *utf8Format, ...) __attribute__((format(printf, 1, 2)));
void LogFormat(const char *utf8Format, ...) {
    char text[512];
    va_list args;
    va_start(args, utf8Format);
    std::vsnprintf(text, sizeof text, utf8Format, args);
    va_end(args);
    LogText(text);
}

// The Shift-JIS path in UTF-8, for the log.
struct PathText {
    explicit PathText(const char *sjis) { SjisToUtf8(sjis, text, sizeof text); }
    char text[kFilePathSize * 3];
};

SoundRecord *Record(int handle) {
    if (!State().open) return nullptr;
    return static_cast<SoundRecord *>(ValidateHandle(handle, HandleKind::Sound));
}

const char *OkOrNo(bool ok) { return ok ? "OK" : "NO"; }

void CreateSilentBuffer() {
    Host &host = ActiveHost();
    SoundState &s = State();
    const SoundBufferFormat format = {2, kMixerRate, 16};
    s.silentBuffer = host.CreateSoundBuffer(format, kSilentBufferBytes);
    if (s.silentBuffer == 0) {
        LogLine("無音バッファの作成に失敗しました");
        return;
    }
    void *part1 = nullptr, *part2 = nullptr;
    int size1 = 0, size2 = 0;
    if (!host.LockSoundBuffer(s.silentBuffer, 0, kSilentBufferBytes, &part1, &size1, &part2, &size2)) {
        LogLine("無音バッファのロックに失敗しました");
        host.ReleaseSoundBuffer(s.silentBuffer);
        s.silentBuffer = 0;
        return;
    }
    std::memset(part1, 0, static_cast<size_t>(size1));
    if (part2 != nullptr) std::memset(part2, 0, static_cast<size_t>(size2));
    host.UnlockSoundBuffer(s.silentBuffer);
    host.PlaySoundBuffer(s.silentBuffer, true);
}

void LogDevicesAndCapabilities() {
    LogText("DirectSound デバイスを列挙します\n");
    RaiseLogIndent();
    AudioDeviceInfo device;
    for (int index = 0; ActiveHost().AudioDeviceAt(index, &device); ++index) {
        LogLine("モジュール名:%15s  ドライバ記述:%s ", device.module, device.description);
    }
    // The mixer takes any rate in its range, 8 or 16 bits, mono or stereo; the device itself runs
    // 16-bit stereo. Sound data lives in main memory: there is no separate sound memory.
    LogLine("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ", kMaxBufferFrequency / 1000.0,
            kMinBufferFrequency / 1000.0);
    LogFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", 0.0, 0.0);
    LogText("利用可能サンプリング精度\n");
    LogLine(" プライマリ １６bit = %s  ８bit = %s ", OkOrNo(true), OkOrNo(false));
    LogFormat(" セカンダリ １６bit = %s  ８bit = %s \n", OkOrNo(true), OkOrNo(true));
    LogText("利用可能チャンネル\n");
    LogLine(" プライマリ MONO = %s  STEREO = %s ", OkOrNo(false), OkOrNo(true));
    LogFormat(" セカンダリ MONO = %s  STEREO = %s \n", OkOrNo(true), OkOrNo(true));
    LowerLogIndent();
}

// Copies the record's PCM data into one buffer.
bool FillBuffer(int buffer, const void *pcm, int size) {
    Host &host = ActiveHost();
    void *part1 = nullptr, *part2 = nullptr;
    int size1 = 0, size2 = 0;
    if (!host.LockSoundBuffer(buffer, 0, size, &part1, &size1, &part2, &size2)) {
        LogLine("サウンドデータの転送に失敗しました_1");
        return false;
    }
    std::memcpy(part1, pcm, static_cast<size_t>(size1));
    if (part2 != nullptr) std::memcpy(part2, static_cast<const uint8_t *>(pcm) + size1, static_cast<size_t>(size2));
    if (!host.UnlockSoundBuffer(buffer)) {
        LogLine("サウンドデータの転送に失敗しました_2");
        return false;
    }
    return true;
}

[[noreturn]] void ExitWithMessage(const char *utf8) {
    char message[256];
    Utf8ToShiftJis(utf8, message, sizeof message);
    ErrorExit(message);
}

}  // namespace

int VolumeToAttenuation(int volume) {
    if (volume > kMaxVolume) volume = kMaxVolume;
    if (volume <= 0) return kSilentVolume;
    const int attenuation = static_cast<int>(std::trunc(std::log10(volume / 255.0) * 10.0 * 100.0));
    return attenuation < kSilentVolume ? kSilentVolume : attenuation;
}

bool IsSoundOpen() { return State().open; }
void SetSoundDataType(int type) { State().dataType = type; }
int SoundDataType() { return State().dataType; }

int InitSound() {
    SoundState &s = State();
    if (s.open) return -1;
    LogText("DirectSound の初期化を行います\n");
    LogText("DirectSound インターフェースの取得を行います....  ");
    if (!ActiveHost().OpenAudioDevice()) {
        LogText("DirectSoundインターフェースの作成に失敗しました\n");
        return -1;
    }
    LogText("成功\n");
    LogText("引き続きインターフェースの初期化処理...  ");
    LogText("成功\n");
    s.open = true;
    CreateSilentBuffer();
    s.dataType = 0;
    s.streamSampleSize = 2;
    HandleListInit(&s.streamHead, &s.streamTail);
    LogDevicesAndCapabilities();
    LogText("DirectSound の初期化は正常に終了しました\n");
    for (int slot = 0; slot < kSoundTableSize; ++slot) {
        if (auto *record = static_cast<SoundRecord *>(HandleRecordAt(HandleKind::Sound, slot))) {
            DeleteSoundHandle(MakeHandle(HandleKind::Sound, slot, record->check));
        }
    }
    return 0;
}

int EndSound() {
    SoundState &s = State();
    if (!s.open) return -1;
    DeleteAllSounds();
    Host &host = ActiveHost();
    if (s.silentBuffer != 0) {
        host.StopSoundBuffer(s.silentBuffer);
        host.ReleaseSoundBuffer(s.silentBuffer);
        s.silentBuffer = 0;
    }
    host.CloseAudioDevice();
    s.open = false;
    LogText("DirectSound の終了処理は正常に終了しました\n");
    return 0;
}

void StepSoundStreams() {}

int AddSoundData(int handle) { return AllocateSoundHandle(static_cast<int>(sizeof(SoundRecord)), handle); }

}  // namespace zq

using namespace zq;

extern "C" int LoadSoundFile(const char *path, int bufferCount, int streamArgument) {
    (void)streamArgument;  // only streamed loads use it
    if (!State().open || path == nullptr) return -1;
    if (bufferCount > kMaxBuffersPerSound) bufferCount = kMaxBuffersPerSound;
    const uint32_t file = FileOpen(path, 0, 0, 0);
    if (file == 0) {
        LogLine("右記のファイルのオープンに失敗しました：%s", PathText(path).text);
        LogLine("右記の音声ファイルのロードに失敗しました_1：%s", PathText(path).text);
        return -1;
    }
    FileSeek(file, 0, 2);
    const int32_t size = FileTell(file);
    FileSeek(file, 0, 0);
    void *image = size > 0 ? TrackedAlloc(size, "", 0) : nullptr;
    if (image == nullptr) {
        FileClose(file);
        LogLine("右記のファイルのロードに必要なメモリの確保に失敗しました：%s", PathText(path).text);
        LogLine("右記の音声ファイルのロードに失敗しました_1：%s", PathText(path).text);
        return -1;
    }
    const int32_t got = static_cast<int32_t>(FileRead(image, 1, static_cast<size_t>(size), file));
    FileClose(file);
    const int handle = CreateSoundFromMemory(image, got, bufferCount, -1);
    if (handle == -1) LogLine("右記の音声ファイルのロードに失敗しました_2：%s", PathText(path).text);
    TrackedFree(image);
    return handle;
}

extern "C" int CreateSoundFromMemory(const void *image, int size, int bufferCount, int streamArgument) {
    (void)streamArgument;
    if (!State().open || bufferCount > kMaxBuffersPerSound || image == nullptr || size <= 0) return -1;
    if (bufferCount < 1) bufferCount = 1;
    const int handle = AddSoundData(-1);
    if (handle == -1) return -1;
    SoundRecord *record = Record(handle);

    MemoryStream *stream = CreateMemoryStream(image, size);
    SoundConverter converter;
    if (stream == nullptr || SetupSoundConverter(MemorySource(stream), &converter) != 0) {
        LogLine("音声ファイルのＰＣＭへの変換に失敗しました");
        if (stream != nullptr) GetMemoryStreamOps().Close(stream);
        DeleteSoundHandle(handle);
        return -1;
    }
    SoundFormat format;
    void *pcm = nullptr;
    int pcmSize = 0;
    const int converted = ConvertWholeSound(&converter, &format, &pcm, &pcmSize);
    EndSoundConverter(&converter);
    GetMemoryStreamOps().Close(stream);
    if (converted != 0) {
        LogLine("音声ファイルを格納するメモリ領域の確保に失敗しました");
        DeleteSoundHandle(handle);
        return -1;
    }
    // A sound without one whole frame has nothing to play, and a format no buffer takes (a rate
    // outside the mixer's range) would end the program below: both count as failed conversions.
    const bool playable = format.channels >= 1 && format.channels <= 2 &&
                          (format.bitsPerSample == 8 || format.bitsPerSample == 16) &&
                          format.sampleRate >= static_cast<uint32_t>(kMinBufferFrequency) &&
                          format.sampleRate <= static_cast<uint32_t>(kMaxBufferFrequency);
    if (!playable || pcmSize < format.blockAlign) {
        LogLine("音声ファイルのＰＣＭへの変換に失敗しました");
        TrackedFree(pcm);
        DeleteSoundHandle(handle);
        return -1;
    }
    pcmSize -= pcmSize % format.blockAlign;

    Host &host = ActiveHost();
    const SoundBufferFormat bufferFormat = {format.channels, static_cast<int>(format.sampleRate), format.bitsPerSample};
    const int first = host.CreateSoundBuffer(bufferFormat, pcmSize);
    if (first == 0) {
        TrackedFree(pcm);
        ExitWithMessage("DirectSoundBuffer の作成に失敗しました");
    }
    record->buffers[0] = SoundBufferEntry{1, first};
    int made = 1;
    while (made < bufferCount) {
        const int copy = host.DuplicateSoundBuffer(first);
        if (copy == 0) break;
        record->buffers[made++] = SoundBufferEntry{1, copy};
    }
    record->bufferCount = made;
    record->format = format;
    record->pcmSize = pcmSize;
    record->pcm = pcm;
    record->kind = kSoundInMemory;
    // Duplicates share the data of the first buffer, so filling it fills them all.
    if (!FillBuffer(first, pcm, pcmSize)) {
        DeleteSoundHandle(handle);
        return -1;
    }
    return handle;
}

extern "C" int StartSound(int handle, int playType, int top) {
    SoundRecord *record = Record(handle);
    if (record == nullptr) return -1;
    Host &host = ActiveHost();
    int position = 0;
    host.GetSoundBufferPosition(record->buffers[record->currentIndex].buffer, &position);
    record->currentIndex = (record->currentIndex + 1) % record->bufferCount;
    const int buffer = record->buffers[record->currentIndex].buffer;
    const int status = host.SoundBufferStatus(buffer);
    if (status < 0) return -1;
    if (status & kBufferPlaying) {
        if (top == 0) return 0;
        host.StopSoundBuffer(buffer);
    }
    host.SetSoundBufferPosition(buffer, top == 1 ? 0 : position);
    if (!host.PlaySoundBuffer(buffer, playType == PLAY_LOOP)) return -1;
    record->startTime = GetMillisecondCount();
    if (playType == PLAY_WAIT) {
        while (ProcessMessagesBody() == 0 && IsSoundPlaying(handle) == 1) host.Sleep(1);
    }
    return 0;
}

extern "C" int IsSoundPlaying(int handle) {
    SoundRecord *record = Record(handle);
    if (record == nullptr) return -1;
    for (int i = 0; i < record->bufferCount; ++i) {
        const int status = ActiveHost().SoundBufferStatus(record->buffers[i].buffer);
        if (status > 0 && (status & kBufferPlaying)) return 1;
    }
    return 0;
}

extern "C" int StopSound(int handle) {
    SoundRecord *record = Record(handle);
    if (record == nullptr) return -1;
    Host &host = ActiveHost();
    for (int i = 0; i < record->bufferCount; ++i) {
        const int status = host.SoundBufferStatus(record->buffers[i].buffer);
        if (status < 0) return -1;
        if (status & kBufferPlaying) host.StopSoundBuffer(record->buffers[i].buffer);
    }
    return 0;
}

extern "C" int SetSoundVolume(int volume, int handle) {
    SoundRecord *record = Record(handle);
    if (record == nullptr) return -1;
    const int attenuation = VolumeToAttenuation(volume);
    for (int i = 0; i < record->bufferCount; ++i) ActiveHost().SetSoundBufferVolume(record->buffers[i].buffer, attenuation);
    return 0;
}

extern "C" int DeleteSoundHandle(int handle) {
    SoundRecord *record = Record(handle);
    if (record == nullptr) return -1;
    for (int i = 0; i < kMaxBuffersPerSound; ++i) {
        if (record->buffers[i].inUse) ActiveHost().ReleaseSoundBuffer(record->buffers[i].buffer);
    }
    TrackedFree(record->pcm);
    ReleaseHandle(handle, HandleKind::Sound);
    return 0;
}

extern "C" int DeleteAllSounds(void) {
    if (!State().open) return -1;
    for (int slot = 0; slot < kSoundTableSize; ++slot) {
        if (auto *record = static_cast<SoundRecord *>(HandleRecordAt(HandleKind::Sound, slot))) {
            DeleteSoundHandle(MakeHandle(HandleKind::Sound, slot, record->check));
        }
    }
    return 0;
}
