// IRecordingOwner: what a recording engine tells the object that records through it (the recorder).
#pragma once

#include <cstdint>

namespace melvox {

class IRecordingOwner {
 public:
  virtual ~IRecordingOwner() = default;
  // The largest sample magnitude (0 .. 32767) over the last three buffers recorded. Called on the
  // engine's worker thread, which records meanwhile: return at once (queue, never wait), and never
  // stop the engine from here.
  virtual void OnLevel(int32_t value) = 0;
};

}  // namespace melvox
