// melvox compare REF REC [--details] [--whole] [--aligned] [--json]
#include <cstdio>

#include "cli.h"
#include "comparison_report.h"
#include "json_writer.h"

namespace melvox::cli {
namespace {

// The stretches of the reference the aligned comparison names as the weakest.
constexpr size_t kWeakestStretches = 3;

void WriteJson(const ScoreTerms& terms, const AlignmentReport* aligned) {
  JsonWriter json(stdout);
  json.BeginObject();
  json.Key("score").Int(terms.percent);
  json.Key("terms").BeginObject();
  json.Key("compared").Bool(terms.compared);
  json.Key("reference_ms").Int(terms.reference_ms).Key("recording_ms").Int(terms.recording_ms);
  json.Key("duration_score").Float(terms.duration_score);
  json.Key("sA").Float(terms.voiced_score).Key("sB").Float(terms.noisy_score).Key("sC").Float(terms.notes_score);
  json.Key("reference_notes").Int(terms.reference_notes).Key("recording_notes").Int(terms.recording_notes);
  json.EndObject();
  if (aligned != nullptr) {
    json.Key("aligned").BeginObject();
    json.Key("compared").Bool(aligned->compared);
    json.Key("score").Float(aligned->score).Key("distance").Float(aligned->distance);
    json.Key("stretches").BeginArray();
    for (const StretchScore& s : aligned->stretches) {
      json.BeginObject().Key("reference_ms").BeginArray().Int(s.reference_start_ms).Int(s.reference_end_ms).EndArray();
      json.Key("recording_ms").BeginArray().Int(s.recording_start_ms).Int(s.recording_end_ms).EndArray();
      json.Key("score").Float(s.score).EndObject();
    }
    json.EndArray();
    json.Key("path").BeginArray();
    for (const AlignmentPoint& p : aligned->path) json.BeginArray().Int(p.reference_ms).Int(p.recording_ms).EndArray();
    json.EndArray();
    json.EndObject();
  }
  json.EndObject();
  std::printf("\n");
}

int RunCompare(const ParsedArgs& args) {
  const std::string& reference = args.Positional()[0];
  const std::string& recording = args.Positional()[1];
  const ScoreTerms terms = CompareFiles(reference, recording, args.Has("--whole"));
  AlignmentReport aligned;
  const bool with_aligned = args.Has("--aligned");
  if (with_aligned) aligned = AlignFiles(reference, recording);
  if (args.Has("--json")) {
    WriteJson(terms, with_aligned ? &aligned : nullptr);
    return 0;
  }
  if (args.Has("--details")) PrintTerms(terms, stdout);
  if (with_aligned) PrintAlignment(aligned, kWeakestStretches, stdout);
  std::printf("%d\n", terms.percent);
  return 0;
}

const bool registered = RegisterCommand({
    "compare",
    "REF REC [--details] [--whole] [--aligned] [--json]",
    "how similar a recording is to a reference, in percent",
    "Finds the useful part of both sounds (as 'melvox endpoints' does), analyses both and prints their\n"
    "similarity as a whole percentage (0 to 100) alone on the last line: a weighted mean of how alike\n"
    "their note lists (spectral peaks), noisy stretches, voiced stretches with their pitch shapes, and\n"
    "durations are. Sounds longer than 10 seconds score 0. With --aligned it also aligns the recording\n"
    "with the reference step by step and prints the aligned score (0 to 100, robust to gain, noise,\n"
    "tempo and the speaker's pitch) and the three weakest 200 ms stretches of the reference. The\n"
    "output is described in docs/cli.md.",
    {
        {"--details", nullptr, "first print both durations, the duration score, the three terms and the note counts"},
        {"--whole", nullptr, "compare the whole files, without finding their useful parts (not the aligned score)"},
        {"--aligned", nullptr, "also print the aligned score and the weakest stretches of the reference"},
        {"--json", nullptr, "print everything as one JSON object instead (with --aligned: the path and all stretches)"},
    },
    2,
    2,
    40,
    RunCompare,
});

}  // namespace
}  // namespace melvox::cli
