// The graph manager: graphs of a sound file in child windows of the host's window, where a click or a
// drag plays that part of the sound while a cursor follows it.
#pragma once

#include <cstdint>

#include "melvox/export.h"

namespace melvox {

// The graph types: one bit each of CreateGraphs's types; a type names one graph of a manager.
enum GraphType : int32_t {
  GRAPH_ENVELOPE = 1,  // the loudness outline: grey bars symmetric about the middle; plays the sound
  GRAPH_CROSSING = 2,  // the hissing (fricative) parts as a filled curve; plays only those, amplified
  GRAPH_PITCH = 4,     // the pitch contour as a filled curve; plays a tone that follows it
  GRAPH_SPECTRUM = 8,  // coloured bars of where the tonal peaks lie (blue low, red high); plays them
};

// A window, 0 for none. As the parent of CreateGraphs it is either
//  - the id (XID, below 2^29) of an X window of the host's display (on X11, or XWayland): the library
//    opens its own connection to the display and makes the graph windows X windows inside it, whose
//    handles are their X ids, which the host shows, moves and resizes with its own X requests; or
//  - the handle of a graph surface (IGraphSurface::GetHandle, 2^32 and up) for a host that draws the
//    graphs itself: the graph windows are composed into the surface's pixels, and the host shows and
//    places them through the surface.
// Any other value (or an X id when no display opens) gives graph windows that nobody sees.
using WindowHandle = uint64_t;

// A rectangle in pixels of the parent window's client area; right and bottom are exclusive.
struct GraphRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// Implemented by the host and handed to IGraphicManager::AddListener; never owned by the library.
// Threading: called on the library's window thread (see IGraphicManager); a listener may call the
// manager (the call then runs at once) but must not wait for the host's own thread while that thread
// waits in a manager call. A host class that is not final needs a virtual destructor of its own.
class MELVOX_API IGraphicListener {
 public:
  // A graph is about to play the range the user chose.
  virtual void OnPlayStart() = 0;
  // Every graph was repainted and playback stopped (RedrawGraphs, or a press in a graph).
  virtual void OnRedraw() = 0;

 protected:
  ~IGraphicListener() = default;
};

// Implemented by the host and handed to IGraphicManager::SetPlaybackObserver; never owned.
// Threading: as IGraphicListener.
class MELVOX_API IPlaybackObserver {
 public:
  // What a graph played has run to its end by itself (never after a stop).
  virtual void OnPlaybackEnd() = 0;

 protected:
  ~IPlaybackObserver() = default;
};

// Up to four graphs of one sound file, each in a child window of the host's window, at most one per
// type, and the playback they share (one graph plays at a time). The manager keeps two versions of
// the file: its own sound and a slowed one (longer by whole pitch periods without a drop in pitch);
// SelectSound chooses which the graphs show and play.
//
// The parent handle of CreateGraphs is an X11 window id of the host's display or a graph surface's
// handle (see WindowHandle). For anything else the graphs live in a window of their own that nobody
// sees, and everything else works as usual.
//
// Errors: SetSoundFile and RefreshGraphs show a failure in a message box captioned "Error" (with a
// display, a small dialog; without one, a line on standard error) and then throw CMsgException with
// the same text ("Cannot open file", "Incorrect wave format", ...; "Unknown error." for failures that
// are not the library's own, after a box saying "Unexpected error"). The other operations throw
// CMsgException only for a failed audio device ("Could not init audio system", after a box).
//
// Threading: call the manager from one host thread at a time. Every operation runs on the library's
// window thread while the caller waits (at once when the caller is that thread: listeners and
// observers run there), so a host must not hold a lock that its listener takes while it calls the
// manager. The graphs' playback runs on a thread of its own and never waits for either thread.
class MELVOX_API IGraphicManager {
 public:
  // Creates a hidden child window of parent for each type bit (1, 2, 4, 8; other bits are ignored) in
  // the order 1, 4, 2, 8, each at rect (null: all zero), with the control identifier controlId, and
  // returns the handle of the last one made; 0 when types has none of the four bits. A type that
  // already has a window gets a new one: the older window is destroyed first. The host shows the
  // windows (on X11: maps them; in a surface: IGraphSurface::ShowGraph).
  virtual WindowHandle CreateGraphs(WindowHandle parent, int32_t controlId, uint8_t types, const GraphRect* rect) = 0;
  // The window of a type, or 0.
  virtual WindowHandle GetGraphWindow(int32_t type) = 0;
  // After the host resized graph windows (they show a grey frame meanwhile): computes and draws those
  // graphs again for their new size. Does nothing before a file was given.
  virtual void RefreshGraphs() = 0;
  // Opens path (WAV with mono PCM or IMA ADPCM samples, or Ogg Vorbis) and its slowed version at the
  // current slow-down level, and shows the selected version in every graph. option not 0: each graph
  // shows only the useful part of the sound (its detected start to its detected end). A null or empty
  // path empties every graph. Stops what plays first.
  virtual void SetSoundFile(const char* path, int32_t option) = 0;
  // Plays the whole shown range of a graph (nothing when there is no graph of that type).
  virtual void PlayGraph(int32_t type) = 0;
  // Who hears of the end of what a graph played (null: nobody); it takes effect with the next sound
  // handed to the graphs (SetSoundFile, SelectSound, RefreshGraphs).
  virtual void SetPlaybackObserver(IPlaybackObserver* observer) = 0;
  // Stops playback, repaints every graph, and tells every listener (OnRedraw).
  virtual void RedrawGraphs() = 0;
  // Registers a listener once (in the order added); RemoveListener unregisters it.
  virtual void AddListener(IGraphicListener* listener) = 0;
  virtual void RemoveListener(IGraphicListener* listener) = 0;
  // Not 0: the graphs ignore the mouse. The graphs lock themselves while PlayGraph's range plays.
  virtual void LockGraphs(int32_t locked) = 0;
  // Destroys the manager and its windows (stopping what plays); the pointer is invalid afterwards.
  virtual void Release() = 0;
  // Tells every listener that a graph starts to play (OnPlayStart); the graphs call it themselves.
  virtual void NotifyPlayStart() = 0;
  // true: the graphs show and play the slowed version; false: the file's own sound. Stops what plays.
  virtual void SelectSound(bool slowed) = 0;
  // The slow-down level for the next SetSoundFile: the slowed version is (100 - level) / 100 times as
  // long (-10, the default: 1.1 times; -100: twice). The current slowed version is not remade.
  virtual void SetSlowdown(int32_t level) = 0;

 protected:
  ~IGraphicManager() = default;
};

// A new graph manager, owned by the host until its Release; null when it cannot be made.
MELVOX_API IGraphicManager* GetGraphicManager();

}  // namespace melvox
