#include "analysis/frame_analyzer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>

#include "core/mv_exception.h"

namespace melvox {
namespace {

constexpr size_t kFrameBufferSamples = 2048;  // grown for formats whose frames need more
constexpr size_t kPowerBufferValues = 1024;
constexpr double kSpectrumShare = 0.6;  // the share of the power values kept as the log spectrum
constexpr double kMaxSpectrumValues = 60.0;

bool SameFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
  return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels && a.nSamplesPerSec == b.nSamplesPerSec &&
         a.nAvgBytesPerSec == b.nAvgBytesPerSec && a.nBlockAlign == b.nBlockAlign &&
         a.wBitsPerSample == b.wBitsPerSample;
}

int32_t PowerOfTwoAtLeast(int32_t n) {
  int32_t power = 1;
  while (power < n) power *= 2;
  return power;
}

}  // namespace

void CheckAnalysisFormat(const WAVEFORMATEX& format) {
  const bool bits_ok = format.wBitsPerSample == 8 || format.wBitsPerSample == 16;
  if (!bits_ok || format.nSamplesPerSec < kMinAnalysisRate || format.nSamplesPerSec > kMaxAnalysisRate) {
    throw CMVException(kErrUnsupportedWaveFormat);
  }
}

void CFrameAnalyzer::Configure(const WAVEFORMATEX& format, int32_t reference_pitch) {
  CheckAnalysisFormat(format);
  if (configured_ && SameFormat(format, format_)) {
    if (reference_pitch != tracker_.ReferencePitch()) {
      tracker_.Configure(format.nSamplesPerSec, reference_pitch);
      // The frame length follows the samples the tracker needs, so that no step reads short.
      SetFrameLength();
    }
    return;
  }
  const auto rate = static_cast<int32_t>(format.nSamplesPerSec);
  tracker_.Configure(format.nSamplesPerSec, reference_pitch);
  spectrum_count_ = fft_.Configure(rate * 10 / 1000);
  level_db_ = 0.0f;
  previous_level_db_ = 0.0f;
  power_.assign(kPowerBufferValues, 0);
  format_ = format;
  configured_ = true;
  SetFrameLength();
}

void CFrameAnalyzer::SetFrameLength() {
  const int32_t samples_per_10ms = static_cast<int32_t>(format_.nSamplesPerSec) * 10 / 1000;
  frame_length_ = std::max(PowerOfTwoAtLeast(samples_per_10ms), tracker_.FrameNeed());
  frame_.assign(std::max(kFrameBufferSamples, static_cast<size_t>(frame_length_)), 0);
}

void CFrameAnalyzer::Reset() {
  level_db_ = 0.0f;
  previous_level_db_ = 0.0f;
  periodicity_ = 0.0f;
  tracker_.Reset();
}

void CFrameAnalyzer::AnalyzeFrame(const int16_t* samples, const FrameFeature& feature, FrameResult& result,
                                  StepMeasures measures) {
  if (feature.frame_class != kFrameSilence) std::copy(samples, samples + frame_length_, frame_.begin());
  Measure(feature, result, measures);
}

void CFrameAnalyzer::AnalyzeFrame(const int8_t* samples, const FrameFeature& feature, FrameResult& result,
                                  StepMeasures measures) {
  if (feature.frame_class != kFrameSilence) {
    for (int32_t i = 0; i < frame_length_; ++i) frame_[i] = static_cast<int16_t>(samples[i] * 256);
  }
  Measure(feature, result, measures);
}

void CFrameAnalyzer::Measure(const FrameFeature& feature, FrameResult& result, StepMeasures measures) {
  previous_level_db_ = level_db_;
  level_db_ = 10.0f * std::log10(feature.energy + 1.0f);  // single precision
  const bool silent = feature.frame_class == kFrameSilence;
  result.log_spectrum.clear();
  result.candidates.clear();
  if (silent) {
    periodicity_ = 0.0f;
    pitch_hz_ = 0;
  } else {
    pitch_hz_ = tracker_.Estimate(frame_.data(), feature);
    periodicity_ = tracker_.Periodicity();
    result.candidates = tracker_.Candidates();
  }
  // The spectrum is taken last: the pre-emphasis filters frame_ in place, which the next step fills
  // afresh.
  if (!silent && measures == StepMeasures::kAll) {
    // Pre-emphasis y[n] = x[n] - 0.9375 x[n-1] in 16-bit fixed point, from the end so that x[n-1] is
    // still unfiltered; the upper 16 bits of the 32-bit difference are kept, wrapping like the sums of
    // the transform. Only the samples the transform reads are filtered.
    const int32_t length = fft_.FrameLength();
    for (int32_t n = length - 1; n >= 1; --n) {
      const int64_t difference = int64_t{frame_[n]} * 65536 - int64_t{frame_[n - 1]} * 61440;
      frame_[n] = static_cast<int16_t>(static_cast<uint32_t>(difference) >> 16);
    }
    if (length > 1) frame_[0] = frame_[1];
    fft_.Transform(frame_.data(), power_.data());

    const auto count =
        static_cast<int32_t>(std::min(spectrum_count_ * kSpectrumShare, kMaxSpectrumValues));  // truncated
    result.log_spectrum.resize(static_cast<size_t>(count));
    for (int32_t k = 0; k < count; ++k) {
      result.log_spectrum[k] = power_[k] >= 1 ? std::log(static_cast<float>(power_[k])) : 0.0f;
    }
  }
  result.level_db = level_db_;
  result.level_drop = previous_level_db_ - level_db_;
  result.pitch_hz = pitch_hz_;
  result.periodicity = periodicity_;
  result.zero_crossings = static_cast<uint8_t>(feature.zero_crossings & 0xff);
  result.silent = silent;
}

namespace {

// The idle analyzers, in the order they were given back. Analyzers live until the process ends; the
// pool holds at most as many per format as analyses of that format ever ran at once.
struct FrameAnalyzerPool {
  std::mutex mutex;
  std::vector<std::unique_ptr<CFrameAnalyzer>> idle;
};

FrameAnalyzerPool& Pool() {
  static FrameAnalyzerPool* pool = new FrameAnalyzerPool;  // never destroyed: analyses may run at exit
  return *pool;
}

}  // namespace

void FrameAnalyzerReturn::operator()(CFrameAnalyzer* analyzer) const {
  std::unique_ptr<CFrameAnalyzer> owned(analyzer);
  FrameAnalyzerPool& pool = Pool();
  const std::lock_guard<std::mutex> guard(pool.mutex);
  pool.idle.push_back(std::move(owned));
}

FrameAnalyzerLease AcquireFrameAnalyzer(const WAVEFORMATEX& format, int32_t reference_pitch) {
  FrameAnalyzerPool& pool = Pool();
  {
    const std::lock_guard<std::mutex> guard(pool.mutex);
    for (auto it = pool.idle.begin(); it != pool.idle.end(); ++it) {
      if (SameFormat((*it)->Format(), format) && (*it)->ReferencePitch() == reference_pitch) {
        FrameAnalyzerLease lease(it->release());
        pool.idle.erase(it);
        return lease;
      }
    }
  }
  auto analyzer = std::make_unique<CFrameAnalyzer>();
  analyzer->Configure(format, reference_pitch);
  return FrameAnalyzerLease(analyzer.release());
}

}  // namespace melvox
