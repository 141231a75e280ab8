// Comparing two 3-second recordings (22050 Hz, 16-bit mono WAV files) end to end, as `melvox compare`
// does: decode both files, find their endpoints, analyse both, make the products and the score; and
// the stages on their own, to show what bounds the whole. The aligned comparison likewise, end to end
// (as AlignRecording does) and its stages, measured in the same run as the recorder's score.
//
//   bench_compare --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "alignment/aligned_comparison.h"
#include "alignment/aligned_sound.h"
#include "alignment/step_alignment.h"
#include "alignment/step_profile.h"
#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "samples/speech_like.h"
#include "sound/open_sound_file.h"
#include "spectral/comparison_score.h"
#include "spectral/note_segmentation.h"
#include "spectral/spectral_analysis.h"
#include "support/temp_dir.h"
#include "support/wav_bytes.h"

namespace {

using namespace melvox;

constexpr uint32_t kRate = 22050;

// Both phrases in one, cut or padded to exactly 3 s.
std::vector<int16_t> ThreeSeconds(const samples::Voice& voice, uint32_t rate = kRate) {
  std::vector<samples::Syllable> syllables = samples::DemoPhrase();
  for (const samples::Syllable& s : samples::OtherPhrase()) syllables.push_back(s);
  std::vector<int16_t> samples = samples::SpeechLike(rate, syllables, voice);
  samples.resize(size_t{rate} * 3, 0);
  return samples;
}

struct Files {
  testing::TempDir folder;
  std::string reference;
  std::string recording;
  std::string cd_reference;  // the reference at 44100 Hz, as a course's files often are
  Files() {
    samples::Voice learner;
    learner.pitch_scale = 1.2f;
    learner.tempo = 1.05f;
    learner.seed = 3;
    reference = folder.Write("reference.wav", testing::PcmWav16(ThreeSeconds({}), kRate));
    recording = folder.Write("recording.wav", testing::PcmWav16(ThreeSeconds(learner), kRate));
    cd_reference = folder.Write("cd_reference.wav", testing::PcmWav16(ThreeSeconds({}, 44100), 44100));
  }
};

const Files& TheFiles() {
  static const Files files;
  return files;
}

std::unique_ptr<CWave> Decode(const std::string& path) {
  CountedPtr<CSoundSource> source = OpenSoundFile(path.c_str());
  std::unique_ptr<CWave> wave = source->GetWave();
  DetectEndpoints(*wave);
  return wave;
}

void BM_CompareEndToEnd(benchmark::State& state) {
  const Files& files = TheFiles();
  for (auto _ : state) {
    std::unique_ptr<CWave> a = Decode(files.reference);
    std::unique_ptr<CWave> b = Decode(files.recording);
    const CSoundAnalysis first(a.get(), 0);
    const CSoundAnalysis second(b.get(), 0);
    benchmark::DoNotOptimize(CompareAnalyses(CSpectralAnalysis(first), CSpectralAnalysis(second)));
  }
}
BENCHMARK(BM_CompareEndToEnd)->Unit(benchmark::kMillisecond)->UseRealTime();

// Decoding both files and finding their endpoints.
void BM_DecodeAndEndpoints(benchmark::State& state) {
  const Files& files = TheFiles();
  for (auto _ : state) {
    benchmark::DoNotOptimize(Decode(files.reference));
    benchmark::DoNotOptimize(Decode(files.recording));
  }
}
BENCHMARK(BM_DecodeAndEndpoints)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two analyses, without products.
void BM_TwoAnalyses(benchmark::State& state) {
  std::unique_ptr<CWave> a = Decode(TheFiles().reference);
  std::unique_ptr<CWave> b = Decode(TheFiles().recording);
  for (auto _ : state) {
    const CSoundAnalysis first(a.get(), 0);
    const CSoundAnalysis second(b.get(), 0);
    benchmark::DoNotOptimize(first.Results().data());
    benchmark::DoNotOptimize(second.Results().data());
  }
}
BENCHMARK(BM_TwoAnalyses)->Unit(benchmark::kMillisecond)->UseRealTime();

// Both sounds decoded, with their endpoints found, and analysed.
struct Analysed {
  std::unique_ptr<CWave> a = Decode(TheFiles().reference);
  std::unique_ptr<CWave> b = Decode(TheFiles().recording);
  CSoundAnalysis first{a.get(), 0};
  CSoundAnalysis second{b.get(), 0};
  CSpectralAnalysis first_spectral{first};
  CSpectralAnalysis second_spectral{second};
};

// The note lists of both sounds (peak tracks made afresh, steps, grouping).
void BM_TwoNoteLists(benchmark::State& state) {
  const Analysed sounds;
  for (auto _ : state) {
    benchmark::DoNotOptimize(SegmentNotes(sounds.first.Results()));
    benchmark::DoNotOptimize(SegmentNotes(sounds.second.Results()));
  }
}
BENCHMARK(BM_TwoNoteLists)->Unit(benchmark::kMillisecond)->UseRealTime();

// The score alone, over products already made.
void BM_ScoreOfMadeProducts(benchmark::State& state) {
  const Analysed sounds;
  CompareAnalyses(sounds.first_spectral, sounds.second_spectral);
  for (auto _ : state) benchmark::DoNotOptimize(CompareAnalyses(sounds.first_spectral, sounds.second_spectral));
}
BENCHMARK(BM_ScoreOfMadeProducts)->Unit(benchmark::kMicrosecond)->UseRealTime();

std::unique_ptr<CWave> DecodeWhole(const std::string& path) { return OpenSoundFile(path.c_str())->GetWave(); }

// The aligned comparison from the files: decoding, the louder copies, their endpoints and analyses,
// the features and the alignment. With the argument 44100 the reference is at 44100 Hz (the recording
// stays at the recorder's 22050 Hz).
void BM_AlignedEndToEnd(benchmark::State& state) {
  const Files& files = TheFiles();
  const std::string& reference = state.range(0) == 44100 ? files.cd_reference : files.reference;
  for (auto _ : state) {
    const CAlignedSound a(*DecodeWhole(reference), true);
    const CAlignedSound b(*DecodeWhole(files.recording), true);
    benchmark::DoNotOptimize(CompareAligned(a.Analysis(), b.Analysis()).score);
  }
}
BENCHMARK(BM_AlignedEndToEnd)->Arg(kRate)->Arg(44100)->Unit(benchmark::kMillisecond)->UseRealTime();

// The aligned comparison of two prepared analyses: profiles, features, alignment, stretches.
void BM_AlignedOfAnalyses(benchmark::State& state) {
  const CAlignedSound a(*DecodeWhole(TheFiles().reference), true);
  const CAlignedSound b(*DecodeWhole(TheFiles().recording), true);
  for (auto _ : state) benchmark::DoNotOptimize(CompareAligned(a.Analysis(), b.Analysis()).score);
}
BENCHMARK(BM_AlignedOfAnalyses)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The alignment alone, over features already made.
void BM_AlignmentOfFeatures(benchmark::State& state) {
  const CAlignedSound a(*DecodeWhole(TheFiles().reference), true);
  const CAlignedSound b(*DecodeWhole(TheFiles().recording), true);
  const AlignmentSettings settings;
  const FeaturePair features = MakeFeaturePair(MakeStepProfile(a.Analysis()), MakeStepProfile(b.Analysis()), settings);
  for (auto _ : state) benchmark::DoNotOptimize(AlignSteps(features.a, features.b, settings).mean_distance);
}
BENCHMARK(BM_AlignmentOfFeatures)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
