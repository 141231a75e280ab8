// melvox analyze FILE [--json] [--spectrum] [--detect]
#include <cstdio>

#include "analysis/endpoint_detector.h"
#include "analysis/sound_analysis.h"
#include "cli.h"
#include "json_writer.h"
#include "pitch_summary.h"
#include "spectral/note_segment.h"
#include "spectral/peak_tracks.h"
#include "spectral/spectral_analysis.h"

namespace melvox::cli {
namespace {

const char* ShapeName(ContourShape shape) {
  switch (shape) {
    case ContourShape::kRising:
      return "rising";
    case ContourShape::kFalling:
      return "falling";
    case ContourShape::kLevel:
      return "level";
    case ContourShape::kDip:
      return "dip";
    case ContourShape::kPeak:
      return "peak";
    case ContourShape::kUnclassified:
      break;
  }
  return "none";
}

const char* NoiseName(NoiseClass noise) {
  switch (noise) {
    case NoiseClass::kHigh:
      return "high";
    case NoiseClass::kMiddle:
      return "middle";
    case NoiseClass::kLow:
      return "low";
    case NoiseClass::kUnclassified:
      break;
  }
  return "none";
}

void WriteStep(JsonWriter& json, const FrameResult& step, bool spectrum) {
  json.BeginObject();
  json.Key("level_db").Float(step.level_db);
  json.Key("level_drop").Float(step.level_drop);
  json.Key("periodicity").Float(step.periodicity);
  json.Key("pitch_hz").Int(step.pitch_hz);
  json.Key("zero_crossings").Int(step.zero_crossings);
  json.Key("silent").Bool(step.silent);
  json.Key("candidates").BeginArray();
  for (const PitchCandidate& candidate : step.candidates) {
    json.BeginObject().Key("lag").Int(candidate.lag).Key("depth").Float(candidate.depth).EndObject();
  }
  json.EndArray();
  if (spectrum) {
    json.Key("log_spectrum").BeginArray();
    for (const float value : step.log_spectrum) json.Float(value);
    json.EndArray();
  }
  json.EndObject();
}

void WriteSegments(JsonWriter& json, const CSoundAnalysis& analysis) {
  json.Key("pitch_segments").BeginArray();
  for (const CPitchSegment& segment : analysis.VoicedSegments()) {
    json.BeginObject();
    json.Key("start_ms").Int(segment.GetStart()).Key("end_ms").Int(segment.GetEnd());
    json.Key("tag").Int(static_cast<int32_t>(segment.Shape())).Key("shape").String(ShapeName(segment.Shape()));
    json.Key("min_hz").Int(segment.MinPitch()).Key("min_ms").Int(segment.MinTime());
    json.Key("max_hz").Int(segment.MaxPitch()).Key("max_ms").Int(segment.MaxTime());
    json.Key("pitches").BeginArray();
    for (const uint16_t pitch : segment.Pitches()) json.Int(pitch);
    json.EndArray().EndObject();
  }
  json.EndArray();
  json.Key("noise_segments").BeginArray();
  for (const CValueSegment& segment : analysis.NoisySegments()) {
    json.BeginObject();
    json.Key("start_ms").Int(segment.GetStart()).Key("end_ms").Int(segment.GetEnd());
    json.Key("tag").Int(static_cast<int32_t>(segment.Class())).Key("class").String(NoiseName(segment.Class()));
    json.Key("max_value").Int(segment.MaxValue()).Key("max_ms").Int(segment.MaxTime());
    json.Key("sum").Int(segment.Sum());
    json.EndObject();
  }
  json.EndArray();
}

void WriteNotes(JsonWriter& json, const std::vector<CNoteSegment>& notes) {
  json.Key("notes").BeginArray();
  for (const CNoteSegment& note : notes) {
    json.BeginObject();
    json.Key("start_ms").Int(note.GetStart()).Key("end_ms").Int(note.GetEnd());
    json.Key("peaks").BeginArray();
    for (const SpectralPeak& peak : note.Peaks()) {
      json.BeginObject().Key("bin").Int(peak.bin).Key("energy").Float(peak.energy).EndObject();
    }
    json.EndArray().EndObject();
  }
  json.EndArray();
}

void WriteTracks(JsonWriter& json, const CPeakTracks* tracks) {
  json.Key("tracks");
  if (tracks == nullptr) {
    json.Null();
    return;
  }
  json.BeginObject();
  json.Key("start_ms").Int(tracks->GetStart()).Key("end_ms").Int(tracks->GetEnd());
  json.Key("tracks").BeginArray();
  for (const PeakTrack& track : tracks->Tracks()) {
    json.BeginArray();
    for (const SpectralPeak& peak : track.peaks) {
      json.BeginObject().Key("frame").Int(peak.frame).Key("bin").Int(peak.bin).Key("energy").Float(peak.energy);
      json.EndObject();
    }
    json.EndArray();
  }
  json.EndArray().EndObject();
}

void WriteJson(const CSpectralAnalysis& spectral, bool spectrum) {
  const CSoundAnalysis& analysis = spectral.Analysis();
  JsonWriter json(stdout);
  json.BeginObject();
  json.Key("rate").Int(analysis.Format().nSamplesPerSec);
  json.Key("bits").Int(analysis.Format().wBitsPerSample);
  json.Key("length").Int(analysis.Length());
  json.Key("hop").Int(analysis.Hop());
  json.Key("selection_start").Int(analysis.SelectionStart());
  json.Key("selection_end").Int(analysis.SelectionEnd());
  json.Key("noise_level").Float(analysis.Thresholds().noise_level);
  json.Key("steps").BeginArray();
  for (const FrameResult& step : analysis.Results()) WriteStep(json, step, spectrum);
  json.EndArray();
  json.Key("contour").BeginArray();
  for (const int16_t pitch : analysis.GetPitchContour(0, static_cast<int32_t>(analysis.Length()) - 1)) json.Int(pitch);
  json.EndArray();
  WriteSegments(json, analysis);
  WriteNotes(json, spectral.Notes());
  WriteTracks(json, spectral.PeakTracks());
  json.EndObject();
  std::fputc('\n', stdout);
}

void WriteText(const CSpectralAnalysis& spectral) {
  const CSoundAnalysis& analysis = spectral.Analysis();
  std::printf("rate: %u\n", static_cast<unsigned>(analysis.Format().nSamplesPerSec));
  std::printf("selection: %d %d\n", analysis.SelectionStart(), analysis.SelectionEnd());
  PrintPitchSummary(SummarizePitch(analysis.GetPitchContour(analysis.SelectionStart(), analysis.SelectionEnd())),
                    stdout);
  std::printf("pitch_segments: %zu\n", analysis.VoicedSegments().size());
  for (const CPitchSegment& segment : analysis.VoicedSegments()) {
    std::printf("  %d-%d ms %s, %u to %u Hz\n", segment.GetStart(), segment.GetEnd(), ShapeName(segment.Shape()),
                segment.MinPitch(), segment.MaxPitch());
  }
  std::printf("noise_segments: %zu\n", analysis.NoisySegments().size());
  for (const CValueSegment& segment : analysis.NoisySegments()) {
    std::printf("  %d-%d ms %s\n", segment.GetStart(), segment.GetEnd(), NoiseName(segment.Class()));
  }
  std::printf("notes: %zu\n", spectral.Notes().size());
  for (const CNoteSegment& note : spectral.Notes()) {
    std::printf("  %d-%d ms, %zu peaks\n", note.GetStart(), note.GetEnd(), note.Peaks().size());
  }
  const CPeakTracks* tracks = spectral.PeakTracks();
  std::printf("peak_tracks: %zu\n", tracks != nullptr ? tracks->Tracks().size() : size_t{0});
}

int RunAnalyze(const ParsedArgs& args) {
  std::unique_ptr<CWave> wave = LoadWave(args.Positional()[0]);
  if (args.Has("--detect")) DetectEndpoints(*wave);
  const CSoundAnalysis analysis(wave.get(), 0);
  const CSpectralAnalysis spectral(analysis);
  if (args.Has("--json")) {
    WriteJson(spectral, args.Has("--spectrum"));
  } else {
    WriteText(spectral);
  }
  return 0;
}

const bool registered = RegisterCommand({
    "analyze",
    "FILE [--json] [--spectrum] [--detect]",
    "analyse a sound file on the 10 ms grid",
    "Analyses FILE (8 or 16 bits per sample, 8000 to 96000 Hz) step by step: level, pitch, zero\n"
    "crossings and spectrum of every 10 ms, the smoothed pitch contour, the voiced (pitch) and noisy\n"
    "(fricative) segments with their classes, the note list and the spectral peak tracks. Prints a\n"
    "readable summary, or with --json the whole analysis as one JSON object (described in docs/cli.md).",
    {
        {"--json", nullptr, "print the whole analysis as JSON"},
        {"--spectrum", nullptr, "with --json: add each step's log spectrum"},
        {"--detect", nullptr, "analyse only the part that 'melvox endpoints' finds"},
    },
    1,
    1,
    22,
    RunAnalyze,
});

}  // namespace
}  // namespace melvox::cli
