// Fuzz target for the sound converter: every input is set up as a sound from a memory stream and
// converted whole, as loading a sound does; an accepted input is then read again after seeks, as
// streaming does. The converted size must stay within what the readers may allocate, and every
// tracked block must be given back afterwards.
//
// Not part of the default build. With clang and libFuzzer, from the repository root after a
// plain build in build/ (the converter and the codecs are compiled again here, instrumented; the
// archive supplies the rest):
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
//     -Ilibrary -Ilibrary/include fuzz/sound_fuzz.cpp library/sound/converter.cpp
//     library/platform/codec_*.cpp build/libzqlib.a $(pkg-config --cflags --libs vorbisfile
//     libmpg123 sdl2 freetype2 fontconfig libpng libjpeg) -lpthread -o sound_fuzzer
//   ./sound_fuzzer -max_len=8192 -rss_limit_mb=1024 -malloc_limit_mb=64 fuzz/corpus/sound
// (the first command is one line; -fno-sanitize-recover makes an undefined-behaviour report a crash that libFuzzer keeps.)
// The seed corpus holds one small file of each kind the converter reads (PCM, ADPCM, G.711 WAV,
// MPEG-1 and MPEG-2 Layer III with ID3 tags, Ogg Vorbis) and a few broken ones; the MP3 seeds
// were made with lame at low bit rates.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/file_stream.h"
#include "sound/converter.h"
#include "zqlib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0 || size > (1u << 24)) return 0;
    int blocksBefore = 0;
    GetAllocationTotals(nullptr, &blocksBefore);

    zq::MemoryStream *stream = zq::CreateMemoryStream(data, static_cast<int32_t>(size));
    if (stream == nullptr) return 0;
    zq::SoundConverter converter;
    if (zq::SetupSoundConverter(zq::MemorySource(stream), &converter) == 0) {
        zq::SoundFormat format{};
        zq::GetConverterFormat(&converter, &format);
        if (format.formatTag != zq::kFormatPcm || format.channels < 1 || format.channels > 2 || format.blockAlign == 0) {
            std::abort();
        }
        // No reader may promise far more sound than the input can hold (Ogg adds a second of
        // head-room; MP3 gives at most 96 bytes of PCM per byte).
        if (zq::GetConvertedSize(&converter) > 1024 * static_cast<int64_t>(size) + 44100 * 4) std::abort();
        void *pcm = nullptr;
        int pcmSize = 0;
        if (zq::ConvertWholeSound(&converter, &format, &pcm, &pcmSize) == 0) {
            if (pcmSize < 0) std::abort();
            volatile uint8_t sink = 0;
            for (int i = 0; i < pcmSize; ++i) sink = sink ^ static_cast<const uint8_t *>(pcm)[i];
            TrackedFree(pcm);
        }
        // Streaming: into the middle, a little, back to the start, a little.
        uint8_t piece[4096];
        const int frames = pcmSize / format.blockAlign;
        zq::SeekSoundConverter(&converter, frames / 2);
        zq::ReadConvertedSound(&converter, piece, sizeof piece);
        zq::SeekSoundConverter(&converter, 0);
        zq::ReadConvertedSound(&converter, piece, sizeof piece);
        zq::EndSoundConverter(&converter);
    }
    zq::GetMemoryStreamOps().Close(stream);

    int blocksAfter = 0;
    GetAllocationTotals(nullptr, &blocksAfter);
    if (blocksAfter != blocksBefore) std::abort();  // a reader kept a block
    return 0;
}
