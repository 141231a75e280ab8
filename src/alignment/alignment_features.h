// The features two sounds are aligned on, made for the pair together so that what differs between
// recordings of the same words (gain, microphone colour, background noise, the speaker's pitch
// register) weighs as little as possible.
#pragma once

#include <cstdint>
#include <vector>

#include "alignment/step_profile.h"

namespace melvox {

// The choices of the aligned comparison, with the values it uses (chosen on the tuning voices; see
// docs/decisions.md). Tuning programs may vary them.
struct AlignmentSettings {
  int32_t coefficients = 4;           // cepstral coefficients c1 .. cN of the band levels
  float cepstral_deviation = 1.3f;    // each coefficient is scaled to this standard deviation over the sound
  float delta_weight = 3.0f;          // the coefficients' slopes over +-2 steps are added with this weight
  float warp_ratio = 1.04f;           // the recording's bands are tried scaled by warp_ratio^k in frequency,
  int32_t warp_steps = 2;             // k = -warp_steps .. warp_steps, and the scale that lets its steps
                                      // come nearest to the reference's is taken
  float floor_share = 0.02f;          // a band's floor is this quantile of its levels over the sound's steps
  float range_nepers = 12.0f;         // and no band lies further than this below the sound's loudest value
  float level_floor_db = -35.0f;      // levels below this (relative to the loudest step) count as this
  float level_weight = 0.2f;          // feature units per dB of level
  float pitch_weight = 0.1f;          // distance per semitone between two voiced steps ...
  float pitch_cap = 5.0f;             // ... counting at most this many semitones
  float loose_share = 0.4f;           // a path may leave this share of a sound's steps unmatched at each end ...
  int32_t loose_steps = 100;          // ... but at most this many steps
  float unmatched_cost = 6.0f;        // what an unmatched step as loud as the loudest counts ...
  float quiet_unmatched_cost = 1.5f;  // ... and one at the level floor (linear in dB between the two)
  float distance_at_50 = 1.31f;       // the mean aligned distance that maps to a score of 50 ...
  float distance_slope = 0.11f;       // ... and the distance over which the score falls from 73 to 50
};

// One sound's features, a row of `dims` values per 10 ms step.
struct AlignmentFeatures {
  int32_t dims = 0;
  std::vector<float> values;     // steps x dims: cepstral coefficients, the scaled level, the coefficients' slopes
  std::vector<float> columns;    // dims x steps: the same values by dimension, for DistancesFrom
  std::vector<float> semitones;  // per step, relative to the sound's median pitch
  std::vector<uint8_t> voiced;   // per step
  std::vector<float> unmatched;  // per step, what leaving it unmatched at an end of the path costs
  size_t Steps() const { return voiced.size(); }
  const float* Row(size_t step) const { return values.data() + step * static_cast<size_t>(dims); }
};

struct FeaturePair {
  AlignmentFeatures a;
  AlignmentFeatures b;
};

// The features of both sounds over the frequencies both spectra reach: band levels (kProfileBands,
// mel-spaced) raised to a floor common to both sounds (per band the higher of their floors, so that
// the quieter gaps of a clean sound look like those of a noisy one), less their mean per step (the
// gain), as cepstral coefficients less their mean over the sound (the microphone's colour) and scaled
// to a fixed spread; the level raised to a common floor; the coefficients' slopes; and the pitch.
// b's bands are placed at the frequency scale (see warp_ratio) whose features bring b's steps, and
// a's, nearest to a step of the other sound: a shorter vocal tract puts the same vowel's resonances
// higher.
FeaturePair MakeFeaturePair(const StepProfile& a, const StepProfile& b, const AlignmentSettings& settings);

// The distance between step i of one sound and step j of the other: the Euclidean distance of their
// rows, plus pitch_weight x min(semitone difference, pitch_cap) when both steps are voiced.
float StepDistance(const AlignmentFeatures& a, size_t i, const AlignmentFeatures& b, size_t j,
                   const AlignmentSettings& settings);

// StepDistance(a, i, b, j) for every step j of b, into out[0 .. b.Steps()), many steps at a time (the
// same operations in the same order, so the same values). Any thread.
void DistancesFrom(const AlignmentFeatures& a, size_t i, const AlignmentFeatures& b, const AlignmentSettings& settings,
                   float* out);

}  // namespace melvox
