// The records that the analysis keeps per 10 ms step: what endpoint detection measures of a frame
// (FrameFeature) and what the frame analyzer finds in it (FrameResult).
#pragma once

#include <cstdint>
#include <vector>

namespace melvox {

// Classes of a 10 ms frame against the noise thresholds.
enum FrameClass : int32_t {
  kFrameSilence = 0,  // energy at or below the low threshold
  kFrameWeak = 1,     // above the low threshold, at or below the high one
  kFrameLoud = 2,     // above the high threshold
};

// One 10 ms frame of a sound as endpoint detection sees it.
struct FrameFeature {
  float energy = 0.0f;          // mean square of the mean-removed samples, 16-bit sample scale
  uint32_t position = 0;        // first sample of the frame (detection) or frame number (analysis)
  uint16_t zero_crossings = 0;  // sign changes of the mean-removed samples inside the frame
  int32_t frame_class = kFrameSilence;
};

// What an analysis measures in each step: everything, or everything but the log spectrum, for callers
// that need only the levels and the pitch (the slowed sound, the pitch contour of a file). The levels,
// pitches and candidates are the same either way; without the spectrum a step skips the transform.
enum class StepMeasures : int32_t {
  kAll = 0,
  kWithoutSpectrum = 1,
};

// A lag where the average magnitude difference of a frame has a deep minimum.
struct PitchCandidate {
  int32_t lag = 0;     // samples
  float depth = 0.0f;  // 1.0 for the deepest minimum; (max - min_i) / (max - min) for the others
};

// What the frame analyzer finds in one 10 ms step. A default result is a silent step.
struct FrameResult {
  float level_db = 0.0f;       // 10 x log10(energy + 1), dB
  float level_drop = 0.0f;     // level of the previous step minus level of this one, dB
  float periodicity = 0.0f;    // AMDF maximum / AMDF minimum; 0 for a silent step
  int16_t pitch_hz = 0;        // fundamental frequency, Hz; 0 = unvoiced
  uint8_t zero_crossings = 0;  // the frame's zero-crossing count, low 8 bits
  bool silent = true;          // the frame's class is silence
  // Natural logarithm of the power values 0 .. count-1 (0 where a power value is below 1), at most 60
  // values; empty for a silent step.
  std::vector<float> log_spectrum;
  // Pitch candidates, the chosen one first; empty when unvoiced.
  std::vector<PitchCandidate> candidates;
};

}  // namespace melvox
