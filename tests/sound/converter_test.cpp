// The sound converter: each reader against files built here or decoded by an independent tool,
// the MP3 frame scan with its tags, block reads and seeks.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "sound_test_support.h"
#include "zqlib.h"

using namespace soundtest;

namespace {

std::vector<int16_t> RawSamples(const char *name) {
    const Bytes raw = DataFile(name);
    return BytesToSamples(raw.data(), raw.size());
}

int MaxDifference(const std::vector<int16_t> &a, const std::vector<int16_t> &b) {
    int worst = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

std::string TempPath(const std::string &name) {
    return std::filesystem::temp_directory_path() / ("zq_sound_" + std::to_string(getpid()) + "_" + name);
}

// The reference decode of an MP3 file by the lame command, without its header (lame writes a
// plain 44-byte header); empty when lame is not installed.
std::vector<int16_t> LameDecodeFile(const std::string &mp3) {
    if (!std::filesystem::exists("/usr/bin/lame")) return {};
    const std::string out = TempPath("ref.wav");
    const std::string command = "/usr/bin/lame --quiet --decode '" + mp3 + "' '" + out + "'";
    if (std::system(command.c_str()) != 0) return {};
    const Bytes wav = ReadFile(out);
    std::filesystem::remove(out);
    return wav.size() < 44 ? std::vector<int16_t>{} : BytesToSamples(wav.data() + 44, wav.size() - 44);
}
std::vector<int16_t> LameDecode(const char *asset) { return LameDecodeFile(SourceDir() + "/assets/GAZUMO/" + asset); }

// A WAV file encoded to MP3 by the lame command with the given options; empty without lame.
Bytes LameEncode(const Bytes &wav, const std::string &options) {
    if (!std::filesystem::exists("/usr/bin/lame")) return {};
    const std::string in = TempPath("source.wav"), out = TempPath("encoded.mp3");
    std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char *>(wav.data()), static_cast<std::streamsize>(wav.size()));
    const std::string command = "/usr/bin/lame --quiet " + options + " '" + in + "' '" + out + "'";
    const Bytes mp3 = std::system(command.c_str()) == 0 ? ReadFile(out) : Bytes{};
    std::filesystem::remove(in);
    std::filesystem::remove(out);
    return mp3;
}

// Two tones, left and right, of `frames` frames.
std::vector<int16_t> TwoTones(int frames, int rate) {
    std::vector<int16_t> s;
    for (int i = 0; i < frames; ++i) {
        s.push_back(static_cast<int16_t>(std::lround(9000 * std::sin(2 * M_PI * 440.0 * i / rate))));
        s.push_back(static_cast<int16_t>(std::lround(7000 * std::sin(2 * M_PI * 1250.0 * i / rate))));
    }
    return s;
}

}  // namespace

TEST(PcmWaveReader, ReadsTheDataOfEachLayout) {
    const std::vector<int16_t> samples = Sine(300, 2, 0.01, 12000);
    const Bytes data = SamplesToBytes(samples);
    const Bytes odd = {1, 2, 3};
    struct Case {
        const char *name;
        Bytes file;
        int channels, bits;
    } cases[] = {
        {"plain", Riff({{"fmt ", FormatBody(1, 2, 22050, 16)}, {"data", data}}), 2, 16},
        // A 16-byte format chunk whose bits field is wrong: bits come from block align and channels.
        {"short format chunk", Riff({{"fmt ", FormatBody(1, 2, 22050, 0, 16, 4)}, {"data", data}}), 2, 16},
        {"LIST and odd chunk before data",
         Riff({{"fmt ", FormatBody(1, 2, 22050, 16)}, {"LIST", Bytes(10, 'x')}, {"junk", odd}, {"data", data}}), 2, 16},
        {"8-bit mono", Riff({{"fmt ", FormatBody(1, 1, 8000, 8)}, {"data", data}}), 1, 8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryConverter converter(c.file);
        ASSERT_TRUE(converter.ok());
        EXPECT_EQ(converter.converter.kind, zq::kConverterPcm);
        EXPECT_EQ(zq::GetConvertedSize(&converter.converter), static_cast<int>(data.size()));
        EXPECT_EQ(converter.Whole(), samples);
        EXPECT_EQ(converter.format.formatTag, 1);
        EXPECT_EQ(converter.format.channels, c.channels);
        EXPECT_EQ(converter.format.bitsPerSample, c.bits);
        EXPECT_EQ(converter.format.extraSize, 0);
    }
}

TEST(PcmWaveReader, DataChunkLongerThanTheFileGivesWhatIsThere) {
    Bytes file = PcmWave(Sine(100, 1, 0.05, 1000), 1, 11025);
    file.resize(file.size() - 50);
    MemoryConverter converter(file);
    ASSERT_TRUE(converter.ok());
    EXPECT_EQ(converter.Whole().size(), 75u);
}

TEST(SoundConverter, RefusesWhatNoReaderTakes) {
    const Bytes data = SamplesToBytes(Sine(100, 1, 0.05, 1000));
    struct Case {
        const char *name;
        Bytes file;
    } cases[] = {
        {"second chunk is not fmt", Riff({{"LIST", Bytes(8, 0)}, {"fmt ", FormatBody(1, 1, 8000, 16)}, {"data", data}})},
        {"24-bit PCM", Riff({{"fmt ", FormatBody(1, 1, 8000, 24)}, {"data", data}})},
        {"no channels", Riff({{"fmt ", FormatBody(1, 0, 8000, 16, 18, 2)}, {"data", data}})},
        {"no data chunk", Riff({{"fmt ", FormatBody(1, 1, 8000, 16)}, {"LIST", data}})},
        {"unknown compression", Riff({{"fmt ", FormatBody(0x1234, 1, 8000, 4)}, {"data", data}})},
        {"text", Bytes(400, 'a')},
        {"short MP3-like bytes", Bytes{0xFF, 0xFB, 0x90, 0x00}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MemoryConverter converter(c.file);
        EXPECT_FALSE(converter.ok());
    }
}

TEST(CompressedWaveReader, DecodesLikeAnIndependentDecoder) {
    struct Case {
        const char *file, *reference;
        int formatTag, channels;
        int tolerance;
    } cases[] = {
        // IMA ADPCM has two step rules in use that round differently (bit by bit, as here, or
        // (2 * code + 1) * step / 8, as the reference decoder); the difference stays small.
        {"ima_stereo.wav", "ima_stereo.ref.raw", 0x11, 2, 64},
        {"ms_mono.wav", "ms_mono.ref.raw", 2, 1, 0},
        {"ms_stereo.wav", "ms_stereo.ref.raw", 2, 2, 0},
        {"mulaw_mono.wav", "mulaw_mono.ref.raw", 7, 1, 0},
        {"alaw_stereo.wav", "alaw_stereo.ref.raw", 6, 2, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        MemoryConverter converter(DataFile(c.file));
        ASSERT_TRUE(converter.ok());
        EXPECT_EQ(converter.converter.kind, zq::kConverterCodec);
        EXPECT_EQ(converter.converter.sourceFormat.formatTag, c.formatTag);
        const std::vector<int16_t> reference = RawSamples(c.reference);
        const std::vector<int16_t> decoded = converter.Whole();
        EXPECT_EQ(converter.format.channels, c.channels);
        EXPECT_EQ(converter.format.bitsPerSample, 16);
        EXPECT_EQ(decoded.size(), reference.size());
        EXPECT_LE(MaxDifference(decoded, reference), c.tolerance);
    }
}

TEST(CompressedWaveReader, ShortFinalBlockDecodesAsFarAsItGoes) {
    // Cut 500 bytes off the last 1024-byte block: 524 bytes remain, a header of 8 and 64 groups
    // of 8 bytes, which hold 1 + 64 * 8 frames.
    Bytes file = DataFile("ima_stereo.wav");
    MemoryConverter full(file);
    ASSERT_TRUE(full.ok());
    const std::vector<int16_t> reference = full.Whole();
    file.resize(file.size() - 500);
    MemoryConverter converter(file);
    ASSERT_TRUE(converter.ok());
    const std::vector<int16_t> decoded = converter.Whole();
    const size_t wholeBlocks = (reference.size() / 2 / 1017 - 1) * 1017;
    ASSERT_EQ(decoded.size(), 2 * (wholeBlocks + 1 + 64 * 8));
    EXPECT_EQ(MaxDifference(decoded, reference), 0);
}

TEST(OggVorbisReader, DecodesTo16BitPcmOfTheRealSize) {
    MemoryConverter converter(DataFile("vorbis_stereo.ogg"));
    ASSERT_TRUE(converter.ok());
    EXPECT_EQ(converter.converter.kind, zq::kConverterOgg);
    const std::vector<int16_t> reference = RawSamples("vorbis_stereo.ref.raw");
    const int bound = zq::GetConvertedSize(&converter.converter);
    const std::vector<int16_t> decoded = converter.Whole();
    EXPECT_EQ(converter.format.bitsPerSample, 16);
    EXPECT_EQ(converter.format.channels, 2);
    EXPECT_EQ(converter.format.sampleRate, 22050u);
    // The encoded signal was 0.3 s long; the reference decoder drops the last 256 frames.
    EXPECT_EQ(decoded.size(), 2u * 6615u);
    EXPECT_EQ(bound, static_cast<int>(2 * decoded.size()) + 2 * 2 * 44100);
    EXPECT_LE(MaxDifference(decoded, reference), 2);  // float rounding of two decoders
}

TEST(Mp3Reader, GameMusicDecodesGaplessLikeAnIndependentDecoder) {
    const std::vector<int16_t> reference = LameDecode("hushuu.mp3");
    if (reference.empty()) GTEST_SKIP() << "lame is not installed";
    MemoryConverter converter(AssetFile("hushuu.mp3"));
    ASSERT_TRUE(converter.ok());
    EXPECT_EQ(converter.converter.sourceFormat.formatTag, 0x55);
    const std::vector<int16_t> decoded = converter.Whole();
    EXPECT_EQ(decoded.size(), 2u * 1693440u);  // 38.400 s at 44100 Hz
    EXPECT_EQ(decoded.size(), reference.size());
    EXPECT_LE(MaxDifference(decoded, reference), 2);
}

TEST(Mp3Reader, TagsAtBothEndsAreSkipped) {
    const Bytes plain = AssetFile("hentai.mp3");
    Bytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x68};  // size 1000 in 7-bit groups
    tagged.resize(1010, 0xFF);  // a tag body of sync-like bytes must not be scanned
    tagged.insert(tagged.end(), plain.begin(), plain.end());
    Bytes v1(128, 0xFF);
    std::memcpy(v1.data(), "TAG", 3);
    tagged.insert(tagged.end(), v1.begin(), v1.end());

    MemoryConverter a(plain), b(tagged);
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE(b.ok());
    EXPECT_EQ(b.converter.dataStart, a.converter.dataStart + 1010);
    EXPECT_EQ(b.converter.dataSize, a.converter.dataSize);
    EXPECT_EQ(a.Whole(), b.Whole());
}

TEST(Mp3Reader, FrameHeadersParse) {
    struct Case {
        uint8_t bytes[4];
        int result, version, layer, bitrate, rate, padding, channels, length, samples;
    } cases[] = {
        {{0xFF, 0xFB, 0x90, 0x00}, 0, 1, 3, 128, 44100, 0, 2, 417, 1152},
        {{0xFF, 0xFB, 0x92, 0xC0}, 0, 1, 3, 128, 44100, 1, 1, 418, 1152},
        {{0xFF, 0xF3, 0x84, 0x44}, 0, 2, 3, 64, 24000, 0, 2, 192, 576},
        {{0xFF, 0xF3, 0x82, 0x00}, 0, 2, 3, 64, 22050, 1, 2, 209, 576},
        {{0xFF, 0xFD, 0x90, 0x00}, 0, 1, 2, 160, 44100, 0, 2, 522, 1152},
        {{0xFF, 0xFF, 0x90, 0x00}, 0, 1, 1, 288, 44100, 0, 2, 4 * 78, 384},
        {{0xFF, 0xF9, 0x90, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0, 0},  // layer bits 00
        {{0xFF, 0xFB, 0xF0, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0, 0},  // bitrate index 15
        {{0xFF, 0xFB, 0x0C, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0, 0},  // free format
        {{0xFF, 0xFB, 0x9C, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0, 0},  // rate index 3
        {{0xFF, 0xEB, 0x90, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0, 0},  // MPEG 2.5 sync
        {{0xFE, 0xFB, 0x90, 0x00}, -1, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.bytes[1]) << " " << int(c.bytes[2]) << " " << int(c.bytes[3]));
        zq::MpegFrameHeader h = {};
        ASSERT_EQ(zq::ParseMpegFrameHeader(c.bytes, &h), c.result);
        if (c.result != 0) continue;
        EXPECT_EQ(h.version, c.version);
        EXPECT_EQ(h.layer, c.layer);
        EXPECT_EQ(h.bitrate, c.bitrate);
        EXPECT_EQ(h.sampleRate, c.rate);
        EXPECT_EQ(h.padding, c.padding);
        EXPECT_EQ(h.channels, c.channels);
        EXPECT_EQ(h.frameLength, c.length);
        EXPECT_EQ(h.samplesPerFrame, c.samples);
    }
}

TEST(SoundConverter, BlockReadsAndSeeksMatchTheWholeSound) {
    const Bytes files[] = {AssetFile("hentai.mp3"), DataFile("vorbis_stereo.ogg"), DataFile("ms_stereo.wav"),
                           PcmWave(Sine(40000, 2, 0.003, 9000), 2, 44100)};
    for (const Bytes &file : files) {
        MemoryConverter whole(file);
        ASSERT_TRUE(whole.ok());
        const std::vector<int16_t> all = whole.Whole();
        const int frames = static_cast<int>(all.size() / 2);

        MemoryConverter reader(file);
        zq::SoundConverter *c = &reader.converter;
        SCOPED_TRACE(c->kind);
        std::vector<int16_t> piece(2 * 777);
        // Forward in odd-sized reads, then back, then forward past several blocks.
        for (int i = 0; i < 3; ++i) ASSERT_EQ(zq::ReadConvertedSound(c, piece.data(), 4 * 777), 4 * 777);
        EXPECT_TRUE(std::equal(piece.begin(), piece.end(), all.begin() + 2 * 2 * 777));
        for (int target : {100, frames * 3 / 4, 5, frames / 2}) {
            SCOPED_TRACE(target);
            zq::SeekSoundConverter(c, target);
            ASSERT_EQ(zq::ReadConvertedSound(c, piece.data(), 4 * 777), std::min(4 * 777, 4 * (frames - target)));
            EXPECT_TRUE(std::equal(piece.begin(), piece.begin() + std::min(2 * 777, 2 * (frames - target)), all.begin() + 2 * target));
        }
        // Reading to the end delivers the rest, then nothing.
        zq::SeekSoundConverter(c, frames - 10);
        EXPECT_EQ(zq::ReadConvertedSound(c, piece.data(), 4 * 777), 40);
        EXPECT_EQ(zq::ReadConvertedSound(c, piece.data(), 4 * 777), 0);
        EXPECT_EQ(c->ended, 1);
    }
}

TEST(Mp3Reader, TaggedMpeg1AndMpeg2DecodeLikeAnIndependentDecoder) {
    if (!std::filesystem::exists("/usr/bin/lame")) GTEST_SKIP() << "lame is not installed";
    struct Case {
        const char *name, *options;
        int version, rate, channels;
        bool id3v2;
    } cases[] = {
        {"MPEG-1 stereo, ID3v2 and ID3v1", "-b 128 --resample 44.1 --add-id3v2 --tt Tones", 1, 44100, 2, true},
        {"MPEG-2 stereo, ID3v2 and ID3v1", "-b 64 --resample 22.05 --add-id3v2 --tt Tones", 2, 22050, 2, true},
        {"MPEG-2 mono, ID3v1", "-b 32 -m m --resample 24 --id3v1-only --tt Tones", 2, 24000, 1, false},
        {"MPEG-2 16 kHz, no tags", "-b 24 --resample 16", 2, 16000, 2, false},
    };
    const Bytes source = PcmWave(TwoTones(22050, 44100), 2, 44100);  // 0.5 s
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes mp3 = LameEncode(source, c.options);
        ASSERT_GT(mp3.size(), 128u);
        ASSERT_EQ(mp3.size() > 3 && std::memcmp(mp3.data(), "ID3", 3) == 0, c.id3v2);
        const std::string path = TempPath("case.mp3");
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(mp3.data()), static_cast<std::streamsize>(mp3.size()));
        const std::vector<int16_t> reference = LameDecodeFile(path);
        std::filesystem::remove(path);
        ASSERT_FALSE(reference.empty());

        MemoryConverter converter(mp3);
        ASSERT_TRUE(converter.ok());
        const zq::SoundConverter &k = converter.converter;
        EXPECT_EQ(k.sourceFormat.formatTag, zq::kFormatMpegLayer3);
        // The scan starts after the ID3v2 tag and ends before the ID3v1 tag.
        uint8_t first[4];
        std::memcpy(first, mp3.data() + k.dataStart, 4);
        zq::MpegFrameHeader header;
        ASSERT_EQ(zq::ParseMpegFrameHeader(first, &header), 0);
        EXPECT_EQ(header.version, c.version);
        EXPECT_EQ(header.sampleRate, c.rate);
        const bool id3v1 = std::memcmp(mp3.data() + mp3.size() - 128, "TAG", 3) == 0;
        EXPECT_LE(k.dataStart + k.dataSize, static_cast<int>(mp3.size()) - (id3v1 ? 128 : 0));
        // The converted size is the frames' samples; the delivered size is the decoded sound.
        EXPECT_EQ(zq::GetConvertedSize(&converter.converter), k.totalSamples * 2 * c.channels);
        EXPECT_EQ(k.totalSamples % header.samplesPerFrame, 0);
        const std::vector<int16_t> decoded = converter.Whole();
        EXPECT_EQ(converter.format.sampleRate, static_cast<uint32_t>(c.rate));
        EXPECT_EQ(converter.format.channels, c.channels);
        // With the encoder's length tag in its first frame both decoders cut delay and padding
        // alike. Without one (lame leaves it out where the frame is too small) ours delivers every
        // frame's samples, and the reference drops its decoder's delay of 529 samples in front.
        const std::string firstFrame(reinterpret_cast<const char *>(mp3.data() + k.dataStart), header.frameLength);
        const bool lengthTag = firstFrame.find("Info") != std::string::npos || firstFrame.find("Xing") != std::string::npos;
        const size_t skipped = lengthTag ? 0 : 529u * c.channels;
        if (!lengthTag) {
            EXPECT_EQ(decoded.size(), static_cast<size_t>(k.totalSamples * c.channels));
        }
        ASSERT_EQ(decoded.size(), reference.size() + skipped);
        EXPECT_LE(MaxDifference(std::vector<int16_t>(decoded.begin() + static_cast<long>(skipped), decoded.end()), reference), 2);
    }
}

TEST(Mp3Reader, FramesWithoutALengthTagConvertToAllTheirSamples) {
    // 100 audio frames of the game music without its leading information frame: nothing tells
    // the decoder to trim, so 100 frames of 1152 samples at 44.1 kHz stereo come out.
    const Bytes music = AssetFile("hentai.mp3");
    Bytes frames;
    size_t at = 0;
    for (int n = 0; n <= 100; ++n) {
        zq::MpegFrameHeader header;
        ASSERT_EQ(zq::ParseMpegFrameHeader(music.data() + at, &header), 0);
        if (n > 0) frames.insert(frames.end(), music.begin() + static_cast<long>(at), music.begin() + static_cast<long>(at + header.frameLength));
        at += header.frameLength;
    }
    MemoryConverter converter(frames);
    ASSERT_TRUE(converter.ok());
    EXPECT_EQ(converter.converter.totalSamples, 100 * 1152);
    EXPECT_EQ(zq::GetConvertedSize(&converter.converter), 460800);
    EXPECT_EQ(converter.Whole().size() * 2, 460800u);
}

// Damaged and lying files: each is refused or converts to a sound no larger than its data can
// hold, with a block no larger than the sound. The kept fuzzing finds come along.
TEST(SoundConverter, DamagedFilesStayWithinTheirData) {
    std::vector<std::pair<std::string, Bytes>> files;
    Bytes ms = DataFile("ms_mono.wav");
    Bytes lyingRate = ms;  // a sample rate of 265 MHz asked for a 1 GB block
    lyingRate[26] = 0xCF;
    lyingRate[27] = 0x0F;
    files.emplace_back("MS ADPCM with a huge rate", lyingRate);
    Bytes lyingAverage = PcmWave(Sine(100, 1, 0.05, 1000), 1, 11025);
    for (int i = 28; i < 32; ++i) lyingAverage[i] = 0xFF;  // average bytes per second
    files.emplace_back("PCM with a huge average rate", lyingAverage);
    Bytes wideBlocks = DataFile("ima_stereo.wav");
    wideBlocks[32] = wideBlocks[33] = 0xFF;  // block align 65535 over 7 KB of data
    files.emplace_back("IMA ADPCM with a huge block align", wideBlocks);
    for (const auto &entry : std::filesystem::directory_iterator(SourceDir() + "/fuzz/crashes/sound")) {
        files.emplace_back(entry.path().filename().string(), ReadFile(entry.path().string()));
    }
    ASSERT_GE(files.size(), 6u);
    for (const auto &[name, file] : files) {
        SCOPED_TRACE(name);
        MemoryConverter converter(file);
        if (!converter.ok()) continue;
        const int bound = zq::GetConvertedSize(&converter.converter);
        EXPECT_LE(bound, 16 * static_cast<int>(file.size()));
        EXPECT_LE(converter.converter.blockSize, std::max(bound, 1));
        EXPECT_LE(converter.Whole().size() * 2, static_cast<size_t>(bound));
    }
}

TEST(CompressedWaveReader, DamagedMsAdpcmSaturatesInsteadOfOverflowing) {
    // One mono block with predictor 0 (256, 0), step 16 and both samples 0, then nibbles of -8
    // that triple the step each time until the signal sits at the bottom, then one nibble of +7:
    // the saturated step takes the signal straight to the top.
    Bytes body;
    Put16(body, 2);                   // MS ADPCM
    Put16(body, 1);                   // mono
    Put32(body, 8000);
    Put32(body, 8000 * 256 / 500);
    Put16(body, 256);                 // block align
    Put16(body, 4);
    Put16(body, 32);                  // extra size
    Put16(body, 500);                 // samples per block
    Put16(body, 7);
    const int coefficients[7][2] = {{256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}};
    for (const auto &pair : coefficients) {
        Put16(body, pair[0]);
        Put16(body, pair[1]);
    }
    Bytes block = {0};
    Put16(block, 16);
    Put16(block, 0);
    Put16(block, 0);
    block.resize(256, 0x88);
    block.back() = 0x87;
    MemoryConverter converter(Riff({{"fmt ", body}, {"data", block}}));
    ASSERT_TRUE(converter.ok());
    const std::vector<int16_t> samples = converter.Whole();
    ASSERT_EQ(samples.size(), 2u + 2 * (256 - 7));
    EXPECT_EQ(samples[2], -128);
    EXPECT_EQ(samples[samples.size() - 2], -32768);
    EXPECT_EQ(samples.back(), 32767);
}
