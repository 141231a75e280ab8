// Every result the library derives from a sound, hashed over a small corpus of generated sounds and
// compared with the hashes in results_lock.txt: work on speed must leave every number as it was.
// MELVOX_UPDATE_RESULTS_LOCK=1 rewrites the file instead, for a deliberate change of results.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "alignment/aligned_comparison.h"
#include "alignment/aligned_sound.h"
#include "analysis/endpoint_detector.h"
#include "analysis/fricative_sound.h"
#include "analysis/pitch_tone.h"
#include "analysis/sound_analysis.h"
#include "samples/speech_like.h"
#include "sound/time_stretcher.h"
#include "spectral/comparison_score.h"
#include "spectral/spectral_analysis.h"
#include "spectral/track_resynthesis.h"

namespace melvox {
namespace {

// 64-bit FNV-1a over the values fed to it, floats by their bits.
class Hash {
 public:
  template <typename T>
  Hash& operator<<(T value) {
    unsigned char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    for (const unsigned char byte : bytes) state_ = (state_ ^ byte) * 0x100000001b3ull;
    return *this;
  }
  Hash& Wave(const CWave* wave) {
    if (wave == nullptr) return *this << -1;
    for (uint32_t i = 0; i < wave->Size(); ++i) *this << wave->Data()[i];
    return *this << wave->Size() << wave->SelectionStart() << wave->SelectionEnd();
  }
  Hash& Peaks(const std::vector<SpectralPeak>& peaks) {
    for (const SpectralPeak& p : peaks) *this << p.frame << p.bin << p.energy;
    return *this << peaks.size();
  }
  std::string Hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(state_));
    return text;
  }

 private:
  uint64_t state_ = 0xcbf29ce484222325ull;
};

// Silence, a low tone, noise, a high tone and silence again.
std::vector<int16_t> Mixed(uint32_t rate) {
  std::vector<int16_t> sound(rate / 5, 0);
  for (const auto& part : {samples::Tone(rate, 130.0f, 400, 9000.0f), samples::WhiteNoise(rate, 300, 5000.0f, 7),
                           samples::Tone(rate, 310.0f, 300, 14000.0f), std::vector<int16_t>(rate / 5, 0)}) {
    sound.insert(sound.end(), part.begin(), part.end());
  }
  return sound;
}

// The hashes of the steps' levels, pitches (and the whole contour), candidates and log spectra.
std::map<std::string, std::string> StepHashes(const CSoundAnalysis& analysis) {
  Hash levels, pitch, candidates, spectra;
  for (const FrameResult& r : analysis.Results()) {
    levels << r.level_db << r.level_drop << r.periodicity << r.zero_crossings << r.silent;
    pitch << r.pitch_hz;
    for (const PitchCandidate& c : r.candidates) candidates << c.lag << c.depth;
    candidates << r.candidates.size();
    for (const float value : r.log_spectrum) spectra << value;
    spectra << r.log_spectrum.size();
  }
  for (const int16_t value : analysis.GetPitchContour(0, static_cast<int32_t>(analysis.Length()))) pitch << value;
  return {
      {"levels", levels.Hex()}, {"pitch", pitch.Hex()}, {"candidates", candidates.Hex()}, {"spectra", spectra.Hex()}};
}

// The hash of every product of one sound, by product name.
std::map<std::string, std::string> Products(const std::vector<int16_t>& samples, uint32_t rate, int bits) {
  const auto make = [&](const std::vector<int16_t>& s) {
    return bits == 8 ? samples::MakeWave8(s, rate) : samples::MakeWave16(s, rate);
  };
  std::unique_ptr<CWave> wave = make(samples);
  const CSoundAnalysis analysis(wave.get(), 0);
  const CSpectralAnalysis spectral(analysis);
  std::map<std::string, std::string> hashes = StepHashes(analysis);
  // Without the spectrum (the pitch contour of a file, the slowed sound) the rest is the same.
  std::map<std::string, std::string> lean = StepHashes(CSoundAnalysis(wave.get(), 0, StepMeasures::kWithoutSpectrum));
  lean["spectra"] = hashes["spectra"];
  EXPECT_EQ(lean, hashes);
  std::unique_ptr<CWave> detected = make(samples);
  DetectEndpoints(*detected);
  hashes["endpoints"] = (Hash() << detected->SelectionStart() << detected->SelectionEnd()).Hex();
  const std::vector<int16_t> contour = analysis.GetPitchContour(0, static_cast<int32_t>(wave->SampleCount()));

  Hash segments, tracks, notes, score;
  for (const CPitchSegment& s : analysis.VoicedSegments()) {
    segments << s.GetStart() << s.GetEnd() << s.MinTime() << s.MinPitch() << s.MaxTime() << s.MaxPitch() << s.Shape();
    for (const uint16_t value : s.Pitches()) segments << value;
  }
  for (const CValueSegment& s : analysis.NoisySegments()) {
    segments << s.GetStart() << s.GetEnd() << s.MaxTime() << s.MaxValue() << s.Sum() << s.Class();
  }
  if (const CPeakTracks* t = spectral.PeakTracks()) {
    tracks << t->GetStart() << t->GetEnd();
    for (const PeakTrack& track : t->Tracks()) tracks.Peaks(track.peaks) << track.flags;
  }
  for (const CNoteSegment& note : spectral.Notes()) notes.Peaks(note.Peaks()) << note.GetStart() << note.GetEnd();

  // Against its own first two thirds: two analyses of different lengths.
  std::unique_ptr<CWave> part = make(std::vector<int16_t>(samples.begin(), samples.begin() + samples.size() * 2 / 3));
  const CSoundAnalysis part_analysis(part.get(), 0);
  const ComparisonTerms terms = CompareAnalysesInDetail(spectral, CSpectralAnalysis(part_analysis));
  score << terms.duration_a_ms << terms.duration_b_ms << terms.compared << terms.duration_score << terms.s_a
        << terms.s_b << terms.s_c << terms.notes_a << terms.notes_b << terms.score;
  Hash aligned;
  const AlignedComparison alignment =
      CompareAligned(CAlignedSound(*wave, true).Analysis(), CAlignedSound(*part, true).Analysis());
  aligned << alignment.compared << alignment.distance << alignment.score;
  for (const AlignedPoint& point : alignment.path) aligned << point.reference_ms << point.recording_ms;
  for (const AlignedStretch& s : alignment.stretches) aligned << s.recording_begin_ms << s.recording_end_ms << s.score;
  CTimeStretcher stretcher;
  Hash slowed, rendered;
  slowed.Wave(stretcher.MakeStretched(*wave, contour, -10).get())
      .Wave(stretcher.MakeStretched(*wave, contour, -150).get());
  rendered.Wave(MakePitchTone(analysis).get()).Wave(MakeFricativeSound(analysis, *wave).get());
  rendered.Wave(ResynthesizeTracks(spectral).get());
  for (const auto& [name, hash] : {std::pair<const char*, const Hash&>{"segments", segments},
                                   {"tracks", tracks},
                                   {"notes", notes},
                                   {"score", score},
                                   {"aligned", aligned},
                                   {"slowed", slowed},
                                   {"rendered", rendered}}) {
    hashes[name] = hash.Hex();
  }
  return hashes;
}

// Sound -> product -> hash, as in the file: a line per sound, "<sound> <product>=<hash> ...".
using Hashes = std::map<std::string, std::map<std::string, std::string>>;

Hashes CurrentHashes() {
  const samples::Voice high{1.7f, 1.2f, 9000.0f, 20.0f, 3};
  const struct {
    const char* name;
    std::vector<int16_t> samples;
    uint32_t rate;
    int bits;
  } sounds[] = {
      {"speech_8000_16", samples::SpeechLike(8000, samples::DemoPhrase(), {}), 8000, 16},
      {"speech_16000_16_high", samples::SpeechLike(16000, samples::OtherPhrase(), high), 16000, 16},
      {"speech_22050_16", samples::SpeechLike(22050, samples::DemoPhrase(), {}), 22050, 16},
      {"speech_22050_8", samples::SpeechLike(22050, samples::OtherPhrase(), {}), 22050, 8},
      {"speech_44100_16", samples::SpeechLike(44100, samples::OtherPhrase(), {}), 44100, 16},
      {"speech_48000_16_high", samples::SpeechLike(48000, samples::DemoPhrase(), high), 48000, 16},
      {"mixed_8000_8", Mixed(8000), 8000, 8},
      {"mixed_16000_16", Mixed(16000), 16000, 16},
      {"mixed_22050_16", Mixed(22050), 22050, 16},
      {"mixed_44100_8", Mixed(44100), 44100, 8},
      {"mixed_48000_16", Mixed(48000), 48000, 16},
  };
  Hashes hashes;
  for (const auto& sound : sounds) hashes[sound.name] = Products(sound.samples, sound.rate, sound.bits);
  return hashes;
}

TEST(ResultsLock, EveryResultKeepsItsHash) {
  const Hashes current = CurrentHashes();
  const char* update = std::getenv("MELVOX_UPDATE_RESULTS_LOCK");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream out(MELVOX_RESULTS_LOCK);
    out << "# <sound> <product>=<hash> ...: written by results_lock_test with MELVOX_UPDATE_RESULTS_LOCK=1\n";
    for (const auto& [sound, products] : current) {
      out << sound;
      for (const auto& [product, hash] : products) out << ' ' << product << '=' << hash;
      out << '\n';
    }
    ASSERT_TRUE(out.good()) << "cannot write " << MELVOX_RESULTS_LOCK;
    return;
  }
  std::ifstream in(MELVOX_RESULTS_LOCK);
  ASSERT_TRUE(in.good()) << "cannot read " << MELVOX_RESULTS_LOCK;
  Hashes locked;
  for (std::string line, sound, field; std::getline(in, line);) {
    std::istringstream fields(line);
    if (line.empty() || line[0] == '#' || !(fields >> sound)) continue;
    while (fields >> field) locked[sound][field.substr(0, field.find('='))] = field.substr(field.find('=') + 1);
  }
  for (const auto& [sound, products] : current) {
    for (const auto& [product, hash] : products) {
      const std::string was = locked[sound].count(product) != 0 ? locked[sound][product] : "not in the file";
      EXPECT_EQ(was, hash) << sound << " " << product << " changed";
      locked[sound].erase(product);
    }
  }
  for (const auto& [sound, products] : locked) {
    for (const auto& entry : products) ADD_FAILURE() << sound << " " << entry.first << " is no longer made";
  }
}

}  // namespace
}  // namespace melvox
