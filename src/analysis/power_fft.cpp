#include "analysis/power_fft.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/cpu_features.h"

namespace melvox {
namespace {

constexpr int32_t kSmallestSize = 128;
constexpr double kTwoPi = 6.28318530718;  // the constant the window has always been built with
constexpr double kExactTwoPi = 6.283185307179586;

}  // namespace

CPowerFft::CPowerFft()
    : work_(kMaxFrameLength + 2),
      window_(kMaxFrameLength + 2),
      re_(kMaxFrameLength / 2),
      im_(kMaxFrameLength / 2),
      cos_(kMaxFrameLength / 2),
      sin_(kMaxFrameLength / 2),
      bit_reversed_(kMaxFrameLength / 2),
      mirrored_(kMaxFrameLength / 2),
      stage_cos_(kMaxFrameLength / 2),
      stage_sin_(kMaxFrameLength / 2),
      butterflies_(HasAvx2() ? ButterfliesAvx2 : ButterfliesPortable) {}

int32_t CPowerFft::Configure(int32_t frame_length) {
  frame_length_ = frame_length;
  size_ = 0;
  output_count_ = 0;
  if (frame_length < 2 || frame_length > kMaxFrameLength) return 0;
  size_ = kSmallestSize;
  while (size_ < frame_length) size_ *= 2;
  output_count_ = size_ / 2 - 1;

  for (int32_t n = 0; n < frame_length; ++n) {
    const double w = 0.54 - 0.46 * std::cos(kTwoPi * n / (frame_length - 1));
    window_[n] = static_cast<int16_t>(static_cast<int32_t>(w * 16384.0 + 0.5));  // truncated: ends 1311, middle 16384
  }
  const int32_t half = size_ / 2;
  for (int32_t k = 0; k < half; ++k) {
    const double angle = kExactTwoPi * k / size_;
    cos_[k] = static_cast<int32_t>(std::lround(std::cos(angle) * 32768.0));
    sin_[k] = static_cast<int32_t>(std::lround(std::sin(angle) * 32768.0));
  }
  // Each stage's twiddles side by side: the stage of span s (s pairs per group) at offset half - 2s.
  for (int32_t span = half / 2; span >= 1; span /= 2) {
    const int32_t step = size_ / (2 * span);
    for (int32_t j = 0; j < span; ++j) {
      stage_cos_[half - 2 * span + j] = cos_[j * step];
      stage_sin_[half - 2 * span + j] = sin_[j * step];
    }
  }
  int32_t bits = 0;
  while ((1 << bits) < half) ++bits;
  for (int32_t k = 0; k < half; ++k) {
    int32_t reversed = 0;
    for (int32_t b = 0; b < bits; ++b) reversed |= ((k >> b) & 1) << (bits - 1 - b);
    bit_reversed_[k] = static_cast<uint16_t>(reversed);
  }
  for (int32_t k = 0; k < half; ++k) mirrored_[k] = bit_reversed_[(half - k) % half];
  return output_count_;
}

void CPowerFft::Transform(const int16_t* samples, int32_t* power_out) {
  if (size_ == 0) return;
  for (int32_t n = 0; n < frame_length_; ++n) {
    work_[n] = static_cast<int16_t>((int32_t{samples[n]} * window_[n]) >> 14);
  }
  std::fill(work_.begin() + frame_length_, work_.begin() + size_, int16_t{0});

  // The real frame as N/2 complex points (even samples real, odd imaginary), halved once: the N/2
  // point transform halves log2(N/2) times more, so its output is scaled by 1/N, and no complex value
  // can grow beyond 32768 x sqrt(2) / 2 < 2^15 on the way.
  const int32_t half = size_ / 2;
  for (int32_t n = 0; n < half; ++n) {
    re_[n] = static_cast<int16_t>(work_[2 * n] >> 1);
    im_[n] = static_cast<int16_t>(work_[2 * n + 1] >> 1);
  }
  ComplexTransform();

  // Split the half-size spectrum Z into the real frame's spectrum X (both scaled by 1/N):
  //   X_k = (Z_k + conj Z_{h-k}) / 2 + W^k (Z_k - conj Z_{h-k}) / 2i,  W = exp(-2 pi i / N).
  // Kept doubled in 32 bits, halved once at the end.
  for (int32_t k = 0; k < output_count_; ++k) {
    const int32_t a = bit_reversed_[k];
    const int32_t b = mirrored_[k];
    const int32_t ar = re_[a];
    const int32_t ai = im_[a];
    const int32_t br = re_[b];
    const int32_t bi = im_[b];
    const int32_t even_re = ar + br;
    const int32_t even_im = ai - bi;
    const int32_t odd_re = ai + bi;
    const int32_t odd_im = br - ar;
    const int32_t c = cos_[k];
    const int32_t s = sin_[k];
    const int64_t x_re = (even_re + ((int64_t{c} * odd_re + int64_t{s} * odd_im + 16384) >> 15)) >> 1;
    const int64_t x_im = (even_im + ((int64_t{c} * odd_im - int64_t{s} * odd_re + 16384) >> 15)) >> 1;
    const int64_t power = x_re * x_re + x_im * x_im;
    power_out[k] = static_cast<int32_t>(std::min<int64_t>(power, std::numeric_limits<int32_t>::max()));
  }
}

void CPowerFft::ComplexTransform() {
  // Stages of groups of 2 x span points, span halving from half / 2 to 1 (half is 64 or more, so
  // every stage holds a multiple of 16 points).
  const int32_t half = size_ / 2;
  for (int32_t span = half / 2; span >= 1; span /= 2) {
    const int32_t* c = stage_cos_.data() + (half - 2 * span);
    const int32_t* s = stage_sin_.data() + (half - 2 * span);
    butterflies_(re_.data(), im_.data(), span, half / (2 * span), c, s);
  }
}

}  // namespace melvox
