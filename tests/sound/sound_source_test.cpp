// What every source promises whatever its kind (memory, PCM and IMA ADPCM WAV files, Ogg Vorbis): its
// format and length, its whole sound as a wave, the same frames read in pieces, a read too small for its
// frames refused without consuming, and a rewind that starts again; then what only a memory source and
// only an Ogg Vorbis source do.
#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include "core/mv_exception.h"
#include "samples/speech_like.h"
#include "sound/memory_source.h"
#include "sound/ogg_source.h"
#include "sound/open_sound_file.h"
#include "sound/sound_node.h"
#include "support/ima_adpcm_encoder.h"
#include "support/ogg_encoder.h"
#include "support/sound_data.h"
#include "support/thrown.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

// Everything a source delivers from its start, read in pieces of up to 1000 frames; `asked` counts the
// frames asked for.
Bytes ReadAllBytes(CSoundSource& source, uint16_t block_align, uint32_t& asked) {
  source.Rewind();
  Bytes out;
  Bytes piece(1000u * block_align);
  for (uint32_t frames = 1000; frames == 1000; asked += 1000) {
    EXPECT_TRUE(source.Read(piece.data(), static_cast<uint32_t>(piece.size()), frames));
    out.insert(out.end(), piece.begin(), piece.begin() + frames * block_align);
  }
  return out;
}

// The correlation of 16-bit samples held in bytes with the input's.
double Correlation(const Bytes& a, const Bytes& b) {
  const auto* s = reinterpret_cast<const int16_t*>(a.data());
  const auto* t = reinterpret_cast<const int16_t*>(b.data());
  double st = 0, ss = 0, tt = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()) / 2; ++i) {
    st += static_cast<double>(s[i]) * t[i];
    ss += static_cast<double>(s[i]) * s[i];
    tt += static_cast<double>(t[i]) * t[i];
  }
  return st / std::sqrt(ss * tt);
}

TEST(SoundSourceTest, EveryKindServesItsFramesAlike) {
  const std::vector<int16_t> tone = samples::Tone(8000, 300.0f, 400, 10000.0f);  // 3200 samples
  const std::vector<int16_t> speech = samples::SpeechLike(22050, samples::DemoPhrase(), samples::Voice{});
  std::vector<int16_t> stereo;
  for (int16_t sample : samples::Tone(44100, 330.0f, 300, 8000.0f)) {
    stereo.insert(stereo.end(), {sample, static_cast<int16_t>(sample / 2)});
  }
  Bytes ramp(3000);  // every 8-bit value
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i);
  const auto blocks = static_cast<uint32_t>(EncodeImaAdpcm(tone, 256).size() / 256);
  const auto speech_frames = static_cast<uint32_t>(speech.size());
  struct Case {
    const char* name;
    CountedPtr<CSoundSource> source;
    WAVEFORMATEX format;
    uint32_t length;       // GetLength, and the frames of the whole wave
    uint32_t read_frames;  // what reading in pieces delivers
    Bytes input;
    double correlation;  // of the wave with the input: 1 for exactly the input
    bool data_at_end;    // HasData after the last frame was read
    bool counts_asked;   // GetDelivered counts the frames asked for (a WAV file's, also past the end)
  };
  const Case cases[] = {
      // A memory source with a wave always has data.
      {"memory", MakeMemorySource(samples::MakeWave16(tone, 8000)), MakePcmFormat(1, 8000, 16), 3200, 3200,
       SamplesToBytes(tone), 1.0, true, false},
      {"16-bit WAV", OpenBytes(PcmWav16(speech, 22050)), MakePcmFormat(1, 22050, 16), speech_frames, speech_frames,
       SamplesToBytes(speech), 1.0, false, true},
      {"8-bit WAV", OpenBytes(PcmWav8(ramp, 11025)), MakePcmFormat(1, 11025, 8), 3000, 3000, ramp, 1.0, false, true},
      // The decoder yields 505 samples per block; the whole sound (GetWave, and so playback and
      // analysis) stops at 504 per block, so only the last sample of each block goes unused. The decoder
      // never reads past the data, so the source still has data after its last block. 4-bit IMA ADPCM of
      // a steady sine reaches well over 20 dB signal-to-error: a correlation above 0.995.
      {"IMA ADPCM", OpenBytes(AdpcmWav(tone, 8000, 256)), MakePcmFormat(1, 8000, 16), blocks * 504, blocks * 505,
       SamplesToBytes(tone), 0.995, true, true},
      // Vorbis is lossy, but at quality 0.4 a speech-like signal keeps its shape sample for sample.
      {"Ogg Vorbis", OpenBytes(EncodeOggVorbis(speech, 1, 22050)), MakePcmFormat(1, 22050, 16), speech_frames,
       speech_frames, SamplesToBytes(speech), 0.98, false, false},
      {"Ogg Vorbis stereo", OpenBytes(EncodeOggVorbis(stereo, 2, 44100)), MakePcmFormat(2, 44100, 16), 13230, 13230,
       SamplesToBytes(stereo), 0.98, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSoundSource& source = *c.source;
    WAVEFORMATEX format;
    source.GetFormat(format);
    ASSERT_EQ(std::tie(format.wFormatTag, format.nChannels, format.nSamplesPerSec, format.wBitsPerSample,
                       format.nBlockAlign, format.nAvgBytesPerSec),
              std::tie(c.format.wFormatTag, c.format.nChannels, c.format.nSamplesPerSec, c.format.wBitsPerSample,
                       c.format.nBlockAlign, c.format.nAvgBytesPerSec));
    EXPECT_EQ(source.GetLength(), static_cast<int32_t>(c.length));
    EXPECT_TRUE(source.HasData());

    const std::unique_ptr<CWave> wave = source.GetWave();
    ASSERT_EQ(wave->SampleCount(), c.length);
    EXPECT_EQ(wave->Kind(), format.wBitsPerSample == 8 ? SampleKind::kUnsigned8 : SampleKind::kSigned);
    EXPECT_EQ(wave->SelectionEnd(), static_cast<int32_t>(c.length) - 1);
    const Bytes whole(wave->Data(), wave->Data() + size_t{wave->SampleCount()} * format.nBlockAlign);
    if (c.correlation == 1.0) {
      EXPECT_TRUE(whole == c.input) << "the wave does not hold the input";
    } else {
      EXPECT_GT(Correlation(whole, c.input), c.correlation);
    }

    uint32_t asked = 0;
    const Bytes pieces = ReadAllBytes(source, format.nBlockAlign, asked);
    ASSERT_EQ(pieces.size(), size_t{c.read_frames} * format.nBlockAlign);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), pieces.begin())) << "pieces differ from the whole";
    EXPECT_EQ(source.HasData(), c.data_at_end);
    EXPECT_EQ(source.GetDelivered(), c.counts_asked ? asked : c.read_frames);

    // A rewind starts again; a read one byte short of its frames fails and consumes nothing.
    source.Rewind();
    EXPECT_EQ(source.GetDelivered(), 0u);
    Bytes buffer(10u * format.nBlockAlign);
    uint32_t frames = 10;
    EXPECT_FALSE(source.Read(buffer.data(), static_cast<uint32_t>(buffer.size()) - 1, frames));
    EXPECT_EQ(frames, 0u);
    frames = 10;
    EXPECT_TRUE(source.Read(buffer.data(), static_cast<uint32_t>(buffer.size()), frames));
    EXPECT_EQ(frames, 10u);
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), whole.begin())) << "the refused read consumed frames";
    EXPECT_EQ(source.GetDelivered(), c.counts_asked ? 20u : 10u);  // a WAV file counts the refused frames too
  }
}

// What only a memory source does.
TEST(CMemorySourceTest, ClosedOrWithoutAWaveItHasNothingToReadAndNeverReadsPastItsBlock) {
  CountedPtr<CSoundSource> source = MakeMemorySource(samples::MakeWave16(std::vector<int16_t>(3000, 7), 22050));
  source->Close();
  std::vector<int16_t> buffer(2000);
  uint32_t frames = 10;
  EXPECT_TRUE(source->Read(buffer.data(), 20, frames));
  EXPECT_EQ(frames, 0u);

  CMemorySource none{CountedPtr<CWave>()};
  EXPECT_EQ(none.GetLength(), -1);
  EXPECT_EQ(none.GetWave(), nullptr);
  EXPECT_FALSE(none.HasData());

  // A wave whose sample count claims more bytes than its block holds (a stereo block counted in
  // samples, or a truncated wave) is served only up to the block's end; ASan catches any overrun.
  std::vector<int16_t> values(400, 5);
  CountedPtr<CSoundSource> stereo =
      MakeMemorySource(std::make_unique<CWave>(MakePcmFormat(2, 22050, 16), 800, values.data()));
  frames = 1000;
  ASSERT_TRUE(stereo->Read(buffer.data(), 4000, frames));
  EXPECT_EQ(frames, 200u);  // 800 bytes of 4-byte frames

  // Truncating leaves the block where it is and the sample count as it was: only the bytes in use shrink.
  auto truncated = std::make_unique<CWave>();
  truncated->SetFormat(MakePcmFormat(1, 22050, 16));
  ASSERT_TRUE(truncated->Allocate(200));
  truncated->SetSampleCount(100);
  EXPECT_FALSE(truncated->Truncate(100));  // n must be below the sample count
  const uint8_t* block = truncated->Data();
  ASSERT_TRUE(truncated->Truncate(9));
  EXPECT_EQ(truncated->Data(), block);
  EXPECT_EQ(truncated->SampleCount(), 100u);
  CountedPtr<CSoundSource> shorter = MakeMemorySource(std::move(truncated));
  EXPECT_EQ(ReadAll16(*shorter), std::vector<int16_t>(10, 0)) << "a new block is silence";
}

// The pages of an Ogg stream in place, in order.
std::vector<ogg_page> Pages(Bytes& bytes) {
  std::vector<ogg_page> pages;
  for (size_t at = 0; at + 27 <= bytes.size();
       at += static_cast<size_t>(pages.back().header_len + pages.back().body_len)) {
    ogg_page page{&bytes[at], 27 + long{bytes[at + 26]}, nullptr, 0};
    for (long i = 27; i < page.header_len; ++i) page.body_len += bytes[at + i];
    page.body = page.header + page.header_len;
    pages.push_back(page);
  }
  return pages;
}

// Recomputes the checksum of every page, so that a change reaches the decoder.
Bytes WithChecksums(Bytes bytes) {
  for (ogg_page& page : Pages(bytes)) ogg_page_checksum_set(&page);
  return bytes;
}

// Sets the granule position (the stream's frame count) of the last page.
Bytes WithFinalFrameCount(Bytes bytes, int64_t frames) {
  unsigned char* last = Pages(bytes).back().header;
  for (int i = 0; i < 8; ++i) last[6 + i] = static_cast<uint8_t>(frames >> (8 * i));
  return WithChecksums(bytes);
}

// A reader that fails after a number of reads; the decoder's state must be freed on the way (a leak
// would show under the address sanitizer).
class FailingReader : public CMemoryFileReader {
 public:
  FailingReader(const Bytes& bytes, int reads) : CMemoryFileReader(bytes), reads_left_(reads) {}
  bool Read(void* buffer, uint32_t count, uint32_t& read) override {
    if (reads_left_-- <= 0) throw CMVException(kErrFileIo);
    return CMemoryFileReader::Read(buffer, count, read);
  }

 private:
  int reads_left_;
};

// Noise needs many bits, so the stream spans several pages; only then does the decoder take the last
// page's frame count as the stream's length.
TEST(COggSourceTest, ClaimedLengthsHolesRefusedStreamsAndReadErrors) {
  const auto input = samples::WhiteNoise(22050, 3000, 9000.0f, 3);
  const Bytes ogg = EncodeOggVorbis(input, 1, 22050);
  const int64_t frames = static_cast<int64_t>(input.size());

  CountedPtr<CSoundSource> longer = OpenBytes(WithFinalFrameCount(ogg, frames + 3000));
  ASSERT_EQ(longer->GetLength(), frames + 3000);
  const auto wave = longer->GetWave();
  const auto* pcm = reinterpret_cast<const int16_t*>(wave->Data());
  // Without the end trimming, the decoder may deliver up to half a long block (1024 frames) past the
  // input; everything after that is silence.
  for (int64_t i = frames + 1024; i < frames + 3000; ++i) ASSERT_EQ(pcm[i], 0) << i;

  // A claim that no file of this size could back is cut to the decoded frames plus a bounded
  // allowance of silence (128 bytes per byte of the file, two bytes per frame).
  CountedPtr<CSoundSource> absurd = OpenBytes(WithFinalFrameCount(ogg, int64_t{1} << 31));
  EXPECT_LE(absurd->GetLength(), frames + 1024 + 64 * static_cast<int64_t>(ogg.size()));
  EXPECT_GE(absurd->GetLength(), frames);

  // A damaged page in the middle is a hole: skipped, and the stream ends in silence instead.
  Bytes damaged = ogg;
  damaged[damaged.size() / 2] ^= 0xff;
  CountedPtr<CSoundSource> holed = OpenBytes(damaged);
  ASSERT_EQ(holed->GetLength(), frames);
  const auto holed_wave = holed->GetWave();
  EXPECT_EQ(reinterpret_cast<const int16_t*>(holed_wave->Data())[frames - 1], 0);

  // Streams the decoder refuses end in the library's own error, and read errors inside the decoder
  // reach the caller unchanged.
  Bytes not_vorbis = {'O', 'g', 'g', 'S'};
  not_vorbis.resize(200, 0);
  const Bytes tone = EncodeOggVorbis(samples::Tone(8000, 200.0f, 300, 9000.0f), 1, 8000);
  // Codeword lengths of the first codebook that leave part of the code unused: the decoder cannot build
  // that codebook, and went on decoding with an empty one (a division by zero).
  Bytes bad_code = tone;
  const char kSetup[] = "\x05vorbis";
  const auto setup = std::search(bad_code.begin(), bad_code.end(), kSetup, kSetup + 7);
  std::fill_n(setup + 17, 4, 0xff);
  for (const Bytes& bytes : {not_vorbis, Bytes(tone.begin(), tone.begin() + 60), WithChecksums(bad_code)}) {
    EXPECT_EQ(ErrorCodeOf([&] { OpenBytes(bytes); }), kErrIncorrectWaveFormat);
  }
  for (int reads : {1, 2, 3, 5, 8}) {
    EXPECT_EQ(ErrorCodeOf([&] { OpenSoundFile(std::make_unique<FailingReader>(tone, reads)); }), kErrFileIo) << reads;
  }
}

}  // namespace
}  // namespace melvox::testing
