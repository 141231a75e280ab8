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
    for (const SpectralPeak& peak : peaks) *this << peak.frame << peak.bin << peak.energy;
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

// The hashes of the steps' levels, pitches, candidates and log spectra, and of the whole contour.
std::vector<std::string> StepHashes(const CSoundAnalysis& analysis) {
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
  return {levels.Hex(), pitch.Hex(), candidates.Hex(), spectra.Hex()};
}

// The hash of every product of one sound, by product name.
std::map<std::string, std::string> Products(const std::vector<int16_t>& samples, uint32_t rate, int bits) {
  const auto make = [&](const std::vector<int16_t>& s) {
    return bits == 8 ? samples::MakeWave8(s, rate) : samples::MakeWave16(s, rate);
  };
  std::unique_ptr<CWave> wave = make(samples);
  std::map<std::string, std::string> hashes;
  std::unique_ptr<CWave> detected = make(samples);
  DetectEndpoints(*detected);
  hashes["endpoints"] = (Hash() << detected->SelectionStart() << detected->SelectionEnd()).Hex();

  const CSoundAnalysis analysis(wave.get(), 0);
  const CSpectralAnalysis spectral(analysis);
  const std::vector<std::string> steps = StepHashes(analysis);
  // Without the spectrum (the pitch contour of a file, the slowed sound) the rest is the same.
  const CSoundAnalysis lean(wave.get(), 0, StepMeasures::kWithoutSpectrum);
  const std::vector<std::string> lean_steps = StepHashes(lean);
  EXPECT_EQ(std::vector<std::string>(lean_steps.begin(), lean_steps.begin() + 3),
            std::vector<std::string>(steps.begin(), steps.begin() + 3));
  const std::vector<int16_t> contour = analysis.GetPitchContour(0, static_cast<int32_t>(wave->SampleCount()));
  hashes["levels"] = steps[0];
  hashes["pitch"] = steps[1];
  hashes["candidates"] = steps[2];
  hashes["spectra"] = steps[3];

  Hash segments, tracks, notes, score;
  for (const CPitchSegment& s : analysis.VoicedSegments()) {
    segments << s.GetStart() << s.GetEnd() << s.MinTime() << s.MinPitch() << s.MaxTime() << s.MaxPitch() << s.Shape();
    for (const uint16_t value : s.Pitches()) segments << value;
  }
  for (const CValueSegment& s : analysis.NoisySegments()) {
    segments << s.GetStart() << s.GetEnd() << s.MaxTime() << s.MaxValue() << s.Sum() << s.Class();
  }
  hashes["segments"] = segments.Hex();
  if (const CPeakTracks* peak_tracks = spectral.PeakTracks()) {
    tracks << peak_tracks->GetStart() << peak_tracks->GetEnd();
    for (const PeakTrack& track : peak_tracks->Tracks()) tracks.Peaks(track.peaks) << track.flags;
  }
  hashes["tracks"] = tracks.Hex();
  for (const CNoteSegment& note : spectral.Notes()) notes.Peaks(note.Peaks()) << note.GetStart() << note.GetEnd();
  hashes["notes"] = notes.Hex();

  // Against its own first two thirds: two analyses of different lengths.
  std::unique_ptr<CWave> part = make(std::vector<int16_t>(samples.begin(), samples.begin() + samples.size() * 2 / 3));
  const CSoundAnalysis part_analysis(part.get(), 0);
  const ComparisonTerms terms = CompareAnalysesInDetail(spectral, CSpectralAnalysis(part_analysis));
  score << terms.duration_a_ms << terms.duration_b_ms << terms.compared << terms.duration_score << terms.s_a
        << terms.s_b << terms.s_c << terms.notes_a << terms.notes_b << terms.score;
  hashes["score"] = score.Hex();

  CTimeStretcher stretcher;
  hashes["slowed"] = Hash()
                         .Wave(stretcher.MakeStretched(*wave, contour, -10).get())
                         .Wave(stretcher.MakeStretched(*wave, contour, -150).get())
                         .Hex();
  hashes["rendered"] = Hash()
                           .Wave(MakePitchTone(analysis).get())
                           .Wave(MakeFricativeSound(analysis, *wave).get())
                           .Wave(ResynthesizeTracks(spectral).get())
                           .Hex();
  return hashes;
}

// "<sound> <product>" -> hash, as in the file.
std::map<std::string, std::string> CurrentHashes() {
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
  std::map<std::string, std::string> hashes;
  for (const auto& sound : sounds) {
    for (const auto& [product, hash] : Products(sound.samples, sound.rate, sound.bits)) {
      hashes[std::string(sound.name) + " " + product] = hash;
    }
  }
  return hashes;
}

TEST(ResultsLock, EveryResultKeepsItsHash) {
  const std::map<std::string, std::string> current = CurrentHashes();
  const char* update = std::getenv("MELVOX_UPDATE_RESULTS_LOCK");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream out(MELVOX_RESULTS_LOCK);
    out << "# <sound> <product> <hash>: written by results_lock_test with MELVOX_UPDATE_RESULTS_LOCK=1\n";
    for (const auto& [key, hash] : current) out << key << ' ' << hash << '\n';
    ASSERT_TRUE(out.good()) << "cannot write " << MELVOX_RESULTS_LOCK;
    return;
  }
  std::ifstream in(MELVOX_RESULTS_LOCK);
  ASSERT_TRUE(in.good()) << "cannot read " << MELVOX_RESULTS_LOCK;
  std::map<std::string, std::string> locked;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string sound, product, hash;
    if (line.empty() || line[0] == '#' || !(fields >> sound >> product >> hash)) continue;
    locked[sound + " " + product] = hash;
  }
  for (const auto& [key, hash] : current) {
    const auto found = locked.find(key);
    EXPECT_TRUE(found != locked.end() && found->second == hash)
        << key << " changed: " << (found == locked.end() ? "not in the file" : found->second) << " -> " << hash;
  }
  for (const auto& [key, hash] : locked) EXPECT_TRUE(current.count(key) != 0) << key << " is no longer made";
}

}  // namespace
}  // namespace melvox
