// IPlaybackOwner: what a playback engine tells the object that plays through it (the player, a graph
// window).
#pragma once

namespace melvox {

class IPlaybackOwner {
 public:
  virtual ~IPlaybackOwner() = default;
  // A slot the engine never calls; it keeps OnPlaybackEnded in the third place of the interface.
  virtual void OnPlaybackReserved() {}
  // The frames ran out by themselves and the queued buffers have played. Called on the engine's
  // worker thread, never after a Stop; the owner may call the engine's Stop or SetInput from here.
  virtual void OnPlaybackEnded() = 0;
};

}  // namespace melvox
