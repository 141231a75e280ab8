#include "sound/ogg_source.h"

#include <algorithm>

#include <gtest/gtest.h>
#include <ogg/ogg.h>

#include "core/mv_exception.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "support/ogg_encoder.h"
#include "support/sound_data.h"
#include "support/thrown.h"
#include "support/wav_bytes.h"

namespace melvox::testing {
namespace {

// Recomputes the checksum of every page, so that a change reaches the decoder.
Bytes WithChecksums(Bytes bytes) {
  for (size_t at = 0; at + 27 <= bytes.size();) {
    ogg_page page{&bytes[at], 27 + long{bytes[at + 26]}, nullptr, 0};
    for (long i = 27; i < page.header_len; ++i) page.body_len += bytes[at + i];
    page.body = page.header + page.header_len;
    ogg_page_checksum_set(&page);
    at += static_cast<size_t>(page.header_len + page.body_len);
  }
  return bytes;
}

// Sets the granule position (the stream's frame count) of the last page.
Bytes WithFinalFrameCount(Bytes bytes, int64_t frames) {
  size_t last = 0;
  for (size_t at = 0; at + 27 <= bytes.size();) {
    const size_t segments = bytes[at + 26];
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += bytes[at + 27 + i];
    last = at;
    at += 27 + segments + body;
  }
  for (int i = 0; i < 8; ++i) bytes[last + 6 + i] = static_cast<uint8_t>(frames >> (8 * i));
  return WithChecksums(bytes);
}

// Noise needs many bits, so the stream spans several pages; only then does the decoder take the last
// page's frame count as the stream's length.
TEST(COggSourceTest, ClaimedLengthBeyondTheDecodedFramesPlaysAsSilence) {
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
}

TEST(COggSourceTest, StreamsTheDecoderRefusesGiveIncorrectWaveFormat) {
  Bytes not_vorbis = {'O', 'g', 'g', 'S'};
  not_vorbis.resize(200, 0);
  const Bytes ogg = EncodeOggVorbis(samples::Tone(8000, 200.0f, 300, 9000.0f), 1, 8000);
  // Codeword lengths of the first codebook that leave part of the code unused: the decoder cannot build
  // that codebook, and went on decoding with an empty one (a division by zero).
  Bytes bad_code = ogg;
  const char kSetup[] = "\x05vorbis";
  const auto setup = std::search(bad_code.begin(), bad_code.end(), kSetup, kSetup + 7);
  std::fill_n(setup + 17, 4, 0xff);
  for (const Bytes& bytes : {not_vorbis, Bytes(ogg.begin(), ogg.begin() + 60), WithChecksums(bad_code)}) {
    EXPECT_EQ(ErrorCodeOf([&] { OpenBytes(bytes); }), kErrIncorrectWaveFormat);
  }
}

// A reader that fails after a number of reads: the error reaches the caller unchanged, and the
// decoder's state is freed on the way (a leak would show under the address sanitizer).
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

TEST(COggSourceTest, ReadErrorsInsideTheDecoderPropagate) {
  const Bytes ogg = EncodeOggVorbis(samples::Tone(22050, 200.0f, 2000, 9000.0f), 1, 22050);
  for (int reads : {1, 2, 3, 5, 8}) {
    EXPECT_EQ(ErrorCodeOf([&] { OpenSoundFile(std::make_unique<FailingReader>(ogg, reads)); }), kErrFileIo) << reads;
  }
}

}  // namespace
}  // namespace melvox::testing
