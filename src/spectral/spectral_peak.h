// Spectral peaks of the 10 ms steps of an analysed sound, and the lists that hold them.
#pragma once

#include <cstdint>
#include <vector>

namespace melvox {

// A peak of one step's log spectrum.
struct SpectralPeak {
  int32_t frame = 0;    // step index in the analysis's results
  int32_t bin = 0;      // log-spectrum bin of the peak's maximum (bin k is k x rate / N Hz)
  float energy = 0.0f;  // sum of log-spectrum values around the peak, the maximum counted twice
};

// Peaks with a flag word. As a step's list: the peaks of one step in the order they were picked, and
// the noise flag in the low byte of the flags. As a PeakTrack: one peak per step, in consecutive
// steps, and flags 0.
struct PeakList {
  std::vector<SpectralPeak> peaks;
  uint32_t flags = 0;

  bool IsNoise() const { return (flags & 0xffu) != 0; }
  void SetNoise(bool noise) { flags = noise ? 1u : 0u; }
};

// A tracked spectral peak: at least 5 peaks in consecutive steps (gaps filled by interpolation).
using PeakTrack = PeakList;

}  // namespace melvox
