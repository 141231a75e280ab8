// CPowerFft: the power spectrum of one analysis frame in 16-bit fixed point.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/fft_butterflies.h"

namespace melvox {

// Windows a frame of L 16-bit samples with a Q14 Hamming window (16384 = 1.0) spanning the L samples,
// pads it with zeros to N = 128, 256, 512 or 1024 points (the smallest that holds L), transforms it in
// 16-bit fixed point with a halving at every stage, and hands out the power values of bins 0 .. M-1,
// M = N/2 - 1. Bin k belongs to k x rate / N Hz.
//
// Scale: power[k] = |X_k|^2 / N^2 within the rounding of 16-bit arithmetic, X_k being the plain DFT of
// the windowed, padded frame; a cosine of amplitude A on bin k gives about (A/2)^2, and no bin can
// exceed 2^30, so every value fits 32 bits.
//
// All buffers are allocated by the constructor; Transform allocates nothing. Not thread-safe: one
// transform at a time per object.
class CPowerFft {
 public:
  static constexpr int32_t kMaxFrameLength = 1024;

  CPowerFft();

  // Prepares for frames of `frame_length` samples and returns M (63, 127, 255 or 511); a frame
  // longer than 1024 samples, or shorter than 2, leaves the object unconfigured and returns 0.
  int32_t Configure(int32_t frame_length);
  // Windows the first L samples, pads, transforms and writes M power values to power_out (which
  // must hold M values). Does nothing while unconfigured.
  void Transform(const int16_t* samples, int32_t* power_out);

  int32_t FrameLength() const { return frame_length_; }
  int32_t Size() const { return size_; }
  int32_t OutputCount() const { return output_count_; }

 private:
  // In-place radix-2 decimation-in-frequency transform of the N/2 complex points in re_/im_, halving
  // at every stage; the result is left in bit-reversed order.
  void ComplexTransform();

  std::vector<int16_t> work_;           // the windowed, zero-padded frame
  std::vector<int16_t> window_;         // Q14 Hamming window over the L frame samples
  std::vector<int16_t> re_;             // the frame packed as N/2 complex points: even samples ...
  std::vector<int16_t> im_;             // ... and odd samples
  std::vector<int32_t> cos_;            // cos(2 pi k / N) for k < N/2, Q15 (32768 = 1.0)
  std::vector<int32_t> sin_;            // sin(2 pi k / N), Q15
  std::vector<uint16_t> bit_reversed_;  // index of complex point k in the transformed arrays
  std::vector<uint16_t> mirrored_;      // index of complex point (N/2 - k) mod N/2 there
  std::vector<int32_t> stage_cos_;      // the twiddles of each stage in the order it uses them
  std::vector<int32_t> stage_sin_;
  ButterflyKernel butterflies_;  // the fastest kernel this processor runs
  int32_t frame_length_ = 0;
  int32_t size_ = 0;
  int32_t output_count_ = 0;
};

}  // namespace melvox
