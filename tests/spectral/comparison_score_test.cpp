#include "spectral/comparison_score.h"

#include <vector>

#include <gtest/gtest.h>

#include "samples/speech_like.h"
#include "sound/memory_source.h"

namespace melvox {
namespace {

CPitchSegment Voiced(int32_t start_ms, int32_t end_ms, int32_t tag) {
  CPitchSegment segment(100, start_ms);
  for (int32_t t = start_ms + 10; t < end_ms; t += 10) segment.Append(100, t);
  segment.SetTag(tag);
  return segment;
}

CValueSegment Noisy(int32_t start_ms, int32_t end_ms) {
  CValueSegment segment(60, start_ms);
  for (int32_t t = start_ms + 10; t < end_ms; t += 10) segment.Extend(60, t);
  return segment;
}

TEST(ComparisonScore, DurationScoreAndPercentage) {
  const struct {
    int32_t a, b;
    float expected;
  } durations[] = {{2000, 2000, 1.0f},  {1000, 4000, 0.125f}, {1000, 1250, 1.0f}, {500, 1000, 0.75f},
                   {350, 1000, 0.375f}, {200, 1000, 0.0f},    {0, 0, 0.0f}};
  for (const auto& d : durations) {
    // Single-precision ratios and products: 1e-6.
    EXPECT_NEAR(DurationScore(d.a, d.b), d.expected, 1e-6f) << d.a << " " << d.b;
  }
  EXPECT_EQ(ScorePercent(0.999f), 99);
  EXPECT_EQ(ScorePercent(1.0f), 100);
  EXPECT_EQ(ScorePercent(0.0f), 0);
}

TEST(ComparisonScore, VoicedStretchesPairByIndex) {
  using Segments = std::vector<CPitchSegment>;
  const Segments p = {Voiced(0, 200, kContourLevel)};  // of 1000 ms
  const struct {
    const char* name;
    Segments q;  // of 2000 ms
    float expected;
  } cases[] = {
      {"other count", {Voiced(0, 400, kContourLevel), Voiced(600, 800, kContourLevel)}, 0.0f},
      {"alike", {Voiced(0, 400, kContourLevel)}, 1.0f},
      {"other shape", {Voiced(0, 400, kContourRising)}, (22.0f + 22.0f + 66.0f) / 220.0f},
      {"starts 0.15 apart", {Voiced(300, 700, kContourLevel)}, (22.0f + 66.0f + 110.0f) / 220.0f},
      {"half as long", {Voiced(0, 200, kContourLevel)}, (22.0f + 22.0f + 110.0f) / 220.0f},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(ComparePitchSegments(p, 1000, c.q, 2000), c.expected, 1e-6f) << c.name;  // float sums
  }
  EXPECT_EQ(ComparePitchSegments({}, 1000, {}, 2000), 1.0f);
}

TEST(ComparisonScore, NoisyStretchesAllowOneMissing) {
  using Segments = std::vector<CValueSegment>;
  const struct {
    const char* name;
    Segments p, q;
    int32_t points;  // of 240
  } cases[] = {
      {"both empty", {}, {}, 240},
      {"alike", {Noisy(0, 100)}, {Noisy(0, 200)}, 100 + 80 + 20 + 40},
      // Relative lengths 0.1 and 0.05: a ratio of exactly 0.5 counts only when a stretch is missing.
      {"half as long", {Noisy(0, 100)}, {Noisy(0, 100)}, 100 + 80 + 20},
      {"one missing, half as long", {Noisy(0, 100), Noisy(500, 600)}, {Noisy(0, 100)}, 20 + 80 + 20 + 40},
      {"one missing of one", {Noisy(0, 100)}, {}, 20},
      {"two missing", {Noisy(0, 100), Noisy(500, 600)}, {}, 0},
      // Three pairs: 200 / 3 = 66 per pair, each addition truncated (26 + 6 + 13).
      {"three alike",
       {Noisy(0, 100), Noisy(300, 400), Noisy(600, 700)},
       {Noisy(0, 200), Noisy(600, 800), Noisy(1200, 1400)},
       100 + 3 * 45},
  };
  for (const auto& c : cases) {
    EXPECT_FLOAT_EQ(CompareNoiseSegments(c.p, 1000, c.q, 2000), static_cast<float>(c.points) / 240.0f) << c.name;
  }
}

std::unique_ptr<CWave> Phrase(const std::vector<samples::Syllable>& syllables, const samples::Voice& voice,
                              uint32_t rate = 22050) {
  return samples::MakeWave16(samples::SpeechLike(rate, syllables, voice), rate);
}

int32_t Compare(std::unique_ptr<CWave> a, std::unique_ptr<CWave> b) {
  CountedPtr<CSoundSource> first = MakeMemorySource(std::move(a));
  CountedPtr<CSoundSource> second = MakeMemorySource(std::move(b));
  return CompareSources(*first, *second);
}

TEST(ComparisonScore, TheSamePhraseScoresWellAboveADifferentOne) {
  samples::Voice other_voice;
  other_voice.pitch_scale = 0.85f;
  other_voice.tempo = 1.1f;
  other_voice.seed = 5;
  const int32_t self = Compare(Phrase(samples::DemoPhrase(), {}), Phrase(samples::DemoPhrase(), {}));
  const int32_t again = Compare(Phrase(samples::DemoPhrase(), {}), Phrase(samples::DemoPhrase(), other_voice));
  const int32_t different = Compare(Phrase(samples::DemoPhrase(), {}), Phrase(samples::OtherPhrase(), other_voice));
  EXPECT_GE(self, 95);
  // Measured: 100, 91 and 46. The phrase said again in another voice and tempo must keep a clear
  // lead over a different phrase of similar length (1.3 s against 1.4 s).
  EXPECT_GE(again, 80);
  EXPECT_LE(different, 60);
  EXPECT_GE(again - different, 25);

  // An 8-bit copy of the same sound (its upper bytes) is nearly the same.
  EXPECT_GE(Compare(Phrase(samples::DemoPhrase(), {}),
                    samples::MakeWave8(samples::SpeechLike(22050, samples::DemoPhrase(), {}), 22050)),
            95);
}

TEST(ComparisonScore, OddSoundsGiveLowScoresWithoutFailing) {
  EXPECT_LE(Compare(Phrase(samples::DemoPhrase(), {}), samples::MakeWave16(std::vector<int16_t>(22050, 0), 22050)), 20);
  EXPECT_EQ(Compare(Phrase(samples::DemoPhrase(), {}), samples::MakeWave16({}, 22050)), 0);
  const int32_t rates = Compare(Phrase(samples::DemoPhrase(), {}), Phrase(samples::DemoPhrase(), {}, 16000));
  EXPECT_GE(rates, 0);
  EXPECT_LE(rates, 100);

  // Over 10 s: 10.5 s of a quiet floor at 8000 Hz.
  auto long_wave = [] { return samples::MakeWave16(samples::WhiteNoise(8000, 10500, 100.0f, 1), 8000); };
  auto short_wave = [] { return Phrase(samples::DemoPhrase(), {}, 8000); };
  {
    auto a = long_wave();
    auto b = short_wave();
    const CSoundAnalysis first(a.get(), 0);
    const CSoundAnalysis second(b.get(), 0);
    const ComparisonTerms terms = CompareAnalysesInDetail(first, second);
    EXPECT_EQ(terms.duration_a_ms, 10500);
    EXPECT_FALSE(terms.compared);
    EXPECT_EQ(terms.score, 0.0f);
  }
  EXPECT_EQ(Compare(short_wave(), long_wave()), 0);

  // A source without a wave.
  CountedPtr<CSoundSource> speech = MakeMemorySource(Phrase(samples::DemoPhrase(), {}));
  CMemorySource nothing{CountedPtr<CWave>()};
  EXPECT_EQ(CompareSources(*speech, nothing), 0);
  EXPECT_EQ(CompareSources(nothing, *speech), 0);
}

}  // namespace
}  // namespace melvox
