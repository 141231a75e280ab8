// The sound analysis for hosts: what a sound file holds, where its useful part starts and ends, its
// pitch and level every 10 ms, how similar a recording is to a reference (the recorder's score and
// the aligned comparison, which says where the recording was off), and the sounds made from a sound
// (the slowed version, the graphs' sounds) written to WAV files.
//
// Every function takes its sounds as SoundInput: a file (WAV with mono PCM or IMA ADPCM samples, or
// Ogg Vorbis), or 16-bit mono samples with their rate. Every function throws CMsgException on
// failure, with the library's message: "Cannot open file" for a file that is missing or cannot be
// read, "Incorrect wave format" for a file that is not a sound the library reads, "Unsupported wave
// format" for a rate outside 8000..96000 Hz or samples other than 8 or 16 bits (the analysis takes
// no others), "File I/O error" when an output file cannot be written, or a sentence of its own.
//
// Threading: the functions keep no state between calls; any thread may call them, several at once,
// also while the player plays and the recorder records. Each runs on the caller's thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "melvox/export.h"

namespace melvox {

// A sound to analyse: a file path, or samples held by the host.
struct SoundInput {
  SoundInput(const char* file_path) : path(file_path != nullptr ? file_path : "") {}  // NOLINT: implicit
  SoundInput(std::string file_path) : path(std::move(file_path)) {}                   // NOLINT: implicit
  SoundInput(std::vector<int16_t> mono_samples, uint32_t sample_rate)
      : samples(std::move(mono_samples)), rate(sample_rate) {}

  std::string path;              // read when not empty
  std::vector<int16_t> samples;  // otherwise these, one channel, at `rate` Hz
  uint32_t rate = 0;
};

// What a sound holds, as the player opens it.
struct SoundInfo {
  std::string format;  // "pcm", "adpcm", "ogg", or "samples" for samples held by the host
  uint32_t rate = 0;   // samples per second
  uint32_t channels = 0;
  uint32_t bits = 0;  // bits per sample as delivered (16 for IMA ADPCM and Ogg Vorbis)
  int64_t frames = 0;
  int64_t duration_ms = 0;  // frames x 1000 / rate, truncated
};

// The useful part of a sound: from the first loud stretch to the last, leading and trailing
// background noise left out (fricatives at either end kept).
struct SoundEndpoints {
  bool found = false;        // false for a sound under 50 ms or without 60 ms clearly above its background
  int32_t first_sample = 0;  // first and last sample of the part, counted from 0 (frames, for several
  int32_t last_sample = 0;   // channels); the whole sound when none was found
  int32_t start_ms = 0;      // first_sample x 1000 / rate, truncated
  int32_t end_ms = 0;        // (last_sample + 1) x 1000 / rate, truncated
};

// One 10 ms step of the analysis.
struct AnalysisStep {
  int32_t time_ms = 0;    // start of the step from the start of the sound
  int32_t pitch_hz = 0;   // the smoothed pitch contour (searched from 60 to 440 Hz); 0 = unvoiced
  float level_db = 0.0f;  // 10 x log10(mean square + 1) of the step's samples on the 16-bit scale, 0 .. about 90
  bool silent = true;     // at or below the sound's silence threshold
};

struct StepAnalysis {
  SoundEndpoints part;              // the analysed part (the whole sound unless asked to detect it)
  std::vector<AnalysisStep> steps;  // one per 10 ms of the analysed part
};

// The recorder's score (ISoundRecorder::Compare) with its terms; similarities in 0 .. 1.
struct ScoreTerms {
  bool compared = false;     // false when either part is longer than 10 s: everything below is 0
  int32_t reference_ms = 0;  // the two parts' durations
  int32_t recording_ms = 0;
  float duration_score = 0.0f;  // 1 while the shorter lasts more than 0.8 of the longer
  float voiced_score = 0.0f;    // the voiced stretches and their pitch shapes, paired in order
  float noisy_score = 0.0f;     // the noisy (fricative) stretches, paired in order
  float notes_score = 0.0f;     // the note lists (spectral peaks)
  int32_t reference_notes = 0;
  int32_t recording_notes = 0;
  float score = 0.0f;   // (4 notes + 3 noisy + 2 voiced + 0.8 duration) / 9.8
  int32_t percent = 0;  // trunc(100 x score): what ISoundRecorder::Compare returns
};

// A point of the alignment: a 10 ms step of the reference and the step of the recording aligned with
// it, each as ms from the start of its sound.
struct AlignmentPoint {
  int32_t reference_ms = 0;
  int32_t recording_ms = 0;
};

// A stretch of the reference (200 ms; the last one up to 300 ms) and the part of the recording
// aligned with it.
struct StretchScore {
  int32_t reference_start_ms = 0;
  int32_t reference_end_ms = 0;  // exclusive
  int32_t recording_start_ms = 0;
  int32_t recording_end_ms = 0;  // exclusive
  float score = 0.0f;            // 0 .. 100, on the scale of the whole score
};

// The aligned comparison: the recording is aligned with the reference step by step (its tempo may
// vary from half to twice the reference's) on features that a change of gain, microphone, pitch
// register or a voice's resonances (a woman's against a man's) hardly moves, and scored by how close
// the aligned steps are, each pair against the nearest the other sound comes to either step anywhere
// (another voice or a noisy room moves every step; the same words in another order cannot keep their
// best matches).
struct AlignmentReport {
  bool compared = false;                // false when either useful part has no steps or is longer than 20 s, or
                                        // one lasts over twice as long as the other (after up to 40 % of each
                                        // end, at most 1 s, is left out as noise): the score is then 0
  float score = 0.0f;                   // 0 .. 100: mostly above 80 for the same words said again, below 20 for others
  float distance = 0.0f;                // the mean distance of the aligned steps the score comes from (0 = identical)
  std::vector<AlignmentPoint> path;     // in order; both times never decrease
  std::vector<StretchScore> stretches;  // in order, covering the reference's useful part
};

enum class GraphSoundKind : int32_t {
  kTone = 0,         // the pitch graph's triangle tone along the pitch contour (44100 Hz, 16 bits)
  kFricative = 1,    // the crossing graph's loud, noisy steps, 2.5 times louder (the sound's rate and bits)
  kResynthesis = 2,  // the spectrum graph's tones of the spectral peak tracks (44100 Hz, 16 bits)
};

// The format and length of a sound. Samples held by the host give "samples", their rate, 1 channel,
// 16 bits.
MELVOX_API SoundInfo GetSoundInfo(const SoundInput& sound);

// Finds the useful part of a sound as the player does.
MELVOX_API SoundEndpoints FindSoundEndpoints(const SoundInput& sound);

// The pitch and level of every 10 ms step of the sound, or of its useful part when detect_part is
// true (the whole sound when none is found).
MELVOX_API StepAnalysis AnalyzeSteps(const SoundInput& sound, bool detect_part);

// The recorder's score of a recording against a reference, over the useful parts of both (the whole
// sounds when detect_parts is false), with its terms. ScoreRecording(a, b, true).percent equals
// ISoundRecorder::Compare for the same two files.
MELVOX_API ScoreTerms ScoreRecording(const SoundInput& reference, const SoundInput& recording, bool detect_parts);

// The aligned comparison of a recording with a reference, over the useful parts of both.
MELVOX_API AlignmentReport AlignRecording(const SoundInput& reference, const SoundInput& recording);

// Writes the slowed version of a sound (the player's, at slow-down level -200..-1: (100 - level) / 100
// times as long) to out_path as a PCM WAV file, replacing it only when the whole file is written.
// Returns the number of frames written. A level outside the range gives "The slow-down level must
// lie within -200..-1.".
MELVOX_API int64_t WriteSlowedSound(const SoundInput& sound, const char* out_path, int32_t level);

// Writes the sound a graph plays instead of the recording, made from the analysis of the sound (of
// its useful part when detect_part is true), to out_path as a PCM WAV file. CMsgException with a
// sentence of its own when the sound has none (no peak tracks to resynthesize, too short to analyse).
MELVOX_API void WriteGraphSound(const SoundInput& sound, GraphSoundKind kind, const char* out_path, bool detect_part);

}  // namespace melvox
