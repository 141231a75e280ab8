#include "sound/time_stretcher.h"

#include <algorithm>
#include <cstring>

namespace melvox {
namespace {

// Part of an inserted period that is cross-faded, at each end (voiced) or in all (unvoiced).
constexpr float kCrossFade = 0.2f;
// The pseudo-random generator: the linear congruential generator that the C standard gives as its
// example rand(), seeded with rand's default seed, 1. It is ours, so every machine gives the same
// sequence; its output is bits 16..30 of the state, since the low bits of such a generator repeat early.
constexpr uint32_t kRandomSeed = 1;
constexpr uint32_t kRandomMultiplier = 1103515245u;
constexpr uint32_t kRandomIncrement = 12345u;

}  // namespace

// The samples of one stretch, addressed in frames (one sample of every channel). Every copy and write
// stops at the end of the output block and every read at the end of the input, whatever it is asked.
template <typename Sample>
class StretchFrames {
 public:
  StretchFrames(const Sample* in, uint32_t in_frames, Sample* out, uint32_t out_frames, uint32_t channels)
      : in_(in), out_(out), in_frames_(in_frames), out_frames_(out_frames), channels_(channels) {}

  uint32_t InFrames() const { return in_frames_; }
  uint32_t OutFrames() const { return out_frames_; }

  // Copies count input frames from src to the output at dst; returns the output position reached.
  uint32_t CopyIn(uint32_t src, uint32_t dst, uint32_t count) const {
    count = std::min({count, Room(src, in_frames_), Room(dst, out_frames_)});
    if (count > 0) std::memcpy(out_ + size_t{dst} * channels_, in_ + size_t{src} * channels_, Bytes(count));
    return dst + count;
  }

  // Repeats count output frames from a at dst; the two ranges never overlap (a + count <= dst).
  uint32_t CopyOut(uint32_t a, uint32_t dst, uint32_t count) const {
    count = std::min(count, Room(dst, out_frames_));
    if (count > 0) std::memcpy(out_ + size_t{dst} * channels_, out_ + size_t{a} * channels_, Bytes(count));
    return dst + count;
  }

  // Writes at output frame dst the mix (a x wa + b x wb) / w of output frame a and input frame b, channel
  // by channel, with integer division toward zero. The weights are not negative and add up to w, so the
  // mix stays in the sample range. The caller keeps dst and b inside their blocks and a below dst.
  void Mix(uint32_t a, uint32_t b, uint32_t dst, int64_t wa, int64_t wb, int64_t w) const {
    for (uint32_t c = 0; c < channels_; ++c) {
      const int64_t mixed =
          (int64_t{out_[size_t{a} * channels_ + c]} * wa + int64_t{in_[size_t{b} * channels_ + c]} * wb) / w;
      out_[size_t{dst} * channels_ + c] = static_cast<Sample>(mixed);
    }
  }

 private:
  static uint32_t Room(uint32_t position, uint32_t end) { return position < end ? end - position : 0; }
  size_t Bytes(uint32_t frames) const { return size_t{frames} * channels_ * sizeof(Sample); }

  const Sample* in_;
  Sample* out_;
  uint32_t in_frames_;
  uint32_t out_frames_;
  uint32_t channels_;
};

std::unique_ptr<CWave> CTimeStretcher::MakeStretched(const CWave& wave, const std::vector<int16_t>& contour,
                                                     int32_t level) {
  if (level > -1 || level < -200) return nullptr;
  const WAVEFORMATEX& format = wave.Format();
  const uint32_t rate = format.nSamplesPerSec;
  if ((format.wBitsPerSample != 8 && format.wBitsPerSample != 16) || rate < 100) return nullptr;

  factor_ = -100.0f / static_cast<float>(level - 100);
  bytes_per_sample_ = format.wBitsPerSample / 8u;
  const uint32_t channels = std::max<uint32_t>(format.nChannels, 1);
  const uint32_t frame_bytes = bytes_per_sample_ * channels;
  const uint32_t in_frames = std::min(wave.SampleCount(), wave.Size() / frame_bytes);
  const float size = static_cast<float>(uint64_t{frame_bytes} * in_frames) / factor_;
  if (size >= 4294967296.0f) return nullptr;
  auto stretched = std::make_unique<CWave>(format, static_cast<uint32_t>(size), nullptr);
  if (stretched->Size() == 0 && size >= 1.0f) return nullptr;
  stretched->SetKind(wave.Kind());

  random_state_ = kRandomSeed;
  const uint32_t out_frames = stretched->Size() / frame_bytes;
  uint32_t written = 0;
  if (format.wBitsPerSample != 8) {
    const StretchFrames<int16_t> io(reinterpret_cast<const int16_t*>(wave.Data()), in_frames,
                                    reinterpret_cast<int16_t*>(stretched->Data()), out_frames, channels);
    written = StretchSegments(io, rate, contour);
  } else if (wave.Kind() == SampleKind::kSigned) {
    const StretchFrames<int8_t> io(reinterpret_cast<const int8_t*>(wave.Data()), in_frames,
                                   reinterpret_cast<int8_t*>(stretched->Data()), out_frames, channels);
    written = StretchSegments(io, rate, contour);
  } else {
    const StretchFrames<uint8_t> io(wave.Data(), in_frames, stretched->Data(), out_frames, channels);
    written = StretchSegments(io, rate, contour);
  }
  stretched->SetSampleCount(written);
  stretched->SetSelection(0, written > 0 ? static_cast<int32_t>(written - 1) : 0);
  return stretched;
}

template <typename Sample>
uint32_t CTimeStretcher::StretchSegments(const StretchFrames<Sample>& io, uint32_t rate,
                                         const std::vector<int16_t>& contour) {
  const uint32_t frame = rate / 100;
  period_ = rate / 110;
  uint32_t segment = frame;
  int64_t carry = 0;
  uint32_t in = 0;
  uint32_t out = 0;
  size_t k = 0;
  while (k < contour.size() && out < io.OutFrames()) {
    int32_t pitch = contour[k];
    voiced_ = pitch > 0 ? 1 : 0;
    if (voiced_ == 0) pitch = RandomPitch();
    period_ = std::max(rate / static_cast<uint32_t>(pitch), 1u);
    segment = std::max(segment, period_);
    const uint64_t next = uint64_t{in} + segment;
    if (next > io.InFrames()) break;

    // The segment's share of the new length, less what earlier segments already got too much, in whole
    // periods; the remainder is carried on.
    const auto target = static_cast<int64_t>(static_cast<double>(static_cast<float>(segment)) / factor_);
    repeats_ = static_cast<int32_t>((target - segment + carry) / period_);
    const uint32_t reached =
        repeats_ != 0 ? InsertPeriods(io, in, out, segment, io.InFrames() - in) : io.CopyIn(in, out, segment);
    carry += target - (int64_t{repeats_} * period_ + segment);
    out = reached;
    in = static_cast<uint32_t>(next);
    segment = frame;
    k = next / frame;
  }
  return io.CopyIn(in, out, io.InFrames() - in);
}

template <typename Sample>
uint32_t CTimeStretcher::InsertPeriods(const StretchFrames<Sample>& io, uint32_t src, uint32_t dst, uint32_t n,
                                       uint32_t m) {
  const uint32_t start = src;
  const uint32_t period = period_;
  uint32_t left = n;
  for (int32_t q = 0; q < repeats_; ++q) {
    // The first pass always copies a whole period (n >= period), so one lies behind dst from then on.
    if (left >= period) {
      dst = io.CopyIn(src, dst, period);
      src += period;
    }
    if (dst >= io.OutFrames()) return dst;
    const uint32_t consumed = src - start;
    const uint32_t length = std::min(period, m - consumed);
    const auto fade = static_cast<uint32_t>(static_cast<float>(length) * kCrossFade);
    // The new period: from the input that follows (b) over to the period just written (a), so that it
    // begins where the output stands and ends where the input goes on.
    uint32_t a = dst - period;
    uint32_t b = src;
    const uint32_t period_end = dst + period;
    const uint32_t end = std::min(period_end, io.OutFrames());
    if (voiced_ != 0) {
      const int64_t w = 2 * int64_t{fade};
      for (uint32_t i = 0; i < length && dst < end; ++i) {
        if (i < fade) {
          io.Mix(a++, b++, dst++, i + 1, w - (i + 1), w);
        } else if (i < length - fade) {
          io.Mix(a++, b++, dst++, 1, 1, 2);
        } else {
          const int64_t j = i - (length - fade) + 1;
          io.Mix(a++, b++, dst++, fade + j, fade - j, w);
        }
      }
    } else {
      for (uint32_t j = 1; j < fade && dst < end; ++j) io.Mix(a++, b++, dst++, j, fade - j, fade);
    }
    dst = io.CopyOut(a, dst, period_end - dst);
    left = n - consumed;
  }
  return io.CopyIn(src, dst, left);
}

int32_t CTimeStretcher::RandomPitch() {
  random_state_ = random_state_ * kRandomMultiplier + kRandomIncrement;
  return 100 + static_cast<int32_t>((random_state_ >> 16) & 0x7FFFu) % 40;
}

}  // namespace melvox
